// Drives the extension through Main1 with a TestHost, as the host would.
#pragma once

#include <gtest/gtest.h>

#include "FakeInput.h"
#include "LeakCheck.h"
#include "RectMatchers.h"
#include "TestHost.h"
#include "XYPlotExtension.h"

// A batch in the low zone: slot m holds channel m's floats.
class Batch {
public:
    Batch(std::map<int, std::vector<float>> channels, int16_t count = -1)
    {
        batch = LowNew<SampleBatch>();
        *batch = SampleBatch{};
        batch->count = count >= 0 ? count : int16_t(channels.begin()->second.size());
        for (auto& [channel, samples] : channels) {
            auto* floats = reinterpret_cast<float*>(NewPtr(Size(samples.size() * sizeof(float))));
            std::copy(samples.begin(), samples.end(), floats);
            arrays.push_back(floats);
            batch->channelData[channel - 1] = LowAddress(floats);
        }
    }
    ~Batch()
    {
        for (float* floats : arrays) DisposePtr(reinterpret_cast<Ptr>(floats));
        LowDelete(batch);
    }
    uint32_t Word() const { return LowAddress(batch); }

private:
    SampleBatch* batch;
    std::vector<float*> arrays;
};

class PlotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static SInt16 resources = OpenResourceFile(XY_RESOURCE_PATH);
        UseResFile(resources);
        gHost = host.Table();  // routines called directly use the latest table
        SetInputSource(&input);
    }

    void TearDown() override
    {
        for (LocalDataHandle instance : open) Dispose(instance);
        SetInputSource(nullptr);
    }

    LocalDataHandle NewWindow()
    {
        ParamBlock block;
        auto instance = ReferenceFrom32<LocalDataHandle>(uint32_t(Send(6, block, host)));
        if (instance) open.push_back(instance);
        return instance;
    }

    void Dispose(LocalDataHandle instance)
    {
        ParamBlock block;
        block.SetRef(0, instance);
        Send(7, block, host);
        std::erase(open, instance);
    }

    void Notify(LocalDataHandle instance, int16_t kind, uint32_t data = 0)
    {
        ParamBlock block;
        block.SetRef(0, instance).Set<int16_t>(4, kind).Set<uint32_t>(6, data);
        Send(9, block, host);
    }

    void Command(LocalDataHandle instance, const CommandRecord& command)
    {
        auto* record = LowNew<CommandRecord>(command);
        ParamBlock block;
        block.SetRef(0, instance).SetRef(4, record);
        Send(8, block, host);
        LowDelete(record);
    }

    void Update(LocalDataHandle instance)
    {
        ParamBlock block;
        block.SetRef(0, instance).SetRef(4, (*instance)->window);
        Send(11, block, host);
    }

    static CommandRecord ChannelCommand(uint32_t selector, int16_t channel)
    {
        CommandRecord c{};
        c.kind = SetChannelCommand;
        c.axisSelector = selector;
        c.channel = channel;
        return c;
    }

    static CommandRecord EraseTimeCommand(double minutes)
    {
        CommandRecord c{};
        c.kind = SetEraseTimeCommand;
        c.minutes = minutes;
        return c;
    }

    // Pixels of the window's port.
    static UInt32 Pixel(LocalDataHandle instance, int h, int v)
    {
        return GetPortPixel(GetWindowPort((*instance)->window), SInt16(h), SInt16(v));
    }

    TestHost host;
    FakeInput input;  // grows to nothing, releases buttons inside, chooses nothing from popups
    std::vector<LocalDataHandle> open;
};
