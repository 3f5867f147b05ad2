// Opening and closing plot windows.
#include "PlotFixture.h"

namespace {

int CheckedItem(MenuRef menu, int16_t first)
{
    int checked = 0;
    for (int16_t item = first; item < first + 32; ++item) {
        SInt16 mark;
        GetItemMark(menu, item, &mark);
        if (mark == checkMark) checked = checked ? -1 : item;
    }
    return checked;
}

}  // namespace

using InstanceTest = PlotTest;

TEST_F(InstanceTest, CreationCallsTheHostInItsOrder)
{
    ParamBlock id;
    id.Set<int16_t>(0, 12);
    Send(0, id, host);
    host.ClearCalls();
    LocalDataHandle instance = NewWindow();
    ASSERT_NE(instance, nullptr);
    CallSteps step(host.Calls());

    const HostCall& newWindow = step.Next("HostNewWindow");
    EXPECT_EQ(newWindow.Int(0), 1000);
    EXPECT_EQ(newWindow.Int(1), 0);
    EXPECT_EQ(newWindow.Int(2), -1);
    EXPECT_EQ(newWindow.Int(3), 3);
    step.Next("HostExtensionName");
    const HostCall& place = step.Next("HostPlaceWindow");
    EXPECT_EQ(place.Str(1), "XY Test");
    EXPECT_EQ(place.Int(2), 0x57494E44);
    EXPECT_EQ(place.Int(3), 1000);
    EXPECT_EQ(place.Int(4), 0);
    EXPECT_EQ(place.Int(5), 1);
    const HostCall& commandNumber = step.Next("HostCommandNumber");
    EXPECT_EQ(commandNumber.Int(0), 0);
    EXPECT_EQ(commandNumber.Int(1), 12);
    const HostCall& menuCommand = step.Next("HostAddMenuCommand");
    EXPECT_EQ(menuCommand.Str(0), "Windows:Real-Time X-Y");
    EXPECT_EQ(menuCommand.Int(1), 32);
    EXPECT_EQ(menuCommand.Int(2), 100);

    // Each axis gets its high end first: right for X, top for Y.
    const HostCall& xAxis = step.Next("HostNewAxis");
    EXPECT_EQ(xAxis.Real(1), kFullScale);
    EXPECT_EQ(xAxis.Real(2), kNegativeFullScale);
    EXPECT_EQ(xAxis.Int(3), 0);
    const HostCall& xInsets = step.Next("HostAxisSetInsets");
    const HostCall& yAxis = step.Next("HostNewAxis");
    EXPECT_EQ(yAxis.Real(1), kFullScale);
    EXPECT_EQ(yAxis.Int(3), 1);
    EXPECT_EQ(yAxis.Int(4), 1);
    const HostCall& yInsets = step.Next("HostAxisSetInsets");
    for (const HostCall* insets : {&xInsets, &yInsets}) {
        EXPECT_EQ(insets->Int(1), 9);
        EXPECT_EQ(insets->Int(2), 21);
        EXPECT_EQ(insets->Int(3), 9);
        EXPECT_EQ(insets->Int(4), 21);
    }
    EXPECT_EQ(step.Next("HostInitInfoPart").Ptr(0), (*instance)->xChannelInfo.bytes + 46);

    // Each axis's popup: the menu, its channel items, then three options in this order.
    for (const char* axis : {"X", "Y"}) {
        SCOPED_TRACE(axis);
        step.Next("HostAxisSetMenu");
        step.Next("HostAddChannelItems");
        const HostCall& titlePopup = step.Next("HostAxisSetOption");
        EXPECT_EQ(titlePopup.Int(1), 32);
        EXPECT_EQ(titlePopup.Int(2), 1);
        const HostCall& minorTicks = step.Next("HostAxisSetOption");
        EXPECT_EQ(minorTicks.Int(1), 4);
        EXPECT_EQ(minorTicks.Int(2), 1);
        const HostCall& fixedRange = step.Next("HostAxisSetOption");
        EXPECT_EQ(fixedRange.Int(1), 8);
        EXPECT_EQ(fixedRange.Int(2), 0);
    }
    step.Next("HostAxisSetBounds");
    step.Next("HostAxisSetBounds");
    const HostCall& request = step.Next("HostRequestNotification");
    EXPECT_EQ(request.Int(0), 12);
    EXPECT_EQ(request.Int(1), 310);
    EXPECT_EQ(request.Int(2), 1);
    EXPECT_TRUE(step.AtEnd());
}

