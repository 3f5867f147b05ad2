// A progress line on stderr for long work, drawn only when stderr is a
// terminal, so logs and pipes stay clean: the share done of the total, its
// percentage and the time left, redrawn a few times a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class Progress {
public:
    // "sampling [####   ]  45%  4500 of 10000 samples, 3 s left" for ("sampling", 10000, "samples").
    Progress(std::string label, size_t total, std::string unit);
    ~Progress();  // clears the line
    void Update(size_t done);

private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    size_t total_;
    std::string unit_;
    bool enabled_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point shown_{};  // when the line was last drawn; never yet
    size_t width_ = 0;           // of the line last drawn
};
