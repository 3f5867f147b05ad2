// An input source that plays back what a user would do, in order: grow sizes,
// button releases, dialog answers, popup choices and drag ends. When a queue
// is empty it answers as a plain click would: no grow, released inside the
// control, the dialog's cancel item, no popup choice, released where pressed.
#pragma once

#include <deque>
#include <functional>
#include <string>

#include "toolbox/InputSource.h"

class ScriptedInput : public InputSource {
public:
    void QueueGrow(SInt16 width, SInt16 height);  // clamped to the limits GrowWindow gives
    void QueueTrack(bool releasedInside);
    void QueueDialogHit(SInt16 item);
    // Types text into an edit-text item (replacing its selection), then hits that item.
    void QueueDialogTyping(SInt16 item, const std::string& text);
    // Answers a wait in a dialog with what answer returns: the item hit (it may
    // look at the dialog and type first), or 0 to pass on to the next answer,
    // as a user who finds a check box already set does not click it.
    void QueueDialogAnswer(std::function<SInt16(DialogRef)> answer);
    void QueuePopUpChoice(SInt16 item);
    void QueueDrag(Point releaseAt);
    // Answers not yet used.
    size_t Pending() const;
    void ClearQueues();

    SInt32 GrowWindow(WindowRef window, Point start, const Rect& limits) override;
    bool TrackControl(ControlRef control, Point start) override;
    SInt16 ModalDialogHit(DialogRef dialog) override;
    SInt16 PopUpMenuSelect(MenuRef menu, Point where) override;
    Point TrackDrag(WindowRef window, Point start) override;

private:
    struct Size2 {
        SInt16 width, height;
    };
    std::deque<Size2> grows_;
    std::deque<bool> tracks_;
    std::deque<std::function<SInt16(DialogRef)>> dialogAnswers_;
    std::deque<SInt16> popUpChoices_;
    std::deque<Point> drags_;
};

// Installs a source for the lifetime of the object and puts the previous one back.
class ScopedInputSource {
public:
    explicit ScopedInputSource(InputSource* source);
    ~ScopedInputSource();
    ScopedInputSource(const ScopedInputSource&) = delete;
    ScopedInputSource& operator=(const ScopedInputSource&) = delete;

private:
    InputSource* previous_;
};
