#include "sim_options.h"

#include "number_words.h"
#include "sensor_catalogue.h"

#include <getopt.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const char usage[] = R"(Usage: korun-sim --device PATH [options]

Simulated Korun modules sharing one Modbus RTU line at 115200 8N1 on the serial device
PATH. Each answers at bus address 176 + its address switch (0xB0..0xBF) and serves its
own register map: the 601-register configuration block at 0x8000 (kept in memory), and
live values that follow the stored configuration (thermocouple EMF relative to the
on-board temperature, resistance from the standard characteristic of the sensor's RTD
family, mV or ohm for VOLTAGE and RESISTANCE). Requests for other bus addresses go
unanswered, as on a line where nobody has that address.

Options:
  --device PATH            serial device to serve (for example one end of a socat pair)
  --address X[,X...]       modules on the line by address switch, one hex digit 0..F
                           each; may be repeated. Default: one module at 0. The first
                           module given is the one poke and dump act on by default
  --channel N=SENSOR[:C]@V
                           channel N (1..4) with sensor name (TC_K, TR_100Pt, VOLTAGE, ...),
                           optional connection code C (0, 2, 3, 4 or 5; default 5 for
                           thermocouples and VOLTAGE, 3 for resistive sensors) and value
                           V: degC, or mV for VOLTAGE, ohm for RESISTANCE. Applies to the
                           modules of the latest --address before it; given before any
                           --address, to every module (a module's own --channel for the
                           same N takes precedence)
  --cold T12,T34           on-board temperatures in degC of every module (default 24.5,25.5)
  --noise A                random noise of +-A on every live value of every module
                           (default 0)
  --line-baud B            bytes take as long as on a line at B baud (10 bits a byte),
                           requests before the module sees them, replies before the
                           master does (default: no time)
  --turnaround MS[-MAX]    the module starts each reply MS ms after the request, or a
                           random time between MS and MAX (default 0)
  --adapter-latency MS     replies reach the master only at the USB adapter's latency
                           ticks, every MS ms, as USB-serial adapters hand bytes over
                           (16 is a common default; default 0: at once)
  -h, --help               this text
  --version                the program's version

  Example: --address 0 --channel 1=TC_K@300 --address 3,7 --channel 2=TR_100Pt:3@20
  puts modules at 0xB0, 0xB3 and 0xB7 on the line; channel 1 of the first measures a
  type K thermocouple at 300 degC, channel 2 of the other two a Pt100 (3-wire) at 20 degC.

Commands on standard input, one per line, each answered with ok COMMAND or error WHY:
  temp N V                 set channel N's simulated value
  cold T12 T34             set the on-board temperatures
  noise A                  set the noise amplitude
  fault KIND [ARG] [@ADDR] [every N] [once]
                           misbehave: none, silent, exception CODE (2 illegal data
                           address, 6 server busy), badcrc, short, long (one register
                           fewer or more than asked), cut (a reply that stops half
                           way), late MS, vanish (close the line),
                           twice [MS] (answer, then send the same reply frame again MS
                           ms later, default 0; a write is applied once);
                           @ADDR (hex) limits it to requests starting there; every N
                           (N >= 1) acts only on every N-th request it applies to (the
                           N-th, 2N-th, ...; counting only requests at @ADDR if given)
                           and answers the others normally; once ends it after it has
                           acted once. Example: fault late 250 every 7
  reopen                   open the line again after vanish
  poke ADDR V...           pin registers from ADDR (hex) to the values V (hex)
  unpin                    let pinned registers follow the simulation again
  dump ADDR COUNT          print COUNT registers from ADDR (hex) as "dump ADDR V..."
  module X COMMAND         COMMAND for the module at address switch X only, for example
                           "module 7 fault silent" or "module 3 dump 2000 4". Without it
                           temp, cold, noise, fault and unpin act on every module, poke
                           and dump on the first one; reopen concerns the line itself.

Standard output starts with "ready PATH ADDRESS..." (the modules' bus addresses in
decimal), then logs each request served as "request FUNCTION ADDRESS COUNT SERVER"
(hex; SERVER is the bus address the request was sent to).
KORUN_SIM_DEBUG=1 in the environment adds the library's trace of each reply.
)";

enum OptionId {
    DeviceOption = 1,
    AddressOption,
    ChannelOption,
    ColdOption,
    NoiseOption,
    BaudOption,
    TurnaroundOption,
    LatencyOption,
    VersionOption,
    HelpOption
};

