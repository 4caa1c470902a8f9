#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the emulated console is, per version: how it frames what it sends, how it answers the
// identification request, and the roller geometry that turns speed into roll events.
enum class TConsoleFamily { cfByteStream, cfShortFrames, cfLongFrames };

struct TConsoleVersion {
    double Version;
    TConsoleFamily Family;
    std::uint8_t IdentificationAnswer;
    // Metres ridden per roll event with this version's roller.
    double DistancePerRollEvent;

    // Bytes of one console frame; 0 for the byte stream, which has no frames.
    std::size_t FrameSize() const;
    // Time between two streamed status bytes or infos frames.
    double StreamPeriodMs() const;
};

// The version named on the command line (1, 2, 3, 4, 4.5, 5, 5.5, 6 or 7); throws
// std::invalid_argument naming the versions that exist for any other value.
TConsoleVersion ConsoleVersionOf(double version);
TConsoleVersion ConsoleVersionOf(const std::string& text);
