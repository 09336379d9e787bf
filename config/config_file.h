#pragma once

// A module's channel configuration as a JSON file ("korun-config/1"): what a read writes,
// and what a write or a diff takes.

#include "register_map.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

struct ConfigFile {
    std::array<ChannelChoice, 4> choices;
    bool addressSwitchZeroLeft = false;
    std::optional<ConfigurationImage> image; // the whole block, when the file carries it
};

// The file for a configuration block read from the module at busAddress.
QByteArray configFileText(const ConfigurationImage &image, quint8 busAddress, const QDateTime &readAt);

// Reads a file. Sensor and connection names win over the codes. A file that cannot be
// right is refused with a message naming the channel and field.
bool parseConfigFile(const QByteArray &text, ConfigFile &file, QString &error);
