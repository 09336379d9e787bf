#include "mqtt_files.h"

#include "log_options.h"

#include <QFile>

namespace {

bool readAll(const QString &path, const char *what, QByteArray &contents, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the MQTT %1 %2: %3").arg(QLatin1String(what), path, file.errorString());
        return false;
    }
    contents = file.readAll();
    if (file.error() != QFile::NoError) {
        error = QStringLiteral("cannot read the MQTT %1 %2: %3").arg(QLatin1String(what), path, file.errorString());
        return false;
    }
    return true;
}

} // namespace

bool readMqttFiles(LogOptions &options, QString &error)
{
    QByteArray contents;
    if (!options.mqttPasswordFile.isEmpty()) {
        if (!readAll(options.mqttPasswordFile, "password file", contents, error))
            return false;
        options.mqtt.password = QString::fromUtf8(contents.left(contents.indexOf('\n'))).trimmed();
    }
    if (!options.mqtt.caFile.isEmpty()) {
        if (!readAll(options.mqtt.caFile, "CA file", contents, error))
            return false;
        // The library would only find out when it meets the broker.
        if (!contents.contains("-----BEGIN CERTIFICATE-----")) {
            error = QStringLiteral("the MQTT CA file %1 holds no certificate (PEM expected)").arg(options.mqtt.caFile);
            return false;
        }
    }
    return true;
}
