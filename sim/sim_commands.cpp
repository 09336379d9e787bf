#include "sim_commands.h"

#include "fault_plan.h"
#include "number_words.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace {

using Words = std::vector<std::string>;

struct Command {
    std::string verb;
    Words args;
    // The modules the command acts on: the one named by "module X", or else every
    // module for settings of the simulation and the first module for register access.
    std::vector<SimModule *> every;
    SimModule *single = nullptr;
};

bool parseCount(const std::string &word, unsigned maximum, unsigned &count)
{
    if (word.empty() || word.size() > 5 || word.find_first_not_of("0123456789") != std::string::npos)
        return false;
    count = unsigned(std::stoul(word));
    return count <= maximum;
}

std::string temp(const Command &c)
{
    double value;
    if (c.args.size() != 2 || c.args[0].size() != 1 || c.args[0][0] < '1' || c.args[0][0] > '4'
        || !parseFiniteNumber(c.args[1], value))
        return "usage: temp N V (N 1..4, V a number)";
    for (SimModule *module : c.every)
        module->model().setChannelValue(c.args[0][0] - '1', value);
    return {};
}

std::string cold(const Command &c)
{
    double t12, t34;
    if (c.args.size() != 2 || !parseFiniteNumber(c.args[0], t12) || !parseFiniteNumber(c.args[1], t34))
        return "usage: cold T12 T34";
    for (SimModule *module : c.every)
        module->model().setReferenceTemperatures(t12, t34);
    return {};
}

std::string noise(const Command &c)
{
    double amplitude;
    if (c.args.size() != 1 || !parseFiniteNumber(c.args[0], amplitude) || amplitude < 0)
        return "usage: noise A (A >= 0)";
    for (SimModule *module : c.every)
        module->model().setNoise(amplitude);
    return {};
}

std::string fault(const Command &c)
{
    std::string text;
    for (const std::string &word : c.args)
        text += word + ' ';
    FaultPlan plan;
    std::string error;
    if (!parseFaultPlan(text, plan, error))
        return error;
    // Each module counts its own requests for "every N" and ends its own "once".
    for (SimModule *module : c.every)
        module->fault() = plan;
    return {};
}

std::string poke(const Command &c)
{
    const unsigned last = ModuleModel::registerCount - 1;
    unsigned address;
    if (c.args.size() < 2 || !parseHexWord(c.args[0], last, address))
        return "usage: poke ADDR V... (hex; ADDR 0000..8258, V 0000..FFFF)";
    std::vector<std::uint16_t> values;
    for (std::size_t i = 1; i < c.args.size(); ++i) {
        unsigned value;
        if (!parseHexWord(c.args[i], 0xFFFF, value))
            return "poke: '" + c.args[i] + "' is not a hex register value";
        values.push_back(std::uint16_t(value));
    }
    if (address + values.size() > unsigned(ModuleModel::registerCount))
        return "poke: the values run past the last register";
    for (std::size_t i = 0; i < values.size(); ++i)
        c.single->model().poke(int(address + i), values[i]);
    return {};
}

std::string unpin(const Command &c)
{
    if (!c.args.empty())
        return "usage: unpin";
    for (SimModule *module : c.every)
        module->model().unpinAll();
    return {};
}

std::string dump(const Command &c)
{
    unsigned address, count;
    if (c.args.size() != 2 || !parseHexWord(c.args[0], ModuleModel::registerCount - 1, address)
        || !parseCount(c.args[1], ModuleModel::registerCount, count) || address + count > unsigned(ModuleModel::registerCount))
        return "usage: dump ADDR COUNT";
    c.single->model().refreshLiveValues();
    std::printf("dump %04X", address);
    for (unsigned i = 0; i < count; ++i)
        std::printf(" %04X", c.single->registers()[address + i]);
    std::printf("\n");
    return {};
}

// Splits off "module X" and picks the modules the command acts on.
std::string parse(const std::string &line, ModuleSet &modules, Command &c)
{
    std::istringstream stream(line);
    Words words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    if (words.empty())
        return "unknown command ''";
    std::size_t first = 0;
    if (words[0] == "module") {
        if (words.size() < 3)
            return "usage: module X COMMAND";
        int digit;
        c.single = parseSwitchDigit(words[1], digit) ? modules.atDigit(digit) : nullptr;
        if (!c.single)
            return "no module " + words[1];
        c.every = {c.single};
        first = 2;
    } else {
        c.single = &modules.first();
        c.every = modules.all();
    }
    c.verb = words[first];
    c.args.assign(words.begin() + std::ptrdiff_t(first) + 1, words.end());
    return {};
}

std::string carryOut(const Command &c, const std::function<bool()> &reopenLine)
{
    if (c.verb == "temp")
        return temp(c);
    if (c.verb == "cold")
        return cold(c);
    if (c.verb == "noise")
        return noise(c);
    if (c.verb == "fault")
        return fault(c);
    if (c.verb == "poke")
        return poke(c);
    if (c.verb == "unpin")
        return unpin(c);
    if (c.verb == "dump")
        return dump(c);
    // The line is shared: whichever module it is asked for, it is the one line.
    if (c.verb == "reopen")
        return reopenLine() ? std::string() : "cannot open the line";
    return "unknown command '" + c.verb + "'";
}

} // namespace

void executeCommand(const std::string &line, ModuleSet &modules, const std::function<bool()> &reopenLine)
{
    Command c;
    std::string error = parse(line, modules, c);
    if (error.empty())
        error = carryOut(c, reopenLine);
    if (error.empty())
        std::printf("ok %s\n", line.c_str());
    else
        std::printf("error %s\n", error.c_str());
    std::fflush(stdout);
}
