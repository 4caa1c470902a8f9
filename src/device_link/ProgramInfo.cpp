#include "device_link/ProgramInfo.h"

#include <cstdio>
#include <cstring>

const char* ProgramInfo::Version() {
    return KELVO_VERSION;
}

std::optional<int> ProgramInfo::AnswerInformationOption(int argc, char** argv, const char* program,
                                                        const std::string& usage) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") != 0) continue;
        std::fputs(usage.c_str(), stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", program, Version());
        return 0;
    }
    return std::nullopt;
}
