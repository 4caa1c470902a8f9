#pragma once

#include <istream>
#include <string>
#include <vector>

// One command to the emulated console, as typed on standard input or written in a script.
enum class TSimCommandKind {
    scSpeed, scCadence, scHeart, scKey, scOrientation,
    scSilence, scGarbage, scCut, scBadStart, scUnknownType, scWrongId, scNoId, scHangUp, scNoBrake,
};

struct TConsoleCommand {
    TSimCommandKind Kind = TSimCommandKind::scSpeed;
    // The first argument: km/h, rpm, bpm, key bit, x byte, milliseconds, byte count, frame
    // size, type byte, answer byte, or 1/0 for on/off.
    double Value = 0;
    // The second argument: key hold time in ms, y byte, or 1 when a cut frame ends in the stop byte.
    double Second = 0;
};

// Throws std::invalid_argument with a message that names the command and what is wrong.
TConsoleCommand ParseConsoleCommand(const std::string& line);

// A script line: "TIME COMMAND", TIME in ms after the first handshake, or "start COMMAND" for
// a command given as soon as the console starts. Blank lines and lines from '#' are skipped.
struct TScriptLine {
    bool AtStart = false;
    double TimeMs = 0;
    TConsoleCommand Command;
};

// Lines in time order (start lines first); a bad line throws std::invalid_argument with its number.
std::vector<TScriptLine> ParseScript(std::istream& input);

// The text commands understood, one per line, for the program's help.
const char* ConsoleCommandHelp();
