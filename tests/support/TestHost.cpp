// The recording test host: every service records its call and answers from
// the test's settings.
#include "TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "toolbox/Toolbox.h"

namespace {

TestHost* gCurrent = nullptr;

const char* ServiceName(int slot)
{
    static const std::map<int, const char*> names = [] {
        std::map<int, const char*> m;
#define NAME_SLOT(slot, name) m[slot] = #name;
        HOST_SERVICES(NAME_SLOT)
#undef NAME_SLOT
        return m;
    }();
    return names.at(slot);
}

template <class T>
HostArg ToArg(T value)
{
    if constexpr (std::is_same_v<T, double>)
        return value;
    else if constexpr (std::is_integral_v<T>)
        return int64_t(value);
    else if constexpr (std::is_same_v<T, const unsigned char*>)
        return value ? PascalToString(value) : std::string("<null>");
    else if constexpr (std::is_pointer_v<T>)
        return static_cast<const void*>(value);
    else
        return value;  // Rect, Point
}

template <int Slot, class F>
struct Service;

template <int Slot, class R, class... A>
struct Service<Slot, R (*)(A...)> {
    static R Call(A... args)
    {
        TestHost& host = TestHost::Current();
        host.Record(ServiceName(Slot), {ToArg(args)...});
        return host.Answer<R, A...>(Slot, args...);
    }
};

int gDataSourceToken;

void FillPascal(unsigned char* out, const std::string& text) { CopyCStringToPascal(text, out); }

}  // namespace

TestHost::TestHost()
{
#define INSTALL_SLOT(slot, name) table.name = &Service<slot, decltype(HostServiceTable::name)>::Call;
    HOST_SERVICES(INSTALL_SLOT)
#undef INSTALL_SLOT
    InstallDefaults();
    previous = gCurrent;
    gCurrent = this;
}

TestHost::~TestHost()
{
    for (auto& [axis, state] : axes) {
        if (state.menu) DisposeMenu(state.menu);
        LowZoneFree(axis);
    }
    for (auto& [handle, where] : handlesOut) DisposeHandle(handle);
    for (auto& [where, handle] : keptHandles) DisposeHandle(handle);
    if (gCurrent == this) gCurrent = previous;
}

TestHost& TestHost::Current()
{
    if (!gCurrent) throw std::logic_error("a host service was called with no TestHost alive");
    return *gCurrent;
}

void TestHost::Record(const char* name, std::vector<HostArg> args)
{
    if (!recordCalls) return;
    calls.push_back(HostCall{name, std::move(args)});
    if (throwing.count(name)) throw HostServiceFailure(std::string(name) + " failed as the test asked");
}

std::vector<std::string> TestHost::Names() const
{
    std::vector<std::string> names;
    for (const HostCall& call : calls) names.push_back(call.name);
    return names;
}

std::vector<HostCall> TestHost::CallsTo(const std::string& name) const
{
    std::vector<HostCall> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found), [&](auto& c) { return c.name == name; });
    return found;
}

size_t TestHost::Count(const std::string& name) const
{
    return size_t(std::count_if(calls.begin(), calls.end(), [&](auto& c) { return c.name == name; }));
}

size_t TestHost::IndexOf(const std::string& name, size_t from) const
{
    for (size_t i = from; i < calls.size(); ++i)
        if (calls[i].name == name) return i;
    return std::string::npos;
}

DataSourceRef TestHost::dataSource() const { return reinterpret_cast<DataSourceRef>(&gDataSourceToken); }
AxisObject TestHost::XAxis() const { return axisOrder.size() > 0 ? axisOrder[0] : nullptr; }
AxisObject TestHost::YAxis() const { return axisOrder.size() > 1 ? axisOrder[1] : nullptr; }

