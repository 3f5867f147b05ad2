// The erase-time dialog.
#include "PlotFixture.h"

namespace {

class DialogTest : public PlotTest {
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

TEST_F(DialogTest, OpensWithTheRecordsValuesAndPostsMinusOneAtOnce)
{
    ParamBlock id;
    id.Set<int16_t>(0, 4);
    Send(0, id, host);
    RunDialog({1});
    std::vector<std::string> expected = {
        "HostBeginResources", "HostGetDialog",    "HostExtensionName", "HostPlaceWindow",      "HostEndResources",
        "HostSetItemNumber",  "HostOpenModal",    "HostSetItemValue",  "HostSetItemText",      "HostGetModalFilter",
        "HostModalDialog",    "HostCommandNumber", "HostPostValueCommand", "HostCloseModal"};
    auto names = host.Names();
    names.erase(names.begin(), names.begin() + long(host.IndexOf("HostBeginResources")));
    EXPECT_EQ(names, expected);
    auto calls = host.Calls();
    size_t begin = host.IndexOf("HostBeginResources");
    EXPECT_EQ(calls[begin].Int(0), 4);
    EXPECT_EQ(calls[begin + 1].Int(0), 1000);
    EXPECT_EQ(calls[begin + 3].Int(2), 0x444C4F47);
    EXPECT_EQ(calls[begin + 3].Int(3), 1000);
    EXPECT_EQ(calls[begin + 3].Int(4), 0);
    EXPECT_EQ(calls[begin + 3].Int(5), 8);
    auto number = host.CallsTo("HostSetItemNumber")[0];
    EXPECT_EQ(number.Int(1), 4);
    EXPECT_EQ(number.Real(2), 1.0);
    EXPECT_EQ(number.Int(3), 1);
    EXPECT_EQ(number.Int(4), 1);
    EXPECT_EQ(host.CallsTo("HostSetItemValue")[0].Int(2), 0);
    EXPECT_EQ(Labels(), std::vector<std::string>{"minute"});
    EXPECT_EQ(host.CallsTo("HostGetModalFilter")[0].Int(0), 201);
    EXPECT_EQ(Posted(), std::vector<double>{-1.0});
    EXPECT_EQ(host.CallsTo("HostCommandNumber")[0].Int(0), 1);
    EXPECT_EQ((*instance)->autoErase, 0);  // applied only when the command comes back
}

TEST_F(DialogTest, TypingTurnsTheSwitchOnAndTogglesFlipIt)
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

TEST_F(DialogTest, OnlyExactlyOneMinuteIsSingular)
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

TEST_F(DialogTest, NoDialogMeansNothingHappens)
{
    host.dialogFails = true;
    auto counts = GetToolboxObjectCounts();
    RunDialog({});
    EXPECT_EQ(host.Count("HostOpenModal"), 0u);
    EXPECT_EQ(host.Count("HostPostValueCommand"), 0u);
    EXPECT_EQ(host.Count("HostEndResources"), 1u);
    EXPECT_EQ(GetToolboxObjectCounts().dialogs, counts.dialogs);
    Rect clip;
    GetClip(&clip);
    EXPECT_TRUE(EqualRect(&clip, &(*instance)->plotRect));
}

TEST_F(DialogTest, TheDialogIsDisposedEveryTime)
{
    auto counts = GetToolboxObjectCounts();
    RunDialog({1});
    RunDialog({2});
    EXPECT_EQ(GetToolboxObjectCounts().dialogs, counts.dialogs);
    EXPECT_EQ(GetToolboxObjectCounts().windows, counts.windows);
}
