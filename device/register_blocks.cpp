// The module's register blocks, built on the single-request mbRead and mbWrite.
#include "korun_mbproxy.h"

#include <QVector>

namespace {

QModbusDataUnit holdingRegisters(quint16 start, QVector<quint16> values)
{
    return QModbusDataUnit(QModbusDataUnit::HoldingRegisters, start, values);
}

} // namespace

bool Korun_MBProxy::readHoldingRegisters(quint16 start, quint16 count, quint16 *dst)
{
    const quint64 strays = strayReplies();
    for (quint16 offset = 0; offset < count;) {
        const quint16 n = qMin<quint16>(count - offset, RegisterMap::maxReadCount);
        if (!mbRead(holdingRegisters(start + offset, QVector<quint16>(n, 0)), dst + offset))
            return false;
        offset += n;
    }
    return noStrayRepliesSince(strays);
}

bool Korun_MBProxy::writeHoldingRegisters(quint16 start, quint16 count, const quint16 *src, int *writtenChunks)
{
    if (writtenChunks)
        *writtenChunks = 0;
    const quint64 strays = strayReplies();
    const auto *bytes = reinterpret_cast<const quint8 *>(src);
    for (quint16 offset = 0; offset < count;) {
        const quint16 n = qMin<quint16>(count - offset, RegisterMap::maxWriteCount);
        QVector<quint16> values(n);
        for (int i = 0; i < n; ++i) {
            const int at = 2 * (offset + i);
            values[i] = quint16(bytes[at] | bytes[at + 1] << 8);
        }
        if (!mbWrite(holdingRegisters(start + offset, values)))
            return false;
        if (writtenChunks)
            ++*writtenChunks;
        offset += n;
    }
    return noStrayRepliesSince(strays);
}

bool Korun_MBProxy::readConfiguration(ConfigurationImage &image)
{
    return readHoldingRegisters(RegisterMap::configurationAddress, RegisterMap::configurationCount,
                                image.words());
}

bool Korun_MBProxy::readReferenceTemperatures(ReferenceTemperatures &temperatures)
{
    const quint16 count = RegisterMap::referenceTemperaturesCount;
    return mbRead(holdingRegisters(RegisterMap::referenceTemperaturesAddress, QVector<quint16>(count, 0)),
                  temperatures.bytes.data());
}

bool Korun_MBProxy::readChannelMeasurements(std::array<MeasurementRecord, 4> &records)
{
    const quint16 count = RegisterMap::measurementCount;
    const quint64 strays = strayReplies();
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel) {
        if (!mbRead(holdingRegisters(RegisterMap::measurementAddress(channel), QVector<quint16>(count, 0)),
                    records[channel].bytes.data()))
            return false;
    }
    return noStrayRepliesSince(strays);
}

bool Korun_MBProxy::readAdcStates(std::array<AdcState, 4> &states)
{
    const quint16 count = RegisterMap::adcStateCount;
    const quint64 strays = strayReplies();
    for (int channel = 0; channel < RegisterMap::channelCount; ++channel) {
        if (!mbRead(holdingRegisters(RegisterMap::adcStateAddress(channel), QVector<quint16>(count, 0)),
                    states[channel].bytes.data()))
            return false;
    }
    return noStrayRepliesSince(strays);
}

bool Korun_MBProxy::storeConfiguration(const std::array<ChannelChoice, 4> &choices, bool addressSwitchZeroLeft,
                                       int *writtenChunks)
{
    if (writtenChunks)
        *writtenChunks = -1;
    ConfigurationImage image;
    if (!readConfiguration(image))
        return false;
    applyChannelChoices(image, choices, addressSwitchZeroLeft);
    return writeHoldingRegisters(RegisterMap::configurationAddress, RegisterMap::configurationCount,
                                 image.words(), writtenChunks);
}
