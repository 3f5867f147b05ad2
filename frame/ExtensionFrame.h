// The extension frame: the entry point's dispatcher and the base classes that
// every extension of the host derives from. It knows message numbers, block
// layouts and result rules, and nothing about what an extension draws.
#pragma once

#include <cstdint>

#include "host/HostServices.h"
#include "toolbox/Memory.h"
#include "toolbox/Resources.h"

// The latest service table the host passed to Main1; kept between calls for
// event handlers that run outside them.
extern const HostServiceTable* gHost;

// The string list and the string reported when an operation fails.
constexpr int16_t kErrorStringsID = 2015;
constexpr int16_t kOperationFailedString = 3;

// Implemented by the extension module: hands a Main1 call to its one object.
int32_t DispatchToExtension(int16_t message, uint8_t* params, const HostServiceTable* host);

class VeltaExtensionBase {
public:
    // Slots 0 to 5 of the virtual table, in this order.
    virtual int32_t ReservedOperation() { return 0; }
    virtual bool OnMessage2() { return false; }
    virtual void OnMessage4() {}
    virtual int32_t OnMessage5() { return 0; }
    virtual void OnMessage3() {}
    virtual int32_t OnMessage1(int16_t message, uint8_t* params, const HostServiceTable* host);

    // Stores gHost and answers messages 0 to 4.
    int32_t HandleBaseMessage(int16_t message, uint8_t* params, const HostServiceTable* host);

    void SetExtensionID(int16_t id) { extensionID = id; }
    int16_t ExtensionID() const { return extensionID; }
    void RequestNotification(int16_t kind, bool on);
    void BeginResources();
    void EndResources();
    int16_t CommandNumber(uint16_t localNumber);
    void PlaceWindow(WindowRef window, int16_t resourceID, int16_t variant, int32_t flags);
    void PlaceDialog(DialogRef dialog, int16_t resourceID, int16_t variant);
    DialogRef GetPlacedDialog(int16_t resourceID);

protected:
    VeltaExtensionBase() = default;
    ~VeltaExtensionBase() = default;  // the one object lives as long as the bundle

private:
    int16_t extensionID = 0;
    uint8_t reservedFlag = false;
};

// Declares the operations that take the extension's instance handle (slots 6
// to 21) and dispatches messages 5 to 21 to them.
template <class InstanceHandle>
class GeneralExtensionBase : public VeltaExtensionBase {
public:
    int32_t HandleMessage(int16_t message, uint8_t* params, const HostServiceTable* host);

    virtual InstanceHandle NewInstance() { return nullptr; }
    virtual void DisposeInstance(InstanceHandle) {}
    virtual void DoCommand(const CommandRecord*, InstanceHandle) {}
    virtual void Notify(int16_t /*kind*/, int16_t /*extra*/, uint32_t /*data*/, InstanceHandle) {}
    virtual bool OwnsWindow(WindowRef, InstanceHandle) { return false; }
    virtual void UpdateWindow(WindowRef, InstanceHandle) {}
    virtual void DoGrow(WindowRef, Point /*start*/, InstanceHandle) {}
    virtual void DoZoom(WindowRef, uint8_t /*zoomIn*/, InstanceHandle) {}
    virtual void DoContentClick(WindowRef, int16_t, ControlRef, Point /*where*/, EventRecord*, InstanceHandle) {}
    virtual void DoMouseOver(WindowRef, Point /*where*/, int16_t* /*cursor*/, InstanceHandle) {}
    virtual void DoActivate(WindowRef, uint8_t /*active*/, InstanceHandle) {}
    virtual void OnMessage18(uint8_t, InstanceHandle) {}
    virtual void OnMessage19(uint32_t, int16_t, uint32_t, InstanceHandle) {}
    virtual bool OnMessage20(uint32_t, int8_t, uint8_t, uint8_t*, InstanceHandle) { return false; }
    virtual void OnMessage17(uint32_t, int16_t, InstanceHandle) {}
    virtual void OnMessage21(uint32_t, int16_t, InstanceHandle) {}

protected:
    GeneralExtensionBase() = default;
    ~GeneralExtensionBase() = default;

private:
    int32_t DispatchInstanceMessage(int16_t message, uint8_t* params);
};

