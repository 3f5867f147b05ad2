// Host pens: HostSetPen selects one in the current port and saves the colour
// it replaces; HostRestorePen puts that colour back in the port it came from.
#include "RecorderImpl.h"
#include "Services.h"

namespace services {

void HostSetPen(int16_t pen)
{
    SessionAccess::Impl& state = SessionAccess::State();
    ++SessionAccess::Counters().penSet;
    SavedPen saved;
    GetPort(&saved.port);
    saved.portSerial = GetPortSerial(saved.port);
    GetForeColor(&saved.colour);
    state.pens.push_back(saved);
    constexpr RGBColor kBlack{0, 0, 0};
    RGBForeColor(pen == kTracePen ? &kTraceColour : &kBlack);
}

void HostRestorePen()
{
    SessionAccess::Impl& state = SessionAccess::State();
    ServiceCounters& counters = SessionAccess::Counters();
    if (state.pens.empty()) {
        ++counters.penUnderflows;
        return;
    }
    ++counters.penRestore;
    SavedPen saved = state.pens.back();
    state.pens.pop_back();
    // A port disposed since (or a new one at its address) is left alone.
    if (!saved.port || GetPortSerial(saved.port) != saved.portSerial) return;
    GrafPtr current;
    GetPort(&current);
    SetPort(saved.port);
    RGBForeColor(&saved.colour);
    SetPort(current);
}

}  // namespace services
