#include "command_line.h"

bool proModeRequested(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.at(1) == QLatin1String("--enable-pro-mode");
}
