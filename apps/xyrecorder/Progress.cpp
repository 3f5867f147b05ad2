#include "Progress.h"

#include <cstdio>
#include <unistd.h>

namespace {

// Often enough to look alive, rarely enough that the terminal never slows the work.
constexpr std::chrono::milliseconds kRedrawEvery(250);

std::string Duration(double seconds)
{
    char text[32];
    if (seconds < 60)
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    else if (seconds < 3600)
        std::snprintf(text, sizeof text, "%d min %02d s", int(seconds) / 60, int(seconds) % 60);
    else
        std::snprintf(text, sizeof text, "%d h %02d min", int(seconds) / 3600, int(seconds) / 60 % 60);
    return text;
}

}  // namespace

Progress::Progress(std::string label, size_t total, std::string unit)
    : label_(std::move(label)), total_(total), unit_(std::move(unit)), enabled_(total > 0 && ::isatty(STDERR_FILENO))
{}

Progress::~Progress()
{
    if (enabled_ && width_ > 0) std::fprintf(stderr, "\r%*s\r", int(width_), "");
}

void Progress::Update(size_t done)
{
    if (!enabled_) return;
    Clock::time_point now = Clock::now();
    if (now - shown_ < kRedrawEvery && done < total_) return;
    shown_ = now;
    if (done > total_) done = total_;
    int percent = int(done * 100 / total_);
    constexpr int kBar = 30;
    int filled = percent * kBar / 100;
    double elapsed = std::chrono::duration<double>(now - start_).count();
    // An estimate needs some work done to go by.
    std::string left = done > 0 && done < total_ && elapsed >= 0.5
                           ? ", " + Duration(elapsed / double(done) * double(total_ - done)) + " left"
                           : std::string();
    char line[256];
    int width = std::snprintf(line, sizeof line, "\r%s [%.*s%*s] %3d%%  %zu of %zu %s%s", label_.c_str(), filled,
                              "##############################", kBar - filled, "", percent, done, total_, unit_.c_str(),
                              left.c_str());
    // Padding clears what a longer line before left behind.
    std::fprintf(stderr, "%s%*s", line, width_ + 1 > size_t(width) ? int(width_ + 1 - size_t(width)) : 0, "");
    width_ = size_t(width) - 1;
    std::fflush(stderr);
}
