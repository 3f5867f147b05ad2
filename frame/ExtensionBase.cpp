// The root base class: the messages every extension answers the same way and
// the members that pass the extension's ID to the host.
#include "ExtensionFrame.h"

#include "toolbox/Dialogs.h"

const HostServiceTable* gHost = nullptr;

namespace {
constexpr int32_t kDialogPlacementFlags = 8;
}  // namespace

int32_t VeltaExtensionBase::OnMessage1(int16_t, uint8_t*, const HostServiceTable*) { return 0x00010002; }

int32_t VeltaExtensionBase::HandleBaseMessage(int16_t message, uint8_t* params, const HostServiceTable* host)
{
    gHost = host;
    switch (uint16_t(message)) {
    case kSetExtensionID:
        SetExtensionID(BlockField<int16_t>(params, kExtensionIDField));
        return 0;
    case kMessage1:
        return OnMessage1(message, params, host);
    case kMessage2:
        return OnMessage2() ? 1 : 0;
    case kMessage3:
        OnMessage3();
        return 0;
    case kMessage4:
        OnMessage4();
        return 0;
    default:
        return 0;
    }
}

void VeltaExtensionBase::RequestNotification(int16_t kind, bool on)
{
    gHost->HostRequestNotification(extensionID, kind, on ? 1 : 0);
}

void VeltaExtensionBase::BeginResources() { gHost->HostBeginResources(extensionID); }
void VeltaExtensionBase::EndResources() { gHost->HostEndResources(extensionID); }

int16_t VeltaExtensionBase::CommandNumber(uint16_t localNumber)
{
    return gHost->HostCommandNumber(int16_t(localNumber), extensionID);
}

void VeltaExtensionBase::PlaceWindow(WindowRef window, int16_t resourceID, int16_t variant, int32_t flags)
{
    Str255 name;
    gHost->HostExtensionName(extensionID, name);
    gHost->HostPlaceWindow(window, name, kWindowResourceType, resourceID, variant, flags);
}

void VeltaExtensionBase::PlaceDialog(DialogRef dialog, int16_t resourceID, int16_t variant)
{
    Str255 name;
    gHost->HostExtensionName(extensionID, name);
    Str255 nameCopy;
    CopyCStringToPascal(PascalToString(name), nameCopy);
    gHost->HostPlaceWindow(GetDialogWindow(dialog), nameCopy, kDialogResourceType, resourceID, variant,
                           kDialogPlacementFlags);
}

DialogRef VeltaExtensionBase::GetPlacedDialog(int16_t resourceID)
{
    DialogRef dialog = gHost->HostGetDialog(resourceID);
    if (dialog) PlaceDialog(dialog, resourceID, 0);
    return dialog;
}
