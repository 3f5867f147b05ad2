// Xvfb, XTest input, screen grabs and the program under test.
#include "LiveWindowSupport.h"

// gtest before the X headers, which define names such as None and Bool.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace live_test {

namespace {

using Clock = std::chrono::steady_clock;

// Fails the test where it stands: the steps after a missing condition would
// only fail again, and wait for their timeouts.
[[noreturn]] void Abort(const std::string& why)
{
    ADD_FAILURE() << why;
    throw std::runtime_error(why);
}

Display* X(void* display) { return static_cast<Display*>(display); }

bool WaitForChild(pid_t pid, double seconds, int* status)
{
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
        pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid) return true;
        if (done < 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

std::string ProgramPath() { return XYRECORDER_PATH; }

// ---- Pictures ----

Picture Scaled(const Picture& picture, int factor)
{
    Picture big;
    big.width = picture.width * factor;
    big.height = picture.height * factor;
    big.pixels.resize(size_t(big.width) * size_t(big.height));
    for (int y = 0; y < big.height; ++y)
        for (int x = 0; x < big.width; ++x) big.pixels[size_t(y) * big.width + x] = picture.At(x / factor, y / factor);
    return big;
}

// ---- The X server ----

XServer::XServer()
{
    int ready[2];
    if (pipe(ready) != 0) Abort("no pipe for Xvfb");
    xvfb_ = fork();
    if (xvfb_ == 0) {
        close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    const auto until = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < until && number.find('\n') == std::string::npos) {
        if (poll(&wait, 1, 100) <= 0) continue;
        char buffer[16];
        const ssize_t got = read(ready[0], buffer, sizeof buffer);
        if (got <= 0) break;
        number.append(buffer, size_t(got));
    }
    close(ready[0]);
    if (number.find('\n') == std::string::npos)
        Abort("Xvfb did not start (is it installed? scripts/install-deps.sh installs it)");
    name_ = ":" + number.substr(0, number.find('\n'));
    display_ = XOpenDisplay(name_.c_str());
    if (!display_) Abort("cannot connect to Xvfb at " + name_);
    int event, error, major, minor;
    if (!XTestQueryExtension(X(display_), &event, &error, &major, &minor)) Abort("Xvfb has no XTest extension");
}

XServer::~XServer()
{
    if (display_) XCloseDisplay(X(display_));
    if (xvfb_ > 0) {
        kill(xvfb_, SIGTERM);
        int status;
        if (!WaitForChild(xvfb_, 10, &status)) {
            kill(xvfb_, SIGKILL);
            waitpid(xvfb_, &status, 0);
        }
    }
}

void XServer::MoveTo(int x, int y)
{
    XTestFakeMotionEvent(X(display_), 0, x, y, CurrentTime);
    XSync(X(display_), False);
}

void XServer::Press()
{
    XTestFakeButtonEvent(X(display_), 1, True, CurrentTime);
    XSync(X(display_), False);
}

void XServer::Release()
{
    XTestFakeButtonEvent(X(display_), 1, False, CurrentTime);
    XSync(X(display_), False);
}

void XServer::Click(int x, int y)
{
    MoveTo(x, y);
    Press();
    Release();
}

void XServer::Key(const std::string& keysym, bool control, bool shift)
{
    Display* display = X(display_);
    const KeySym sym = XStringToKeysym(keysym.c_str());
    const KeyCode code = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
    if (!code) Abort("no key for " + keysym);
    const KeyCode controlKey = XKeysymToKeycode(display, XK_Control_L),
                  shiftKey = XKeysymToKeycode(display, XK_Shift_L);
    if (control) XTestFakeKeyEvent(display, controlKey, True, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shiftKey, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(display, shiftKey, False, CurrentTime);
    if (control) XTestFakeKeyEvent(display, controlKey, False, CurrentTime);
    XSync(display, False);
}

void XServer::Type(const std::string& text)
{
    for (char c : text) {
        switch (c) {
        case '.':
            Key("period");
            break;
        case ',':
            Key("comma");
            break;
        case '?':
            Key("question", false, true);
            break;
        default:
            Key(std::string(1, c));
            break;
        }
    }
}

std::optional<Geometry> XServer::WindowGeometry(unsigned long window)
{
    Display* display = X(display_);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return std::nullopt;
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return Geometry{x, y, attributes.width, attributes.height};
}

void XServer::Resize(unsigned long window, int width, int height)
{
    XResizeWindow(X(display_), window, unsigned(width), unsigned(height));
    XSync(X(display_), False);
}

void XServer::RequestClose(unsigned long window)
{
    Display* display = X(display_);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
}

std::vector<unsigned long> XServer::StackingOrder()
{
    Display* display = X(display_);
    ::Window root, parent, *children = nullptr;
    unsigned count = 0;
    std::vector<unsigned long> order;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        order.assign(children, children + count);
        XFree(children);
    }
    return order;
}

Picture XServer::Grab(const Geometry& area)
{
    Display* display = X(display_);
    XImage* image = XGetImage(display, DefaultRootWindow(display), area.x, area.y, unsigned(area.width),
                              unsigned(area.height), AllPlanes, ZPixmap);
    Picture picture;
    if (!image) return picture;
    picture.width = area.width;
    picture.height = area.height;
    picture.pixels.resize(size_t(area.width) * size_t(area.height));
    for (int y = 0; y < area.height; ++y)
        for (int x = 0; x < area.width; ++x)
            picture.pixels[size_t(y) * area.width + x] = uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return picture;
}

// ---- The program ----

LiveProgram::LiveProgram(const XServer& server, const fs::path& folder, const std::vector<std::string>& arguments)
    : folder_(folder)
{
    const std::string trace = (folder_ / "trace.txt").string(), errors = (folder_ / "stderr.txt").string();
    const std::string program = ProgramPath();
    pid_ = fork();
    if (pid_ == 0) {
        setenv("DISPLAY", server.Name().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("XYRECORDER_WINDOW_TRACE", trace.c_str(), 1);
        setenv("LSAN_OPTIONS", "suppressions=" LSAN_SUPPRESSIONS, 1);
        const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
}

LiveProgram::~LiveProgram()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status;
        waitpid(pid_, &status, 0);
    }
}

// Whole lines only: a line still being written is left for the next look.
std::vector<std::string> LiveProgram::Lines() const
{
    std::ifstream in(folder_ / "trace.txt");
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(all.substr(start, end - start));
    return lines;
}

std::string LiveProgram::WaitFor(const std::string& prefix, double seconds)
{
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) {
        const std::vector<std::string> lines = Lines();
        for (size_t i = consumed_; i < lines.size(); ++i) {
            std::istringstream words(lines[i]);
            std::string verb, name, id;
            words >> verb >> name >> id;
            if (verb == "show") ids_[name] = std::stoul(id, nullptr, 16);
            if (lines[i].rfind(prefix, 0) == 0) {
                consumed_ = i + 1;
                return lines[i];
            }
        }
        int status;
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            Abort("xyrecorder ended while waiting for \"" + prefix + "\"; it said: " + Errors());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    Abort("no trace line \"" + prefix + "...\" within " + std::to_string(seconds) + " s; stderr: " + Errors());
}

unsigned long LiveProgram::WindowId(const std::string& name) const
{
    auto found = ids_.find(name);
    if (found == ids_.end()) Abort("the trace showed no " + name);
    return found->second;
}

Held LiveProgram::Hold()
{
    kill(pid_, SIGUSR1);
    std::istringstream words(WaitFor("held "));
    Held held;
    std::string word;
    words >> word >> held.number;
    while (words >> word) {
        const size_t equals = word.find('='), colon = word.find(':');
        if (equals != std::string::npos) {
            const std::string key = word.substr(0, equals), value = word.substr(equals + 1);
            if (key == "samples") held.samples = std::stol(value);
            if (key == "checksum") held.checksum = value;
            if (key == "sampling") held.sampling = value == "1";
        } else if (colon != std::string::npos) {
            const std::string port = word.substr(0, colon);
            held.ports.push_back(port);
            ids_[port] = std::stoul(word.substr(colon + 1), nullptr, 16);
        }
    }
    return held;
}

void LiveProgram::Resume()
{
    kill(pid_, SIGUSR2);
    WaitFor("resumed");
}

int LiveProgram::WaitExit(double seconds)
{
    int status = 0;
    if (pid_ <= 0) return -1;
    if (!WaitForChild(pid_, seconds, &status)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return -1;
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string LiveProgram::Errors() const
{
    std::ifstream in(folder_ / "stderr.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace live_test
