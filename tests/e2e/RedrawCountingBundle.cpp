// A bundle that stands in for xyplot.so and passes every call on to it, and
// says on stderr each time the extension begins a redraw from recorded data
// (HostBusyBegin), so that a test can count the redraws of a whole run.
#include "ForwardingBundle.h"

namespace {

void CountedBusyBegin()
{
    std::fputs("redraw from recorded data\n", stderr);
    forwarding_bundle::gRealHost->HostBusyBegin();
}

}  // namespace

void ChangeHost(HostServiceTable& host) { host.HostBusyBegin = CountedBusyBegin; }
