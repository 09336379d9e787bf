#pragma once

#include <QString>

struct LogOptions;

// Reads the files the MQTT options name, before anything else is opened: the password
// from the first line of --mqtt-password-file, and the certificates of --mqtt-cafile. False
// with a one-line message naming the file when one cannot be used.
bool readMqttFiles(LogOptions &options, QString &error);
