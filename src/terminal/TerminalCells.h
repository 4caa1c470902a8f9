#pragma once

#include <string>
#include <string_view>

// How a terminal line sits in the cells of a monospace grid: one cell a byte, a tab reaching the
// next stop of eight. The text keeps its tabs (a copy gives them back); only the screen and the
// paper see the cells.
namespace TerminalCells {

constexpr int TabWidth = 8;

// The cell after `byte` when it begins at `cell`.
int NextCell(char byte, int cell);
// The cell at which the byte at `column` begins (columns past the end take one cell each).
int CellOf(std::string_view line, int column);
// The column whose start lies nearest to the cell boundary `cell` (the line's end past it).
int ColumnAt(std::string_view line, int cell);
// The cells the whole line takes.
int Width(std::string_view line);
// The line with each tab replaced by the blanks up to its stop.
std::string Expanded(std::string_view line);

} // namespace TerminalCells
