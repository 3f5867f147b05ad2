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

TEST_F(PlotTest, CreationCallsTheHostInItsOrder)
{
    ParamBlock id;
    id.Set<int16_t>(0, 12);
    Send(0, id, host);
    host.ClearCalls();
    LocalDataHandle instance = NewWindow();
    ASSERT_NE(instance, nullptr);
    std::vector<std::string> expected = {
        "HostNewWindow",   "HostExtensionName", "HostPlaceWindow",     "HostCommandNumber",   "HostAddMenuCommand",
        "HostNewAxis",     "HostAxisSetInsets", "HostNewAxis",         "HostAxisSetInsets",   "HostInitInfoPart",
        "HostAxisSetMenu", "HostAddChannelItems", "HostAxisSetOption", "HostAxisSetOption",   "HostAxisSetOption",
        "HostAxisSetMenu", "HostAddChannelItems", "HostAxisSetOption", "HostAxisSetOption",   "HostAxisSetOption",
        "HostAxisSetBounds", "HostAxisSetBounds", "HostRequestNotification"};
    EXPECT_EQ(host.Names(), expected);

    auto calls = host.Calls();
    EXPECT_EQ(calls[0].Int(0), 1000);
    EXPECT_EQ(calls[0].Int(1), 0);
    EXPECT_EQ(calls[0].Int(2), -1);
    EXPECT_EQ(calls[0].Int(3), 3);
    EXPECT_EQ(calls[2].Str(1), "XY Test");
    EXPECT_EQ(calls[2].Int(2), 0x57494E44);
    EXPECT_EQ(calls[2].Int(3), 1000);
    EXPECT_EQ(calls[2].Int(4), 0);
    EXPECT_EQ(calls[2].Int(5), 1);
    EXPECT_EQ(calls[3].Int(0), 0);
    EXPECT_EQ(calls[3].Int(1), 12);
    EXPECT_EQ(calls[4].Str(0), "Windows:Real-Time X-Y");
    EXPECT_EQ(calls[4].Int(1), 32);
    EXPECT_EQ(calls[4].Int(2), 100);
    // Each axis gets its high end first: right for X, top for Y.
    EXPECT_EQ(calls[5].Real(1), kFullScale);
    EXPECT_EQ(calls[5].Real(2), kNegativeFullScale);
    EXPECT_EQ(calls[5].Int(3), 0);
    EXPECT_EQ(calls[7].Real(1), kFullScale);
    EXPECT_EQ(calls[7].Int(3), 1);
    EXPECT_EQ(calls[7].Int(4), 1);
    for (int i : {6, 8}) {
        EXPECT_EQ(calls[size_t(i)].Int(1), 9);
        EXPECT_EQ(calls[size_t(i)].Int(2), 21);
        EXPECT_EQ(calls[size_t(i)].Int(3), 9);
        EXPECT_EQ(calls[size_t(i)].Int(4), 21);
    }
    EXPECT_EQ(calls[9].Ptr(0), (*instance)->xChannelInfo.bytes + 46);
    EXPECT_EQ(calls[12].Int(1), 32);
    EXPECT_EQ(calls[12].Int(2), 1);
    EXPECT_EQ(calls[13].Int(1), 4);
    EXPECT_EQ(calls[13].Int(2), 1);
    EXPECT_EQ(calls[14].Int(1), 8);
    EXPECT_EQ(calls[14].Int(2), 0);
    EXPECT_EQ(calls[22].Int(0), 12);
    EXPECT_EQ(calls[22].Int(1), 310);
    EXPECT_EQ(calls[22].Int(2), 1);
}

TEST_F(PlotTest, AFreshWindowHasItsDefaultsAndChecksChannelsOneAndTwo)
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
    EXPECT_TRUE(EqualRect(&erase, &(const Rect&)Rect{1, 1, 17, 17}));
    EXPECT_TRUE(EqualRect(&settings, &(const Rect&)Rect{1, 16, 17, 32}));
    EXPECT_EQ(GetControlReference(r.eraseButton), 1000);
    EXPECT_EQ(GetControlReference(r.settingsButton), 1001);
    EXPECT_EQ(GetControlProcID(r.eraseButton), 3793);
}

TEST_F(PlotTest, ASecondWindowGetsItsOwnEverythingAndRegistersAgain)
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

TEST_F(PlotTest, DisposalReleasesWindowThenAxesThenBlock)
{
    auto before = GetToolboxObjectCounts();
    auto zone = GetLowZoneStats();
    LocalDataHandle instance = NewWindow();
    AxisObject x = (*instance)->xAxis, y = (*instance)->yAxis;
    host.ClearCalls();
    Dispose(instance);
    auto disposals = host.CallsTo("HostDisposeAxis");
    ASSERT_EQ(disposals.size(), 2u);
    EXPECT_EQ(disposals[0].Ptr(0), x);
    EXPECT_EQ(disposals[1].Ptr(0), y);
    auto after = GetToolboxObjectCounts();
    EXPECT_EQ(after.windows, before.windows);
    EXPECT_EQ(after.controls, before.controls);
    EXPECT_EQ(after.eventHandlers, before.eventHandlers);
    // The menus went to the axes, which the host disposes of with them.
    EXPECT_EQ(after.menus, before.menus);
    EXPECT_LT(GetLowZoneStats().liveBytes, zone.liveBytes + 1024);
}

TEST_F(PlotTest, NoWindowGivesANullInstanceThatDisposalAccepts)
{
    host.newWindowFails = true;
    auto zone = GetLowZoneStats();
    EXPECT_EQ(NewWindow(), nullptr);
    EXPECT_EQ(GetLowZoneStats().liveBlocks, zone.liveBlocks);
    EXPECT_EQ(host.Count("HostNewAxis"), 0u);
    ParamBlock block;
    EXPECT_EQ(Send(7, block, host), 0);
}
