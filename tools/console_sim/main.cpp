// kelvo-console-sim: a Kelvo console on a pseudo-terminal. Prints the slave path as its first
// line, then takes commands on standard input until "quit", end of input plus a signal, or a signal.
#include "console_sim/ConsoleSimulator.h"
#include "device_link/TextNumber.h"
#include "device_link/ProgramInfo.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <pthread.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace {

struct TOptions {
    TConsoleSettings Settings;
    std::string Link;
    std::string Script;
    std::string Record;
    std::string Replay;
};

const char* Usage() {
    return "usage: kelvo-console-sim [--version V] [--serial N] [--product P] [--speed KMH] [--cadence RPM]\n"
           "                         [--heart BPM] [--link PATH] [--script FILE] [--record FILE] [--replay FILE]\n"
           "       kelvo-console-sim --help | --version\n"
           "prints the pseudo-terminal's path, then takes commands on standard input (help lists them)\n";
}

using TOptionSetter = std::function<void(TOptions&, const std::string&)>;

const std::map<std::string, TOptionSetter>& OptionSetters() {
    static const std::map<std::string, TOptionSetter> setters = {
        {"--version", [](TOptions& o, const std::string& v) { o.Settings.Version = ConsoleVersionOf(v).Version; }},
        {"--serial", [](TOptions& o, const std::string& v) { o.Settings.Serial = static_cast<std::uint32_t>(NumberOf(v, "--serial", 0, 0xFFFFFF)); }},
        {"--product", [](TOptions& o, const std::string& v) { o.Settings.Product = static_cast<std::uint8_t>(NumberOf(v, "--product", 0, 255)); }},
        {"--speed", [](TOptions& o, const std::string& v) { o.Settings.Speed = NumberOf(v, "--speed", 0, 150); }},
        {"--cadence", [](TOptions& o, const std::string& v) { o.Settings.Cadence = NumberOf(v, "--cadence", 0, 250); }},
        {"--heart", [](TOptions& o, const std::string& v) { o.Settings.Heart = NumberOf(v, "--heart", 0, 250); }},
        {"--link", [](TOptions& o, const std::string& v) { o.Link = v; }},
        {"--script", [](TOptions& o, const std::string& v) { o.Script = v; }},
        {"--record", [](TOptions& o, const std::string& v) { o.Record = v; }},
        {"--replay", [](TOptions& o, const std::string& v) { o.Replay = v; }},
    };
    return setters;
}

TOptions ParseOptions(int argc, char** argv) {
    TOptions options;
    for (int i = 1; i < argc; i += 2) {
        const auto setter = OptionSetters().find(argv[i]);
        if (setter == OptionSetters().end()) throw std::invalid_argument(std::string("unknown option ") + argv[i]);
        if (i + 1 >= argc) throw std::invalid_argument(std::string(argv[i]) + " needs a value");
        setter->second(options, argv[i + 1]);
    }
    return options;
}

std::ifstream OpenInput(const std::string& path) {
    if (std::filesystem::is_directory(path)) throw std::runtime_error(path + " is a folder");
    // (A device such as /dev/zero would be read for ever.)
    if (std::filesystem::exists(path) && !std::filesystem::is_regular_file(path))
        throw std::runtime_error(path + " is not a file");
    std::ifstream input(path);
    if (!input) throw std::runtime_error("cannot read " + path);
    return input;
}

void Configure(TConsoleSimulator& simulator, const TOptions& options) {
    simulator.SetLinkPath(options.Link);
    simulator.SetKeepRecord(false);
    if (!options.Script.empty()) {
        std::ifstream script = OpenInput(options.Script);
        simulator.SetScript(ParseScript(script));
    }
    if (!options.Replay.empty()) {
        std::ifstream capture = OpenInput(options.Replay);
        std::vector<TRecordEntry> entries;
        try {
            entries = ParseRecord(capture);
        } catch (const std::invalid_argument& fault) {
            throw std::runtime_error(options.Replay + ": " + fault.what());
        }
        // A replay that plays nothing would pass for the emulated console.
        if (ReplayedPart(entries).empty())
            throw std::runtime_error(options.Replay + " holds no console traffic to replay");
        simulator.SetReplay(entries);
    }
    if (!options.Record.empty()) simulator.SetRecordFile(options.Record);
    simulator.OnLineReappeared = [](const std::string& path) { std::cout << path << std::endl; };
    simulator.OnReappearFailed = [](const std::string& reason) {
        std::cerr << "kelvo-console-sim: the line stays away after the hang-up: " << reason << std::endl;
    };
}

// Commands typed while the console runs; errors are told and the console goes on.
void ReadCommands(TConsoleSimulator& simulator) {
    for (std::string line; std::getline(std::cin, line);) {
        if (line == "quit") return;
        if (line == "help") {
            std::cerr << ConsoleCommandHelp();
            continue;
        }
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            simulator.Command(line);
        } catch (const std::invalid_argument& error) {
            std::cerr << "kelvo-console-sim: " << error.what() << " (type help)" << std::endl;
        }
    }
    // End of input: keep the console running until a signal ends it.
    for (;;) ::pause();
}

} // namespace

int main(int argc, char** argv) {
    if (const auto answered = ProgramInfo::AnswerInformationOption(argc, argv, "kelvo-console-sim", Usage()))
        return *answered;
    // INT and TERM are taken by one thread, so that the console always removes its link.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    try {
        const TOptions options = ParseOptions(argc, argv);
        TConsoleSimulator simulator(options.Settings);
        Configure(simulator, options);
        simulator.Start();
        std::cout << simulator.GetSlavePath() << std::endl;
        std::thread([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            simulator.Stop();
            std::_Exit(0);
        }).detach();
        ReadCommands(simulator);
        simulator.Stop();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "kelvo-console-sim: " << error.what() << "\n" << Usage();
        return 2;
    }
}
