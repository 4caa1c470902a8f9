#include "console_sim/ConsoleVersion.h"

#include "device_link/TextNumber.h"
#include "device/KelvoProtocol.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

namespace {

using KelvoProtocol::ByteStreamAnswer;

std::uint8_t FrameAnswerOf(double version) {
    const auto& answers = KelvoProtocol::IdentificationAnswers;
    const auto found = std::find_if(answers.begin(), answers.end(),
                                    [&](const auto& answer) { return answer.Version == version; });
    return found->Answer;
}

// The roller each version is built with: distance per roll event in metres.
const std::array<TConsoleVersion, 9>& KnownVersions() {
    static const std::array<TConsoleVersion, 9> versions = {{
        {1.0, TConsoleFamily::cfByteStream, ByteStreamAnswer, 0.2513},
        {2.0, TConsoleFamily::cfByteStream, ByteStreamAnswer, 0.1885},
        {3.0, TConsoleFamily::cfByteStream, ByteStreamAnswer, 0.1885},
        {4.0, TConsoleFamily::cfShortFrames, FrameAnswerOf(4.0), 0.0620},
        {4.5, TConsoleFamily::cfLongFrames, FrameAnswerOf(4.5), 0.1241},
        {5.0, TConsoleFamily::cfLongFrames, FrameAnswerOf(5.0), 0.1414},
        {5.5, TConsoleFamily::cfLongFrames, FrameAnswerOf(5.5), 0.0471},
        {6.0, TConsoleFamily::cfLongFrames, FrameAnswerOf(6.0), 0.1414},
        {7.0, TConsoleFamily::cfLongFrames, FrameAnswerOf(7.0), 0.0942},
    }};
    return versions;
}

std::string VersionText(double version) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", version);
    return text;
}

} // namespace

std::size_t TConsoleVersion::FrameSize() const {
    switch (Family) {
    case TConsoleFamily::cfShortFrames: return KelvoProtocol::ShortFrameSize;
    case TConsoleFamily::cfLongFrames: return KelvoProtocol::LongFrameSize;
    case TConsoleFamily::cfByteStream: break;
    }
    return 0;
}

double TConsoleVersion::StreamPeriodMs() const { return Family == TConsoleFamily::cfByteStream ? 10.0 : 100.0; }

TConsoleVersion ConsoleVersionOf(double version) {
    const auto& versions = KnownVersions();
    const auto found = std::find_if(versions.begin(), versions.end(),
                                    [&](const TConsoleVersion& known) { return known.Version == version; });
    if (found == versions.end())
        throw std::invalid_argument("there is no console version " + VersionText(version) +
                                    " (known: 1, 2, 3, 4, 4.5, 5, 5.5, 6, 7)");
    return *found;
}

TConsoleVersion ConsoleVersionOf(const std::string& text) { return ConsoleVersionOf(NumberOf(text, "version", 0, 10)); }
