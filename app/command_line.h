#pragma once

#include <QStringList>

// Pro mode is requested only by "--enable-pro-mode" as the very first argument, exactly
// as written; anything else on the command line is ignored.
bool proModeRequested(const QStringList &arguments);
