// --frames DIR: the pictures a live run writes as it goes.
#pragma once

#include <memory>
#include <string>

#include "Session.h"
#include "signals/OutputFile.h"

// A picture of a run's frames, frame-00001.png and on.
bool IsFrameName(const std::string& name);

// The --frames folder: all of a successful run's frames and nothing else, or
// (when the run fails or is interrupted) what was there before. An empty
// dir: no frames.
class FramesFolder {
public:
    explicit FramesFolder(const std::string& dir);  // InputError naming --frames
    void Write(Session& session, WindowRef window);
    void Keep();  // InputError naming --frames

private:
    std::string dir_;
    std::unique_ptr<OutputFolder> folder_;
    size_t written_ = 0;
};
