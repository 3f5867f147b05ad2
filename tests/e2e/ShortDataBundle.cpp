// A bundle that stands in for xyplot.so and passes every call on to it, but
// under a host whose sample blocks come one sample short of their length: the
// extension then shows "Demand is outstripping supply in XY", which the
// program must pass on to the user.
#include "ForwardingBundle.h"

namespace {

uint32_t OneSampleShort(Handle data)
{
    uint32_t size = forwarding_bundle::gRealHost->HostHandleSize(data);
    return size >= 4 ? size - 4 : 0;
}

}  // namespace

void ChangeHost(HostServiceTable& host) { host.HostHandleSize = OneSampleShort; }
