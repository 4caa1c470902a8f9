#pragma once

#include "PcSide.h"
#include "console_sim/ConsoleSimulator.h"

#include <memory>

// A running emulator and the PC's end of its line.
struct TConsoleBench {
    explicit TConsoleBench(const TConsoleSettings& settings) : Console(settings) {
        Console.Start();
        Pc = std::make_unique<TPcSide>(Console.GetSlavePath());
    }

    // Sends the family's identification request and returns what came back first.
    ByteString Identify() {
        if (Console.GetVersion() < 4) {
            Pc->Send(Hex("28"));
            return Pc->Read(1);
        }
        Pc->Send(Hex("F0 08 28 00 00 F7"));
        return Pc->Read(6);
    }

    // The first `count` streamed bytes after a handshake.
    ByteString Streamed(std::size_t count) {
        Identify();
        return Pc->Read(count);
    }

    TConsoleSimulator Console;
    std::unique_ptr<TPcSide> Pc;
};

inline TConsoleSettings Settings(double version, double speed = 30) {
    TConsoleSettings settings;
    settings.Version = version;
    settings.Speed = speed;
    return settings;
}
