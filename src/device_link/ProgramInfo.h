#pragma once

#include <optional>
#include <string>

// What every program of the project says about itself.
namespace ProgramInfo {

// The project's version, the one the About box shows.
const char* Version();

// `--help` anywhere prints `usage` on standard output; `--version` as the only argument prints
// "<program> <version>" (with a value it is a program's own option). Either way the program is
// done: the result is its exit status. Otherwise nothing is printed and the result is empty.
std::optional<int> AnswerInformationOption(int argc, char** argv, const char* program,
                                           const std::string& usage);

} // namespace ProgramInfo
