// The entry point the host calls.
#include "ExtensionFrame.h"

// The bundle's one exported symbol.
extern "C" __attribute__((visibility("default"))) int32_t Main1(int16_t message, uint8_t* params,
                                                                const HostServiceTable* host)
{
    return DispatchToExtension(message, params, host);
}