void TestHost::InstallDefaults()
{
    using T = HostServiceTable;
    On<&T::HostNewWindow>([this](int16_t, int32_t, int32_t, int16_t) -> WindowRef {
        if (newWindowFails) return nullptr;
        WindowRef w = NewCWindow(nullptr, &newWindowBounds, reinterpret_cast<const unsigned char*>("\004Test"), true, 8,
                                 nullptr, true, 0);
        windowsMade.push_back(w);
        return w;
    });
    On<&T::HostCommandNumber>([](int16_t local, int16_t) { return int16_t(100 + local); });
    On<&T::HostExtensionName>([](int16_t, StringPtr name) { FillPascal(name, "XY Test"); });
    On<&T::HostChannelTitle>(
        [](int16_t channel, StringPtr title) { FillPascal(title, "Channel " + std::to_string(channel)); });
    On<&T::HostAddChannelItems>([this](MenuRef menu, int16_t first, uint8_t, int16_t) {
        while (CountMenuItems(menu) >= first) DeleteMenuItem(menu, CountMenuItems(menu));
        for (int k = 1; k <= channelItemCount; ++k) {
            Str255 text;
            FillPascal(text, "Ch " + std::to_string(k));
            AppendMenuItemText(menu, text);
        }
    });

    On<&T::HostNewAxis>([this](const Rect* bounds, double high, double low, uint8_t, uint8_t) {
        auto axis = static_cast<AxisObject>(LowZoneAllocate(8));
        axes[axis] = FakeAxis{*bounds, high, low};
        axisOrder.push_back(axis);
        return axis;
    });
    On<&T::HostDisposeAxis>([this](AxisObject axis) {
        auto found = axes.find(axis);
        if (found == axes.end()) return;
        if (found->second.menu) DisposeMenu(found->second.menu);
        axes.erase(found);
        LowZoneFree(axis);
    });
    On<&T::HostAxisSetMenu>([this](AxisObject axis, MenuRef menu, uint8_t) {
        FakeAxis& state = axes[axis];
        if (state.menu && state.menu != menu) DisposeMenu(state.menu);
        state.menu = menu;
    });
    On<&T::HostAxisSetBounds>(
        [this](AxisObject axis, const Rect* bounds, uint8_t, int16_t) { axes[axis].bounds = *bounds; });
    On<&T::HostAxisGetBounds>([this](AxisObject axis) { return axes[axis].bounds; });
    On<&T::HostAxisGetRange>([this](AxisObject axis, double* high, double* low) {
        *high = axes[axis].high;
        *low = axes[axis].low;
    });
    On<&T::HostAxisClick>([this](AxisObject axis, const EventRecord*) { return axes[axis].clickResult; });
    On<&T::HostAxisCursor>([this](Point, AxisObject axis) { return axes[axis].cursorCode; });

    On<&T::HostGetDataSource>([this](int16_t) { return dataSource(); });
    On<&T::HostSampleCount>([this](DataSourceRef) { return sampleCount; });
    On<&T::HostLocateSample>([this](DataSourceRef, int32_t position, SampleLocation* location) {
        int32_t remaining = position;
        for (size_t b = 0; b < blocks.size(); ++b) {
            if (remaining < blocks[b].length || b + 1 == blocks.size()) {
                *location = SampleLocation{int16_t(b), int16_t(std::min<int32_t>(remaining, INT16_MAX))};
                return;
            }
            remaining -= blocks[b].length;
        }
        *location = SampleLocation{0, 0};
    });
    On<&T::HostBlockLength>([this](DataSourceRef, int16_t block) {
        return block >= 0 && size_t(block) < blocks.size() ? blocks[size_t(block)].length : int16_t(0);
    });
    On<&T::HostLockBlockData>([this](DataSourceRef, int16_t channel, int16_t block) -> Handle {
        ++locked;
        if (block < 0 || size_t(block) >= blocks.size()) return nullptr;
        auto found = blocks[size_t(block)].channels.find(channel);
        if (found == blocks[size_t(block)].channels.end()) return nullptr;
        if (reuseHandles) {
            Handle& kept = keptHandles[{channel, block}];
            if (!kept) {
                kept = NewHandle(Size(found->second.size() * sizeof(float)));
                std::memcpy(*kept, found->second.data(), found->second.size() * sizeof(float));
            }
            return kept;
        }
        uint32_t bytes = uint32_t(found->second.size() * sizeof(float));
        auto shortened = shortHandles.find({channel, block});
        if (shortened != shortHandles.end()) bytes = shortened->second;
        Handle h = NewHandle(Size(bytes));
        std::memcpy(*h, found->second.data(), std::min<size_t>(bytes, found->second.size() * sizeof(float)));
        HLock(h);
        handlesOut[h] = {channel, block};
        return h;
    });
    On<&T::HostUnlockBlockData>([this](DataSourceRef, int16_t channel, int16_t block) {
        --locked;
        if (reuseHandles) return;
        for (auto it = handlesOut.begin(); it != handlesOut.end(); ++it) {
            if (it->second == std::make_pair(channel, block)) {
                DisposeHandle(it->first);
                handlesOut.erase(it);
                return;
            }
        }
    });
    On<&T::HostHandleSize>([](Handle h) { return uint32_t(GetHandleSize(h)); });
    On<&T::HostBlockChannelInfo>([this](DataSourceRef, int16_t channel, int16_t block, ChannelInfoRecord* info) {
        uint8_t id = 1;
        if (block >= 0 && size_t(block) < blocks.size()) {
            auto found = blocks[size_t(block)].infoIds.find(channel);
            if (found != blocks[size_t(block)].infoIds.end()) id = found->second;
        }
        std::memset(info->bytes, id, sizeof info->bytes);
    });
    On<&T::HostSameChannelInfo>([](const ChannelInfoRecord* a, const ChannelInfoRecord* b) {
        return uint8_t(std::memcmp(a->bytes, b->bytes, sizeof a->bytes) == 0);
    });
    On<&T::HostGetSamplingInfo>([this](SamplingInfo* info) { info->SetSampleInterval(sampleInterval); });
    On<&T::HostGetRangeA>([this] { return rangeA; });
    On<&T::HostGetRangeB>([this] { return rangeB; });
    On<&T::HostRangeCheckA>([this](const SampleRange*) { return uint8_t(checkA); });
    On<&T::HostRangeCheckB>([this](const SampleRange*) { return uint8_t(checkB); });
    On<&T::HostRangeCheckC>([this](const SampleRange*) { return uint8_t(checkC); });

    On<&T::HostGetDialog>(
        [this](int16_t id) -> DialogRef { return dialogFails ? nullptr : GetNewDialog(id, nullptr, nullptr); });
    On<&T::HostModalDialog>([this](ModalFilterUPP, int16_t* item) {
        if (modalHits.empty()) throw std::logic_error("HostModalDialog: the test gave no more item hits");
        *item = modalHits.front();
        modalHits.pop_front();
    });
    On<&T::HostGetItemNumber>([this](DialogRef, int16_t, double, double) {
        if (itemNumbers.empty()) throw std::logic_error("HostGetItemNumber: the test gave no more numbers");
        double value = itemNumbers.front();
        itemNumbers.pop_front();
        return value;
    });
    On<&T::HostGetModalFilter>([](int16_t) { return reinterpret_cast<ModalFilterUPP>(&gDataSourceToken); });
}

int32_t Send(int16_t message, ParamBlock& block, const TestHost& host)
{
    return Main1(message, block.Bytes(), host.Table());
}

const HostCall& CallSteps::Next(const std::string& name)
{
    static const HostCall kNone{};
    if (next_ == calls_.size()) {
        ADD_FAILURE() << "expected a call to " << name << ", but no call followed";
        return kNone;
    }
    const HostCall& call = calls_[next_++];
    if (call.name != name) {
        ADD_FAILURE() << "expected a call to " << name << " as call " << next_ << ", but it was to " << call.name;
        return kNone;
    }
    return call;
}

const HostCall& CallSteps::NextOf(const std::string& name)
{
    while (next_ < calls_.size() && calls_[next_].name != name) ++next_;
    return Next(name);
}
