// A host for unit tests: every service records its call (name and arguments,
// in order), answers from per-test settings, and can be told to throw.
//
//   TestHost host;                        // becomes the current host
//   host.On<&HostServiceTable::HostAxisClick>([](AxisObject, const EventRecord*) { return int16_t(2); });
//   Send(6, block, host);                 // Main1 with this host's table
//   EXPECT_EQ(host.Names(), (std::vector<std::string>{"HostNewWindow", ...}));
#pragma once

#include <any>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "host/HostServices.h"
#include "host/ParamBlock.h"

using HostArg = std::variant<int64_t, double, const void*, std::string, Rect, Point>;

struct HostCall {
    std::string name;
    std::vector<HostArg> args;

    int64_t Int(size_t i) const { return std::get<int64_t>(args.at(i)); }
    double Real(size_t i) const { return std::get<double>(args.at(i)); }
    const void* Ptr(size_t i) const { return std::get<const void*>(args.at(i)); }
    std::string Str(size_t i) const { return std::get<std::string>(args.at(i)); }  // a Pascal string argument
    Rect RectArg(size_t i) const { return std::get<Rect>(args.at(i)); }
};

// Walks recorded calls in their order, so that a call-order check reads as
// named steps:
//   CallSteps step(host.Calls());
//   const HostCall& newWindow = step.Next("HostNewWindow");
//   EXPECT_EQ(newWindow.Int(0), 1000);
class CallSteps {
public:
    explicit CallSteps(std::vector<HostCall> calls) : calls_(std::move(calls)) {}
    // The following call, which must be to name: otherwise a failure, and a
    // call without arguments.
    const HostCall& Next(const std::string& name);
    // The next call to name, passing over calls to other services.
    const HostCall& NextOf(const std::string& name);
    bool AtEnd() const { return next_ == calls_.size(); }

private:
    std::vector<HostCall> calls_;
    size_t next_ = 0;
};

// Thrown by a service that the test told to throw.
struct HostServiceFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A recording for the data services: blocks of per-channel floats.
struct FakeBlock {
    int16_t length = 0;
    std::map<int16_t, std::vector<float>> channels;  // a channel without an entry has no data here
    std::map<int16_t, uint8_t> infoIds;              // display-settings identity per channel (default 1)
};

struct FakeAxis {
    Rect bounds{};
    double high = 0, low = 0;
    int16_t clickResult = 0;
    int16_t cursorCode = 0;
    MenuRef menu = nullptr;  // given by HostAxisSetMenu; the axis owns it, as a real host's does
};

class TestHost {
public:
    TestHost();
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    static TestHost& Current();
    const HostServiceTable* Table() const { return &table; }

    // ---- Calls ----
    const std::vector<HostCall>& Calls() const { return calls; }
    std::vector<std::string> Names() const;
    std::vector<HostCall> CallsTo(const std::string& name) const;
    size_t Count(const std::string& name) const;
    void ClearCalls() { calls.clear(); }
    // Position of the first call to name at or after from; npos when none.
    size_t IndexOf(const std::string& name, size_t from = 0) const;

    // ---- Answers ----
    template <auto Member, class F>
    void On(F answer);
    void Throw(const std::string& service) { throwing.insert(service); }
    void StopThrowing() { throwing.clear(); }

    // Settings the default answers read.
    bool newWindowFails = false;
    Rect newWindowBounds{60, 40, 360, 440};  // content in global coordinates: 300 high, 400 wide
    std::map<AxisObject, FakeAxis> axes;
    std::vector<FakeBlock> blocks;
    int32_t sampleCount = 0;
    double sampleInterval = 0.001;
    SampleRange rangeA{}, rangeB{};
    bool checkA = true, checkB = true, checkC = true;
    std::map<std::pair<int16_t, int16_t>, uint32_t> shortHandles;  // (channel, block) -> bytes handed out
    std::deque<int16_t> modalHits;                                 // items HostModalDialog answers, in order
    std::deque<double> itemNumbers;                                // values HostGetItemNumber answers, in order
    bool dialogFails = false;
    int channelItemCount = 32;  // items HostAddChannelItems appends
    bool recordCalls = true;    // false: answer without recording (benchmarks)
    bool reuseHandles = false;  // true: one handle per channel and block, made once, never copied again

    // State the default answers keep.
    int locked = 0;  // locks not yet unlocked
    std::vector<WindowRef> windowsMade;
    DataSourceRef dataSource() const;
    AxisObject XAxis() const;  // the first and second axis made
    AxisObject YAxis() const;

    void Record(const char* name, std::vector<HostArg> args);

    template <class R, class... A>
    R Answer(int slot, A... args);

private:
    void InstallDefaults();

    HostServiceTable table{};
    std::vector<HostCall> calls;
    std::map<int, std::any> answers;  // slot -> std::function of the slot's type
    std::set<std::string> throwing;
    std::vector<AxisObject> axisOrder;
    std::map<Handle, std::pair<int16_t, int16_t>> handlesOut;
    std::map<std::pair<int16_t, int16_t>, Handle> keptHandles;
    TestHost* previous = nullptr;  // the host that was current before this one
};

// Which slot a table member occupies.
template <auto Member>
int SlotOf()
{
    static const HostServiceTable probe{};
    return int((reinterpret_cast<const char*>(&(probe.*Member)) - reinterpret_cast<const char*>(&probe)) /
               sizeof(void*));
}

template <class F>
struct ServiceSignature;
template <class R, class... A>
struct ServiceSignature<R (*)(A...)> {
    using Function = std::function<R(A...)>;
};

template <auto Member, class F>
void TestHost::On(F answer)
{
    using Pointer = std::remove_reference_t<decltype(std::declval<HostServiceTable>().*Member)>;
    answers[SlotOf<Member>()] = typename ServiceSignature<Pointer>::Function(std::move(answer));
}

template <class R, class... A>
R TestHost::Answer(int slot, A... args)
{
    auto found = answers.find(slot);
    if (found == answers.end()) {
        if constexpr (std::is_void_v<R>)
            return;
        else
            return R{};
    }
    return std::any_cast<std::function<R(A...)>&>(found->second)(args...);
}

extern "C" int32_t Main1(int16_t message, uint8_t* params, const HostServiceTable* host);

// Sends a message through Main1 with this host's table.
int32_t Send(int16_t message, ParamBlock& block, const TestHost& host);
