#include "link_settings.h"

#include "korun_mbproxy.h"

#include <QDir>
#include <QFileInfo>
#include <QVariant>

namespace {

// The serial port looks a name without a leading '/' up under /dev/ ("ttyUSB0"); a relative
// path such as "lines/port" is meant from the working directory.
QString portPath(const QString &port)
{
    return port.contains(QLatin1Char('/')) && QDir::isRelativePath(port) ? QFileInfo(port).absoluteFilePath() : port;
}

} // namespace

quint8 busAddress(int selector)
{
    return quint8(0xB0 + selector);
}

QString busAddressText(quint8 address)
{
    return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

void configureLink(Korun_MBProxy &proxy, const QString &port, int selector)
{
    proxy.setConnectionParameter(QModbusDevice::SerialPortNameParameter, portPath(port));
    proxy.setConnectionParameter(QModbusDevice::SerialParityParameter, 0);
    proxy.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, LinkSettings::baudRate);
    proxy.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, 8);
    proxy.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, 1);
    proxy.serverAddress = busAddress(selector);
    proxy.setTimeout(LinkSettings::responseTimeoutMs);
    proxy.setNumberOfRetries(LinkSettings::numberOfRetries);
}
