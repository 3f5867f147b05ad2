// A live stream's rows into a sample feed, within the run's limit.
#include "recorder/LiveFeed.h"

#include <algorithm>

namespace {

// Samples that may wait for the recorder (a modal loop held open in the live
// window): ten minutes at the stream's rate, at most 64 MiB.
constexpr double kFeedSeconds = 600;
constexpr double kFeedBytes = 64.0 * 1024 * 1024;

}  // namespace

LiveFeed::LiveFeed(std::string source, std::function<void(const std::string&)> showNote,
                   std::function<Limit(size_t channels, double sampleInterval)> limitFor)
    : source_(std::move(source)), showNote_(std::move(showNote)), limitFor_(std::move(limitFor))
{}

bool LiveFeed::WaitForBegin(Clock::time_point until)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, until, [&] { return begun_ || ended_; });
}

std::string LiveFeed::ErrorBeforeBegin() const
{
    std::lock_guard lock(mutex_);
    return begun_ ? std::string() : error_;
}

void LiveFeed::Close()
{
    taking_ = false;
    std::lock_guard lock(mutex_);
    if (feed_) feed_->Close();
}

void LiveFeed::Begin(const std::vector<ChannelSettings>& channels, double sampleInterval)
{
    limit_ = limitFor_ ? limitFor_(channels.size(), sampleInterval) : Limit{};
    const double perChannel = kFeedBytes / (4.0 * double(channels.size()));
    const auto capacity = size_t(std::max(1.0, std::min(kFeedSeconds / sampleInterval, perChannel)));
    auto feed = std::make_unique<SampleFeed>(channels, sampleInterval, capacity);
    std::lock_guard lock(mutex_);
    feed_ = std::move(feed);
    begun_ = true;
    changed_.notify_all();
}

void LiveFeed::Rows(std::span<const float* const> channels, size_t frames, Clock::time_point arrival)
{
    if (!taking_ || finished_ || !feed_) return;
    const uint64_t room = limit_.frames - taken_;
    const size_t take = size_t(std::min<uint64_t>(frames, room));
    if (take > 0 && !feed_->Push(channels, take, arrival)) return;
    taken_ += take;
    if (taken_ >= limit_.frames) FinishFeed(limit_.why);
}

void LiveFeed::Note(const std::string& text)
{
    if (showNote_) showNote_(text);
}

void LiveFeed::End(const std::string& error)
{
    const std::string named = error.empty() ? error : source_ + ": " + error;
    FinishFeed(named);
    std::lock_guard lock(mutex_);
    ended_ = true;
    error_ = named;
    changed_.notify_all();
}

void LiveFeed::FinishFeed(const std::string& error)
{
    if (finished_.exchange(true) || !feed_) return;
    feed_->Finish(error);
}
