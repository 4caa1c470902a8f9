#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The terminal's text: a bounded ring of lines (the oldest line goes when a line beyond the
// capacity arrives), with a caret, a selection and a downward find. Toolkit-free, so every rule
// of the terminal's text is unit-tested without a window; the view only paints it.
// Positions count from 0: Line is an index into the ring (0 = oldest line held), Column a byte
// offset into that line. Lines are never reordered.
class TTerminalLines {
public:
    struct TPosition {
        std::int32_t Line = 0;
        std::int32_t Column = 0;
        friend bool operator==(const TPosition&, const TPosition&) = default;
        friend auto operator<=>(const TPosition&, const TPosition&) = default;
    };

    static constexpr std::size_t DefaultCapacity = 1000;

    explicit TTerminalLines(std::size_t capacity = DefaultCapacity);

    // Appends a line. With `follow`, the caret moves to the end of the new line and the
    // selection is cleared, unless the user made that selection and has not copied it yet: a
    // selection is not taken from under the user between select and copy. Without `follow`,
    // caret and selection stay on the text they marked (they shift when the oldest line goes,
    // and are clamped when the text they marked goes).
    void Add(std::string line, bool follow);
    void Clear();
    // The limit can change while lines arrive; like every limit of the terminal it applies when
    // the next line arrives.
    void SetCapacity(std::size_t capacity);

    std::size_t Count() const;
    std::size_t Capacity() const;
    const std::string& Line(std::size_t index) const;
    // Lines that have left the ring since it was created or cleared: a view keeps its scroll
    // position on the same text by comparing this before and after.
    std::uint64_t DroppedCount() const;
    // The width in cells (see TerminalCells) of the longest line held, for the view's extent.
    std::size_t LongestLineLength() const;
    // Every line, joined with "\n".
    std::string Text() const;

    TPosition Caret() const;
    TPosition Anchor() const;
    // Moves the caret; without `extend` the anchor follows (empty selection).
    void SetCaret(TPosition position, bool extend);
    void SelectAll();
    // Selects the run of non-blank bytes around `position` (a double click).
    void SelectWord(TPosition position);
    bool HasSelection() const;
    // The selection was copied: the next followed line may clear it.
    void ReleaseSelection();
    // The text between anchor and caret, lines joined with "\n".
    std::string SelectedText() const;
    TPosition SelectionStart() const;
    TPosition SelectionEnd() const;

    // Searches downwards, case-sensitive, starting at the end of a non-empty selection (else at
    // the caret); selects the first occurrence and returns true, or returns false and leaves
    // the selection as it was. A match never spans two lines.
    bool FindNext(const std::string& what);

private:
    TPosition Clamp(TPosition position) const;
    TPosition EndOfText() const;
    std::string TextBetween(TPosition start, TPosition end) const;
    void ShiftAfterDrop();

    std::size_t FCapacity;
    std::deque<std::string> FLines;
    std::uint64_t FDropped = 0;
    // Found again only when asked after the longest line left the ring.
    mutable std::size_t FLongest = 0;
    mutable bool FLongestKnown = true;
    TPosition FCaret;
    TPosition FAnchor;
    bool FSelectionHeld = false;
};
