#include "dialogs/config_dialog.h"

#include <gtest/gtest.h>

// The minimised dialog centres its icon; odd leftovers round up, and a client area
// smaller than the icon never pushes it off to the left.
TEST(IconOrigin, CentresTheIconTruncatingTowardZero) {
    struct Case {
        int client;
        int expected;
    };
    for (const Case c : {Case{36, 2}, Case{37, 3}, Case{30, 0}, Case{32, 0}, Case{64, 16}}) {
        EXPECT_EQ(IconOrigin(c.client, 32), c.expected) << "client extent " << c.client;
    }
}
