// The user as tests play it: an input source that answers the toolbox's
// tracking calls from fields a test sets, and counts what it was asked.
#pragma once

#include <deque>
#include <functional>
#include <optional>

#include "toolbox/Toolbox.h"

struct FakeInput : InputSource {
    SInt32 growTo = 0;  // GrowWindow's answer: height << 16 | width, 0 for no change
    Rect lastGrowLimits{0, 0, 0, 0};
    bool releaseInside = true;  // TrackControl's answer
    // ModalDialogHit: the next step (which may type first), else dialogAnswer.
    std::deque<std::function<SInt16(DialogRef)>> dialogSteps;
    SInt16 dialogAnswer = 2;
    SInt16 popupItem = 0;         // PopUpMenuSelect's answer
    std::optional<Point> dragTo;  // TrackDrag's release point; the press point when empty

    int grows = 0, tracks = 0, dialogWaits = 0, popups = 0, drags = 0;
    int Calls() const { return grows + tracks + dialogWaits + popups + drags; }

    SInt32 GrowWindow(WindowRef, Point, const Rect& limits) override
    {
        ++grows;
        lastGrowLimits = limits;
        return growTo;
    }
    bool TrackControl(ControlRef, Point) override
    {
        ++tracks;
        return releaseInside;
    }
    SInt16 ModalDialogHit(DialogRef dialog) override
    {
        ++dialogWaits;
        if (dialogSteps.empty()) return dialogAnswer;
        auto step = dialogSteps.front();
        dialogSteps.pop_front();
        return step(dialog);
    }
    SInt16 PopUpMenuSelect(MenuRef, Point) override
    {
        ++popups;
        return popupItem;
    }
    Point TrackDrag(WindowRef, Point start) override
    {
        ++drags;
        return dragTo ? *dragTo : start;
    }
};

// Installs an input source for a scope; none afterwards.
struct InputScope {
    explicit InputScope(InputSource* source) { SetInputSource(source); }
    ~InputScope() { SetInputSource(nullptr); }
    InputScope(const InputScope&) = delete;
    InputScope& operator=(const InputScope&) = delete;
};
