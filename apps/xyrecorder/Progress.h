// A progress bar on stderr for long work, drawn only when stderr is a
// terminal, so logs and pipes stay clean.
#pragma once

#include <cstddef>
#include <string>

class Progress {
public:
    Progress(std::string label, size_t total);
    ~Progress();  // clears the bar
    void Update(size_t done);

private:
    std::string label_;
    size_t total_;
    bool enabled_;
    int shownPercent_ = -1;
};
