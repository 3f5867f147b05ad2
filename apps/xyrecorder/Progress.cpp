// A progress line on stderr, drawn only when stderr is a terminal.
#include "Progress.h"

#include <cstdio>
#include <unistd.h>

Progress::Progress(std::string label, size_t total)
    : label_(std::move(label)), total_(total), enabled_(total > 0 && ::isatty(STDERR_FILENO))
{
}

Progress::~Progress()
{
    if (enabled_ && shownPercent_ >= 0)
        std::fprintf(stderr, "\r%*s\r", int(label_.size()) + 40, "");
}

void Progress::Update(size_t done)
{
    if (!enabled_)
        return;
    int percent = int(done >= total_ ? 100 : done * 100 / total_);
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    constexpr int kWidth = 30;
    int filled = percent * kWidth / 100;
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", label_.c_str(), filled, "##############################",
                 kWidth - filled, "", percent);
    std::fflush(stderr);
}
