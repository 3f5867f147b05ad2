// Reaching the host's recorded data.
#include "PlotFixture.h"

using RecordedDataTest = PlotTest;

TEST_F(RecordedDataTest, TheDataSourceIsAskedForOnceAcrossWindows)
{
    gDataSource = nullptr;
    SampleLocation location;
    LocateSample(5, &location);
    EXPECT_EQ(host.Count("HostGetDataSource"), 1u);
    EXPECT_EQ(host.CallsTo("HostGetDataSource")[0].Int(0), 1);
    EXPECT_EQ(host.CallsTo("HostLocateSample")[0].Ptr(0), host.dataSource());
    BlockLength(0);
    SampleCount();
    UnlockBlockData(1, 0);
    EXPECT_EQ(host.Count("HostGetDataSource"), 1u);
}

TEST_F(RecordedDataTest, ANullDataSourceIsAskedForAgain)
{
    gDataSource = nullptr;
    host.On<&HostServiceTable::HostGetDataSource>([](int16_t) { return DataSourceRef(nullptr); });
    EXPECT_EQ(SampleCount(), 0);
    EXPECT_EQ(host.CallsTo("HostSampleCount")[0].Ptr(0), nullptr);
    SampleCount();
    EXPECT_EQ(host.Count("HostGetDataSource"), 2u);
    gDataSource = nullptr;
}

TEST_F(RecordedDataTest, FloatCountRoundsTheByteCountDown)
{
    for (auto [bytes, floats] : {std::pair{10, 2}, {0, 0}, {4, 1}, {7, 1}}) {
        Handle h = NewHandle(bytes);
        EXPECT_EQ(FloatCount(h), uint32_t(floats)) << bytes;
        DisposeHandle(h);
    }
}

TEST_F(RecordedDataTest, CurrentRangeChecksRunInTheirOrderAndFallBackToRangeB)
{
    host.rangeA.startSample = 10;
    host.rangeB.startSample = 20;
    struct Case {
        bool a, b, c;
        bool has;
        int32_t start;
        std::vector<std::string> calls;
    };
    std::vector<Case> cases = {
        {true,
         true,
         true,
         true,
         10,
         {"HostGetRangeA", "HostRangeCheckA", "HostRangeCheckB", "HostGetRangeA", "HostRangeCheckA", "HostRangeCheckC",
          "HostGetRangeA"}},
        {true,
         true,
         false,
         true,
         20,
         {"HostGetRangeA", "HostRangeCheckA", "HostRangeCheckB", "HostGetRangeA", "HostRangeCheckA", "HostRangeCheckC",
          "HostGetRangeB"}},
        {false,
         true,
         true,
         false,
         20,
         {"HostGetRangeA", "HostRangeCheckA", "HostGetRangeA", "HostRangeCheckA", "HostGetRangeB"}},
        {true,
         false,
         true,
         false,
         10,
         {"HostGetRangeA", "HostRangeCheckA", "HostRangeCheckB", "HostGetRangeA", "HostRangeCheckA", "HostRangeCheckC",
          "HostGetRangeA"}},
    };
    for (const Case& c : cases) {
        host.checkA = c.a;
        host.checkB = c.b;
        host.checkC = c.c;
        host.ClearCalls();
        EXPECT_EQ(HasCurrentRange(), c.has);
        EXPECT_EQ(GetCurrentRange().startSample, c.start);
        EXPECT_EQ(host.Names(), c.calls);
    }
}
