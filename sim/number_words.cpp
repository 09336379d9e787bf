#include "number_words.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

bool parseFiniteNumber(const std::string &word, double &value)
{
    // strtod skips leading blanks; a word that starts with one is not a number.
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0])))
        return false;
    char *end = nullptr;
    errno = 0;
    const double parsed = std::strtod(word.c_str(), &end);
    if (*end || errno == ERANGE || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

bool parseHexWord(const std::string &word, unsigned maximum, unsigned &value)
{
    if (word.empty() || word.size() > 4)
        return false;
    for (const char c : word) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    const unsigned long parsed = std::strtoul(word.c_str(), nullptr, 16);
    if (parsed > maximum)
        return false;
    value = unsigned(parsed);
    return true;
}

bool parseSwitchDigit(const std::string &word, int &digit)
{
    if (word.size() != 1 || !std::isxdigit(static_cast<unsigned char>(word[0])))
        return false;
    digit = int(std::strtol(word.c_str(), nullptr, 16));
    return true;
}
