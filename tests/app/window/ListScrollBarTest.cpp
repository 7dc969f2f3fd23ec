// The results list's scroll bar: its geometry, a press and a drag, without a window.
#include "window/ListScrollBar.h"

#include <gtest/gtest.h>

namespace {

const RECT kClient{0, 0, 300, 220};
// A 16-pixel bar over a 20-pixel grip: the track runs from 0 to 200.
const VListScrollBar::Sizes kSizes{16, 20, 16, SIZE{3, 1}};

} // namespace

TEST(ElementListScrollBar, TheThumbShowsTheShareInViewWithinItsLeastAndTheTrackAndEndsAtTheLastTopRow) {
    const RECT track = VListScrollBar::track(kClient, kSizes);
    EXPECT_EQ(track.left, 284);
    EXPECT_EQ(track.bottom, 200);

    RECT thumb = VListScrollBar::thumb(track, {100, 20, 0}, kSizes.leastThumb);
    EXPECT_EQ(thumb.top, 0);
    EXPECT_EQ(thumb.bottom - thumb.top, 40);
    thumb = VListScrollBar::thumb(track, {100, 20, 80}, kSizes.leastThumb);
    EXPECT_EQ(thumb.bottom, 200) << "the last top row puts the thumb at the track's end";
    thumb = VListScrollBar::thumb(track, {100, 20, 500}, kSizes.leastThumb);
    EXPECT_EQ(thumb.bottom, 200) << "and no further";

    thumb = VListScrollBar::thumb(track, {100000, 20, 0}, kSizes.leastThumb);
    EXPECT_EQ(thumb.bottom - thumb.top, 16);
    thumb = VListScrollBar::thumb(track, {5, 20, 0}, kSizes.leastThumb);
    EXPECT_EQ(thumb.bottom - thumb.top, 200);

    const RECT tiny{0, 0, 300, 10};
    EXPECT_EQ(VListScrollBar::track(tiny, kSizes).bottom, 0)
        << "a grip taller than the window leaves no track";
}

TEST(ElementListScrollBar, APressOnTheTrackPagesTowardsItAndOffTheBarOrWhileHiddenDoesNothing) {
    VListScrollBar bar;
    const VListScrollBar::View view{100, 20, 40};
    int top = -1;
    EXPECT_EQ(bar.press(POINT{290, 10}, kClient, kSizes, view, top), VListScrollBar::Missed);
    bar.setShown(true);
    EXPECT_EQ(bar.press(POINT{100, 10}, kClient, kSizes, view, top), VListScrollBar::Missed);
    EXPECT_EQ(bar.press(POINT{290, 210}, kClient, kSizes, view, top), VListScrollBar::Missed) << "the grip";
    EXPECT_EQ(top, -1);

    EXPECT_EQ(bar.press(POINT{290, 5}, kClient, kSizes, view, top), VListScrollBar::Paging);
    EXPECT_EQ(top, 20);
    EXPECT_EQ(bar.press(POINT{290, 195}, kClient, kSizes, view, top), VListScrollBar::Paging);
    EXPECT_EQ(top, 60);
    EXPECT_FALSE(bar.isDragging());
}

TEST(ElementListScrollBar, DraggingTheThumbOverItsWholeTravelScrollsThroughEveryTopRow) {
    VListScrollBar bar;
    bar.setShown(true);
    const VListScrollBar::View view{100, 20, 0};
    int top = 0;
    ASSERT_EQ(bar.press(POINT{290, 10}, kClient, kSizes, view, top), VListScrollBar::Dragging);
    EXPECT_TRUE(bar.isDragging());
    // The thumb is 40 high on a 200 track: 160 pixels of travel for 80 top rows.
    EXPECT_EQ(bar.dragTo(10, kClient, kSizes, view), 0);
    EXPECT_EQ(bar.dragTo(90, kClient, kSizes, view), 40);
    EXPECT_EQ(bar.dragTo(170, kClient, kSizes, view), 80);
    EXPECT_EQ(bar.dragTo(90, kClient, kSizes, VListScrollBar::View{100, 20, 80}), 40)
        << "measured from where the drag began, not from the top row it reached";
    EXPECT_TRUE(bar.endDrag());
    EXPECT_FALSE(bar.endDrag());
}

TEST(ElementListScrollBar, WithTheGripOnTopTheTrackRunsFromUnderItToTheBottom) {
    VListScrollBar::Sizes above = kSizes;
    above.gripOnTop = true;
    const RECT track = VListScrollBar::track(kClient, above);
    EXPECT_EQ(track.top, 20);
    EXPECT_EQ(track.bottom, 220);
    const RECT grip = VListScrollBar::grip(kClient, above);
    EXPECT_EQ(grip.top, 0);
    EXPECT_EQ(grip.bottom, 20);
    EXPECT_EQ(VListScrollBar::grip(kClient, kSizes).top, 200) << "below the bar otherwise";

    // The last top row puts the thumb at the bottom of the client area, not under the grip.
    EXPECT_EQ(VListScrollBar::thumb(track, {100, 20, 80}, above.leastThumb).bottom, 220);
    VListScrollBar bar;
    bar.setShown(true);
    int top = -1;
    EXPECT_EQ(bar.press(POINT{290, 10}, kClient, above, VListScrollBar::View{100, 20, 40}, top),
              VListScrollBar::Missed)
        << "the grip";
}