const option longOptions[] = {
    {"device", required_argument, nullptr, DeviceOption},
    {"address", required_argument, nullptr, AddressOption},
    {"channel", required_argument, nullptr, ChannelOption},
    {"cold", required_argument, nullptr, ColdOption},
    {"noise", required_argument, nullptr, NoiseOption},
    {"line-baud", required_argument, nullptr, BaudOption},
    {"turnaround", required_argument, nullptr, TurnaroundOption},
    {"adapter-latency", required_argument, nullptr, LatencyOption},
    {"version", no_argument, nullptr, VersionOption},
    {"help", no_argument, nullptr, HelpOption},
    {nullptr, 0, nullptr, 0},
};

struct ChannelChoice {
    bool given = false;
    ChannelSetup setup;
};
using ChannelChoices = std::array<ChannelChoice, 4>;

int sensorCodeByName(const std::string &name)
{
    for (unsigned code = 0; code < sensorTypeCount; ++code) {
        if (name == sensorTypeNames[code])
            return int(code);
    }
    return -1;
}

// "N=SENSOR[:C]@V"; `channel` is 0-based.
bool parseChannel(const std::string &text, int &channel, ChannelSetup &setup, std::string &error)
{
    const std::string prefix = "--channel " + text + ": ";
    const auto at = text.find('@');
    if (text.size() < 2 || text[1] != '=' || at == std::string::npos) {
        error = "--channel needs N=SENSOR[:C]@V, not '" + text + "'";
        return false;
    }
    if (text[0] < '1' || text[0] > '4') {
        error = prefix + "channel must be 1..4";
        return false;
    }
    channel = text[0] - '1';
    std::string sensor = text.substr(2, at - 2);
    const auto colon = sensor.find(':');
    std::string connection;
    if (colon != std::string::npos) {
        connection = sensor.substr(colon + 1);
        sensor.resize(colon);
    }
    const int code = sensorCodeByName(sensor);
    if (code < 0) {
        error = prefix + "unknown sensor '" + sensor + "'";
        return false;
    }
    setup.sensorCode = unsigned(code);
    if (colon == std::string::npos) {
        setup.connectionCode = isVoltageInputSensor(code) ? 5 : isResistiveSensor(code) ? 3 : 0;
    } else if (connection.size() == 1 && std::strchr("02345", connection[0])) {
        setup.connectionCode = unsigned(connection[0] - '0');
    } else {
        error = prefix + "connection code must be 0, 2, 3, 4 or 5, not '" + connection + "'";
        return false;
    }
    const std::string value = text.substr(at + 1);
    if (!parseFiniteNumber(value, setup.value)) {
        error = prefix + "value '" + value + "' is not a finite number";
        return false;
    }
    return true;
}

// "X[,X...]": appends the digits and returns the indices they got in `digits`.
bool parseAddressList(const std::string &text, std::vector<int> &digits, std::vector<std::size_t> &added,
                      std::string &error)
{
    added.clear();
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        const std::string word = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        int digit;
        if (!parseSwitchDigit(word, digit)) {
            error = "--address takes hex digits 0..F separated by commas, not '" + text + "'";
            return false;
        }
        for (const int known : digits) {
            if (known == digit) {
                error = "--address " + text + ": module " + word + " is given twice";
                return false;
            }
        }
        added.push_back(digits.size());
        digits.push_back(digit);
        if (comma == std::string::npos)
            return true;
        start = comma + 1;
    }
}

// "T12,T34"
bool parseCold(const std::string &text, double cold[2])
{
    const auto comma = text.find(',');
    return comma != std::string::npos && parseFiniteNumber(text.substr(0, comma), cold[0])
        && parseFiniteNumber(text.substr(comma + 1), cold[1]);
}

// A whole number of milliseconds or baud, 0 .. 10 000 000.
bool parseCount(const std::string &word, int &value)
{
    double number;
    if (!parseFiniteNumber(word, number) || number < 0 || number > 1e7 || number != int(number))
        return false;
    value = int(number);
    return true;
}

