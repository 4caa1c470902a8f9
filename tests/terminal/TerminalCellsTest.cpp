#include "terminal/TerminalCells.h"

#include <gmock/gmock.h>

namespace {

// The request echo begins with a tab: its text starts at the first stop.
const std::string Echo = "\tTRX <<<";

TEST(TerminalCells, TabsReachTheNextStopOfEight) {
    EXPECT_EQ(TerminalCells::CellOf(Echo, 1), 8);
    EXPECT_EQ(TerminalCells::Width(Echo), 15);
    EXPECT_EQ(TerminalCells::CellOf("abc\td", 4), 8);
    EXPECT_EQ(TerminalCells::Width("abcdefgh\t"), 16);
    EXPECT_EQ(TerminalCells::CellOf("plain", 3), 3);
    EXPECT_EQ(TerminalCells::CellOf("ab", 4), 4);
    EXPECT_EQ(TerminalCells::Expanded("ab\tc"), "ab      c");
}

TEST(TerminalCells, ACellFindsTheNearestColumnStart) {
    EXPECT_EQ(TerminalCells::ColumnAt(Echo, 0), 0);
    EXPECT_EQ(TerminalCells::ColumnAt(Echo, 4), 0);
    EXPECT_EQ(TerminalCells::ColumnAt(Echo, 5), 1);
    EXPECT_EQ(TerminalCells::ColumnAt(Echo, 9), 2);
    EXPECT_EQ(TerminalCells::ColumnAt(Echo, 40), 8);
    EXPECT_EQ(TerminalCells::ColumnAt("plain", 2), 2);
}

} // namespace
