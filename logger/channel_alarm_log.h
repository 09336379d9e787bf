#pragma once

class ChannelFile;
class QJsonArray;
struct ModuleSnapshot;

// korun-log's channel alarms (--channels): the tags and limits of the channel file, each
// channel's alarm following the refreshes by the monitor's rule, every change on standard
// error. Without a channel file there is nothing to follow and nothing is added.
void setChannelFile(const ChannelFile &file);
// Follows one refresh of a module; a refresh seen before changes nothing.
void followChannelAlarms(const ModuleSnapshot &snapshot);
// Adds "tag" and "alarm" (null, "low", "high", "over_range", "under_range") to the four
// channel objects of a module's state message.
void addChannelLabels(QJsonArray &channels, const ModuleSnapshot &snapshot);
