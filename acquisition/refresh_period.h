#pragma once

// The one range of refresh periods for every program's --period (korun-log, korun-monitor):
// from the window's shortest auto update, 0.01 s (as fast as the line answers), to one
// day, a reading a day. Beyond a day a timer is no longer the right tool.
namespace RefreshPeriod {
constexpr double minSeconds = 0.01;
constexpr double maxSeconds = 86400;
// For the programs' --help, after "time between refreshes, ".
constexpr char rangeText[] = "0.01 (as fast as the line answers) to 86400 (a day)";
} // namespace RefreshPeriod
