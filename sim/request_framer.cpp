#include "request_framer.h"

#include "rtu_frames.h"

namespace {

// Length of the request frame starting the buffer, from its function code (and, for the
// writes of several items, the byte count it carries); 0 while too little has arrived to
// tell.
std::size_t frameLength(const std::vector<std::uint8_t> &bytes)
{
    if (bytes.size() < 2)
        return 0;
    switch (bytes[1]) {
    case 0x01: case 0x02: case 0x03: case 0x04: case 0x05: case 0x06:
        return 8;         // server, function, address, count or value, CRC
    case 0x0F: case 0x10:
        return bytes.size() < 7 ? 0 : 9 + std::size_t(bytes[6]);
    case 0x16:
        return 10;
    case 0x17:
        return bytes.size() < 11 ? 0 : 13 + std::size_t(bytes[10]);
    default:
        return 4;         // server, function, CRC: the server answers "illegal function"
    }
}

} // namespace

constexpr std::chrono::milliseconds RequestFramer::staleAfter;

void RequestFramer::add(const std::uint8_t *data, std::size_t length, Clock::time_point now)
{
    if (!pending_.empty() && now - lastByte_ > staleAfter)
        pending_.clear();
    pending_.insert(pending_.end(), data, data + length);
    lastByte_ = now;
}

bool RequestFramer::next(std::vector<std::uint8_t> &frame)
{
    const std::size_t length = frameLength(pending_);
    if (length == 0 || pending_.size() < length)
        return false;
    const std::uint16_t crc = modbusCrc16(pending_.data(), length - 2);
    if (pending_[length - 2] != std::uint8_t(crc) || pending_[length - 1] != std::uint8_t(crc >> 8)) {
        pending_.clear();
        return false;
    }
    frame.assign(pending_.begin(), pending_.begin() + std::ptrdiff_t(length));
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(length));
    return true;
}
