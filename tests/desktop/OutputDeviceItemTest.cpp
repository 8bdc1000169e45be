#include <gtest/gtest.h>

#include <climits>

#include "desktop/DesktopSettings.h"

// With three devices the list reads "MIDI Mapper", the three, "-none-".
TEST(OutputDeviceItem, StoredValuesNameTheirEntryAndAnythingElseIsNone) {
    const struct {
        std::optional<int32_t> Stored;
        int32_t Item;
    } cases[] = {
        {std::nullopt, 4},  // first start
        {-1, 0},            // "MIDI Mapper"
        {0, 1},
        {2, 3},
        {3, 4},  // "-none-" as stored
        {4, 4},
        {-2, 4},
        {INT_MAX, 4},  // once overflowed into "MIDI Mapper"
        {INT_MIN, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tx::OutputDeviceItem(c.Stored, 3), c.Item) << (c.Stored ? std::to_string(*c.Stored) : "unset");
    EXPECT_EQ(tx::OutputDeviceItem(INT_MAX, 0), 1);
}
