// What the end-to-end tests share: running the xyrecorder program as a user
// does (exit code, stdout, stderr) in a fresh folder per test, and reading
// the pictures it writes.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Pictures.h"
#include "signals/DemoSignals.h"
#include "signals/Signals.h"

namespace fs = std::filesystem;

inline constexpr uint32_t kTrace = 0x0066CC;  // the trace pen's colour, 0xRRGGBB

struct Outcome {
    int code;
    std::string out;
    std::string err;
};

// The plot area of a window with this content size: fixed margins around it.
struct Area {
    int top, left, bottom, right;
    bool Contains(int h, int v) const { return v >= top && v < bottom && h >= left && h < right; }
};
inline Area PlotArea(const Picture& p) { return Area{23, 51, p.height - 32, p.width - 15}; }

struct TraceCount {
    long inside = 0, outside = 0;
};
inline TraceCount CountTrace(const Picture& picture)
{
    TraceCount count;
    Area area = PlotArea(picture);
    for (int v = 0; v < picture.height; ++v)
        for (int h = 0; h < picture.width; ++h)
            if (picture.At(h, v) == kTrace) (area.Contains(h, v) ? count.inside : count.outside)++;
    return count;
}

// Positions of trace pixels, for comparing two pictures' traces.
inline std::vector<size_t> TracePixels(const Picture& picture)
{
    std::vector<size_t> at;
    for (size_t i = 0; i < picture.pixels.size(); ++i)
        if (picture.pixels[i] == kTrace) at.push_back(i);
    return at;
}

inline std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Long enough for the slowest run under valgrind; a hang ends here, not in CI's timeout.
inline constexpr int kRunTimeoutSeconds = 600;

// The command line that runs the program: under $XY_E2E_WRAPPER (words
// separated by spaces, e.g. "valgrind --error-exitcode=99") when it is set.
inline std::vector<std::string> ProgramCommand(const std::vector<std::string>& arguments)
{
    std::vector<std::string> command;
    if (const char* wrapper = std::getenv("XY_E2E_WRAPPER")) {
        std::istringstream words(wrapper);
        for (std::string word; words >> word;) command.push_back(word);
    }
    command.push_back(XYRECORDER_PATH);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

// A process started without a shell in the folder dir, stdin from /dev/null
// (or the file in, or the open descriptor input), and its output in files;
// killed when it is still running at the end of Wait or of its scope.
class RunningProgram {
public:
    RunningProgram(const std::vector<std::string>& command, const fs::path& out, const fs::path& err,
                   const fs::path& dir = fs::path(), const fs::path& in = "/dev/null", int input = -1)
    {
        std::vector<char*> argv;
        for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (input >= 0)
            posix_spawn_file_actions_adddup2(&files, input, 0);
        else
            posix_spawn_file_actions_addopen(&files, 0, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&files, dir.c_str());
        // Signals as a user's shell gives them, whatever this test was started
        // with (a background job of a script ignores SIGINT, and so would its children).
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t all, none;
        sigfillset(&all);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        if (posix_spawnp(&pid_, argv[0], &files, &attributes, argv.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
    }
    ~RunningProgram()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    pid_t Pid() const { return pid_; }
    void Signal(int signal) const { ::kill(pid_, signal); }
    // The exit code; 128 + N after signal N; -1 when it had to be killed.
    int Wait(int timeoutSeconds)
    {
        if (pid_ <= 0) return -1;
        int status = 0;
        for (int waited = 0; ::waitpid(pid_, &status, WNOHANG) == 0; ++waited) {
            if (waited >= timeoutSeconds * 100) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return -1;
            }
            ::usleep(10000);
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
};

class Xyrecorder : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / ("xyrecorder_e2e_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        if (!HasFailure()) fs::remove_all(dir_);
    }

    fs::path Path(const std::string& name) const { return dir_ / name; }

    // Runs the program in the test's folder with arguments and stdin closed;
    // a run that outlasts the timeout is killed and gives code -1.
    Outcome Xy(const std::vector<std::string>& arguments, int timeoutSeconds = kRunTimeoutSeconds)
    {
        return XyReading("/dev/null", arguments, timeoutSeconds);
    }
    // The same with standard input read from the file in.
    Outcome XyReading(const fs::path& in, const std::vector<std::string>& arguments,
                      int timeoutSeconds = kRunTimeoutSeconds)
    {
        RunningProgram run(ProgramCommand(arguments), Path("stdout.txt"), Path("stderr.txt"), dir_, in);
        Outcome outcome{run.Wait(timeoutSeconds), Slurp(Path("stdout.txt")), Slurp(Path("stderr.txt"))};
        fs::remove(Path("stdout.txt"));
        fs::remove(Path("stderr.txt"));
        return outcome;
    }

    // Everything but the program's own files in the folder.
    std::vector<std::string> Leftovers(const std::vector<std::string>& expected) const
    {
        std::vector<std::string> extra;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            std::string name = entry.path().filename().string();
            if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
        }
        return extra;
    }

    fs::path dir_;
};

inline SignalSet DemoSamples(double seconds)
{
    DemoOptions options;
    options.duration = seconds;
    return MakeDemoSignals(options);
}
