#include "command_line.h"

#include <cstring>

const char frontendUsage[] = R"(Usage: korun-frontend [--enable-pro-mode]

Opens the window for commissioning and servicing Korun four-channel temperature modules
on an RS-485 line (Modbus RTU, 115200 baud, 8N1): live values with cold-junction
compensated temperatures, and reading and storing the channels' sensor configuration.

Options:
  --enable-pro-mode  also show per channel the ADC code, physical value, gain and sensor
                     temperature, and the address-switch orientation buttons used by Store
  -h, --help         print this text and exit
  --version          print the program's version and exit

Each option counts only as the very first argument, exactly as written; any other
argument is ignored and the window opens in normal mode.
)";

bool proModeRequested(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.at(1) == QLatin1String("--enable-pro-mode");
}

TextRequest textRequested(int argc, const char *const argv[])
{
    if (argc < 2)
        return TextRequest::None;
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)
        return TextRequest::Help;
    if (std::strcmp(argv[1], "--version") == 0)
        return TextRequest::Version;
    return TextRequest::None;
}