template <class InstanceHandle>
int32_t GeneralExtensionBase<InstanceHandle>::HandleMessage(int16_t message, uint8_t* params,
                                                            const HostServiceTable* host)
{
    int32_t result = 0;
    bool failed = false;
    try {
        result = HandleBaseMessage(message, params, host);
        if (uint16_t(message - kMessage5) <= kMessage21 - kMessage5) result = DispatchInstanceMessage(message, params);
    } catch (...) {
        failed = true;
    }
    if (failed) {
        // Reported outside the guard: a failure while reporting is the host's.
        Str255 text;
        GetIndString(text, kErrorStringsID, kOperationFailedString);
        gHost->HostReportError(text);
        result = 0;
    }
    return result;
}

template <class InstanceHandle>
int32_t GeneralExtensionBase<InstanceHandle>::DispatchInstanceMessage(int16_t message, uint8_t* params)
{
    const uint8_t* block = params;
    auto instance = [&] { return BlockReference<InstanceHandle>(block, kInstanceField); };
    auto window = [&] { return BlockReference<WindowRef>(block, kWindowField); };
    auto point = [&](int offset) { return BlockField<Point>(block, offset); };
    switch (message) {
    case kMessage5:
        return OnMessage5();
    case kNewInstance:
        return int32_t(LowAddress(NewInstance()));
    case kDisposeInstance:
        DisposeInstance(instance());
        return 0;
    case kDoCommand:
        DoCommand(BlockReference<const CommandRecord*>(block, kCommandField), instance());
        return 0;
    case kNotify:
        Notify(BlockField<int16_t>(block, kNotifyKindField), BlockField<int16_t>(block, kNotifyExtraField),
               BlockField<uint32_t>(block, kNotifyDataField), instance());
        return 0;
    case kOwnsWindow:
        return OwnsWindow(window(), instance()) ? 1 : 0;
    case kUpdateWindow:
        UpdateWindow(window(), instance());
        return 0;
    case kDoGrow:
        DoGrow(window(), point(kGrowStartField), instance());
        return 0;
    case kDoZoom:
        DoZoom(window(), BlockField<uint8_t>(block, kZoomInField), instance());
        return 0;
    case kDoContentClick:
        DoContentClick(window(), BlockField<int16_t>(block, kClickPartField),
                       BlockReference<ControlRef>(block, kClickControlField), point(kClickWhereField),
                       reinterpret_cast<EventRecord*>(params + kClickEventField), instance());
        return 0;
    case kDoMouseOver:
        DoMouseOver(window(), point(kMouseWhereField), reinterpret_cast<int16_t*>(params + kCursorField), instance());
        return 0;
    case kDoActivate:
        DoActivate(window(), BlockField<uint8_t>(block, kActiveField), instance());
        return 0;
    // Messages 17 to 21: their fields mean what the host makes of them, and
    // are passed on as they lie in the block.
    case kMessage17:
        OnMessage17(BlockField<uint32_t>(block, 4), BlockField<int16_t>(block, 8), instance());
        return 0;
    case kMessage18:
        OnMessage18(BlockField<uint8_t>(block, 4), instance());
        return 0;
    case kMessage19:
        OnMessage19(BlockField<uint32_t>(block, 4), BlockField<int16_t>(block, 8), BlockField<uint32_t>(block, 10),
                    instance());
        return 0;
    case kMessage20:
        return OnMessage20(BlockField<uint32_t>(block, 4), BlockField<int8_t>(block, 8), BlockField<uint8_t>(block, 10),
                           params + 12, instance())
                   ? 1
                   : 0;
    case kMessage21:
        OnMessage21(BlockField<uint32_t>(block, 4), BlockField<int16_t>(block, 8), instance());
        return 0;
    }
    return 0;
}
