// `xyrecorder live`: sources that send while the program plots, each fed by
// the test as a device or a program would: a pipe at a real pace, a
// pseudo-terminal standing in for a serial board, UDP datagrams on the
// loopback, and a sound card played from a file through SDL's disk driver.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

#include "ProgramFixture.h"

namespace {

using namespace std::chrono_literals;

// `xyrecorder live ...` running, its standard input a pipe the test writes to.
class LiveRun {
public:
    LiveRun(const std::vector<std::string>& arguments, const fs::path& dir, bool pipeInput) : dir_(dir)
    {
        int fds[2] = {-1, -1};
        if (pipeInput) {
            EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
            input_ = fds[1];
        }
        program_ = std::make_unique<RunningProgram>(ProgramCommand(arguments), dir / "stdout.txt", dir / "stderr.txt",
                                                    fs::path(), "/dev/null", fds[0]);
        if (fds[0] >= 0) ::close(fds[0]);
    }
    ~LiveRun() { CloseInput(); }

    void Write(const std::string& text)
    {
        for (size_t done = 0; done < text.size();) {
            ssize_t n = ::write(input_, text.data() + done, text.size() - done);
            ASSERT_GT(n, 0) << "the program stopped reading";
            done += size_t(n);
        }
    }
    void CloseInput()
    {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }
    pid_t Pid() const { return program_->Pid(); }
    void Signal(int signal) const { program_->Signal(signal); }
    std::string Err() const { return Slurp(dir_ / "stderr.txt"); }
    // Waits until stderr says this (the run got that far); false after 60 s.
    bool WaitForErr(const std::string& text) const
    {
        for (int i = 0; i < 6000; ++i, std::this_thread::sleep_for(10ms))
            if (Err().find(text) != std::string::npos) return true;
        return false;
    }
    Outcome Finish()
    {
        CloseInput();
        const int code = program_->Wait(kRunTimeoutSeconds);
        Outcome outcome{code, Slurp(dir_ / "stdout.txt"), Err()};
        fs::remove(dir_ / "stdout.txt");
        fs::remove(dir_ / "stderr.txt");
        return outcome;
    }

private:
    fs::path dir_;
    int input_ = -1;
    std::unique_ptr<RunningProgram> program_;
};

// An X-Y loop at 100 Hz whose first rows reach both ends of each channel,
// so that the ranges the first rows give are those of the whole file.
std::vector<std::string> LoopRows(int count)
{
    std::vector<std::string> rows;
    for (int i = 0; i < count; ++i) {
        double t = i * 0.01, x = std::sin(2 * M_PI * 1.5 * t), y = std::cos(2 * M_PI * 2.5 * t);
        if (i < 4) {
            x = (i & 1) ? 1 : -1;
            y = (i & 2) ? 1 : -1;
        }
        char row[64];
        std::snprintf(row, sizeof row, "%.2f,%.4f,%.4f\n", t, x, y);
        rows.push_back(row);
    }
    return rows;
}

std::string Joined(const std::vector<std::string>& rows, size_t from = 0, size_t to = SIZE_MAX)
{
    std::string text;
    for (size_t i = from; i < std::min(to, rows.size()); ++i) text += rows[i];
    return text;
}

// The values of a CSV file's channels, row by row, as the program saved them.
std::vector<std::vector<float>> Samples(const fs::path& path)
{
    std::vector<std::vector<float>> channels;
    for (const SignalChannel& channel : ReadSignals(path).channels) channels.push_back(channel.samples);
    return channels;
}

size_t Occurrences(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

class Live : public Xyrecorder {
protected:
    std::vector<std::string> Arguments(const std::string& source, std::vector<std::string> extra)
    {
        std::vector<std::string> arguments = {
            "live", source, "--out", Path("live.png").string(), "--save", Path("saved.csv").string()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return arguments;
    }
};

TEST_F(Live, RowsArrivingThroughAPipeDrawWhatPlayDraws)
{
    const std::vector<std::string> rows = LoopRows(200);
    std::ofstream(Path("rows.csv")) << "Time (s),X,Y\n" << Joined(rows);
    Outcome play = Xy({"play", Path("rows.csv").string(), "--out", Path("play.png").string()});
    ASSERT_EQ(play.code, 0) << play.err;

    LiveRun live(Arguments("-", {}), dir_, true);
    // The rows that reach both ends come at once, so that even a slow start
    // takes the ranges from them; the others at their pace.
    live.Write("Time (s),X,Y\n" + Joined(rows, 0, 4));
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 4; i < rows.size(); ++i) {
        std::this_thread::sleep_until(start + i * 10ms);
        live.Write(rows[i]);
    }
    Outcome run = live.Finish();
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("2 channels (X, Y) at 100 Hz"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("sampling ended after 200 samples"), std::string::npos) << run.err;
    // Two seconds of rows, a batch for every few: the same trace, pixel for pixel.
    EXPECT_EQ(Slurp(Path("live.png")), Slurp(Path("play.png")));
    EXPECT_EQ(Samples(Path("saved.csv")), Samples(Path("rows.csv")));
    EXPECT_EQ(Leftovers({"rows.csv", "play.png", "live.png", "saved.csv"}), std::vector<std::string>{});
}

TEST_F(Live, CtrlCKeepsAndSavesWhatWasRecorded)
{
    const std::vector<std::string> rows = LoopRows(100);
    std::ofstream(Path("rows.csv")) << "Time (s),X,Y\n" << Joined(rows);
    for (const char* save : {"saved.csv", "saved.wav"}) {
        SCOPED_TRACE(save);
        std::vector<std::string> arguments = Arguments("-", {});
        arguments[5] = Path(save).string();
        LiveRun live(arguments, dir_, true);
        live.Write("Time (s),X,Y\n" + Joined(rows));
        ASSERT_TRUE(live.WaitForErr("at 100 Hz")) << live.Err();
        std::this_thread::sleep_for(300ms);  // the rows drawn; the pipe stays open
        live.Signal(SIGINT);
        Outcome run = live.Finish();
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_NE(run.err.find("sampling ended on Ctrl-C after 100 samples"), std::string::npos) << run.err;
        EXPECT_GT(CountTrace(ReadPng(Path("live.png"))).inside, 500);
        std::vector<std::vector<float>> saved = Samples(Path(save)), sent = Samples(Path("rows.csv"));
        ASSERT_EQ(saved.size(), 2u);
        ASSERT_EQ(saved[0].size(), 100u);
        for (size_t c = 0; c < 2; ++c)
            for (size_t i = 0; i < 100; ++i)
                ASSERT_NEAR(saved[c][i], sent[c][i], 1e-4) << c << ":" << i;  // WAV holds floats
    }
    EXPECT_EQ(Leftovers({"rows.csv", "live.png", "saved.csv", "saved.wav"}), std::vector<std::string>{});
}

TEST_F(Live, SourcesThatGiveNothingToRecordAreReportedNotSaved)
{
    struct Case {
        const char* input;
        const char* says;
    } cases[] = {
        {"", "no header row of channel titles came"},
        {"X,Y\n", "no data rows after the header"},
        {"X,Y\n1,2\n3,4\n", "no time column"},
        {"Time (s),X,Y\n0,1,2\n", "one row can't give the sample interval"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input);
        LiveRun live(Arguments("-", {}), dir_, true);
        live.Write(c.input);
        Outcome run = live.Finish();
        EXPECT_EQ(run.code, 1) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(Leftovers({}), std::vector<std::string>{});
    }
    // A rate that a WAV file can't carry is refused before anything is recorded.
    LiveRun live(
        {"live", "-", "--rate", "81.3", "--out", Path("live.png").string(), "--save", Path("saved.wav").string()}, dir_,
        true);
    live.Write("X,Y\n1,2\n3,4\n");
    Outcome run = live.Finish();
    EXPECT_EQ(run.code, 1) << run.err;
    EXPECT_NE(run.err.find("WAV needs a whole number of samples per second, not 81.3"), std::string::npos) << run.err;
}

// A pseudo-terminal: the test holds the board's end, the program opens the
// other as its serial device.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        board_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (board_ >= 0 && ::grantpt(board_) == 0 && ::unlockpt(board_) == 0) device_ = ::ptsname(board_);
    }
    ~PseudoTerminal() { Unplug(); }
    const std::string& Device() const { return device_; }
    // True once the program has put the line in raw mode (a pty's settings
    // read on either end), so that nothing written later is flushed.
    bool WaitForRawMode() const
    {
        for (int i = 0; i < 6000; ++i, std::this_thread::sleep_for(10ms)) {
            termios mode{};
            if (::tcgetattr(board_, &mode) == 0 && !(mode.c_lflag & (ICANON | ECHO))) return true;
        }
        return false;
    }
    void Send(const std::string& text) { ASSERT_EQ(::write(board_, text.data(), text.size()), ssize_t(text.size())); }
    // True once the program has read all that was sent (the line's input
    // queue, seen from an end of our own, is empty): a board unplugged then
    // loses nothing. The kernel moves what the board wrote into that queue
    // a moment later, so the queue is looked at after that moment.
    bool WaitUntilRead() const
    {
        std::this_thread::sleep_for(100ms);
        const int line = ::open(device_.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
        bool read = false;
        for (int i = 0; i < 6000 && !read; ++i, std::this_thread::sleep_for(10ms)) {
            int waiting = -1;
            read = ::ioctl(line, FIONREAD, &waiting) == 0 && waiting == 0;
        }
        ::close(line);
        return read;
    }
    void Unplug()
    {
        if (board_ >= 0) ::close(board_);
        board_ = -1;
    }

private:
    int board_ = -1;
    std::string device_;
};

TEST_F(Live, ASerialBoardThatResetsAndSendsABadLineIsRecordedUntilItGoesAway)
{
    PseudoTerminal board;
    ASSERT_FALSE(board.Device().empty());
    LiveRun live(Arguments(board.Device(), {"--baud", "9600", "--rate", "100"}), dir_, false);
    ASSERT_TRUE(board.WaitForRawMode()) << live.Err();
    std::this_thread::sleep_for(300ms);  // the program flushes what came before raw mode
    std::string first = "X,Y\r\nmV,mV\r\n", second = "X,Y\r\nmV,mV\r\n";
    for (int i = 0; i < 30; ++i) first += std::to_string(i) + "," + std::to_string(-i) + "\r\n";
    for (int i = 30; i < 60; ++i) second += std::to_string(i) + "," + std::to_string(-i) + "\r\n";
    board.Send(first);
    ASSERT_TRUE(board.WaitUntilRead());
    // Noise on the line: a value with a terminal's control sequence in it,
    // and a row cut short by the reset.
    board.Send("31,\x1b[2Jhello\r\n7\r\n");
    board.Send(second);
    ASSERT_TRUE(board.WaitUntilRead());
    board.Unplug();
    Outcome run = live.Finish();
    EXPECT_EQ(run.code, 1) << run.err;
    // One note quotes the first bad line, escaped; the end counts them all.
    EXPECT_EQ(Occurrences(run.err, "skipped,"), 1u) << run.err;
    EXPECT_NE(run.err.find("\\x1B[2Jhello"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("2 lines skipped in all"), std::string::npos) << run.err;
    EXPECT_EQ(Occurrences(run.err, "the header again"), 1u) << run.err;
    EXPECT_EQ(Occurrences(run.err, "went away"), 1u) << run.err;
    std::vector<std::vector<float>> saved = Samples(Path("saved.csv"));
    ASSERT_EQ(saved.size(), 2u);
    ASSERT_EQ(saved[0].size(), 60u) << run.err;
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(saved[0][size_t(i)], float(i));
        EXPECT_EQ(saved[1][size_t(i)], float(-i));
    }
    EXPECT_GT(CountTrace(ReadPng(Path("live.png"))).inside, 100);
}

TEST_F(Live, UdpDatagramsOnTheLoopbackAreRecordedInOrder)
{
    // A port free now; the program binds it, and a second bind then fails.
    const int sender = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(sender, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof where;
    ASSERT_EQ(::bind(sender, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    ASSERT_EQ(::getsockname(sender, reinterpret_cast<sockaddr*>(&where), &size), 0);
    ::close(sender);
    const std::string port = std::to_string(ntohs(where.sin_port));

    LiveRun live(Arguments("udp:127.0.0.1:" + port, {"--rate", "100", "--duration", "0.5"}), dir_, false);
    bool bound = false;
    for (int i = 0; i < 6000 && !bound; ++i, std::this_thread::sleep_for(10ms)) {
        const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        bound = ::bind(probe, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 && errno == EADDRINUSE;
        ::close(probe);
    }
    ASSERT_TRUE(bound) << live.Err();
    const int out = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    auto send = [&](const std::string& text) {
        ASSERT_EQ(::sendto(out, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&where), sizeof where),
                  ssize_t(text.size()));
        std::this_thread::sleep_for(2ms);
    };
    // A header, then datagrams of several rows and of one row whose line
    // ends with the datagram.
    send("A,B\n");
    std::string rows;
    for (int i = 0; i < 20; ++i) rows += std::to_string(i) + "," + std::to_string(i * i) + "\n";
    send(rows);
    for (int i = 20; i < 50; ++i) send(std::to_string(i) + "," + std::to_string(i * i));
    send("50,2500\n");  // past --duration: not recorded
    ::close(out);
    Outcome run = live.Finish();
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err.find("skipped"), std::string::npos) << run.err;
    std::vector<std::vector<float>> saved = Samples(Path("saved.csv"));
    ASSERT_EQ(saved.size(), 2u);
    ASSERT_EQ(saved[0].size(), 50u) << run.err;
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(saved[0][size_t(i)], float(i));
        EXPECT_EQ(saved[1][size_t(i)], float(i * i));
    }
}

TEST_F(Live, AudioCaptureFromSdlsDiskDriverRecordsBothChannels)
{
    // Stereo floats, as the capture device is asked for them.
    std::vector<float> sound;
    for (int i = 0; i < 8000; ++i) {
        sound.push_back(float(std::sin(i * 0.01)));
        sound.push_back(float(std::cos(i * 0.013)));
    }
    std::ofstream(Path("in.raw"), std::ios::binary)
        .write(reinterpret_cast<const char*>(sound.data()), std::streamsize(sound.size() * sizeof(float)));
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILEIN", Path("in.raw").c_str(), 1);
    Outcome run = Xy({"live", "audio:", "--rate", "8000", "--duration", "0.5", "--out", Path("live.png").string(),
                      "--save", Path("saved.wav").string()});
    ::unsetenv("SDL_AUDIODRIVER");
    ::unsetenv("SDL_DISKAUDIOFILEIN");
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.err.find("2 channels (Left, Right) at 8000 Hz"), std::string::npos) << run.err;
    SignalSet saved = ReadSignals(Path("saved.wav"));
    ASSERT_EQ(saved.channels.size(), 2u);
    ASSERT_EQ(saved.channels[0].samples.size(), 4000u);
    EXPECT_DOUBLE_EQ(saved.SampleRate(), 8000);
    for (size_t i = 0; i < 4000; ++i) {
        ASSERT_EQ(saved.channels[0].samples[i], sound[2 * i]) << i;
        ASSERT_EQ(saved.channels[1].samples[i], sound[2 * i + 1]) << i;
    }
    EXPECT_GT(CountTrace(ReadPng(Path("live.png"))).inside, 100);
}

}  // namespace
