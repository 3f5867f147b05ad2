// What a test bundle that stands in for xyplot.so shares: it passes every call
// on to the real bundle (XYPLOT_BUNDLE_PATH) under a copy of the host's
// service table that the bundle changes once, in ChangeHost. Each such
// bundle defines ChangeHost and includes this header once.
#pragma once

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "host/HostServices.h"

namespace forwarding_bundle {

using Main1Function = int32_t (*)(int16_t message, uint8_t* params, const HostServiceTable* host);

// The host the real bundle was given, and the changed copy it is handed instead.
inline const HostServiceTable* gRealHost = nullptr;
inline HostServiceTable gChangedHost;

inline Main1Function RealMain1()
{
    static Main1Function main1 = [] {
        void* bundle = dlopen(XYPLOT_BUNDLE_PATH, RTLD_NOW | RTLD_LOCAL);
        void* entry = bundle ? dlsym(bundle, "Main1") : nullptr;
        if (!entry) {
            std::fprintf(stderr, "test bundle: %s\n", dlerror());
            std::abort();
        }
        return reinterpret_cast<Main1Function>(entry);
    }();
    return main1;
}

}  // namespace forwarding_bundle

// Changes the copy of the host's services that the real bundle sees.
void ChangeHost(HostServiceTable& host);

extern "C" __attribute__((visibility("default"))) int32_t Main1(int16_t message, uint8_t* params,
                                                                const HostServiceTable* host)
{
    using namespace forwarding_bundle;
    if (host != gRealHost) {
        gRealHost = host;
        gChangedHost = *host;
        ChangeHost(gChangedHost);
    }
    return RealMain1()(message, params, &gChangedHost);
}
