// A live stream's rows into the recorder's sample feed: the run's limit
// takes exactly its frames, rows while the recorder does not take them are
// dropped, a stream that ends before its channels says why, and closing
// releases a stream thread that waits for room.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "recorder/LiveFeed.h"

namespace {

using namespace std::chrono_literals;

std::vector<ChannelSettings> TwoChannels() { return {ChannelSettings{"A", "V"}, ChannelSettings{"B", "V"}}; }

// Pushes frames counting up from first: A = n, B = -n.
void PushCounting(LiveFeed& feed, int first, int frames)
{
    std::vector<float> a, b;
    for (int i = first; i < first + frames; ++i) {
        a.push_back(float(i));
        b.push_back(-float(i));
    }
    const float* channels[2] = {a.data(), b.data()};
    feed.Rows(channels, size_t(frames), LiveSink::Clock::now());
}

std::vector<float> Drain(SampleFeed& feed)
{
    std::vector<float> a(1000), b(1000), taken;
    float* out[2] = {a.data(), b.data()};
    while (size_t n = feed.Read(a.size(), out)) taken.insert(taken.end(), a.begin(), a.begin() + ptrdiff_t(n));
    return taken;
}

TEST(LiveFeed, TheLimitTakesItsFramesAndEndsTheFeedWithItsReason)
{
    std::vector<std::string> notes;
    LiveFeed feed(
        "udp:9000", [&](const std::string& text) { notes.push_back(text); },
        [](size_t channels, double interval) {
            EXPECT_EQ(channels, 2u);
            EXPECT_DOUBLE_EQ(interval, 0.01);
            return LiveFeed::Limit{25, "the recording is full"};
        });
    EXPECT_EQ(feed.Feed(), nullptr);
    feed.Begin(TwoChannels(), 0.01);
    ASSERT_TRUE(feed.WaitForBegin(LiveSink::Clock::now()));
    SampleFeed& samples = *feed.Feed();
    PushCounting(feed, 0, 10);
    PushCounting(feed, 10, 10);
    PushCounting(feed, 20, 10);  // five of these fit
    PushCounting(feed, 30, 10);
    feed.Note("line 3 skipped");
    feed.End("");  // the stream's own end changes nothing now
    EXPECT_TRUE(samples.Finished());
    EXPECT_EQ(samples.Error(), "the recording is full");
    std::vector<float> taken = Drain(samples);
    ASSERT_EQ(taken.size(), 25u);
    EXPECT_EQ(taken.back(), 24.0f);
    EXPECT_EQ(notes, std::vector<std::string>{"line 3 skipped"});
}

TEST(LiveFeed, RowsWhileNotTakingAreDroppedAndTheStreamsErrorIsNamed)
{
    LiveFeed feed("/dev/ttyACM0", nullptr, nullptr);
    feed.Begin(TwoChannels(), 0.001);
    SampleFeed& samples = *feed.Feed();
    PushCounting(feed, 0, 5);
    feed.Take(false);
    PushCounting(feed, 5, 5);
    feed.Take(true);
    PushCounting(feed, 10, 5);
    feed.End("the device went away (hung up)");
    EXPECT_EQ(Drain(samples), (std::vector<float>{0, 1, 2, 3, 4, 10, 11, 12, 13, 14}));
    EXPECT_TRUE(samples.Ended());
    EXPECT_EQ(samples.Error(), "/dev/ttyACM0: the device went away (hung up)");
    EXPECT_EQ(feed.ErrorBeforeBegin(), "");
}

TEST(LiveFeed, AStreamThatEndsBeforeItsChannelsSaysWhy)
{
    LiveFeed feed("standard input", nullptr, nullptr);
    EXPECT_FALSE(feed.WaitForBegin(LiveSink::Clock::now() + 10ms));
    std::thread stream([&] { feed.End("no header row of channel titles came"); });
    EXPECT_TRUE(feed.WaitForBegin(LiveSink::Clock::now() + 10s));
    stream.join();
    EXPECT_EQ(feed.Feed(), nullptr);
    EXPECT_EQ(feed.ErrorBeforeBegin(), "standard input: no header row of channel titles came");
}

TEST(LiveFeed, ClosingReleasesAStreamWaitingForRoom)
{
    // A second of room at 1 kHz; the stream sends more and waits, the
    // program closes the feed as the run ends.
    LiveFeed feed("standard input", nullptr, nullptr);
    feed.Begin(TwoChannels(), 1e-3 * 600);  // ten minutes of room: 1000 frames
    std::atomic<bool> returned{false};
    std::thread stream([&] {
        PushCounting(feed, 0, 1500);
        returned = true;
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(returned) << "a full feed made the stream drop rows instead of waiting";
    feed.Close();
    stream.join();
    EXPECT_TRUE(returned);
    EXPECT_EQ(feed.Feed()->Available(), 1000u);
}

TEST(LiveFeed, WaitingForSamplesWakesOnArrivalAndOnTheEnd)
{
    SampleFeed samples(TwoChannels(), 0.001, 100);
    const auto start = SampleFeed::Clock::now();
    EXPECT_FALSE(samples.WaitForSamples(start + 20ms));
    std::thread stream([&] {
        std::this_thread::sleep_for(20ms);
        float a = 1, b = 2;
        const float* channels[2] = {&a, &b};
        samples.Push(channels, 1);
    });
    EXPECT_TRUE(samples.WaitForSamples(SampleFeed::Clock::now() + 10s));
    stream.join();
    EXPECT_EQ(samples.Available(), 1u);
    EXPECT_LT(SampleFeed::Clock::now() - start, 5s);

    SampleFeed ending(TwoChannels(), 0.001, 100);
    std::thread finisher([&] { ending.Finish("gone"); });
    EXPECT_TRUE(ending.WaitForSamples(SampleFeed::Clock::now() + 10s));
    finisher.join();
}

}  // namespace
