// Samples read on a thread of their own and taken by the recorder's thread:
// the feed keeps every sample in order whatever the sizes on either side, a
// full feed makes the reader wait instead of dropping, and a paced reader is
// never ahead of its clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "recorder/PacedReader.h"
#include "recorder/Recorder.h"
#include "recorder/SampleFeed.h"

namespace {

using namespace std::chrono_literals;

std::vector<ChannelSettings> TwoChannels() { return {ChannelSettings{"A", "V"}, ChannelSettings{"B", "V"}}; }

// Channel 1 counts 0, 1, 2, ...; channel 2 is its negative.
class CountingSource : public SampleSource {
public:
    CountingSource(size_t length, double interval) : length_(length), interval_(interval) {}
    const std::vector<ChannelSettings>& Channels() const override { return channels_; }
    double SampleInterval() const override { return interval_; }
    size_t Read(size_t frames, std::span<float* const> channels) override
    {
        if (failAt_ && position_ + frames > failAt_)
            throw std::runtime_error("counting.dat: bad sample at " + std::to_string(failAt_));
        size_t n = std::min(frames, length_ - position_);
        for (size_t i = 0; i < n; ++i) {
            channels[0][i] = float(position_ + i);
            channels[1][i] = -float(position_ + i);
        }
        position_ += n;
        return n;
    }
    void FailAt(size_t position) { failAt_ = position; }

private:
    std::vector<ChannelSettings> channels_ = TwoChannels();
    size_t length_;
    double interval_;
    size_t position_ = 0;
    size_t failAt_ = 0;
};

// Reads a feed until it ends, in reads of varying size, checking the count.
size_t DrainChecking(SampleFeed& feed, std::atomic<bool>& ordered)
{
    std::vector<float> a(97), b(97);
    float* out[2] = {a.data(), b.data()};
    size_t next = 0, asked = 1;
    while (!feed.Ended()) {
        size_t got = feed.Read(asked, out);
        for (size_t i = 0; i < got; ++i)
            if (a[i] != float(next + i) || b[i] != -float(next + i)) ordered = false;
        next += got;
        asked = asked % 97 + 1;
        if (got == 0) std::this_thread::sleep_for(100us);
    }
    return next;
}

TEST(SampleFeed, EverySampleArrivesInOrderThroughASmallFullFeed)
{
    SampleFeed feed(TwoChannels(), 0.001, 50);  // far smaller than what passes through it
    CountingSource source(20000, 0.001);
    std::atomic<bool> ordered{true};
    std::thread reader([&] {
        std::vector<float> a(333), b(333);
        float* into[2] = {a.data(), b.data()};
        const float* from[2] = {a.data(), b.data()};
        while (size_t got = source.Read(a.size(), into)) ASSERT_TRUE(feed.Push(from, got));
        feed.Finish();
    });
    size_t taken = DrainChecking(feed, ordered);
    reader.join();
    EXPECT_EQ(taken, 20000u);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(feed.FramesPushed(), 20000u);
    EXPECT_EQ(feed.Error(), "");
}

TEST(SampleFeed, ClosingReleasesAReaderWaitingForRoom)
{
    SampleFeed feed(TwoChannels(), 0.001, 10);
    std::vector<float> a(25, 1.0f), b(25, 2.0f);
    const float* from[2] = {a.data(), b.data()};
    std::atomic<int> result{-1};
    std::thread reader([&] { result = feed.Push(from, 25) ? 1 : 0; });
    while (feed.Available() < 10) std::this_thread::sleep_for(100us);
    EXPECT_EQ(result, -1) << "waits while the feed is full";
    feed.Close();
    reader.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(feed.FramesPushed(), 10u);
}

TEST(SampleFeed, EndsOnlyOnceFinishedAndDrained)
{
    SampleFeed feed(TwoChannels(), 0.001, 100);
    std::vector<float> a(5), b(5);
    const float* from[2] = {a.data(), b.data()};
    float* into[2] = {a.data(), b.data()};
    feed.Push(from, 5);
    feed.Push(from, 5);
    EXPECT_EQ(feed.Read(5, into), 5u) << "no more than asked";
    EXPECT_EQ(feed.Available(), 5u);
    feed.Finish();
    EXPECT_TRUE(feed.Finished());
    EXPECT_FALSE(feed.Ended()) << "five samples still wait";
    feed.Read(5, into);
    EXPECT_TRUE(feed.Ended());
    EXPECT_EQ(feed.Read(5, into), 0u);
}

TEST(SampleFeed, ArrivalTimesAreHandedOverWhenTheirLastSampleIsRead)
{
    SampleFeed feed(TwoChannels(), 0.001, 100);
    feed.KeepArrivalTimes(true);
    std::vector<float> a(10), b(10);
    const float* from[2] = {a.data(), b.data()};
    float* into[2] = {a.data(), b.data()};
    feed.Push(from, 10);
    feed.Push(from, 10);
    std::vector<SampleFeed::Clock::time_point> arrivals;
    feed.Read(9, into);
    feed.TakeDeliveredArrivals(arrivals);
    EXPECT_TRUE(arrivals.empty());
    feed.Read(10, into);
    feed.TakeDeliveredArrivals(arrivals);
    EXPECT_EQ(arrivals.size(), 1u);
    feed.Read(10, into);
    feed.TakeDeliveredArrivals(arrivals);
    ASSERT_EQ(arrivals.size(), 2u);
    EXPECT_LE(arrivals[0], arrivals[1]);
}

TEST(PacedReader, AsFastAsPossibleDeliversTheWholeSourceAndEnds)
{
    CountingSource source(50000, 0.001);
    SampleFeed feed(TwoChannels(), 0.001, 3000);
    PacedReader reader(source, feed, PacedReader::kAsFastAsPossible);
    reader.Start();
    std::atomic<bool> ordered{true};
    EXPECT_EQ(DrainChecking(feed, ordered), 50000u);
    EXPECT_TRUE(ordered);
}

TEST(PacedReader, IsNeverAheadOfItsClockAndStopsWhilePaused)
{
    const double interval = 0.001, speed = 4.0;  // 4000 samples a second
    CountingSource source(1000000, interval);
    SampleFeed feed(TwoChannels(), interval, 1 << 20);
    PacedReader reader(source, feed, speed);
    const auto start = std::chrono::steady_clock::now();
    reader.Start();
    for (int i = 0; i < 20; ++i) {
        std::this_thread::sleep_for(3ms);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LE(double(feed.FramesPushed()), elapsed * speed / interval + 1) << "after " << elapsed << " s";
    }
    reader.Pause();
    std::this_thread::sleep_for(2 * PacedReader::kTick);  // a push under way may still land
    const uint64_t paused = feed.FramesPushed();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(feed.FramesPushed(), paused);
    reader.Resume();
    while (feed.FramesPushed() == paused) std::this_thread::sleep_for(1ms);
    reader.Stop();
    std::atomic<bool> ordered{true};
    feed.Finish();
    EXPECT_EQ(DrainChecking(feed, ordered), feed.FramesPushed());
    EXPECT_TRUE(ordered) << "no sample skipped across the pause";
}

TEST(PacedReader, AReadErrorEndsTheFeedWithItsMessage)
{
    CountingSource source(100000, 0.001);
    source.FailAt(10000);
    SampleFeed feed(TwoChannels(), 0.001, 1 << 16);
    PacedReader reader(source, feed, PacedReader::kAsFastAsPossible);
    reader.Start();
    std::atomic<bool> ordered{true};
    DrainChecking(feed, ordered);
    EXPECT_EQ(feed.Error(), "counting.dat: bad sample at 10000");
}

TEST(SampleFeed, TheRecorderSamplesWhatHasArrivedInBatchesOfAtMostItsSize)
{
    Recorder host;
    SampleFeed feed(TwoChannels(), 0.001, 1000);
    CountingSource source(250, 0.001);
    std::vector<float> a(250), b(250);
    float* into[2] = {a.data(), b.data()};
    const float* from[2] = {a.data(), b.data()};
    source.Read(250, into);
    host.StartSampling(feed, 100);
    EXPECT_EQ(host.SampleBatch(), 0u) << "nothing has arrived";
    feed.Push(from, 250);
    EXPECT_EQ(host.SampleBatch(), 100u);
    EXPECT_EQ(host.SampleBatch(), 100u);
    EXPECT_EQ(host.SampleBatch(), 50u);
    host.StopSampling();
    const Recording& recording = host.GetRecording();
    ASSERT_EQ(recording.SampleCount(), 250);
    EXPECT_EQ(recording.ChannelCount(), 2);
}

}  // namespace
