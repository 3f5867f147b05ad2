// A bundle that stands in for xyplot.so and passes every call on to it, but
// under a host whose sample blocks come one sample short of their length: the
// extension then shows "Demand is outstripping supply in XY", which the
// program must pass on to the user.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "host/HostServices.h"

namespace {

using Main1Function = int32_t (*)(int16_t message, uint8_t* params, const HostServiceTable* host);

const HostServiceTable* gRealHost = nullptr;
HostServiceTable gShortHost;

uint32_t OneSampleShort(Handle data)
{
    uint32_t size = gRealHost->HostHandleSize(data);
    return size >= 4 ? size - 4 : 0;
}

Main1Function RealMain1()
{
    static Main1Function main1 = [] {
        void* bundle = dlopen(XYPLOT_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
        void* entry = bundle ? dlsym(bundle, "Main1") : nullptr;
        if (!entry) {
            std::fprintf(stderr, "short-data bundle: %s\n", dlerror());
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
        gShortHost = *host;
        gShortHost.HostHandleSize = OneSampleShort;
    }
    return RealMain1()(message, params, &gShortHost);
}
