#pragma once

// A module's channel configuration as a JSON file ("korun-config/1"): what a read writes,
// and what a write or a diff takes.

#include "register_map.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

struct ConfigFile {
    std::array<ChannelChoice, 4> choices;
    // The sensor was given as a bare number: a code the catalogue does not name, kept as read.
    std::array<bool, 4> sensorByNumber{};
    // Each channel's "adc_setup" bytes 2-11; empty when the file has none.
    std::array<QByteArray, 4> adcSetup;
    bool addressSwitchZeroLeft = false;
    QString module; // the "module" entry ("0xBA"), empty when absent
    std::optional<ConfigurationImage> image; // the whole block, when the file carries it
    QStringList warnings; // names that contradict the codes beside them
};

// The file for a configuration block read from the module at busAddress.
QByteArray configFileText(const ConfigurationImage &image, quint8 busAddress, const QDateTime &readAt);

// Reads a file. A name wins over the code beside it (with a warning when they differ); a
// bare number is kept as it stands. An unknown name, or a file that is not one, is refused
// with a message naming the channel and field.
bool parseConfigFile(const QByteArray &text, ConfigFile &file, QString &error);
