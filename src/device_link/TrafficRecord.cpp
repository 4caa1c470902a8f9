#include "device_link/TrafficRecord.h"

#include "device_link/TextNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace {

const char* WordOf(TRecordDirection direction) {
    switch (direction) {
    case TRecordDirection::rdIn: return "in";
    case TRecordDirection::rdOut: return "out";
    case TRecordDirection::rdNote: break;
    }
    return "note";
}

TRecordDirection DirectionOf(const std::string& word) {
    for (auto direction : {TRecordDirection::rdIn, TRecordDirection::rdOut, TRecordDirection::rdNote})
        if (word == WordOf(direction)) return direction;
    throw std::invalid_argument("'" + word + "' is not in, out or note");
}

ByteString BytesOfHex(std::istream& words) {
    ByteString bytes;
    for (std::string word; words >> word;) {
        if (word.size() != 2) throw std::invalid_argument("'" + word + "' is not a byte in two hexadecimal digits");
        bytes += static_cast<char>(NumberOf("0x" + word, "byte", 0, 255));
    }
    return bytes;
}

TRecordEntry ParseRecordLine(const std::string& line) {
    std::istringstream words(line);
    std::string time;
    std::string direction;
    words >> time >> direction;
    TRecordEntry entry{NumberOf(time, "time", 0, 1e12), DirectionOf(direction), {}};
    if (entry.Direction != TRecordDirection::rdNote) {
        entry.Bytes = BytesOfHex(words);
    } else {
        std::getline(words >> std::ws, entry.Bytes);
    }
    return entry;
}

bool IsHandshakeNote(const TRecordEntry& entry) {
    return entry.Direction == TRecordDirection::rdNote && entry.Bytes == "handshake";
}

} // namespace

std::string RecordLineText(const TRecordEntry& entry) {
    std::string text;
    AppendRecordLine(text, entry.TimeMs, entry.Direction, entry.Bytes);
    text.pop_back();
    return text;
}

void AppendRecordLine(std::string& text, double timeMs, TRecordDirection direction, std::string_view bytes) {
    const long long thousandths = std::llround(std::max(timeMs, 0.0) * 1000);
    char number[32];
    char* end = std::to_chars(number, number + sizeof number, thousandths / 1000).ptr;
    *end++ = '.';
    const long long fraction = thousandths % 1000;
    *end++ = static_cast<char>('0' + fraction / 100);
    *end++ = static_cast<char>('0' + fraction / 10 % 10);
    *end++ = static_cast<char>('0' + fraction % 10);
    *end++ = ' ';
    text.append(number, end);
    text += WordOf(direction);
    if (direction == TRecordDirection::rdNote) {
        text += ' ';
        text += bytes;
    } else {
        AppendHexText(text, bytes);
    }
    text += '\n';
}

std::vector<TRecordEntry> ParseRecord(std::istream& input) {
    std::vector<TRecordEntry> entries;
    int number = 0;
    for (std::string line; std::getline(input, line);) {
        ++number;
        // A writer stopped mid-line (a crash, a pulled plug) leaves a last line without its end:
        // whatever it holds, even bytes that read as a shorter string, was never written whole.
        if (input.eof()) break;
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            entries.push_back(ParseRecordLine(line));
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("record line " + std::to_string(number) + ": " + error.what());
        }
    }
    return entries;
}

std::vector<TRecordEntry> ReplayedPart(const std::vector<TRecordEntry>& capture) {
    auto begin = std::find_if(capture.begin(), capture.end(), IsHandshakeNote);
    if (begin == capture.end()) begin = capture.begin();
    std::vector<TRecordEntry> played;
    double origin = -1;
    for (auto entry = begin; entry != capture.end(); ++entry) {
        if (origin < 0) origin = entry->TimeMs;
        if (entry->Direction != TRecordDirection::rdOut) continue;
        played.push_back({entry->TimeMs - origin, TRecordDirection::rdOut, entry->Bytes});
    }
    return played;
}
