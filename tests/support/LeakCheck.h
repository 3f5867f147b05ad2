// Leak checks: what the toolbox holds (windows, controls, menus, dialogs,
// regions, ports, handlers) and the low zone's live blocks, compared with
// the moment the check was made.
#pragma once

#include <gtest/gtest.h>

#include "toolbox/Toolbox.h"

class LeakCheck {
public:
    LeakCheck() : objects_(GetToolboxObjectCounts()), zone_(GetLowZoneStats()) {}

    // Every toolbox object made since has been disposed of.
    void ExpectNoToolboxObjectsLeft() const
    {
        const ToolboxObjectCounts now = GetToolboxObjectCounts();
        EXPECT_EQ(now.windows, objects_.windows);
        EXPECT_EQ(now.controls, objects_.controls);
        EXPECT_EQ(now.menus, objects_.menus);
        EXPECT_EQ(now.dialogs, objects_.dialogs);
        EXPECT_EQ(now.regions, objects_.regions);
        EXPECT_EQ(now.ports, objects_.ports);
        EXPECT_EQ(now.eventHandlers, objects_.eventHandlers);
    }
    // Every low-zone block allocated since has been freed.
    void ExpectNoLowZoneBlocksLeft() const { EXPECT_EQ(GetLowZoneStats().liveBlocks, zone_.liveBlocks); }

    const ToolboxObjectCounts& Objects() const { return objects_; }
    const LowZoneStats& Zone() const { return zone_; }

private:
    ToolboxObjectCounts objects_;
    LowZoneStats zone_;
};
