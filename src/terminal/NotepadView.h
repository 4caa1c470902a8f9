#pragma once

#include <QString>

// What the text viewer's presenter needs of its window: the memo's text, modified flag, caret
// and selection (positions in characters from the start of the text, lines joined with "\n"),
// the caption and the status bar's two texts.
class TNotepadView {
public:
    virtual ~TNotepadView() = default;

    virtual QString Text() const = 0;
    // A new text: the modified flag and the undo history are cleared.
    virtual void LoadText(const QString& text) = 0;
    virtual bool IsModified() const = 0;
    virtual void SetModified(bool modified) = 0;
    virtual void SetCaption(const QString& caption) = 0;

    virtual int CaretPosition() const = 0;
    virtual int SelectionStart() const = 0;
    virtual int SelectionLength() const = 0;
    virtual void Select(int start, int length) = 0;
    // Replaces the selection (or inserts at the caret) as one edit the user can undo.
    virtual void ReplaceSelection(const QString& text) = 0;

    // Not empty: the memo is read-only and the status bar says why; empty: editable again.
    virtual void SetReadOnlyNotice(const QString& notice) = 0;
    virtual void SetCaretText(const QString& text) = 0;
    virtual void SetLengthText(const QString& text) = 0;
};
