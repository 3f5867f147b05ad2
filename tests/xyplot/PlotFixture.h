// Drives the extension through Main1 with a TestHost, as the host would.
#pragma once

#include <gtest/gtest.h>

#include "FakeInput.h"
#include "LeakCheck.h"
#include "RectMatchers.h"
#include "TestHost.h"
#include "XYPlotExtension.h"

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