// "MS" or "MIN-MAX".
bool parseTurnaround(const std::string &text, LineTiming &timing)
{
    const std::size_t dash = text.find('-');
    if (dash == std::string::npos) {
        if (!parseCount(text, timing.turnaroundMinMs))
            return false;
        timing.turnaroundMaxMs = timing.turnaroundMinMs;
        return true;
    }
    return parseCount(text.substr(0, dash), timing.turnaroundMinMs)
        && parseCount(text.substr(dash + 1), timing.turnaroundMaxMs) && timing.turnaroundMinMs <= timing.turnaroundMaxMs;
}

// The argument getopt_long stopped at, for messages: "--speed=5" is named "--speed".
std::string offendingOption(char **argv)
{
    const std::string arg = argv[optind - 1];
    return arg.substr(0, arg.find('='));
}

std::string unknownOptionMessage(char **argv)
{
    if (optopt > HelpOption) // a short option; korun-sim has only -h
        return std::string("Unknown option '") + char(optopt) + "'.";
    const std::string name = offendingOption(argv);
    if (optopt != 0)
        return name + " takes no value";
    int matches = 0;
    for (const option *o = longOptions; o->name; ++o)
        matches += std::strncmp(o->name, name.c_str() + 2, name.size() - 2) == 0;
    // Worded as the other programs' (Qt's) command lines word it.
    return matches > 1 ? "ambiguous option " + name : "Unknown option '" + name.substr(2) + "'.";
}

} // namespace

bool parseOptions(int argc, char **argv, Options &options, std::string &error)
{
    ChannelChoices common;                // --channel before any --address
    std::vector<ChannelChoices> specific; // per module, by index into digits
    std::vector<int> digits;
    std::vector<std::size_t> latestGroup;

    opterr = 0;   // the messages below name the option the way korun-sim's users type it
    optind = 1;
    int id;
    while ((id = getopt_long(argc, argv, "+:h", longOptions, nullptr)) != -1) {
        const std::string value = optarg ? optarg : "";
        switch (id) {
        case 'h':
        case HelpOption:
            std::fputs(usage, stdout);
            std::exit(0);
        case VersionOption:
            std::printf("korun-sim %s\n", KORUN_VERSION);
            std::exit(0);
        case DeviceOption:
            options.device = value;
            break;
        case AddressOption:
            if (!parseAddressList(value, digits, latestGroup, error))
                return false;
            specific.resize(digits.size());
            break;
        case ChannelOption: {
            int channel;
            ChannelSetup setup;
            if (!parseChannel(value, channel, setup, error))
                return false;
            if (latestGroup.empty())
                common[channel] = {true, setup};
            for (const std::size_t module : latestGroup)
                specific[module][channel] = {true, setup};
            break;
        }
        case ColdOption:
            if (!parseCold(value, options.cold)) {
                error = "--cold needs two numbers T12,T34, not '" + value + "'";
                return false;
            }
            break;
        case NoiseOption:
            if (!parseFiniteNumber(value, options.noise) || options.noise < 0) {
                error = "--noise needs an amplitude >= 0, not '" + value + "'";
                return false;
            }
            break;
        case BaudOption:
            if (!parseCount(value, options.timing.baud) || options.timing.baud == 0) {
                error = "--line-baud needs a baud rate above 0, not '" + value + "'";
                return false;
            }
            break;
        case TurnaroundOption:
            if (!parseTurnaround(value, options.timing)) {
                error = "--turnaround needs MS or MIN-MAX in whole ms, not '" + value + "'";
                return false;
            }
            break;
        case LatencyOption:
            if (!parseCount(value, options.timing.latencyMs)) {
                error = "--adapter-latency needs whole ms >= 0, not '" + value + "'";
                return false;
            }
            break;
        case ':':
            error = offendingOption(argv) + " needs a value";
            return false;
        default:
            error = unknownOptionMessage(argv);
            return false;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument '") + argv[optind] + "'";
        return false;
    }
    if (options.device.empty()) {
        error = "--device PATH is required";
        return false;
    }
    if (digits.empty()) {
        digits.push_back(0);
        specific.resize(1);
    }
    options.modules.clear();
    for (std::size_t i = 0; i < digits.size(); ++i) {
        ModuleSetup module;
        module.digit = digits[i];
        for (int channel = 0; channel < 4; ++channel) {
            const ChannelChoice &choice = specific[i][channel].given ? specific[i][channel] : common[channel];
            if (choice.given)
                module.channels[channel] = choice.setup;
        }
        options.modules.push_back(module);
    }
    return true;
}
