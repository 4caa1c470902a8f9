#pragma once

#include "console_sim/ConsoleSimulator.h"
#include "device_link/WaitWithMessages.h"

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>

// The emulated console on a pseudo-terminal, for tests that play the PC with the real device.
class EmulatorFixture {
public:
    // With a capture, the console plays its sent part after the handshake instead of its model.
    // With a link, the line keeps that name across a hang-up, as an adapter's device name does.
    explicit EmulatorFixture(double version, std::vector<TScriptLine> script = {},
                             const std::vector<TRecordEntry>& capture = {}, const std::string& linkPath = {})
        : FLinkPath(linkPath) {
        TConsoleSettings settings;
        settings.Version = version;
        FConsole = std::make_unique<TConsoleSimulator>(settings);
        FConsole->SetLinkPath(linkPath);
        FConsole->SetScript(std::move(script));
        if (!capture.empty()) FConsole->SetReplay(capture);
        FConsole->Start();
    }
    ~EmulatorFixture() { FConsole->Stop(); }

    TConsoleSimulator& Console() { return *FConsole; }
    std::string Path() const { return FLinkPath.empty() ? FConsole->GetSlavePath() : FLinkPath; }

    // Serves the main thread (port events, timer ticks) until `done` holds or `timeoutMs` pass.
    static bool ServeUntil(const std::function<bool()>& done, int timeoutMs) {
        QElapsedTimer elapsed;
        elapsed.start();
        while (!done()) {
            if (elapsed.elapsed() > timeoutMs) return false;
            WaitWithMessages(5);
        }
        return true;
    }

    // How many times the PC sent `frame`; one read of the emulator may hold several.
    std::size_t SentByPc(const ByteString& frame) const {
        std::size_t count = 0;
        for (const TRecordEntry& entry : FConsole->GetRecord()) {
            if (entry.Direction != TRecordDirection::rdIn) continue;
            for (auto at = entry.Bytes.find(frame); at != ByteString::npos; at = entry.Bytes.find(frame, at + frame.size()))
                ++count;
        }
        return count;
    }

    bool PcSentAnything() const {
        const std::vector<TRecordEntry> record = FConsole->GetRecord();
        return std::any_of(record.begin(), record.end(),
                           [](const TRecordEntry& entry) { return entry.Direction == TRecordDirection::rdIn; });
    }

private:
    std::string FLinkPath;
    std::unique_ptr<TConsoleSimulator> FConsole;
};
