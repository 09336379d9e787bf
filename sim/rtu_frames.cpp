#include "rtu_frames.h"

std::uint16_t modbusCrc16(const std::uint8_t *data, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

// The CRC travels low byte first, unlike the data.
void appendCrc(std::vector<std::uint8_t> &frame)
{
    const std::uint16_t crc = modbusCrc16(frame.data(), frame.size());
    frame.push_back(std::uint8_t(crc));
    frame.push_back(std::uint8_t(crc >> 8));
}

std::vector<std::uint8_t> readResponse(int slave, const std::uint16_t *registers, int registerCount,
                                       int address, int count)
{
    std::vector<std::uint8_t> frame{std::uint8_t(slave), 0x03, std::uint8_t(2 * count)};
    for (int i = 0; i < count; ++i) {
        const int at = address + i;
        const std::uint16_t value = at < registerCount ? registers[at] : 0;
        frame.push_back(std::uint8_t(value >> 8));
        frame.push_back(std::uint8_t(value));
    }
    appendCrc(frame);
    return frame;
}

std::vector<std::uint8_t> writeResponse(int slave, int address, int count)
{
    std::vector<std::uint8_t> frame{std::uint8_t(slave), 0x10, std::uint8_t(address >> 8), std::uint8_t(address),
                                    std::uint8_t(count >> 8), std::uint8_t(count)};
    appendCrc(frame);
    return frame;
}
