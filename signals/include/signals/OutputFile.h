// Writing what the program makes (pictures, recordings, frames) without ever
// destroying what a path names. A regular file, or nothing, is replaced whole:
// written beside it under a temporary name and renamed over it. A FIFO or a
// character device (such as /dev/stdout) is written to as a stream. Anything
// else is refused. A link is followed: the file it names is replaced, the
// link stays.
//
// Temporaries are named NAME.xyrecorder-PID-N.tmp. A run removes its own when
// it fails or is interrupted (see RemoveTemporariesOnInterrupt), and the
// first write into a folder removes those that runs which no longer exist
// left there (a run killed outright can't clean up).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Why an output can't be written; what() is the reason alone, without the
// path, for the caller to put after its own name for the output.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OutputTarget {
    enum class Kind { replace, stream } kind;
    std::filesystem::path file;  // what is replaced or opened: a link's target, or the path itself
};

// The one place that decides whether and how path may be written, without
// touching it. Throws OutputError: "is a folder, not a file name", "the folder
// F does not exist", "the folder F is not writable", "is a socket; ...".
OutputTarget ResolveOutput(const std::filesystem::path& path);

// Writes path through write(file), which is given a new, empty file to fill
// (a temporary beside a replaced file; a memory file for a stream, copied
// into it once complete). Throws OutputError, or what write throws; a failed
// write leaves what path names as it was (a stream may have taken part).
void WriteOutput(const std::filesystem::path& path,
                 const std::function<void(const std::filesystem::path& file)>& write);

class TemporaryCleanup;  // what an interrupt removes, for as long as it is registered

// A folder of files that appears whole or not at all. The files go into a
// fresh folder beside the target, which takes the target's place on Commit;
// an earlier folder there goes, with its files. Until then, and when the run
// fails or is interrupted, the target stays as it was.
class OutputFolder {
public:
    // replaceable(name): whether a file named so in an existing target may
    // go (the frames of an earlier run); what names such files in messages
    // ("frames"). Throws OutputError as CheckOutputFolder does, or when the
    // folders can't be made.
    OutputFolder(const std::filesystem::path& target, const std::string& what,
                 std::function<bool(const std::string&)> replaceable);
    ~OutputFolder();  // removes what was not committed, and the folders made for it
    OutputFolder(const OutputFolder&) = delete;
    OutputFolder& operator=(const OutputFolder&) = delete;

    std::filesystem::path PathOf(const std::string& name) const { return fresh_ / name; }
    void Commit();  // throws OutputError

private:
    void RemoveUncommitted();

    std::filesystem::path target_;  // a link's target folder, when the target is a link
    std::filesystem::path fresh_;
    std::vector<std::filesystem::path> made_;  // missing folders above the target, outermost first
    std::function<bool(const std::string&)> replaceable_;
    std::vector<std::unique_ptr<TemporaryCleanup>> cleanups_;
    bool committed_ = false;
};

// Throws OutputError unless an OutputFolder can be made at target: a folder
// or nothing there, a writable folder above it, and an existing folder
// holds only files that replaceable accepts. Makes nothing. The reasons:
// "F is not a folder" (F the nearest path that exists), "the folder F is not
// writable", "the folder holds other files than WHAT ("NAME"); ...".
void CheckOutputFolder(const std::filesystem::path& target, const std::string& what,
                       const std::function<bool(const std::string&)>& replaceable);

// Installs handlers for SIGINT, SIGTERM and SIGHUP that remove this
// process's temporaries and unfinished output folders, then let the signal
// end the process as it would have. Signals ignored at start stay ignored.
void RemoveTemporariesOnInterrupt();

// While one lives, the first SIGINT, SIGTERM or SIGHUP asks the run to
// finish instead of ending it: Requested() turns true, and the run writes
// what it has (a live recording can't be made again) and ends. The next one
// ends the process as RemoveTemporariesOnInterrupt's handlers do. Needs
// those handlers installed.
class FinishOnInterrupt {
public:
    FinishOnInterrupt();
    ~FinishOnInterrupt();
    FinishOnInterrupt(const FinishOnInterrupt&) = delete;
    FinishOnInterrupt& operator=(const FinishOnInterrupt&) = delete;

    static bool Requested();
};
