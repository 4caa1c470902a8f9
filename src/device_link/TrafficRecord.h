#pragma once

#include "device_link/ByteString.h"

#include <istream>
#include <string>
#include <vector>

// One line of a capture: bytes received from the PC, bytes sent to it, or a note on what the
// console did (handshake, hangup, reappear).
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

// Throws std::invalid_argument naming the line number of the first line that is not in that form.
std::vector<TRecordEntry> ParseRecord(std::istream& input);

// What a replay plays: the bytes sent after the first handshake note, with their times counted
// from it (all sent bytes, timed from the first, when the capture has no handshake note).
std::vector<TRecordEntry> ReplayedPart(const std::vector<TRecordEntry>& capture);