TEST_F(InstanceTest, AFreshWindowHasItsDefaultsAndChecksChannelsOneAndTwo)
{
    host.channelItemCount = 40;  // more channels than the menus check
    LocalDataHandle instance = NewWindow();
    const LocalDataType& r = **instance;
    EXPECT_EQ(r.xChannel, 1);
    EXPECT_EQ(r.yChannel, 2);
    EXPECT_EQ(r.eraseMinutes, 1.0);
    EXPECT_EQ(r.autoErase, 0);
    EXPECT_EQ(r.samplesPerMinute, 1);
    EXPECT_EQ(r.traceStartSample, 0);
    EXPECT_EQ(r.traceEndSample, 0);
    EXPECT_EQ(r.isSampling, 0);
    EXPECT_EQ(r.eraseAtSample, kNeverErase);
    EXPECT_EQ(r.restartTrace, 1);
    EXPECT_EQ(r.xChannelInfo.bytes[44], 0);
    EXPECT_EQ(0, std::memcmp(&r.xChannelInfo, &r.yChannelInfo, sizeof r.xChannelInfo));
    EXPECT_FALSE(HIsLocked(reinterpret_cast<Handle>(instance)));

    // MENU 1000 holds three items; the divider makes four.
    EXPECT_EQ(r.firstChannelItem, 5);
    EXPECT_TRUE(IsMenuItemDivider(r.xMenu, 4));
    EXPECT_FALSE(IsMenuItemEnabled(r.xMenu, 4));
    EXPECT_EQ(CheckedItem(r.xMenu, r.firstChannelItem), r.firstChannelItem);
    EXPECT_EQ(CheckedItem(r.yMenu, r.firstChannelItem), r.firstChannelItem + 1);
    EXPECT_NE(r.xMenu, r.yMenu);

    Rect erase, settings;
    GetControlBounds(r.eraseButton, &erase);
    GetControlBounds(r.settingsButton, &settings);
    EXPECT_EQ(erase, (Rect{1, 1, 17, 17}));
    EXPECT_EQ(settings, (Rect{1, 16, 17, 32}));
    EXPECT_EQ(GetControlReference(r.eraseButton), 1000);
    EXPECT_EQ(GetControlReference(r.settingsButton), 1001);
    EXPECT_EQ(GetControlProcID(r.eraseButton), 3793);
}

TEST_F(InstanceTest, ASecondWindowGetsItsOwnEverythingAndRegistersAgain)
{
    LocalDataHandle first = NewWindow();
    EventHandlerUPP upp = gWindowEventHandlerUPP;
    ASSERT_NE(upp, nullptr);
    LocalDataHandle second = NewWindow();
    EXPECT_EQ(gWindowEventHandlerUPP, upp);
    EXPECT_NE((*first)->window, (*second)->window);
    EXPECT_NE((*first)->xAxis, (*second)->xAxis);
    EXPECT_NE((*first)->eraseButton, (*second)->eraseButton);
    EXPECT_NE((*first)->xMenu, (*second)->xMenu);
    auto commands = host.CallsTo("HostAddMenuCommand");
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[1].Str(0), commands[0].Str(0));
    EXPECT_EQ(commands[1].Int(2), commands[0].Int(2));
    EXPECT_EQ(host.Count("HostRequestNotification"), 2u);
}

TEST_F(InstanceTest, DisposalReleasesWindowThenAxesThenBlock)
{
    LeakCheck leaks;
    LocalDataHandle instance = NewWindow();
    AxisObject x = (*instance)->xAxis, y = (*instance)->yAxis;
    host.ClearCalls();
    Dispose(instance);
    auto disposals = host.CallsTo("HostDisposeAxis");
    ASSERT_EQ(disposals.size(), 2u);
    EXPECT_EQ(disposals[0].Ptr(0), x);
    EXPECT_EQ(disposals[1].Ptr(0), y);
    // The menus went to the axes, which the host disposes of with them.
    leaks.ExpectNoToolboxObjectsLeft();
    EXPECT_LT(GetLowZoneStats().liveBytes, leaks.Zone().liveBytes + 1024);
}

TEST_F(InstanceTest, NoWindowGivesANullInstanceThatDisposalAccepts)
{
    host.newWindowFails = true;
    LeakCheck leaks;
    EXPECT_EQ(NewWindow(), nullptr);
    leaks.ExpectNoLowZoneBlocksLeft();
    EXPECT_EQ(host.Count("HostNewAxis"), 0u);
    ParamBlock block;
    EXPECT_EQ(Send(7, block, host), 0);
}
