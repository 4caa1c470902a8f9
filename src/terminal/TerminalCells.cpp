#include "terminal/TerminalCells.h"

namespace TerminalCells {

int NextCell(char byte, int cell) { return byte == '\t' ? cell + TabWidth - cell % TabWidth : cell + 1; }

int CellOf(std::string_view line, int column) {
    if (line.find('\t') == std::string_view::npos) return column;
    int cell = 0;
    for (int index = 0; index < column; ++index)
        cell = static_cast<std::size_t>(index) < line.size() ? NextCell(line[index], cell) : cell + 1;
    return cell;
}

int ColumnAt(std::string_view line, int cell) {
    int start = 0;
    for (std::size_t index = 0; index < line.size(); ++index) {
        const int next = NextCell(line[index], start);
        if (cell <= start + (next - start) / 2) return static_cast<int>(index);
        start = next;
    }
    return static_cast<int>(line.size());
}

int Width(std::string_view line) { return CellOf(line, static_cast<int>(line.size())); }

std::string Expanded(std::string_view line) {
    std::string cells;
    cells.reserve(line.size());
    for (const char byte : line) {
        const int cell = static_cast<int>(cells.size());
        if (byte == '\t') cells.append(static_cast<std::size_t>(NextCell(byte, cell) - cell), ' ');
        else cells += byte;
    }
    return cells;
}

} // namespace TerminalCells
