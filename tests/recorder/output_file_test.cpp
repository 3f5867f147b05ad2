// Writing outputs without destroying what a path names, reading only regular
// files, and showing input in messages without letting it reach the terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "signals/InputFile.h"
#include "signals/InputText.h"
#include "signals/OutputFile.h"

namespace fs = std::filesystem;

namespace {

class OutputFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("output_file_test_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Path(const std::string& name) const { return dir_ / name; }
    static std::string Read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void WriteText(const fs::path& path, const std::string& text)
    {
        WriteOutput(path, [&](const fs::path& file) { std::ofstream(file, std::ios::binary) << text; });
    }
    std::vector<std::string> Names(const fs::path& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // The PID of a process that has ended, for names of temporaries it left.
    static pid_t EndedProcess()
    {
        pid_t child = ::fork();
        if (child == 0) ::_exit(0);
        ::waitpid(child, nullptr, 0);
        return child;
    }

    fs::path dir_;
};

std::string Reason(const fs::path& path)
{
    try {
        ResolveOutput(path);
    } catch (const OutputError& error) {
        return error.what();
    }
    return "(none)";
}

bool IsFrame(const std::string& name) { return name.rfind("frame-", 0) == 0; }

TEST(InputText, ControlCharactersAndBytesThatAreNoUtf8AreEscaped)
{
    EXPECT_EQ(ShowInput("plain é ü 温度"), "plain é ü 温度");
    EXPECT_EQ(ShowInput("\x1b[31mred\x07\x7f"), "\\x1B[31mred\\x07\\x7F");
    EXPECT_EQ(ShowInput("a\nb\tc\rd"), "a\\nb\\tc\\rd");
    // C1 controls as UTF-8 (U+009B is a CSI to some terminals), stray bytes, an overlong '/' and a surrogate.
    EXPECT_EQ(ShowInput("\xc2\x9b"
                        "2J"),
              "\\u009B2J");
    EXPECT_EQ(ShowInput("\xff\xc3"), "\\xFF\\xC3");
    EXPECT_EQ(ShowInput("\xc0\xaf"), "\\xC0\\xAF");
    EXPECT_EQ(ShowInput("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    // Quotes and backslashes matter only inside quotes.
    EXPECT_EQ(ShowInput("say \"\\\""), "say \"\\\"");
    EXPECT_EQ(QuoteInput("say \"\\\""), "\"say \\\"\\\\\\\"\"");
    EXPECT_EQ(EscapeInput(std::string(1000, 'x') + "\x1b"), std::string(1000, 'x') + "\\x1B");
}

TEST(InputText, LongInputIsCutAtACharacterWithItsLengthSaid)
{
    std::string megabyte(1 << 20, '7');
    EXPECT_EQ(QuoteInput(megabyte), "\"" + std::string(kInputExcerptBytes, '7') + "…\" (1048576 bytes)");
    EXPECT_EQ(ShowInput(megabyte, 3), "777…");
    // "é" is two bytes: a cut never splits it.
    EXPECT_EQ(ShowInput("aéé", 2), "a…");
    EXPECT_EQ(ShowInput("aéé", 3), "aé…");
    EXPECT_EQ(QuoteInput("exactly", 7), "\"exactly\"");
}

TEST_F(OutputFiles, OnlyARegularFileOrNothingIsReplaced)
{
    EXPECT_EQ(ResolveOutput(Path("new.png")).kind, OutputTarget::Kind::replace);
    WriteText(Path("old.png"), "old");
    EXPECT_EQ(ResolveOutput(Path("old.png")).kind, OutputTarget::Kind::replace);
    EXPECT_EQ(ResolveOutput("/dev/null").kind, OutputTarget::Kind::stream);
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    EXPECT_EQ(ResolveOutput(Path("fifo")).kind, OutputTarget::Kind::stream);

    fs::create_directories(Path("folder"));
    EXPECT_EQ(Reason(Path("folder")), "is a folder, not a file name");
    EXPECT_EQ(Reason(Path("missing/x.png")), "the folder " + Path("missing").string() + " does not exist");
    // A link is followed to the file it names (the e2e tests write through links).
    fs::create_symlink("old.png", Path("link.png"));
    EXPECT_EQ(ResolveOutput(Path("link.png")).file, fs::canonical(Path("old.png")));
    fs::create_symlink("loop.png", Path("loop.png"));
    EXPECT_EQ(Reason(Path("loop.png")), std::strerror(ELOOP));
}

TEST_F(OutputFiles, AFailedWriteLeavesTheOldFileAndNoTemporary)
{
    WriteText(Path("out.png"), "old");
    EXPECT_THROW(WriteOutput(Path("out.png"),
                             [](const fs::path& file) {
                                 std::ofstream(file) << "half";
                                 throw OutputError("the encoder gave up");
                             }),
                 OutputError);
    EXPECT_EQ(Read(Path("out.png")), "old");
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"out.png"});
    // A device that takes no bytes. As root a node of our own, so that a
    // fault here could never replace the system's /dev/full.
    fs::path full = "/dev/full";
    if (::geteuid() == 0) {
        full = Path("full");
        ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    }
    try {
        WriteOutput(full, [](const fs::path& file) { std::ofstream(file) << "something"; });
        ADD_FAILURE() << "the full device took the bytes";
    } catch (const OutputError& error) {
        EXPECT_EQ(std::string(error.what()), std::strerror(ENOSPC));
    }
    EXPECT_TRUE(fs::is_character_file(full));
}

TEST_F(OutputFiles, TemporariesOfEndedRunsGoWithTheFirstWriteIntoTheirFolder)
{
    const std::string ended = std::to_string(EndedProcess());
    const std::string ours = std::to_string(::getpid());
    std::ofstream(Path("a.png.xyrecorder-" + ended + "-3.tmp")) << "stale";
    fs::create_directories(Path("frames.xyrecorder-" + ended + "-4.tmp"));
    std::ofstream(Path("frames.xyrecorder-" + ended + "-4.tmp/frame-00001.png")) << "stale";
    std::ofstream(Path("b.png.xyrecorder-" + ours + "-1.tmp")) << "still being written";
    std::ofstream(Path("c.png.xyrecorder-" + ended + "-x.tmp")) << "not our name";
    std::ofstream(Path("d.png.xyrecorder-" + ended + ".tmp")) << "not our name";
    WriteText(Path("out.png"), "new");
    EXPECT_EQ(Names(dir_),
              (std::vector<std::string>{"b.png.xyrecorder-" + ours + "-1.tmp", "c.png.xyrecorder-" + ended + "-x.tmp",
                                        "d.png.xyrecorder-" + ended + ".tmp", "out.png"}));
}

TEST_F(OutputFiles, AFolderAppearsWholeOnCommitAndNotAtAllWithout)
{
    {
        OutputFolder folder(Path("new/deeper/frames"), "frames", IsFrame);
        WriteText(folder.PathOf("frame-00001.png"), "first run");
        EXPECT_FALSE(fs::exists(Path("new/deeper/frames")));
    }
    EXPECT_EQ(Names(dir_), std::vector<std::string>{});  // the folders made for it went too

    {
        OutputFolder folder(Path("frames"), "frames", IsFrame);
        WriteText(folder.PathOf("frame-00001.png"), "first run");
        WriteText(folder.PathOf("frame-00002.png"), "first run");
        folder.Commit();
    }
    ::chmod(Path("frames").c_str(), 0750);
    {
        OutputFolder folder(Path("frames"), "frames", IsFrame);
        WriteText(folder.PathOf("frame-00001.png"), "second run");
        EXPECT_EQ(Read(Path("frames/frame-00001.png")), "first run");  // until the commit
        folder.Commit();
    }
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"frames"});
    EXPECT_EQ(Names(Path("frames")), std::vector<std::string>{"frame-00001.png"});
    EXPECT_EQ(Read(Path("frames/frame-00001.png")), "second run");
    struct stat info {};
    ASSERT_EQ(::stat(Path("frames").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u);

    // Through a link, the folder it names is replaced; the link stays.
    fs::create_symlink("frames", Path("latest"));
    {
        OutputFolder folder(Path("latest"), "frames", IsFrame);
        WriteText(folder.PathOf("frame-00007.png"), "third run");
        folder.Commit();
    }
    EXPECT_TRUE(fs::is_symlink(Path("latest")));
    EXPECT_EQ(Names(Path("frames")), std::vector<std::string>{"frame-00007.png"});
}

TEST_F(OutputFiles, AFileThatAppearsInTheFolderDuringTheRunKeepsItInPlace)
{
    fs::create_directories(Path("frames"));
    std::ofstream(Path("frames/frame-00001.png")) << "earlier";
    {
        OutputFolder folder(Path("frames"), "frames", IsFrame);
        WriteText(folder.PathOf("frame-00001.png"), "this run");
        std::ofstream(Path("frames/notes.txt")) << "written meanwhile";
        EXPECT_THROW(folder.Commit(), OutputError);
    }
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"frames"});
    EXPECT_EQ(Names(Path("frames")), (std::vector<std::string>{"frame-00001.png", "notes.txt"}));
    EXPECT_EQ(Read(Path("frames/frame-00001.png")), "earlier");
}

