// The dispatcher: message table, result rules, the guard.
#include <gtest/gtest.h>

#include "PlotFixture.h"

namespace {

using Handle16 = int**;

// Records what the dispatcher hands to each operation.
class ProbeExtension : public GeneralExtensionBase<Handle16> {
public:
    std::vector<std::string> log;
    void Notify(int16_t kind, int16_t extra, uint32_t data, Handle16 h) override
    {
        log.push_back("Notify " + std::to_string(kind) + " " + std::to_string(extra) + " " + std::to_string(data) +
                      " " + std::to_string(LowAddress(h)));
    }
    void DoContentClick(WindowRef w, int16_t part, ControlRef c, Point where, EventRecord* click, Handle16) override
    {
        clickRecord = click;
        log.push_back("Click " + std::to_string(LowAddress(w)) + " " + std::to_string(part) + " " +
                      std::to_string(LowAddress(c)) + " " + std::to_string(where.v) + "," + std::to_string(where.h));
    }
    void DoMouseOver(WindowRef, Point, int16_t* cursor, Handle16) override { *cursor = 77; }
    bool OnMessage20(uint32_t a, int8_t b, uint8_t c, uint8_t* tail, Handle16) override
    {
        log.push_back("M20 " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
        tail20 = tail;
        return answer20;
    }
    void DoGrow(WindowRef, Point start, Handle16) override
    {
        log.push_back("Grow " + std::to_string(start.v) + "," + std::to_string(start.h));
    }
    EventRecord* clickRecord = nullptr;
    uint8_t* tail20 = nullptr;
    bool answer20 = false;
};

}  // namespace

using FrameTest = PlotTest;

TEST_F(FrameTest, UnknownMessagesAnswerZeroCallNothingButStillSetTheHost)
{
    for (int16_t message : {22, 100, -1, -32768}) {
        TestHost other;
        ParamBlock block;
        EXPECT_EQ(Send(message, block, other), 0) << message;
        EXPECT_TRUE(other.Calls().empty()) << message;
        EXPECT_EQ(gHost, other.Table()) << message;
    }
}

TEST_F(FrameTest, BaseMessagesAnswerAsTheExtensionDefines)
{
    ParamBlock block;
    block.Set<int16_t>(0, -5);
    EXPECT_EQ(Send(0, block, host), 0);
    EXPECT_EQ(gExtension.ExtensionID(), -5);
    EXPECT_EQ(Send(1, block, host), 65538);
    EXPECT_EQ(Send(2, block, host), 1);
    EXPECT_EQ(Send(3, block, host), 0);
    EXPECT_EQ(Send(4, block, host), 0);
    EXPECT_EQ(Send(5, block, host), 1);
    EXPECT_EQ(Send(20, block, host), 0);
    for (int16_t message : {3, 4, 17, 18, 19, 21}) EXPECT_EQ(Send(message, block, host), 0);
    EXPECT_TRUE(host.Calls().empty());
}

TEST_F(FrameTest, NewInstanceAnswersTheHandleItselfAndOwnsWindowComparesWindows)
{
    LocalDataHandle first = NewWindow();
    LocalDataHandle second = NewWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_GT(LowAddress(first), 1u);
    ParamBlock block;
    block.SetRef(0, first).SetRef(4, (*first)->window);
    EXPECT_EQ(Send(10, block, host), 1);
    block.SetRef(4, (*second)->window);
    EXPECT_EQ(Send(10, block, host), 0);
}

TEST(Dispatcher, UnpacksEachBlockAsTheMessageTableSays)
{
    TestHost host;
    ProbeExtension probe;
    ParamBlock block;
    block.Set<uint32_t>(0, 0x1234).Set<int16_t>(4, 310).Set<uint32_t>(6, 0xABCDEF).Set<int16_t>(10, -7);
    probe.HandleMessage(9, block.Bytes(), host.Table());
    ASSERT_EQ(probe.log.back(), "Notify 310 -7 11259375 4660");

    ParamBlock click;
    click.Set<uint32_t>(4, 0x5000).Set<int16_t>(8, 3).Set<uint32_t>(10, 0x6000).Set<Point>(14, Point{40, 50});
    probe.HandleMessage(14, click.Bytes(), host.Table());
    EXPECT_EQ(probe.log.back(), "Click 20480 3 24576 40,50");
    EXPECT_EQ(reinterpret_cast<uint8_t*>(probe.clickRecord), click.Bytes() + 18);

    ParamBlock over;
    probe.HandleMessage(15, over.Bytes(), host.Table());
    EXPECT_EQ(over.Get<int16_t>(12), 77);

    ParamBlock grow;
    grow.Set<Point>(8, Point{-3, 9});
    probe.HandleMessage(12, grow.Bytes(), host.Table());
    EXPECT_EQ(probe.log.back(), "Grow -3,9");

    ParamBlock m20;
    m20.Set<uint32_t>(4, 99).Set<int8_t>(8, -2).Set<uint8_t>(10, 200);
    probe.answer20 = true;
    EXPECT_EQ(probe.HandleMessage(20, m20.Bytes(), host.Table()), 1);
    EXPECT_EQ(probe.log.back(), "M20 99 -2 200");
    EXPECT_EQ(probe.tail20, m20.Bytes() + 12);
}

TEST(Dispatcher, MembersPassTheLatestExtensionID)
{
    TestHost host;
    ProbeExtension probe;
    ParamBlock block;
    probe.HandleMessage(22, block.Bytes(), host.Table());  // sets gHost only
    probe.CommandNumber(2);
    block.Set<int16_t>(0, 7);
    probe.HandleMessage(0, block.Bytes(), host.Table());
    block.Set<int16_t>(0, 9);
    probe.HandleMessage(0, block.Bytes(), host.Table());
    probe.CommandNumber(1);
    probe.RequestNotification(310, true);
    auto numbers = host.CallsTo("HostCommandNumber");
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_EQ(numbers[0].Int(1), 0);
    EXPECT_EQ(numbers[1].Int(0), 1);
    EXPECT_EQ(numbers[1].Int(1), 9);
    auto requests = host.CallsTo("HostRequestNotification");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Int(0), 9);
    EXPECT_EQ(requests[0].Int(1), 310);
    EXPECT_EQ(requests[0].Int(2), 1);
}

TEST_F(FrameTest, AFailingServiceIsReportedOnceAndTheNextMessageWorks)
{
    LocalDataHandle instance = NewWindow();
    host.ClearCalls();
    host.Throw("HostBeforeErase");
    CommandRecord erase{};
    erase.kind = EraseCommand;
    auto* record = LowNew<CommandRecord>(erase);
    ParamBlock block;
    block.SetRef(0, instance).SetRef(4, record);
    EXPECT_EQ(Send(8, block, host), 0);
    auto reports = host.CallsTo("HostReportError");
    ASSERT_EQ(reports.size(), 1u);
    Str255 expected;
    GetIndString(expected, 2015, 3);
    EXPECT_EQ(reports[0].Str(0), PascalToString(expected));
    EXPECT_FALSE(reports[0].Str(0).empty());

    host.StopThrowing();
    host.ClearCalls();
    EXPECT_EQ(Send(8, block, host), 0);
    EXPECT_EQ(host.Count("HostBeforeErase"), 1u);
    EXPECT_EQ(host.Count("HostReportError"), 0u);
    LowDelete(record);
}
