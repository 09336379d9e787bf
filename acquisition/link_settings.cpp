#include "link_settings.h"

#include "korun_mbproxy.h"

#include <QVariant>

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
    proxy.setConnectionParameter(QModbusDevice::SerialPortNameParameter, port);
    proxy.setConnectionParameter(QModbusDevice::SerialParityParameter, 0);
    proxy.setConnectionParameter(QModbusDevice::SerialBaudRateParameter, LinkSettings::baudRate);
    proxy.setConnectionParameter(QModbusDevice::SerialDataBitsParameter, 8);
    proxy.setConnectionParameter(QModbusDevice::SerialStopBitsParameter, 1);
    proxy.serverAddress = busAddress(selector);
    proxy.setTimeout(LinkSettings::responseTimeoutMs);
    proxy.setNumberOfRetries(LinkSettings::numberOfRetries);
}
