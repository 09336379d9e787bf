#include "sim_options.h"

#include "sensor_catalogue.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char usage[] = R"(Usage: korun-sim --device PATH [options]

A simulated Korun module: a Modbus RTU server at 115200 8N1 on the serial device PATH,
answering at bus address 176 + the address switch. It serves the module's register map:
the 601-register configuration block at 0x8000 (kept in memory), and live values that
follow the stored configuration (thermocouple EMF relative to the on-board temperature,
resistance from the standard characteristic of the sensor's RTD family, mV or
ohm for VOLTAGE and RESISTANCE).

Options:
  --device PATH            serial device to serve (for example one end of a socat pair)
  --address X              address switch 0..F (hex digit or 0..15), default 0
  --channel N=SENSOR[:C]@V channel N (1..4) with sensor name (TC_K, TR_100Pt, VOLTAGE, ...),
                           optional connection code C (default 5 for thermocouples and
                           VOLTAGE, 3 for resistive sensors) and value V: degC, or mV for
                           VOLTAGE, ohm for RESISTANCE
  --cold T12,T34           on-board temperatures in degC (default 24.5,25.5)
  --noise A                random noise of +-A on every live value (default 0)
  --help                   this text

Commands on standard input, one per line (each answered with "ok ..." or "error ..."):
  temp N V                 set channel N's simulated value
  cold T12 T34             set the on-board temperatures
  noise A                  set the noise amplitude
  fault KIND [ARG] [@ADDR] [every N] [once]
                           misbehave: none, silent, exception CODE (2 illegal data
                           address, 6 server busy), badcrc, short, long (one register
                           fewer or more than asked), late MS, vanish (close the line),
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

Standard output logs each request served: "request FUNCTION ADDRESS COUNT" (hex).
KORUN_SIM_DEBUG=1 in the environment adds the library's frame-by-frame trace.
)";

int sensorCodeByName(const std::string &name)
{
    for (unsigned code = 0; code < sensorTypeCount; ++code) {
        if (name == sensorTypeNames[code])
            return int(code);
    }
    return -1;
}

bool parseSelector(const std::string &text, int &selector)
{
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, text.size() == 1 ? 16 : 10);
    if (text.empty() || *end || value < 0 || value > 15)
        return false;
    selector = int(value);
    return true;
}

// "N=SENSOR[:C]@V"
bool parseChannel(const std::string &text, Options &options)
{
    const auto equals = text.find('='), at = text.find('@');
    if (equals != 1 || at == std::string::npos || text[0] < '1' || text[0] > '4')
        return false;
    std::string sensor = text.substr(2, at - 2);
    ChannelSetup setup;
    const auto colon = sensor.find(':');
    if (colon != std::string::npos) {
        setup.connectionCode = unsigned(std::atoi(sensor.c_str() + colon + 1));
        sensor.resize(colon);
    }
    const int code = sensorCodeByName(sensor);
    if (code < 0)
        return false;
    setup.sensorCode = unsigned(code);
    if (colon == std::string::npos)
        setup.connectionCode = isVoltageInputSensor(code) ? 5 : isResistiveSensor(code) ? 3 : 0;
    setup.value = std::atof(text.c_str() + at + 1);
    options.channels[text[0] - '1'] = setup;
    return true;
}

} // namespace

bool parseOptions(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help") {
            std::fputs(usage, stdout);
            std::exit(0);
        } else if (arg == "--device" && hasValue) {
            options.device = argv[++i];
        } else if (arg == "--address" && hasValue) {
            if (!parseSelector(argv[++i], options.selector))
                return false;
        } else if (arg == "--channel" && hasValue) {
            if (!parseChannel(argv[++i], options))
                return false;
        } else if (arg == "--cold" && hasValue) {
            if (std::sscanf(argv[++i], "%lf,%lf", &options.cold[0], &options.cold[1]) != 2)
                return false;
        } else if (arg == "--noise" && hasValue) {
            options.noise = std::atof(argv[++i]);
        } else {
            return false;
        }
    }
    return !options.device.empty();
}
