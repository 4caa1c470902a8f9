#include "terminal/TerminalLines.h"

#include <gmock/gmock.h>

namespace {

using TPosition = TTerminalLines::TPosition;

void AddNumbered(TTerminalLines& lines, int first, int count, bool follow) {
    for (int n = first; n < first + count; ++n) lines.Add("line " + std::to_string(n), follow);
}

// ---- the ring -----------------------------------------------------------------------------------

TEST(TerminalLines, TheLineBeyondTheCapacityRemovesTheOldest) {
    TTerminalLines lines;
    AddNumbered(lines, 1, 1000, true);
    EXPECT_EQ(lines.DroppedCount(), 0u);
    lines.Add("line 1001", true);
    EXPECT_EQ(lines.Count(), 1000u);
    EXPECT_EQ(lines.DroppedCount(), 1u);
    EXPECT_EQ(lines.Line(0), "line 2");
    EXPECT_EQ(lines.Line(999), "line 1001");
}

TEST(TerminalLines, CapacityOneKeepsTheNewestLineFromTheNextLineOn) {
    TTerminalLines lines;
    AddNumbered(lines, 1, 5, false);
    lines.SetCapacity(1);
    EXPECT_EQ(lines.Count(), 5u);
    lines.Add("newest", false);
    EXPECT_EQ(lines.Text(), "newest");
    EXPECT_EQ(lines.DroppedCount(), 5u);
    EXPECT_EQ(lines.Caret(), TPosition{});
}

TEST(TerminalLines, ClearForgetsLinesDropsAndCaret) {
    TTerminalLines lines(2);
    AddNumbered(lines, 1, 3, true);
    lines.Clear();
    EXPECT_EQ(lines.Count(), 0u);
    EXPECT_EQ(lines.DroppedCount(), 0u);
    EXPECT_EQ(lines.Caret(), TPosition{});
    EXPECT_EQ(lines.Text(), "");
}

TEST(TerminalLines, LongestLineIsFoundAgainWhenItLeaves) {
    TTerminalLines lines(2);
    lines.Add("a much longer line", false);
    lines.Add("short", false);
    EXPECT_EQ(lines.LongestLineLength(), 18u);
    lines.Add("mid size", false);
    EXPECT_EQ(lines.LongestLineLength(), 8u);
}

// ---- caret and selection as lines arrive ------------------------------------------------------------

TEST(TerminalLines, FollowPutsTheCaretAtTheEndUnlessAUserSelectionWaitsToBeCopied) {
    TTerminalLines lines;
    AddNumbered(lines, 0, 3, false);
    lines.Add("next", true);
    EXPECT_EQ(lines.Caret(), (TPosition{3, 4}));

    lines.SelectAll();
    lines.Add("held", true);
    EXPECT_EQ(lines.SelectedText(), "line 0\nline 1\nline 2\nnext");
    lines.ReleaseSelection();
    lines.Add("last", true);
    EXPECT_EQ(lines.Caret(), (TPosition{5, 4}));
    EXPECT_FALSE(lines.HasSelection());
}

TEST(TerminalLines, WithoutFollowTheSelectionStaysOnItsTextUntilThatTextGoes) {
    TTerminalLines lines(3);
    lines.Add("aaa", false);
    lines.Add("bbb", false);
    lines.Add("ccc", false);
    lines.SetCaret({1, 1}, false);
    lines.SetCaret({2, 2}, true);
    ASSERT_EQ(lines.SelectedText(), "bb\ncc");

    lines.Add("ddd", false);
    EXPECT_EQ(lines.Anchor(), (TPosition{0, 1}));
    EXPECT_EQ(lines.Caret(), (TPosition{1, 2}));
    EXPECT_EQ(lines.SelectedText(), "bb\ncc");

    // The anchor's line goes: it falls to the start of the first line, the caret moves up.
    lines.Add("eee", false);
    EXPECT_EQ(lines.Anchor(), TPosition{});
    EXPECT_EQ(lines.Caret(), (TPosition{0, 2}));
    EXPECT_EQ(lines.SelectedText(), "cc");
}

TEST(TerminalLines, CaretIsClampedToTheTextHeld) {
    TTerminalLines lines;
    lines.SetCaret({5, 5}, false);
    EXPECT_EQ(lines.Caret(), TPosition{});
    lines.Add("abc", false);
    lines.Add("de", false);
    lines.SetCaret({7, 9}, false);
    EXPECT_EQ(lines.Caret(), (TPosition{1, 2}));
    lines.SetCaret({0, 99}, false);
    EXPECT_EQ(lines.Caret(), (TPosition{0, 3}));
    lines.SetCaret({-1, -4}, true);
    EXPECT_EQ(lines.Caret(), TPosition{});
    EXPECT_EQ(lines.Anchor(), (TPosition{0, 3}));
}

TEST(TerminalLines, SelectedTextJoinsLinesInEitherDirection) {
    TTerminalLines lines;
    lines.Add("first line", false);
    lines.Add("", false);
    lines.Add("third", false);
    lines.SetCaret({2, 3}, false);
    lines.SetCaret({0, 6}, true);
    EXPECT_EQ(lines.SelectionStart(), (TPosition{0, 6}));
    EXPECT_EQ(lines.SelectionEnd(), (TPosition{2, 3}));
    EXPECT_EQ(lines.SelectedText(), "line\n\nthi");

    lines.SelectAll();
    EXPECT_EQ(lines.SelectedText(), "first line\n\nthird");
    EXPECT_EQ(lines.SelectedText(), lines.Text());
}

TEST(TerminalLines, AWordIsTheRunOfNonBlankBytesAroundAPosition) {
    TTerminalLines lines;
    lines.Add("Rcv>>  F0 01\tx", false);
    lines.SelectWord({0, 8});
    EXPECT_EQ(lines.SelectedText(), "F0");
    lines.SelectWord({0, 13});
    EXPECT_EQ(lines.SelectedText(), "x");
    EXPECT_EQ(lines.Caret(), (TPosition{0, 14}));
}

// ---- find --------------------------------------------------------------------------------------------

TEST(TerminalLines, FindGoesDownwardsCaseSensitiveFromTheEndOfTheSelection) {
    TTerminalLines lines;
    lines.Add("abc abc", false);
    lines.Add("xAbc ab", false);
    lines.Add("c abc", false);

    ASSERT_TRUE(lines.FindNext("abc"));
    EXPECT_EQ(lines.SelectionStart(), (TPosition{0, 0}));
    EXPECT_EQ(lines.SelectionEnd(), (TPosition{0, 3}));
    // A match at position 0 does not hold the search there.
    ASSERT_TRUE(lines.FindNext("abc"));
    EXPECT_EQ(lines.SelectionStart(), (TPosition{0, 4}));
    // "Abc" is not "abc", and "ab" + "c" of the next line is no match either.
    ASSERT_TRUE(lines.FindNext("abc"));
    EXPECT_EQ(lines.SelectionStart(), (TPosition{2, 2}));
    EXPECT_EQ(lines.SelectedText(), "abc");

    EXPECT_FALSE(lines.FindNext("abc"));
    EXPECT_EQ(lines.SelectionStart(), (TPosition{2, 2}));
    EXPECT_EQ(lines.SelectionEnd(), (TPosition{2, 5}));
    EXPECT_FALSE(lines.FindNext(""));
}

TEST(TerminalLines, FindWithoutSelectionStartsAtTheCaret) {
    TTerminalLines lines;
    lines.Add("key key", false);
    lines.SetCaret({0, 1}, false);
    ASSERT_TRUE(lines.FindNext("key"));
    EXPECT_EQ(lines.SelectionStart(), (TPosition{0, 4}));
}

}  // namespace
