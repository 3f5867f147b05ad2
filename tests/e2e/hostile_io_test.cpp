// The program against input and output meant to break it: files that are no
// files, outputs that are inputs, headers that lie, runs that are
// interrupted. Nothing may crash, hang, or destroy what a path names.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "ProgramFixture.h"

namespace {

// Bytes of a file, for checking that it is untouched.
std::string Bytes(const fs::path& path) { return Slurp(path); }

bool IsFifo(const fs::path& path) { return fs::is_fifo(fs::symlink_status(path)); }

// A UNIX socket bound at path (the node stays when the descriptor closes).
void MakeSocket(const fs::path& path)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.string().size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    ::close(fd);
}

// A minimal 16-bit mono WAV (1 kHz, 100 samples) with a LIST/INFO chunk
// holding one sub-chunk whose size field is listSubSize.
std::string WavWithList(uint32_t listSubSize)
{
    auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string format = u16(1) + u16(1) + u32(1000) + u32(2000) + u16(2) + u16(16);
    std::string samples;
    for (int i = 0; i < 100; ++i) samples += u16(uint16_t(i * 100));
    std::string info = "INFO" + std::string("IXYZ") + u32(listSubSize) + std::string("hello\0", 6);
    std::string body = "WAVE" + ("fmt " + u32(uint32_t(format.size())) + format) +
                       ("LIST" + u32(uint32_t(info.size())) + info) +
                       ("data" + u32(uint32_t(samples.size())) + samples);
    return "RIFF" + u32(uint32_t(body.size())) + body;
}

// Overwrites an 8-character field of an EDF header in place.
void PatchEdfField(const fs::path& path, size_t offset, const std::string& text)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string field = text + std::string(8 - text.size(), ' ');
    file.seekp(std::streamoff(offset));
    file.write(field.data(), 8);
}

// The signal count of an EDF file's header.
size_t EdfSignalCount(const fs::path& path)
{
    std::string header = Bytes(path).substr(252, 4);
    return size_t(std::stoi(header));
}

