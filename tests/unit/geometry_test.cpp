// Unit tests of the slide positions, the size keys and the drag snapping.
#include <gtest/gtest.h>

#include "interaction/geometry.h"

TEST(SlideStep, GrowsWithEveryHundredPixels) {
    EXPECT_EQ(slideStep(99, 1), 2);
    EXPECT_EQ(slideStep(170, 1), 3);
    EXPECT_EQ(slideStep(300, 1), 5);
    EXPECT_EQ(slideStep(900, 1), 11);
    EXPECT_EQ(slideStep(170, 4), 6);
}

TEST(SlideStep, ZeroOrNegativeMeansNoAnimation) {
    EXPECT_EQ(slideStep(170, 0), 0);
    EXPECT_EQ(slideStep(50, -1), 0);
    EXPECT_EQ(slideStep(50, -100), 0);
    EXPECT_EQ(slidePositions(-173, 170, 3, 0), std::vector<int>{});
    EXPECT_EQ(slidePositions(0, 50, 3, -5), std::vector<int>{});
}

namespace {
// A slide's positions: how many, the first and the last.
void expectPath(const std::vector<int>& path, size_t size, int first, int last) {
    ASSERT_EQ(path.size(), size);
    EXPECT_EQ(path.front(), first);
    EXPECT_EQ(path.back(), last);
}
}  // namespace

TEST(SlidePositions, DownFromHiddenEndsLessThanAStepShortOfZero) {
    auto down = slidePositions(-173, 170, 3, 1);
    expectPath(down, 57, -170, -2);
    EXPECT_EQ(down[1], -167);
    expectPath(slidePositions(-903, 900, 3, 1), 82, -892, -1);
}

TEST(SlidePositions, UpFromZeroEndsFirstPastTheHiddenPosition) {
    expectPath(slidePositions(0, 170, 3, 1), 58, -3, -174);
    expectPath(slidePositions(0, 900, 3, 1), 83, -11, -913);
}

TEST(SlidePositions, BelowPanelsFromAboveTheMonitorAndBackThere) {
    // A 30-pixel panel: the frame comes down from above the monitor's top,
    // over the panel, in steps of the same size.
    expectPath(slidePositions(-203, 170, 3, 1, 30), 67, -200, -2);
    expectPath(slidePositions(0, 170, 3, 1, 30), 68, -3, -204);
}

TEST(SlidePositions, HugeStepStaysWithinOneFrameHeight) {
    auto down = slidePositions(-173, 170, 3, 2000000000);
    EXPECT_EQ(down, std::vector<int>{-3});
    auto up = slidePositions(0, 170, 3, 2000000000);
    EXPECT_EQ(up, (std::vector<int>{-170, -340}));
}

TEST(StepPause, IsAniDelayButTheWholeSlideStaysWithinTwoSeconds) {
    EXPECT_EQ(stepPauseMicros(40, 57), 4000);
    EXPECT_EQ(stepPauseMicros(0, 57), 0);
    EXPECT_EQ(stepPauseMicros(-5, 57), 0);
    EXPECT_EQ(stepPauseMicros(350, 57), 35000);  // 57 x 35 ms is just under the bound
    EXPECT_EQ(stepPauseMicros(2147483647, 57), 2000000 / 57);
    EXPECT_EQ(stepPauseMicros(2147483647, 1), 2000000);
}

namespace {
// Key 1 is keyFull, 2 keyBigger, 3 keySmaller; any other matches none.
SizeState press(SizeState s, int k) {
    return applySizeKey(s, SizePress{k == 1, k == 2, k == 3}, 17, 900, 32764);
}
}  // namespace

TEST(SizeKeys, OneRowBiggerOrSmallerButNeverBelowOneRow) {
    SizeState s{170, 0, false};
    s = press(s, 2);
    EXPECT_EQ(s.height, 187);
    s = press(s, 3);
    EXPECT_EQ(s.height, 170);
    EXPECT_EQ(press({17, 0, false}, 3).height, 17);
    // Any other key only brings a console below one row back up to one.
    EXPECT_EQ(press({5, 0, false}, 99).height, 17);
    EXPECT_EQ(press({170, 0, false}, 99).height, 170);
}

TEST(SizeKeys, FullScreenIsTheScreenHeightAndRestoresTheHeightFromBefore) {
    SizeState s = press({170, 0, false}, 1);
    EXPECT_EQ(s.height, 900);  // the screen height itself, not whole rows
    EXPECT_TRUE(s.fullScreen);
    EXPECT_EQ(s.savedHeight, 170);
    s = press(s, 2);
    s = press(s, 2);
    s = press(s, 1);
    EXPECT_EQ(s.height, 170);
    EXPECT_FALSE(s.fullScreen);
}

TEST(SizeKeys, HotkeysSharingAKeyAllApplyInOrder) {
    SizeState s = applySizeKey({170, 0, false}, SizePress{true, true, false}, 17, 900, 32764);
    EXPECT_EQ(s.height, 917);
    EXPECT_TRUE(s.fullScreen);
}

TEST(SizeKeys, APressThatMatchedNoHotkeyChangesNothing) {
    SizeState s = applySizeKey({170, 0, false}, SizePress{}, 17, 900, 32764);
    EXPECT_EQ(s.height, 170);
    EXPECT_FALSE(s.fullScreen);
}

TEST(SizeKeys, BiggerStopsAtTheLargestHeightTheProtocolCarries) {
    EXPECT_EQ(press({32760, 0, false}, 2).height, 32764);
    // So does a row taller than that.
    EXPECT_EQ(applySizeKey({170, 0, false}, SizePress{}, 40000, 900, 32764).height, 32764);
    EXPECT_EQ(dragHeight(40000, 40000, 170, 32764), 32764);
}

TEST(DragHeight, SnapsToWholeRowsAbovePointer) {
    EXPECT_EQ(dragHeight(200, 17, 170, 32764), 187);
    EXPECT_EQ(dragHeight(16, 17, 170, 32764), 170);
    EXPECT_EQ(dragHeight(17, 17, 170, 32764), 17);
    EXPECT_EQ(dragHeight(899, 17, 170, 32764), 884);
    EXPECT_EQ(dragHeight(200, 0, 170, 32764), 170);
}
