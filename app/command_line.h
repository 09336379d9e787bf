#pragma once

#include <QStringList>

// Pro mode is requested only by "--enable-pro-mode" as the very first argument, exactly
// as written; anything else on the command line is ignored.
bool proModeRequested(const QStringList &arguments);

// Text asked for instead of the window: only "--help" (or "-h") or "--version" as the very first
// argument, exactly as written. Decided from argv before any QApplication exists, so
// that both answer on a machine without a display (man pages are made from them at
// build time).
enum class TextRequest { None, Help, Version };
TextRequest textRequested(int argc, const char *const argv[]);

extern const char frontendUsage[];