class HostileInput : public Xyrecorder {
protected:
    // Names in the test's folder, sorted, recursing into folders ("frames/frame-00001.png").
    std::vector<std::string> Tree() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_))
            names.push_back(entry.path().lexically_relative(dir_).string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(HostileInput, ScriptCannotReplaceTheSourceThatIsBeingSampled)
{
    std::ofstream(Path("swap.xys")) << "source demo duration 1\nopen\nstart 10\nsource demo duration 2\nbatch 3\n";
    Outcome run = Xy({"script", Path("swap.xys").string()});
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_EQ(run.err, Path("swap.xys").string() + ":4: source: sampling is under way; stop first\n");

    // After a stop the new source is taken, and sampling goes on from it.
    std::ofstream(Path("stop.xys")) << "source demo duration 1\nopen\nstart 10\nbatch 2\nstop\n"
                                       "source demo duration 2 rate 500\nstart 10\nsample 0.5\nexpect samples 270\n";
    Outcome stopped = Xy({"script", Path("stop.xys").string()});
    EXPECT_EQ(stopped.code, 0) << stopped.err;
}

TEST_F(HostileInput, OutputIntoAFifoIsAStreamAndTheFifoStays)
{
    ASSERT_EQ(::mkfifo(Path("pipe.png").c_str(), 0644), 0);
    RunningProgram reader({"cat", Path("pipe.png").string()}, Path("received.png"), Path("cat.err"));
    Outcome run = Xy({"demo", "--duration", "0.5", "--out", Path("pipe.png").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(reader.Wait(30), 0);
    EXPECT_TRUE(IsFifo(Path("pipe.png")));
    Picture picture = ReadPng(Path("received.png"));
    EXPECT_EQ(picture.width, 480);
    EXPECT_GT(CountTrace(picture).inside, 100);

    // With nobody reading, the run says so at once instead of waiting for a reader.
    Outcome unread = Xy({"demo", "--duration", "0.5", "--out", Path("pipe.png").string()}, 30);
    EXPECT_EQ(unread.code, 1);
    EXPECT_EQ(unread.err.substr(unread.err.find('\n') + 1),
              "xyrecorder: PNG " + Path("pipe.png").string() + ": no program is reading the FIFO (named pipe)\n");
    EXPECT_TRUE(IsFifo(Path("pipe.png")));
}

TEST_F(HostileInput, OutputToStandardOutputAndToACharacterDeviceIsAStream)
{
    // What /dev/stdout is: a link to the descriptor, here a pipe into cat.
    fs::create_symlink("/proc/self/fd/1", Path("stdout"));
    std::string command = "'" + std::string(XYRECORDER_PATH) + "' demo --duration 0.5 --out '" +
                          Path("stdout").string() + "' 2>/dev/null | cat > '" + Path("piped.png").string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadPng(Path("piped.png")).width, 480);
    EXPECT_TRUE(fs::is_symlink(Path("stdout")));

    if (::geteuid() != 0) GTEST_SKIP() << "making a device node of our own needs root";
    // A private twin of /dev/null and of /dev/full: written to, never replaced.
    ASSERT_EQ(::mknod(Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
    ASSERT_EQ(::mknod(Path("full").c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
    Outcome null = Xy({"demo", "--duration", "0.5", "--out", Path("null").string()});
    EXPECT_EQ(null.code, 0) << null.err;
    EXPECT_TRUE(fs::is_character_file(Path("null")));
    Outcome full = Xy({"demo", "--duration", "0.5", "--out", Path("full").string()});
    EXPECT_EQ(full.code, 1);
    EXPECT_NE(full.err.find("xyrecorder: PNG " + Path("full").string() + ": No space left on device\n"),
              std::string::npos)
        << full.err;
    EXPECT_TRUE(fs::is_character_file(Path("full")));
}

TEST_F(HostileInput, OutputThroughALinkReplacesTheFileItNamesAndKeepsTheLink)
{
    fs::create_directories(Path("pictures"));
    std::ofstream(Path("pictures/old.png")) << "an older picture";
    fs::create_symlink("pictures/old.png", Path("latest.png"));
    Outcome run = Xy({"demo", "--duration", "0.5", "--out", Path("latest.png").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(Path("latest.png")));
    EXPECT_EQ(ReadPng(Path("pictures/old.png")).width, 480);
    // A link whose file does not exist yet: the file is made where it points.
    fs::create_symlink("pictures/new.png", Path("next.png"));
    EXPECT_EQ(Xy({"demo", "--duration", "0.5", "--out", Path("next.png").string()}).code, 0);
    EXPECT_TRUE(fs::is_symlink(Path("next.png")));
    EXPECT_EQ(ReadPng(Path("pictures/new.png")).width, 480);
    EXPECT_EQ(Tree(),
              (std::vector<std::string>{"latest.png", "next.png", "pictures", "pictures/new.png", "pictures/old.png"}));
}

TEST_F(HostileInput, OutputOntoWhatIsNoFileIsRefusedAndLeftAlone)
{
    MakeSocket(Path("socket"));
    Outcome socket = Xy({"demo", "--duration", "0.5", "--out", Path("socket").string()});
    EXPECT_EQ(socket.code, 1);
    EXPECT_EQ(socket.err, "xyrecorder: --out " + Path("socket").string() +
                              ": is a socket; output goes to a regular file, a FIFO or a character device\n");
    EXPECT_TRUE(fs::is_socket(Path("socket")));
}

TEST_F(HostileInput, OutputThatIsAnInputIsRefusedWhateverItsName)
{
    WriteCsv(Path("rec.csv"), DemoSamples(0.5));
    std::string before = Bytes(Path("rec.csv"));
    fs::create_hard_link(Path("rec.csv"), Path("alias.png"));
    fs::create_symlink("rec.csv", Path("link.png"));
    for (const char* out : {"rec.csv", "alias.png", "link.png"}) {
        Outcome run = Xy({"play", Path("rec.csv").string(), "--out", Path(out).string()});
        EXPECT_EQ(run.code, 1) << out;
        EXPECT_EQ(run.err, "xyrecorder: --out " + Path(out).string() + ": is the input " + Path("rec.csv").string() +
                               "; it is not written over\n");
    }
    Outcome view = Xy({"view", Path("rec.csv").string(), "--out", Path("alias.png").string()});
    EXPECT_EQ(view.code, 1);
    // A script's pictures spare the script and the files it read.
    std::ofstream(Path("s.xys")) << "source file rec.csv\nopen\nload\npng alias.png\n";
    std::ofstream(Path("self.xys")) << "open\npng self.xys\n";
    Outcome script = Xy({"script", Path("s.xys").string()});
    EXPECT_EQ(script.code, 1);
    EXPECT_EQ(script.err, Path("s.xys").string() + ":4: PNG " + Path("alias.png").string() + ": is the input " +
                              Path("rec.csv").string() + "; it is not written over\n");
    EXPECT_EQ(Xy({"script", Path("self.xys").string()}).code, 1);
    EXPECT_EQ(Bytes(Path("rec.csv")), before);
    EXPECT_EQ(Bytes(Path("self.xys")), "open\npng self.xys\n");
    // So do its vector pictures, and a script named like one.
    fs::create_hard_link(Path("rec.csv"), Path("alias.svg"));
    std::ofstream(Path("v.xys")) << "source file rec.csv\nopen\nload\nsave alias.svg\n";
    Outcome vector = Xy({"script", Path("v.xys").string()});
    EXPECT_EQ(vector.code, 1);
    EXPECT_EQ(vector.err, Path("v.xys").string() + ":4: SVG " + Path("alias.svg").string() + ": is the input " +
                              Path("rec.csv").string() + "; it is not written over\n");
    std::ofstream(Path("self.pdf")) << "open\nsave self.pdf 2\n";
    EXPECT_EQ(Xy({"script", Path("self.pdf").string()}).code, 1);
    EXPECT_EQ(Bytes(Path("self.pdf")), "open\nsave self.pdf 2\n");
    EXPECT_EQ(Bytes(Path("rec.csv")), before);
}

TEST_F(HostileInput, WavWhoseInfoSubChunkClaimsNearlyFourGibibytesIsRefusedAtOnce)
{
    std::ofstream(Path("list.wav"), std::ios::binary) << WavWithList(0xFFFFFFF8u);
    Outcome run = Xy({"info", Path("list.wav").string()}, 30);
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "xyrecorder: " + Path("list.wav").string() +
                           ": not a valid WAV file: the \"IXYZ\" chunk in LIST claims 4294967288 bytes, "
                           "beyond the end of its LIST chunk\n");
    // The same file with a true size reads.
    std::ofstream(Path("good.wav"), std::ios::binary) << WavWithList(6);
    EXPECT_EQ(Xy({"info", Path("good.wav").string()}).code, 0);
}

TEST_F(HostileInput, EdfWhosePhysicalRangeNoSampleCanHoldIsRefused)
{
    SignalSet samples = DemoSamples(1);
    for (const char* field : {"115E9375", "-32e68"}) {
        WriteEdf(Path("bad.edf"), samples, false);
        size_t signals = EdfSignalCount(Path("bad.edf"));
        // Signal 2's physical maximum: after the labels, transducers, dimensions and minima.
        PatchEdfField(Path("bad.edf"), 256 + signals * (16 + 80 + 8 + 8) + 1 * 8, field);
        Outcome run = Xy({"info", Path("bad.edf").string()});
        EXPECT_EQ(run.code, 1) << field << ": " << run.out;
        EXPECT_EQ(run.err, "xyrecorder: " + Path("bad.edf").string() +
                               ": signal 2 (Pressure): the physical maximum \"" + field +
                               "\" is no number a 32-bit sample can hold\n");
    }
}

TEST_F(HostileInput, InputsMustBeRegularFiles)
{
    ASSERT_EQ(::mkfifo(Path("pipe.csv").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo(Path("pipe.xys").c_str(), 0644), 0);
    fs::create_symlink("/dev/zero", Path("zero.csv"));
    MakeSocket(Path("socket.wav"));
    const std::string d = dir_.string() + "/";
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"info", d + "pipe.csv"}, "xyrecorder: " + d + "pipe.csv: is a FIFO (named pipe), not a recording file\n"},
        {{"play", d + "zero.csv"}, "xyrecorder: " + d + "zero.csv: is a character device, not a recording file\n"},
        {{"view", d + "socket.wav"}, "xyrecorder: " + d + "socket.wav: is a socket, not a recording file\n"},
        {{"script", d + "pipe.xys"}, "xyrecorder: " + d + "pipe.xys: is a FIFO (named pipe), not a script file\n"},
        {{"demo", "--bundle", d + "pipe.csv"},
         "xyrecorder: bundle " + d +
             "pipe.csv: is a FIFO (named pipe), not a "
             "bundle file\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Xy(c.arguments, 30);
        EXPECT_EQ(run.code, 1) << c.arguments[1];
        // The last line: demo first says what it samples.
        size_t last = run.err.rfind('\n', run.err.size() - 2);
        EXPECT_EQ(run.err.substr(last == std::string::npos ? 0 : last + 1), c.message);
    }
    EXPECT_TRUE(IsFifo(Path("pipe.csv")));

    // Standard input is read when asked for with "-", also as a file it must not write over.
    std::ofstream(Path("piped.xys")) << "source demo duration 1\nopen\nexpect windows 1\npng "
                                     << Path("piped.xys").string() << "\n";
    std::string command = "'" + std::string(XYRECORDER_PATH) + "' script - < '" + Path("piped.xys").string() + "' 2>'" +
                          Path("piped.err").string() + "'";
    int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(Slurp(Path("piped.err")), "standard input:4: PNG " + Path("piped.xys").string() +
                                            ": is the input standard input; it is not written over\n");
}

TEST_F(HostileInput, WavCutOffInItsDataSaysThatItEndsEarly)
{
    WriteWav(Path("whole.wav"), DemoSamples(1));
    std::string bytes = Bytes(Path("whole.wav"));
    // 6 channels of 4-byte floats: cut 250 frames off the end of the data.
    std::ofstream(Path("cut.wav"), std::ios::binary) << bytes.substr(0, bytes.size() - 250 * 24);
    Outcome run = Xy({"info", Path("cut.wav").string()});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find("750 samples"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "xyrecorder: note: " + Path("cut.wav").string() +
                           ": the file ends early: its header gives 1000 samples per channel, the file holds 750\n");
}

TEST_F(HostileInput, CsvTimeColumnMustGiveAnIntervalTheOptionWouldTake)
{
    const std::string bounds = " s is outside 1e-09 to 3600 s\n";
    std::ofstream(Path("tiny.csv")) << "Time (s),A\n0,1\n1e-300,2\n2e-300,3\n";
    std::ofstream(Path("huge.csv")) << "Time (s),A\n0,1\n1e300,2\n2e300,3\n";
    std::ofstream(Path("infinite.csv")) << "Time (s),A\n-1.7e308,1\n1.7e308,2\n";
    std::ofstream(Path("hours.csv")) << "Time (h),A\n0,1\n2,2\n4,3\n";
    auto expected = [&](const char* name, const char* interval) {
        return "xyrecorder: " + Path(name).string() + ": the time column's sample interval: " + interval + bounds;
    };
    EXPECT_EQ(Xy({"info", Path("tiny.csv").string()}).err, expected("tiny.csv", "1e-300"));
    EXPECT_EQ(Xy({"info", Path("huge.csv").string()}).err, expected("huge.csv", "1e+300"));
    EXPECT_EQ(Xy({"info", Path("infinite.csv").string()}).err, expected("infinite.csv", "inf"));
    EXPECT_EQ(Xy({"info", Path("hours.csv").string()}).err, expected("hours.csv", "7200"));
    // The option states the same bounds.
    Outcome option = Xy({"info", Path("tiny.csv").string(), "--interval", "1e-300"});
    EXPECT_EQ(option.code, 2);
    EXPECT_EQ(option.err, "xyrecorder info: --interval: 1e-300" + bounds.substr(0, bounds.size() - 1) +
                              " (see xyrecorder info --help)\n");
    EXPECT_EQ(Xy({"info", Path("tiny.csv").string(), "--interval", "0.5"}).code, 0);
}

TEST_F(HostileInput, MessagesQuoteAShortEscapedExcerptOfTheInput)
{
    // A number cell of a megabyte: the message shows its start and its size.
    std::ofstream(Path("long.csv")) << "Time (s),A\n0,1\n0.001," << std::string(1 << 20, '7') << "x\n";
    Outcome longCell = Xy({"info", Path("long.csv").string()});
    EXPECT_EQ(longCell.code, 1);
    EXPECT_EQ(longCell.err, "xyrecorder: " + Path("long.csv").string() + ":3: column 2 (A): \"" + std::string(60, '7') +
                                "…\" (1048577 bytes) is not a number\n");

    // Terminal control sequences in titles reach neither the listing nor a message raw.
    std::ofstream(Path("escape.csv")) << "Time (s),\x1b]2;owned\x07,\x1b[31mRed\n0,1,2\n0.001,1,2\n";
    Outcome info = Xy({"info", Path("escape.csv").string()});
    EXPECT_EQ(info.code, 0) << info.err;
    EXPECT_EQ(info.out.find('\x1b'), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\\x1B[31mRed"), std::string::npos) << info.out;
    Outcome wrong = Xy({"play", Path("escape.csv").string(), "--x", "\x1b[2J", "--out", Path("x.png").string()});
    EXPECT_EQ(wrong.code, 1);
    EXPECT_EQ(wrong.err, "xyrecorder: --x \\x1B[2J: " + Path("escape.csv").string() +
                             " has no such channel; its channels are 1 \"\\x1B]2;owned\\x07\", 2 \"\\x1B[31mRed\"\n");
    Outcome command = Xy({"\x1b[2Jplot"});
    EXPECT_EQ(command.code, 2);
    EXPECT_EQ(command.err, "xyrecorder: unknown command \"\\x1B[2Jplot\" (try xyrecorder --help)\n");
}

TEST_F(HostileInput, EmptyChannelNameIsAnError)
{
    for (const char* option : {"--x", "--y"}) {
        Outcome run = Xy({"demo", option, "", "--out", Path("x.png").string()});
        EXPECT_EQ(run.code, 2);
        EXPECT_EQ(run.err, std::string("xyrecorder demo: ") + option +
                               " needs a value, not an empty one (see "
                               "xyrecorder demo --help)\n");
    }
    std::ofstream(Path("empty.xys")) << "source demo duration 1\nopen\naxis x channel \"\"\n";
    Outcome script = Xy({"script", Path("empty.xys").string()});
    EXPECT_EQ(script.code, 2);
    EXPECT_EQ(script.err, Path("empty.xys").string() + ":3: axis x channel: give a channel title or number\n");
    EXPECT_FALSE(fs::exists(Path("x.png")));
}

// ---- --frames: a run's frames, all of them or none ----

class Frames : public HostileInput {
protected:
    std::vector<std::string> Demo(double seconds, const std::string& frames)
    {
        return {"demo",
                "--duration",
                std::to_string(seconds),
                "--batch",
                "100",
                "--every",
                "1",
                "--frames",
                Path(frames).string(),
                "--out",
                Path("out.png").string()};
    }

    // Runs a realtime demo and sends it signal once it has written `frames` frames.
    int Interrupted(int signal, const std::string& frames, int written = 1)
    {
        std::vector<std::string> arguments = Demo(20, frames);
        arguments.push_back("--realtime");
        auto start = fs::file_time_type::clock::now();
        RunningProgram run(ProgramCommand(arguments), Path("run.out"), Path("run.err"));
        for (int i = 0; i < 6000 && FramesWrittenSince(start) < written; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GE(FramesWrittenSince(start), written) << "the run did not get that far";
        run.Signal(signal);
        int code = run.Wait(kRunTimeoutSeconds);
        fs::remove(Path("run.out"));
        fs::remove(Path("run.err"));
        return code;
    }

    int FramesWrittenSince(fs::file_time_type start) const
    {
        int count = 0;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(dir_, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            std::string name = it->path().filename().string();
            std::error_code gone;
            count +=
                name.rfind("frame-", 0) == 0 && name.size() == 15 && fs::last_write_time(it->path(), gone) >= start;
        }
        return count;
    }
};

TEST_F(Frames, ARunsFramesReplaceThoseOfAnEarlierRunOnlyWhenItSucceeds)
{
    ASSERT_EQ(Xy(Demo(0.4, "frames")).code, 0);
    ASSERT_EQ(Xy(Demo(0.2, "frames")).code, 0);
    // The second run's two frames, none of the first run's four.
    EXPECT_EQ(Tree(),
              (std::vector<std::string>{"frames", "frames/frame-00001.png", "frames/frame-00002.png", "out.png"}));
    std::string second = Bytes(Path("frames/frame-00002.png"));

    // A run that fails at its very end (nobody reads the FIFO it was to
    // write the picture to) leaves them as they were.
    ASSERT_EQ(::mkfifo(Path("pipe.png").c_str(), 0644), 0);
    Outcome failed = Xy({"demo", "--duration", "0.5", "--batch", "100", "--every", "1", "--frames",
                         Path("frames").string(), "--out", Path("pipe.png").string()});
    EXPECT_EQ(failed.code, 1);
    EXPECT_EQ(Bytes(Path("frames/frame-00002.png")), second);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"frames", "frames/frame-00001.png", "frames/frame-00002.png", "out.png",
                                                "pipe.png"}));
}

TEST_F(Frames, AFolderWithOtherFilesIsRefusedUntouched)
{
    fs::create_directories(Path("mine"));
    std::ofstream(Path("mine/notes.txt")) << "mine";
    std::ofstream(Path("mine/frame-00001.png")) << "a picture of mine";
    Outcome run = Xy(Demo(0.2, "mine"));
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.err, "xyrecorder: --frames " + Path("mine").string() +
                           ": the folder holds other files than frames (\"notes.txt\"); give a new folder, an empty "
                           "one, or one that holds only frames\n");
    EXPECT_EQ(Tree(), (std::vector<std::string>{"mine", "mine/frame-00001.png", "mine/notes.txt"}));

    // Nor may the picture go where the frames go: that folder is replaced whole.
    fs::create_directories(Path("frames"));
    Outcome inside = Xy({"demo", "--duration", "0.2", "--every", "1", "--frames", Path("frames").string(), "--out",
                         Path("frames/last.png").string()});
    EXPECT_EQ(inside.code, 1);
    EXPECT_EQ(inside.err, "xyrecorder: --out " + Path("frames/last.png").string() +
                              ": lies in the --frames folder, which the run replaces\n");
}

TEST_F(Frames, AnInterruptedRunLeavesTheEarlierFramesAndNothingElse)
{
    ASSERT_EQ(Xy(Demo(0.3, "frames")).code, 0);
    fs::remove(Path("out.png"));
    const std::vector<std::string> earlier = Tree();
    const std::string frame = Bytes(Path("frames/frame-00002.png"));
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        EXPECT_EQ(Interrupted(signal, "frames"), 128 + signal);
        EXPECT_EQ(Tree(), earlier);
        EXPECT_EQ(Bytes(Path("frames/frame-00002.png")), frame);
    }
    // A run into a new folder, interrupted, takes its folders with it.
    EXPECT_EQ(Interrupted(SIGINT, "new/deeper"), 128 + SIGINT);
    EXPECT_EQ(Tree(), earlier);
}

TEST_F(Frames, WhatAKilledRunLeftIsRemovedByTheNextRun)
{
    EXPECT_EQ(Interrupted(SIGKILL, "frames", 3), 128 + SIGKILL);
    ASSERT_NE(Tree(), std::vector<std::string>{}) << "the killed run left nothing to clean up";
    // What a run killed while writing leaves, by the PID of a process that has ended.
    RunningProgram ended({"true"}, "/dev/null", "/dev/null");
    const std::string dead = std::to_string(ended.Pid());
    ASSERT_EQ(ended.Wait(10), 0);
    std::ofstream(Path("out.png.xyrecorder-" + dead + "-1.tmp")) << "half a picture";
    fs::create_directories(Path("frames.xyrecorder-" + dead + "-2.tmp"));
    std::ofstream(Path("frames.xyrecorder-" + dead + "-2.tmp/frame-00001.png")) << "half a run";
    // A temporary of a run that is still going (this test's own) stays.
    const std::string live = "out.png.xyrecorder-" + std::to_string(::getpid()) + "-1.tmp";
    std::ofstream(Path(live)) << "busy";

    ASSERT_EQ(Xy(Demo(0.2, "frames")).code, 0);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"frames", "frames/frame-00001.png", "frames/frame-00002.png", "out.png",
                                                live}));
}

}  // namespace
