#pragma once

// Request frames as they come off the line. The bytes of a frame may arrive in pieces and
// several frames may arrive together (a client that retried while a late reply was being
// held back), so bytes are collected until they make up the frame their function code
// announces, and that frame is kept only if its CRC holds.

#include <chrono>
#include <cstdint>
#include <vector>

class RequestFramer
{
public:
    using Clock = std::chrono::steady_clock;

    // A partial frame whose next byte has not come within this time never will: the
    // client has given up on it, and the next byte starts a new frame.
    static constexpr std::chrono::milliseconds staleAfter{20};

    // Adds bytes read from the line at `now`.
    void add(const std::uint8_t *data, std::size_t length, Clock::time_point now);

    // Takes the next whole frame (CRC included) whose CRC holds. False while the bytes
    // collected do not yet make up a frame; bytes that make up a frame with a bad CRC are
    // dropped, with everything after them.
    bool next(std::vector<std::uint8_t> &frame);

    void clear() { pending_.clear(); }

private:
    std::vector<std::uint8_t> pending_;
    Clock::time_point lastByte_;
};
