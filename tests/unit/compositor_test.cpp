// Unit tests of how the compositing manager's selection is read from XFixes selection events.
#include <gtest/gtest.h>

#include <X11/extensions/Xfixes.h>

#include "interaction/interaction.h"

TEST(Compositor, SelectionIsNamedAfterTheScreen) {
    EXPECT_EQ(compositorSelection(0), "_NET_WM_CM_S0");
    EXPECT_EQ(compositorSelection(12), "_NET_WM_CM_S12");
}

TEST(Compositor, OwnedOnlyAfterANewOwnerIsSet) {
    const std::tuple<int, Window, bool> cases[] = {
        {XFixesSetSelectionOwnerNotify, 0x200004, true},
        {XFixesSetSelectionOwnerNotify, None, false},
        // These two still name the owner that has just gone.
        {XFixesSelectionWindowDestroyNotify, 0x200004, false},
        {XFixesSelectionClientCloseNotify, 0x200004, false},
    };
    for (const auto& [subtype, owner, owned] : cases) EXPECT_EQ(ownedAfter(subtype, owner), owned) << subtype;
}
