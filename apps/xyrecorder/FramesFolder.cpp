// --frames DIR: a fresh folder of frame-NNNNN.png that replaces DIR at the end.
#include "FramesFolder.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "signals/InputText.h"

bool IsFrameName(const std::string& name)
{
    constexpr std::string_view prefix = "frame-", suffix = ".png";
    if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size() - suffix.size(); ++i)
        if (!std::isdigit((unsigned char)name[i])) return false;
    return true;
}

FramesFolder::FramesFolder(const std::string& dir) : dir_(dir)
{
    if (dir.empty()) return;
    try {
        folder_ = std::make_unique<OutputFolder>(dir, "frames", IsFrameName);
    } catch (const OutputError& error) {
        throw InputError("--frames " + EscapeInput(dir) + ": " + error.what());
    }
}

void FramesFolder::Write(Session& session, WindowRef window)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%05zu.png", ++written_);
    session.WritePng(window, folder_->PathOf(name).string());
}

void FramesFolder::Keep()
{
    try {
        if (folder_) folder_->Commit();
    } catch (const OutputError& error) {
        throw InputError("--frames " + EscapeInput(dir_) + ": " + error.what());
    }
}
