// A bundle that stands in for xyplot.so and passes every call on to it, and
// says on stderr each time the extension begins a redraw from recorded data
// (HostBusyBegin), so that a test can count the redraws of a whole run.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "host/HostServices.h"

namespace {

using Main1Function = int32_t (*)(int16_t message, uint8_t* params, const HostServiceTable* host);

const HostServiceTable* gRealHost = nullptr;
HostServiceTable gCountingHost;

void CountedBusyBegin()
{
    std::fputs("redraw from recorded data\n", stderr);
    gRealHost->HostBusyBegin();
}

Main1Function RealMain1()
{
    static Main1Function main1 = [] {
        void* bundle = dlopen(XYPLOT_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
        void* entry = bundle ? dlsym(bundle, "Main1") : nullptr;
        if (!entry) {
            std::fprintf(stderr, "redraw-counting bundle: %s\n", dlerror());
            std::abort();
        }
        return reinterpret_cast<Main1Function>(entry);
    }();
    return main1;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Main1(int16_t message, uint8_t* params,
                                                                const HostServiceTable* host)
{
    if (host != gRealHost) {
        gRealHost = host;
        gCountingHost = *host;
        gCountingHost.HostBusyBegin = CountedBusyBegin;
    }
    return RealMain1()(message, params, &gCountingHost);
}
