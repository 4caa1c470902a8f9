#pragma once

#include <string>

// A number typed by a user (command line, script, standard input): decimal, or hexadecimal
// with 0x. Throws std::invalid_argument naming `what` and the allowed range when the text is
// not a number or lies outside [min, max].
double NumberOf(const std::string& text, const std::string& what, double min, double max);
