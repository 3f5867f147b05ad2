// Each user action redraws each window it affects once: the real bundle's
// redraws from recorded data (one HostBusyBegin each) counted per action.
#include <gtest/gtest.h>

#include <cmath>

#include "recorder/Axis.h"
#include "recorder/Recorder.h"
#include "recorder/ScriptedInput.h"
#include "toolbox/Menus.h"
#include "toolbox/Windows.h"

namespace {

// Two channels of a slow circle, a second at 1 kHz, in 2 blocks.
class CircleSource : public SampleSource {
public:
    const std::vector<ChannelSettings>& Channels() const override { return channels_; }
    double SampleInterval() const override { return 0.001; }
    size_t Read(size_t frames, std::span<float* const> out) override
    {
        size_t n = std::min(frames, kTotal - next_);
        for (size_t i = 0; i < n; ++i) {
            double t = double(next_ + i) / double(kTotal);
            out[0][i] = float(0.5 * std::cos(6.283185307 * t));
            out[1][i] = float(0.5 * std::sin(6.283185307 * t));
        }
        next_ += n;
        return n;
    }

private:
    static constexpr size_t kTotal = 40000;
    std::vector<ChannelSettings> channels_{{"X", "V", -1, 1, 2}, {"Y", "V", -1, 1, 2}};
    size_t next_ = 0;
};

class RedrawCount : public ::testing::Test {
protected:
    void SetUp() override
    {
        recorder.LoadBundle(XY_BUNDLE_PATH);
        window = recorder.OpenWindow();
        ASSERT_NE(window, nullptr);
        CircleSource source;
        recorder.StartSampling(source, 1000);
        recorder.Sample(40000);
        recorder.StopSampling();
        recorder.SelectRange(0, 39999);
    }

    // Redraws from recorded data during action().
    template <class Action>
    int RedrawsDuring(Action action)
    {
        int before = recorder.Counters().busyBegin;
        action();
        return recorder.Counters().busyBegin - before;
    }

    const recorder::Axis& AxisOf(bool vertical)
    {
        for (recorder::Axis* axis : recorder.Axes(window))
            if (axis->Vertical() == vertical) return *axis;
        throw std::runtime_error("no axis");
    }
    Point TitleOf(bool vertical)
    {
        Rect title = AxisOf(vertical).TitleArea();
        return Point{int16_t((title.top + title.bottom) / 2), int16_t((title.left + title.right) / 2)};
    }
    int16_t ItemOf(bool vertical, const std::string& text)
    {
        MenuRef menu = AxisOf(vertical).Menu();
        for (SInt16 item = 1; item <= CountMenuItems(menu); ++item) {
            Str255 title;
            GetMenuItemText(menu, item, title);
            if (std::string(reinterpret_cast<const char*>(title + 1), title[0]) == text) return item;
        }
        throw std::runtime_error("no item " + text);
    }

    Recorder recorder;
    ScriptedInput input;
    ScopedInputSource installInput{&input};
    WindowRef window = nullptr;
};

TEST_F(RedrawCount, SelectingARangeRedrawsItOnce)
{
    EXPECT_EQ(RedrawsDuring([&] { recorder.SelectRange(1000, 20000); }), 1);
    EXPECT_EQ(RedrawsDuring([&] { recorder.ClearSelection(); }), 1);
}

TEST_F(RedrawCount, ResizeAndZoomRedrawOnce)
{
    EXPECT_EQ(RedrawsDuring([&] { recorder.Resize(window, 600, 500); }), 1);
    EXPECT_EQ(RedrawsDuring([&] { recorder.Zoom(window); }), 1);
    EXPECT_EQ(RedrawsDuring([&] { recorder.Zoom(window); }), 1);
}

TEST_F(RedrawCount, AxisRangeChangesRedrawOnce)
{
    EXPECT_EQ(RedrawsDuring([&] {
                  input.QueuePopUpChoice(ItemOf(false, recorder::kZoomOutItem));
                  recorder.Click(window, TitleOf(false));
              }),
              1);
    EXPECT_EQ(RedrawsDuring([&] {
                  input.QueuePopUpChoice(ItemOf(true, recorder::kZoomInItem));
                  recorder.Click(window, TitleOf(true));
              }),
              1);
    const Rect& scale = AxisOf(false).Bounds();
    Point press{int16_t(scale.top + 3), int16_t((scale.left + scale.right) / 2)};
    EXPECT_EQ(RedrawsDuring([&] {
                  input.QueueDrag(Point{press.v, int16_t(press.h + 40)});
                  recorder.Click(window, press);
              }),
              1);
    EXPECT_EQ(input.Pending(), 0u);
}

TEST_F(RedrawCount, ChannelChoiceRedrawsOnce)
{
    EXPECT_EQ(RedrawsDuring([&] {
                  input.QueuePopUpChoice(int16_t(recorder::FirstChannelItemOf(AxisOf(false).Menu()) + 1));
                  recorder.Click(window, TitleOf(false));
              }),
              1);
    EXPECT_EQ(input.Pending(), 0u);
}

}  // namespace
