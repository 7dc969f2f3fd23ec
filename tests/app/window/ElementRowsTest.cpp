// The results list's rows on their own, without a window.
#include "support/CoreFixture.h"

#include "window/ElementRows.h"
#include "model/VAction.h"

namespace {

using ElementListRows = CoreTest;

VElement* ranked(const char* text, uint64_t key) {
    auto* result = new FakeResult(nullptr, text);
    result->setRankKey(key);
    return result;
}

uint64_t keyAt(const VElementRows& rows, int index) {
    return static_cast<VResult*>(rows.getElement(index))->getRankKey();
}

} // namespace

TEST_F(ElementListRows, TheKeptRowIsFoundWhereRankPutItAndABetterTwinTakesItOver) {
    VElementRows rows;
    VElement* first[] = {ranked("a", 5), ranked("b", 4), ranked("same", 2)};
    EXPECT_EQ(rows.place(first, 3, true, nullptr), VElementRows::NoRow);
    VElement* kept = rows.getElement(2);

    VElement* better[] = {ranked("c", 3), ranked("same", 9)};
    const int now = rows.place(better, 2, true, kept);
    ASSERT_EQ(now, 0) << "the twin with the better key stands for the kept row, at the top";
    EXPECT_EQ(keyAt(rows, now), 9u);
    ASSERT_EQ(rows.getTwins(now).size(), 1u);
    EXPECT_EQ(rows.getTwins(now)[0], kept);

    VElement* worse[] = {ranked("same", 1)};
    EXPECT_EQ(rows.place(worse, 1, true, rows.getElement(3)), 3) << "a worse twin moves no row";
    EXPECT_EQ(rows.getTwins(0).size(), 2u);
    EXPECT_EQ(rows.rowCount(), 4);
}

TEST_F(ElementListRows, DestroyedRowsReleaseEveryResultAndTwinOnceAndNoAction) {
    VAction* action = core->getAction("copy", false);
    ASSERT_NE(action, nullptr);
    {
        VElementRows rows;
        VElement* batch[] = {ranked("same", 3), action, ranked("other", 2), ranked("same", 7)};
        rows.place(batch, 4, true, nullptr);
        rows.addMore(UINT64_MAX - 1);
        rows.addMore(5);
        EXPECT_EQ(rows.getMore(), UINT64_MAX) << "the count stops at the largest";
        ASSERT_EQ(rows.getCount(), 3);
        EXPECT_EQ(rows.getElement(0), action);
        EXPECT_EQ(FakeCounters::results.load(), 3);
    }
    EXPECT_EQ(FakeCounters::results.load(), 0);
    EXPECT_EQ(core->getAction("copy", false), action);
    EXPECT_FALSE(action->getDisplayText().empty()) << "the core's action is still whole";
}
