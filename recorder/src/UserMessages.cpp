// What the extension tells the user besides its window: messages and errors
// (collected, and echoed on stderr when asked), help text, and progress
// during long redraws.
#include <unistd.h>

#include <cstdio>

#include "RecorderImpl.h"
#include "Services.h"

namespace {

// A redraw that runs longer than this shows a progress line.
constexpr auto kLongRedraw = std::chrono::milliseconds(300);

std::string TextOf(ConstStr255Param text) { return text ? PascalToString(text) : std::string(); }

}  // namespace

namespace services {

void HostReportError(ConstStr255Param message)
{
    SessionAccess::State().Report(HostMessage::Kind::error, TextOf(message));
}

void HostShowMessage(ConstStr255Param message)
{
    SessionAccess::State().Report(HostMessage::Kind::message, TextOf(message));
}

void HostSetHelpText(ConstStr255Param text) { SessionAccess::HelpText() = TextOf(text); }

void HostBusyBegin()
{
    SessionAccess::Impl& state = SessionAccess::State();
    ++SessionAccess::Counters().busyBegin;
    if (state.busyDepth++ == 0) {
        // A redraw of recorded data, as the host tells one: the extension's busy bracket.
        if (!state.calls.empty() && state.calls.back().window) ++state.redraws[state.calls.back().window];
        state.busyStart = std::chrono::steady_clock::now();
        state.busySteps = 0;
        state.progressShown = false;
    }
}

void HostBusyStep(int16_t)
{
    SessionAccess::Impl& state = SessionAccess::State();
    ++SessionAccess::Counters().busyStep;
    if (state.busyDepth == 0) return;
    ++state.busySteps;
    if (!SessionAccess::Options().showProgress || !isatty(STDERR_FILENO)) return;
    if (std::chrono::steady_clock::now() - state.busyStart < kLongRedraw) return;
    std::fprintf(stderr, "\rredrawing... %d blocks", state.busySteps);
    state.progressShown = true;
}

void HostBusyEnd()
{
    SessionAccess::Impl& state = SessionAccess::State();
    ++SessionAccess::Counters().busyEnd;
    if (state.busyDepth > 0 && --state.busyDepth == 0 && state.progressShown) {
        std::fprintf(stderr, "\n");
        state.progressShown = false;
    }
}

}  // namespace services
