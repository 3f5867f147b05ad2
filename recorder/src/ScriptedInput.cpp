// Playing back what a user does, answer by answer.
#include "recorder/ScriptedInput.h"

#include <algorithm>

#include "toolbox/Dialogs.h"

void ScriptedInput::QueueGrow(SInt16 width, SInt16 height) { grows_.push_back({width, height}); }
void ScriptedInput::QueueTrack(bool releasedInside) { tracks_.push_back(releasedInside); }
void ScriptedInput::QueueDialogHit(SInt16 item)
{
    dialogAnswers_.push_back([item](DialogRef) { return item; });
}

void ScriptedInput::QueueDialogTyping(SInt16 item, const std::string& text)
{
    dialogAnswers_.push_back([item, text](DialogRef dialog) {
        Str255 typed;
        CopyCStringToPascal(text, typed);
        TypeDialogText(dialog, item, typed);
        return item;
    });
}

void ScriptedInput::QueueDialogAnswer(std::function<SInt16(DialogRef)> answer)
{
    dialogAnswers_.push_back(std::move(answer));
}
void ScriptedInput::QueuePopUpChoice(SInt16 item) { popUpChoices_.push_back(item); }
void ScriptedInput::QueueDrag(Point releaseAt) { drags_.push_back(releaseAt); }

size_t ScriptedInput::Pending() const
{
    return grows_.size() + tracks_.size() + dialogAnswers_.size() + popUpChoices_.size() + drags_.size();
}

void ScriptedInput::ClearQueues()
{
    grows_.clear();
    tracks_.clear();
    dialogAnswers_.clear();
    popUpChoices_.clear();
    drags_.clear();
}

SInt32 ScriptedInput::GrowWindow(WindowRef, Point, const Rect& limits)
{
    if (grows_.empty()) return 0;
    Size2 size = grows_.front();
    grows_.pop_front();
    // limits: top = min height, left = min width, bottom = max height, right = max width.
    SInt32 width = std::clamp<SInt32>(size.width, limits.left, std::max(limits.left, limits.right));
    SInt32 height = std::clamp<SInt32>(size.height, limits.top, std::max(limits.top, limits.bottom));
    return (height << 16) | (width & 0xFFFF);
}

bool ScriptedInput::TrackControl(ControlRef, Point)
{
    if (tracks_.empty()) return true;
    bool inside = tracks_.front();
    tracks_.pop_front();
    return inside;
}

SInt16 ScriptedInput::ModalDialogHit(DialogRef dialog)
{
    while (!dialogAnswers_.empty()) {
        auto answer = std::move(dialogAnswers_.front());
        dialogAnswers_.pop_front();
        if (SInt16 item = answer(dialog)) return item;
    }
    SInt16 cancel = GetDialogCancelItem(dialog);
    return cancel > 0 ? cancel : 2;
}

SInt16 ScriptedInput::PopUpMenuSelect(MenuRef, Point)
{
    if (popUpChoices_.empty()) return 0;
    SInt16 item = popUpChoices_.front();
    popUpChoices_.pop_front();
    return item;
}

Point ScriptedInput::TrackDrag(WindowRef, Point start)
{
    if (drags_.empty()) return start;
    Point end = drags_.front();
    drags_.pop_front();
    return end;
}

ScopedInputSource::ScopedInputSource(InputSource* source) : previous_(GetInputSource()) { SetInputSource(source); }
ScopedInputSource::~ScopedInputSource() { SetInputSource(previous_); }
