#include "terminal/TerminalLines.h"

#include "terminal/TerminalCells.h"

#include <algorithm>

namespace {

std::size_t CellWidth(const std::string& line) { return static_cast<std::size_t>(TerminalCells::Width(line)); }

// A ring always keeps the line just added.
std::size_t AtLeastOne(std::size_t capacity) { return std::max<std::size_t>(capacity, 1); }

} // namespace

TTerminalLines::TTerminalLines(std::size_t capacity) : FCapacity(AtLeastOne(capacity)) {}

void TTerminalLines::Add(std::string line, bool follow) {
    FLines.push_back(std::move(line));
    FLongest = std::max(FLongest, CellWidth(FLines.back()));
    while (FLines.size() > FCapacity) {
        FLongestKnown = FLongestKnown && CellWidth(FLines.front()) < FLongest;
        FLines.pop_front();
        ++FDropped;
        ShiftAfterDrop();
    }
    if (follow && !(FSelectionHeld && HasSelection())) SetCaret(EndOfText(), false);
}

void TTerminalLines::Clear() {
    FLines.clear();
    FDropped = 0;
    FLongest = 0;
    FLongestKnown = true;
    FCaret = FAnchor = TPosition{};
    FSelectionHeld = false;
}

void TTerminalLines::SetCapacity(std::size_t capacity) { FCapacity = AtLeastOne(capacity); }

std::size_t TTerminalLines::Count() const { return FLines.size(); }
std::size_t TTerminalLines::Capacity() const { return FCapacity; }
const std::string& TTerminalLines::Line(std::size_t index) const { return FLines[index]; }
std::uint64_t TTerminalLines::DroppedCount() const { return FDropped; }

std::size_t TTerminalLines::LongestLineLength() const {
    if (!FLongestKnown) {
        FLongest = 0;
        for (const std::string& line : FLines) FLongest = std::max(FLongest, CellWidth(line));
        FLongestKnown = true;
    }
    return FLongest;
}

std::string TTerminalLines::Text() const {
    if (FLines.empty()) return {};
    return TextBetween(TPosition{}, EndOfText());
}

TTerminalLines::TPosition TTerminalLines::Caret() const { return FCaret; }
TTerminalLines::TPosition TTerminalLines::Anchor() const { return FAnchor; }

void TTerminalLines::SetCaret(TPosition position, bool extend) {
    FCaret = Clamp(position);
    if (!extend) FAnchor = FCaret;
    FSelectionHeld = extend;
}

void TTerminalLines::SelectAll() {
    FAnchor = TPosition{};
    FCaret = EndOfText();
    FSelectionHeld = true;
}

void TTerminalLines::SelectWord(TPosition position) {
    position = Clamp(position);
    if (FLines.empty()) return;
    const std::string& line = FLines[position.Line];
    const auto blank = [](char byte) { return byte == ' ' || byte == '\t'; };
    auto start = line.begin() + position.Column;
    auto end = start;
    while (start != line.begin() && !blank(start[-1])) --start;
    while (end != line.end() && !blank(*end)) ++end;
    FAnchor = TPosition{position.Line, static_cast<std::int32_t>(start - line.begin())};
    FCaret = TPosition{position.Line, static_cast<std::int32_t>(end - line.begin())};
    FSelectionHeld = true;
}

bool TTerminalLines::HasSelection() const { return FAnchor != FCaret; }

void TTerminalLines::ReleaseSelection() { FSelectionHeld = false; }

std::string TTerminalLines::SelectedText() const { return TextBetween(SelectionStart(), SelectionEnd()); }

TTerminalLines::TPosition TTerminalLines::SelectionStart() const { return std::min(FAnchor, FCaret); }
TTerminalLines::TPosition TTerminalLines::SelectionEnd() const { return std::max(FAnchor, FCaret); }

bool TTerminalLines::FindNext(const std::string& what) {
    if (what.empty() || FLines.empty()) return false;
    TPosition from = HasSelection() ? SelectionEnd() : FCaret;
    for (auto line = static_cast<std::size_t>(from.Line); line < FLines.size(); ++line) {
        const std::size_t found = FLines[line].find(what, static_cast<std::size_t>(from.Column));
        if (found != std::string::npos) {
            const auto row = static_cast<std::int32_t>(line);
            FAnchor = TPosition{row, static_cast<std::int32_t>(found)};
            FCaret = TPosition{row, static_cast<std::int32_t>(found + what.size())};
            FSelectionHeld = true;
            return true;
        }
        from.Column = 0;
    }
    return false;
}

TTerminalLines::TPosition TTerminalLines::EndOfText() const {
    if (FLines.empty()) return TPosition{};
    return TPosition{static_cast<std::int32_t>(FLines.size() - 1), static_cast<std::int32_t>(FLines.back().size())};
}

std::string TTerminalLines::TextBetween(TPosition start, TPosition end) const {
    if (FLines.empty() || start >= end) return {};
    const auto first = static_cast<std::size_t>(start.Line);
    const auto last = static_cast<std::size_t>(end.Line);
    if (first == last) return FLines[first].substr(start.Column, end.Column - start.Column);
    std::string text = FLines[first].substr(start.Column);
    for (std::size_t line = first + 1; line < last; ++line) {
        text += '\n';
        text += FLines[line];
    }
    text += '\n';
    text.append(FLines[last], 0, end.Column);
    return text;
}

TTerminalLines::TPosition TTerminalLines::Clamp(TPosition position) const {
    if (FLines.empty()) return TPosition{};
    const auto lastLine = static_cast<std::int32_t>(FLines.size() - 1);
    position.Line = std::clamp(position.Line, 0, lastLine);
    const auto length = static_cast<std::int32_t>(FLines[position.Line].size());
    position.Column = std::clamp(position.Column, 0, length);
    return position;
}

// The oldest line went: positions on later lines move up with their text; a position on the
// line that went falls to the start of what is now the first line.
void TTerminalLines::ShiftAfterDrop() {
    for (TPosition* position : {&FCaret, &FAnchor}) {
        if (position->Line > 0) --position->Line;
        else *position = TPosition{};
    }
}
