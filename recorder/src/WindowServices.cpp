// Window services: new windows from the extension's resources, their
// placement, zooming and the enabling of their controls.
#include <algorithm>

#include "RecorderImpl.h"
#include "Services.h"
#include "toolbox/Controls.h"
#include "toolbox/Dialogs.h"
#include "toolbox/Windows.h"

namespace services {

WindowRef HostNewWindow(int16_t resourceID, int32_t, int32_t, int16_t)
{
    SessionAccess::Impl& state = SessionAccess::State();
    // New windows come in front of all others; placement comes from HostPlaceWindow.
    WindowRef window = GetNewCWindow(resourceID, nullptr, reinterpret_cast<WindowRef>(intptr_t(-1)));
    if (!window) {
        state.Report(HostMessage::Kind::error,
                     "the extension's resources have no window " + std::to_string(resourceID));
        return nullptr;
    }
    if (state.newWindows) state.newWindows->push_back(window);
    return window;
}

void HostPlaceWindow(WindowRef window, ConstStr255Param, int32_t resourceType, int16_t, int16_t, int32_t)
{
    if (!window) return;
    Rect content, structure;
    GetWindowBounds(window, kWindowContentRgn, &content);
    GetWindowBounds(window, kWindowStructureRgn, &structure);
    const int frameLeft = content.left - structure.left, frameTop = content.top - structure.top;
    if (resourceType == kDialogResourceType || GetDialogFromWindow(window)) {
        // Centred over the front window.
        WindowRef reference = FrontWindow();
        while (reference == window) reference = GetNextWindow(reference);
        Rect over{0, 0, 768, 1024};
        if (reference) GetWindowBounds(reference, kWindowStructureRgn, &over);
        int width = structure.right - structure.left, height = structure.bottom - structure.top;
        int left = std::max(0, (over.left + over.right - width) / 2);
        int top = std::max(0, (over.top + over.bottom - height) / 2);
        MoveWindow(window, int16_t(left + frameLeft), int16_t(top + frameTop), false);
        return;
    }
    // Document windows cascade by 20 pixels, ten steps deep.
    constexpr int kCascadeStep = 20, kCascadeDepth = 10, kFirstLeft = 20, kFirstTop = 40;
    int step = SessionAccess::State().placedWindows++ % kCascadeDepth;
    MoveWindow(window, int16_t(kFirstLeft + frameLeft + step * kCascadeStep),
               int16_t(kFirstTop + frameTop + step * kCascadeStep), false);
}

void HostZoomWindow(WindowRef window, int16_t partCode, uint8_t, uint8_t front)
{
    if (!window) return;
    ZoomState& state = SessionAccess::State().zoom[window];
    Rect port;
    GetWindowPortBounds(window, &port);
    if (partCode == inZoomOut && !state.zoomedOut) {
        state.userWidth = int16_t(port.right - port.left);
        state.userHeight = int16_t(port.bottom - port.top);
        state.zoomedOut = true;
        SizeWindow(window, kStandardZoomWidth, kStandardZoomHeight, true);
    } else if (partCode == inZoomIn && state.zoomedOut) {
        state.zoomedOut = false;
        SizeWindow(window, state.userWidth, state.userHeight, true);
    }
    if (front) SelectWindow(window);
}

// Drawn at once rather than invalidated: an update redraws the whole plot
// from the recording. A hidden window is drawn whole when shown. Controls
// may share edges, so all of them are drawn again in their order, as an
// update leaves them, and unclipped: the extension's clip is not ours.
void HostEnableControl(ControlRef control, uint8_t enable)
{
    if (!control) return;
    WindowRef owner = GetControlOwner(control);
    if (!owner || !IsWindowVisible(owner)) {
        HiliteControl(control, enable ? 0 : 255);
        return;
    }
    GrafPtr saved = nullptr;
    GetPort(&saved);
    SetPort(GetWindowPort(owner));
    Rect clip, all;
    GetClip(&clip);
    GetWindowPortBounds(owner, &all);
    ClipRect(&all);
    HiliteControl(control, enable ? 0 : 255);
    DrawControls(owner);
    ClipRect(&clip);
    SetPort(saved);
}

}  // namespace services
