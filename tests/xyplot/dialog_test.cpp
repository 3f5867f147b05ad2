// The erase-time dialog.
#include "PlotFixture.h"

namespace {

class EraseTimeDialogTest : public PlotTest {
protected:
    void SetUp() override
    {
        PlotTest::SetUp();
        instance = NewWindow();
        host.ClearCalls();
    }

    // Clicks Settings… and answers the dialog with these item hits.
    void RunDialog(std::deque<int16_t> hits, std::deque<double> numbers = {})
    {
        host.modalHits = std::move(hits);
        host.itemNumbers = std::move(numbers);
        ParamBlock block;
        block.SetRef(0, instance).SetRef(4, (*instance)->window).SetRef(10, (*instance)->settingsButton);
        block.Set<Point>(14, Point{5, 20});
        Send(14, block, host);
    }

    std::vector<double> Posted()
    {
        std::vector<double> values;
        for (auto& call : host.CallsTo("HostPostValueCommand")) {
            EXPECT_EQ(call.Int(0), 101);
            EXPECT_EQ(call.Int(1), 0);
            values.push_back(call.Real(2));
        }
        return values;
    }

    std::vector<std::string> Labels()
    {
        std::vector<std::string> labels;
        for (auto& call : host.CallsTo("HostSetItemText")) labels.push_back(call.Str(2));
        return labels;
    }

    LocalDataHandle instance = nullptr;
};

}  // namespace

TEST_F(EraseTimeDialogTest, OpensWithTheRecordsValuesAndPostsMinusOneAtOnce)
{
    ParamBlock id;
    id.Set<int16_t>(0, 4);
    Send(0, id, host);
    RunDialog({1});
    CallSteps step(host.Calls());
    EXPECT_EQ(step.NextOf("HostBeginResources").Int(0), 4);
    EXPECT_EQ(step.Next("HostGetDialog").Int(0), 1000);
    step.Next("HostExtensionName");
    const HostCall& place = step.Next("HostPlaceWindow");
    EXPECT_EQ(place.Int(2), 0x444C4F47);
    EXPECT_EQ(place.Int(3), 1000);
    EXPECT_EQ(place.Int(4), 0);
    EXPECT_EQ(place.Int(5), 8);
    step.Next("HostEndResources");
    const HostCall& number = step.Next("HostSetItemNumber");
    EXPECT_EQ(number.Int(1), 4);
    EXPECT_EQ(number.Real(2), 1.0);
    EXPECT_EQ(number.Int(3), 1);
    EXPECT_EQ(number.Int(4), 1);
    step.Next("HostOpenModal");
    EXPECT_EQ(step.Next("HostSetItemValue").Int(2), 0);
    EXPECT_EQ(step.Next("HostSetItemText").Str(2), "minute");
    EXPECT_EQ(step.Next("HostGetModalFilter").Int(0), 201);
    step.Next("HostModalDialog");
    EXPECT_EQ(step.Next("HostCommandNumber").Int(0), 1);
    step.Next("HostPostValueCommand");
    step.Next("HostCloseModal");
    EXPECT_TRUE(step.AtEnd());
    EXPECT_EQ(Posted(), std::vector<double>{-1.0});
    EXPECT_EQ((*instance)->autoErase, 0);  // applied only when the command comes back
}

TEST_F(EraseTimeDialogTest, TypingTurnsTheSwitchOnAndTogglesFlipIt)
{
    RunDialog({4, 1}, {2.5});
    EXPECT_EQ(Posted(), std::vector<double>{2.5});
    EXPECT_EQ(Labels(), (std::vector<std::string>{"minute", "minutes"}));
    EXPECT_EQ(host.CallsTo("HostSetItemValue")[1].Int(2), 1);

    host.ClearCalls();
    RunDialog({4, 3, 1}, {3.0});
    EXPECT_EQ(Posted(), std::vector<double>{-3.0});

    host.ClearCalls();
    RunDialog({4, 3, 3, 5, 0, 9, 1}, {3.0});
    EXPECT_EQ(Posted(), std::vector<double>{3.0});

    host.ClearCalls();
    RunDialog({4, 3, 2}, {7.0});
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(host.Count("HostCloseModal"), 1u);
    EXPECT_EQ((*instance)->eraseMinutes, 1.0);
}

TEST_F(EraseTimeDialogTest, OnlyExactlyOneMinuteIsSingular)
{
    for (double value : {0.999, 1.001}) {
        host.ClearCalls();
        RunDialog({4, 2}, {value});
        EXPECT_EQ(Labels().back(), "minutes") << value;
    }
    host.ClearCalls();
    RunDialog({4, 2}, {1.0});
    EXPECT_EQ(Labels().back(), "minute");
}

TEST_F(EraseTimeDialogTest, NoDialogMeansNothingHappens)
{
    host.dialogFails = true;
    LeakCheck leaks;
    RunDialog({});
    EXPECT_EQ(host.Count("HostOpenModal"), 0u);
    EXPECT_EQ(host.Count("HostPostValueCommand"), 0u);
    EXPECT_EQ(host.Count("HostEndResources"), 1u);
    leaks.ExpectNoToolboxObjectsLeft();
    Rect clip;
    GetClip(&clip);
    EXPECT_EQ(clip, (*instance)->plotRect);
}

TEST_F(EraseTimeDialogTest, TheDialogIsDisposedEveryTime)
{
    LeakCheck leaks;
    RunDialog({1});
    RunDialog({2});
    leaks.ExpectNoToolboxObjectsLeft();
}
