#include "fault_plan.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sstream>

namespace {

// A whole word of decimal digits within [minimum, INT_MAX]; "7x", "1e3" and "-5" fail.
bool parseWholeNumber(const std::string &word, int minimum, int &value)
{
    if (word.empty() || word[0] < '0' || word[0] > '9')
        return false;
    char *end = nullptr;
    errno = 0;
    const long parsed = std::strtol(word.c_str(), &end, 10);
    if (*end || errno == ERANGE || parsed < minimum || parsed > INT_MAX)
        return false;
    value = int(parsed);
    return true;
}

bool isOptionWord(const std::string &word)
{
    return word == "once" || word == "every" || (!word.empty() && word[0] == '@');
}

} // namespace

bool parseFaultPlan(const std::string &text, FaultPlan &plan, std::string &error)
{
    std::istringstream words(text);
    std::string kind;
    words >> kind;
    FaultPlan parsed;
    std::string option;
    if (kind == "none") {
        parsed.kind = FaultPlan::None;
    } else if (kind == "silent") {
        parsed.kind = FaultPlan::Silent;
    } else if (kind == "exception") {
        parsed.kind = FaultPlan::Exception;
        if (!(words >> parsed.exceptionCode) || parsed.exceptionCode < 1 || parsed.exceptionCode > 255) {
            error = "exception needs a code 1..255";
            return false;
        }
    } else if (kind == "badcrc") {
        parsed.kind = FaultPlan::BadCrc;
    } else if (kind == "short") {
        parsed.kind = FaultPlan::Short;
    } else if (kind == "long") {
        parsed.kind = FaultPlan::Long;
    } else if (kind == "cut") {
        parsed.kind = FaultPlan::Cut;
    } else if (kind == "late") {
        parsed.kind = FaultPlan::Late;
        if (!(words >> parsed.delayMs) || parsed.delayMs < 0) {
            error = "late needs a delay in ms";
            return false;
        }
    } else if (kind == "vanish") {
        parsed.kind = FaultPlan::Vanish;
    } else if (kind == "twice") {
        parsed.kind = FaultPlan::Twice;
        // The gap is optional, so the word after "twice" may already be an option.
        if (words >> option && !isOptionWord(option)) {
            if (!parseWholeNumber(option, 0, parsed.delayMs)) {
                error = "twice takes an optional gap in ms >= 0, not '" + option + "'";
                return false;
            }
            option.clear();
        }
    } else {
        error = "unknown fault '" + kind + "'";
        return false;
    }

    while (!option.empty() || words >> option) {
        if (option == "once") {
            parsed.once = true;
        } else if (option == "every") {
            std::string count;
            words >> count;
            if (!parseWholeNumber(count, 1, parsed.every)) {
                error = "every needs a count N >= 1, not '" + count + "'";
                return false;
            }
        } else if (option.size() > 1 && option[0] == '@') {
            try {
                parsed.onlyAddress = std::stoi(option.substr(1), nullptr, 16);
            } catch (...) {
                error = "bad address '" + option + "'";
                return false;
            }
        } else {
            error = "unknown option '" + option + "'";
            return false;
        }
        option.clear();
    }
    plan = parsed;
    return true;
}
