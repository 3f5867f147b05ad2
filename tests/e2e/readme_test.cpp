// Every command the READMEs show runs as written, through the shell, from a
// checkout whose docs are read-only: a user who copies them gets what they say.
#include "ProgramFixture.h"

namespace {

using Readme = Xyrecorder;

const fs::path kSourceRoot = fs::path(E2E_SOURCE_DIR).parent_path().parent_path();

// The program lines of a README's indented examples ("    build/xyrecorder ...").
std::vector<std::string> ProgramLines(const fs::path& readme)
{
    std::vector<std::string> lines;
    std::istringstream text(Slurp(readme));
    for (std::string line; std::getline(text, line);)
        if (line.rfind("    build/xyrecorder ", 0) == 0) lines.push_back(line.substr(4));
    return lines;
}

TEST_F(Readme, EveryCommandShownRunsAsWritten)
{
    // A checkout: the build beside the docs, the docs not writable.
    fs::path checkout = Path("checkout");
    fs::create_directories(checkout / "docs");
    fs::create_symlink(fs::path(XYRECORDER_PATH).parent_path(), checkout / "build");
    fs::copy_file(kSourceRoot / "docs" / "tour.xys", checkout / "docs" / "tour.xys");
    fs::permissions(checkout / "docs", fs::perms::owner_read | fs::perms::owner_exec);

    std::vector<std::string> lines = ProgramLines(kSourceRoot / "README.md");
    std::vector<std::string> more = ProgramLines(kSourceRoot / "apps" / "xyrecorder" / "README.md");
    lines.insert(lines.end(), more.begin(), more.end());
    ASSERT_GE(lines.size(), 8u);
    size_t ran = 0, skipped = 0;
    for (const std::string& line : lines) {
        // The live window needs a desktop and a person to quit it; a serial
        // board, a UDP sender and a sound card are not on a test machine (the
        // live sources' own tests stand in for them).
        bool needsPerson = line.find("--window") != std::string::npos;
        bool needsDevice = line.find(" live /dev/") != std::string::npos ||
                           line.find(" live udp:") != std::string::npos ||
                           line.find(" live audio:") != std::string::npos;
        if (needsPerson || needsDevice) {
            ++skipped;
            continue;
        }
        RunningProgram run({"/bin/sh", "-c", line}, Path("out.txt"), Path("err.txt"), checkout);
        int code = run.Wait(kRunTimeoutSeconds);
        std::string err = Slurp(Path("err.txt"));
        EXPECT_EQ(code, 0) << line << "\n" << err;
        // Each command that writes a file says so; info lists the channels.
        bool writes = line.find("--out ") != std::string::npos || line.find("--save ") != std::string::npos ||
                      line.find("--to ") != std::string::npos;
        if (writes) {
            EXPECT_NE(err.find("xyrecorder: wrote "), std::string::npos) << line << "\n" << err;
        }
        if (line.find(" info ") != std::string::npos) {
            EXPECT_EQ(Slurp(Path("out.txt")).rfind("recording.edf: 6 channels, 80000 samples at 1000 Hz (80 s)\n", 0),
                      0u);
        }
        ++ran;
    }
    EXPECT_EQ(skipped, 4u);  // demo --window, and live from a board, UDP and a sound card
    EXPECT_EQ(ran, lines.size() - skipped);

    for (const char* picture : {"mine.png", "range.png", "sines.png", "live.png", "tour-live.png", "tour-recorded.png"})
        EXPECT_GT(CountTrace(ReadPng((checkout / picture).string())).inside, 100) << picture;
    EXPECT_EQ(std::distance(fs::directory_iterator(checkout / "docs"), fs::directory_iterator()), 1);
    fs::permissions(checkout / "docs", fs::perms::owner_all);
}

}  // namespace
