#pragma once

#include "device_link/ByteString.h"

#include <istream>
#include <string>
#include <string_view>
#include <vector>

// One line of a record of the serial line's traffic, seen from the console: bytes received from
// the PC ("in"), bytes sent to it ("out"), or a note on what happened (handshake, hangup,
// reappear, and the terminal's own events when the terminal captures). The emulator writes it
// and replays it; the terminal writes the same form, so a capture of a real console replays.
enum class TRecordDirection { rdIn, rdOut, rdNote };

struct TRecordEntry {
    double TimeMs = 0;
    TRecordDirection Direction = TRecordDirection::rdNote;
    ByteString Bytes; // the note's text for a note
};

// The text form, one entry a line: milliseconds since the console started with three decimals,
// a word, then the bytes in hexadecimal or the note:
//   1520.031 in F0 08 28 00 00 F7
//   1520.412 out F0 08 54 00 00 F7
//   1520.412 note handshake
// Lines from '#' are comments.
std::string RecordLineText(const TRecordEntry& entry);
// Appends that line and its line end to `text`: the form of RecordLineText, made without a
// temporary, as a capture does for every read of the port.
void AppendRecordLine(std::string& text, double timeMs, TRecordDirection direction, std::string_view bytes);

// Throws std::invalid_argument naming the line number of the first line that is not in that form;
// a last line without its line end that is not in that form is taken as torn and left out.
std::vector<TRecordEntry> ParseRecord(std::istream& input);

// What a replay plays: the bytes sent after the first handshake note, with their times counted
// from it (all sent bytes, timed from the first, when the capture has no handshake note).
std::vector<TRecordEntry> ReplayedPart(const std::vector<TRecordEntry>& capture);
