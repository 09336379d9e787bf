#pragma once

#include "channel_file.h"

#include <QStringList>

// What korun-monitor keeps between runs in QSettings: the channels' tags, limits and
// hidden marks when no channel file is given, and always the channels in the trend (by
// module digit and channel, "3:1") and its span. Window geometry is kept by the window.
namespace MonitorStore {

ChannelFile channels();
void setChannels(const ChannelFile &file);
// Absent until the user has chosen once.
bool hasTrendChannels();
QStringList trendChannels();
void setTrendChannels(const QStringList &keys);
int spanSeconds(int otherwise);
void setSpanSeconds(int seconds);

} // namespace MonitorStore
