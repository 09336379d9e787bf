#include "fault_plan.h"

#include <sstream>

bool parseFaultPlan(const std::string &text, FaultPlan &plan, std::string &error)
{
    std::istringstream words(text);
    std::string kind;
    words >> kind;
    FaultPlan parsed;
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
    } else if (kind == "late") {
        parsed.kind = FaultPlan::Late;
        if (!(words >> parsed.delayMs) || parsed.delayMs < 0) {
            error = "late needs a delay in ms";
            return false;
        }
    } else if (kind == "vanish") {
        parsed.kind = FaultPlan::Vanish;
    } else {
        error = "unknown fault '" + kind + "'";
        return false;
    }

    std::string option;
    while (words >> option) {
        if (option == "once") {
            parsed.once = true;
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
    }
    plan = parsed;
    return true;
}