TEST_F(OutputFiles, AFolderHoldingAFolderIsRefused)
{
    fs::create_directories(Path("mine/sub"));
    EXPECT_THROW(CheckOutputFolder(Path("mine"), "frames", IsFrame), OutputError);
    EXPECT_THROW(OutputFolder(Path("mine"), "frames", IsFrame), OutputError);
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"mine"});
}

TEST_F(OutputFiles, InputsAreRegularFilesCheckedBeforeTheyAreOpened)
{
    ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
    fs::create_directories(Path("folder"));
    std::ofstream(Path("file")) << "bytes";
    EXPECT_EQ(InputProblem(Path("missing"), "a script"), "no such file");
    EXPECT_EQ(InputProblem(Path("fifo"), "a script"), "is a FIFO (named pipe), not a script");
    EXPECT_EQ(InputProblem("/dev/zero", "a script"), "is a character device, not a script");
    EXPECT_EQ(InputProblem(Path("folder"), "a script"), "is a directory, not a script");
    EXPECT_EQ(InputProblem(Path("file"), "a script"), std::nullopt);

    InputFile fifo(Path("fifo"), "a script");
    EXPECT_FALSE(fifo);
    InputFile file(Path("file"), "a script");
    ASSERT_TRUE(file);
    std::string text;
    EXPECT_TRUE(file.ReadAll(text));
    EXPECT_EQ(text, "bytes");

    // One file by any of its names.
    fs::create_hard_link(Path("file"), Path("hard"));
    fs::create_symlink("file", Path("soft"));
    EXPECT_EQ(IdentityOf(Path("hard")), IdentityOf(Path("file")));
    EXPECT_EQ(IdentityOf(Path("soft")), IdentityOf(Path("file")));
    EXPECT_NE(IdentityOf(Path("folder")), IdentityOf(Path("file")));
    EXPECT_EQ(IdentityOf(Path("missing")), std::nullopt);
}

}  // namespace
