#pragma once

// Numbers typed by a person, on the command line or on standard input. Each parser takes
// a whole word and fails on anything left over, so that "12x", "nan" or "" are refused
// instead of being read as a prefix or as 0.

#include <string>

// A finite decimal number ("-20", "22.5", "1e2").
bool parseFiniteNumber(const std::string &word, double &value);

// A hexadecimal number of at most 4 digits (a register address or value) not above
// `maximum`.
bool parseHexWord(const std::string &word, unsigned maximum, unsigned &value);

// One address-switch setting: a single hex digit 0-9, A-F or a-f.
bool parseSwitchDigit(const std::string &word, int &digit);
