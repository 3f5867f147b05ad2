// Live streams of CSV lines: standard input, a FIFO, a serial device (raw
// mode through termios) and UDP datagrams, each read on a thread of its own.
#include "signals/LiveStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <utility>

#include "LiveStreamInternal.h"
#include "SignalsInternal.h"
#include "signals/InputText.h"
#include "signals/LiveCsv.h"

namespace fs = std::filesystem;
using namespace signals_detail;

// ---- LiveStream: the thread and its stop ----

LiveStream::LiveStream(std::string name) : name_(std::move(name))
{
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw SignalFileError(name_ + ": cannot make a pipe (" + std::strerror(errno) + ")");
}

LiveStream::~LiveStream()
{
    Stop();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void LiveStream::Start(LiveSink& sink)
{
    if (thread_.joinable()) return;
    // The thread inherits the mask in force when it is made: every signal
    // blocked, so that Ctrl-C and the test hooks' signals reach the program's
    // own threads.
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &saved);
    thread_ = std::thread([this, &sink] { Run(sink, stopPipe_[0]); });
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

void LiveStream::RequestStop()
{
    char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(stopPipe_[1], &byte, 1);
}

void LiveStream::Stop()
{
    if (!thread_.joinable()) return;
    RequestStop();
    thread_.join();
}

namespace {

// ---- CSV lines from a descriptor ----

enum class InputKind {
    pipe,       // standard input or a FIFO: its end is the end of the source
    serial,     // a device: there is no end, only a device that went away
    datagrams,  // UDP: each datagram ends its last line
};

class LineStream final : public LiveStream {
public:
    LineStream(std::string name, int fd, InputKind kind, const LiveSourceOptions& options, std::string inputPath = {},
               std::optional<termios> savedTerminal = {})
        : LiveStream(std::move(name)), fd_(fd), kind_(kind), options_(options), inputPath_(std::move(inputPath)),
          savedTerminal_(savedTerminal)
    {}

    ~LineStream() override
    {
        Stop();
        if (savedTerminal_) ::tcsetattr(fd_, TCSANOW, &*savedTerminal_);
        if (fd_ != STDIN_FILENO) ::close(fd_);
    }

    std::string InputPath() const override { return inputPath_; }

private:
    void Run(LiveSink& sink, int stopFd) override
    {
        LiveCsvParser parser(sink, options_);
        std::vector<char> buffer(kind_ == InputKind::datagrams ? 65536 : 256 * 1024);
        std::string error;
        while (!parser.Failed()) {
            pollfd fds[2] = {{fd_, POLLIN, 0}, {stopFd, POLLIN, 0}};
            int timeout = -1;
            if (auto due = parser.Deadline(); due != LiveCsvParser::Clock::time_point::max()) {
                auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - LiveCsvParser::Clock::now()).count();
                timeout = int(std::max<decltype(wait)>(wait, 0));
            }
            int ready = ::poll(fds, 2, timeout);
            if (ready < 0 && errno == EINTR) continue;
            if (ready < 0) {
                error = std::string("cannot wait for input (") + std::strerror(errno) + ")";
                break;
            }
            if (fds[1].revents) break;
            if (ready == 0) {
                parser.Tick(LiveCsvParser::Clock::now());
                continue;
            }
            if (fds[0].revents & POLLNVAL) {
                error = "cannot be read (the descriptor is closed)";
                break;
            }
            if (!Read(parser, buffer, error)) break;
        }
        parser.Finish(error, LiveCsvParser::Clock::now());
    }

    // What is there to read, given to the parser; false at the end of the source (error says why, if it failed).
    bool Read(LiveCsvParser& parser, std::vector<char>& buffer, std::string& error)
    {
        if (kind_ == InputKind::datagrams) {
            // Every datagram waiting, each ending its last line.
            for (int taken = 0; taken < 64; ++taken) {
                ssize_t got = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
                if (got < 0) {
                    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED) return true;
                    error = std::string("cannot be read (") + std::strerror(errno) + ")";
                    return false;
                }
                parser.Feed(std::string_view(buffer.data(), size_t(got)), LiveCsvParser::Clock::now(), true);
            }
            return true;
        }
        ssize_t got = ::read(fd_, buffer.data(), buffer.size());
        if (got > 0) {
            parser.Feed(std::string_view(buffer.data(), size_t(got)), LiveCsvParser::Clock::now());
            return true;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        if (kind_ == InputKind::serial)
            error = std::string("the device went away (") + (got == 0 ? "hung up" : std::strerror(errno)) + ")";
        else if (got < 0)
            error = std::string("cannot be read (") + std::strerror(errno) + ")";
        return false;
    }

    int fd_;
    InputKind kind_;
    LiveSourceOptions options_;
    std::string inputPath_;
    std::optional<termios> savedTerminal_;
};

// ---- Opening each kind ----

std::string SystemError(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

std::unique_ptr<LiveStream> OpenStandardInput(const LiveSourceOptions& options)
{
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0) throw SignalFileError("standard input: " + SystemError("is closed"));
    if (S_ISDIR(info.st_mode)) throw SignalFileError("standard input: is a folder");
    return std::make_unique<LineStream>("standard input", STDIN_FILENO, InputKind::pipe, options);
}

speed_t BaudConstant(int baud)
{
    static const std::pair<int, speed_t> kSpeeds[] = {
        {1200, B1200},       {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},
        {38400, B38400},     {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},
        {500000, B500000},   {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
        {4000000, B4000000}};
    for (auto [rate, constant] : kSpeeds)
        if (rate == baud) return constant;
    return B0;
}

// True when the descriptor is the terminal this program runs in.
bool IsOwnTerminal(const struct stat& device)
{
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat info {};
        if (::isatty(fd) && ::fstat(fd, &info) == 0 && info.st_rdev == device.st_rdev && S_ISCHR(info.st_mode))
            return true;
    }
    return false;
}

std::unique_ptr<LiveStream> OpenDevice(const std::string& path, const LiveSourceOptions& options)
{
    const fs::path name(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        Fail(name, errno == ENOENT ? "does not exist (is the device plugged in?)" : SystemError("cannot be looked at"));
    if (S_ISREG(info.st_mode))
        Fail(name, "is a regular file, not a device or a FIFO (a recording file is played with the play command)");
    if (S_ISDIR(info.st_mode)) Fail(name, "is a folder, not a device or a FIFO");
    if (!S_ISCHR(info.st_mode) && !S_ISFIFO(info.st_mode)) Fail(name, "is neither a serial device nor a FIFO");
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        Fail(name, errno == EACCES ? SystemError("cannot be opened: permission denied; a serial device needs "
                                                 "membership in its group, such as dialout")
                                   : SystemError("cannot be opened"));
    if (S_ISFIFO(info.st_mode)) return std::make_unique<LineStream>(path, fd, InputKind::pipe, options, path);

    auto refuse = [&](const std::string& why) {
        ::close(fd);
        Fail(name, why);
    };
    if (!::isatty(fd)) refuse("is a character device but not a serial port");
    if (IsOwnTerminal(info)) refuse("is the terminal this program runs in; give its rows on standard input with -");
    const speed_t speed = BaudConstant(options.baud);
    if (speed == B0)
        refuse("--baud " + std::to_string(options.baud) +
               " is not a speed a serial port takes (such as 9600, "
               "115200 or 921600)");
    termios saved{};
    if (::tcgetattr(fd, &saved) != 0) refuse(SystemError("is not a serial port"));
    // Raw bytes, no echo, no line editing, no translation; reads return what
    // has come. The line's earlier contents are dropped: they belong to no one.
    termios raw = saved;
    ::cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (::cfsetispeed(&raw, speed) != 0 || ::cfsetospeed(&raw, speed) != 0 || ::tcsetattr(fd, TCSANOW, &raw) != 0)
        refuse(SystemError("cannot be set to raw mode at " + std::to_string(options.baud) + " baud"));
    ::tcflush(fd, TCIFLUSH);
    return std::make_unique<LineStream>(path, fd, InputKind::serial, options, path, saved);
}

std::unique_ptr<LiveStream> OpenUdp(const std::string& source, const LiveSourceOptions& options)
{
    const std::string spec = source.substr(4);
    const size_t colon = spec.rfind(':');
    const std::string address = colon == std::string::npos ? "" : spec.substr(0, colon);
    const std::string portText = colon == std::string::npos ? spec : spec.substr(colon + 1);
    int port = 0;
    auto [end, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || ec != std::errc() || end != portText.data() + portText.size() || port < 1 || port > 65535)
        throw SignalFileError(QuoteInput(source) + ": expected udp:PORT or udp:ADDRESS:PORT with a port 1..65535");
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(uint16_t(port));
    where.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!address.empty() && ::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1)
        throw SignalFileError(QuoteInput(source) + ": " + QuoteInput(address) + " is not an IPv4 address");
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) throw SignalFileError(source + ": " + SystemError("cannot make a socket"));
    // Room for a burst while the thread is busy; the system may give less.
    int bytes = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
        const int why = errno;
        ::close(fd);
        errno = why;
        throw SignalFileError(source + ": " +
                              (why == EADDRINUSE ? std::string("the port is in use by another program")
                                                 : SystemError("cannot listen on the port")));
    }
    return std::make_unique<LineStream>(source, fd, InputKind::datagrams, options);
}

}  // namespace

std::unique_ptr<LiveStream> LiveStream::Open(const std::string& source, const LiveSourceOptions& options)
{
    if (source == "-") return OpenStandardInput(options);
    if (source.rfind("udp:", 0) == 0) return OpenUdp(source, options);
    if (source.rfind("audio:", 0) == 0) return signals_detail::OpenAudioCapture(source, source.substr(6), options);
    if (source.empty()) throw SignalFileError("no source: give -, a serial device, udp:PORT or audio:");
    return OpenDevice(source, options);
}
