#include "reply_capture.h"

#include <fcntl.h>
#include <unistd.h>

// The library writes its reply straight to the context's descriptor, so the descriptor is
// swapped for a pipe for the duration of one reply. A reply frame is at most 256 bytes,
// far below a pipe's buffer, so the write cannot block.
std::vector<std::uint8_t> captureReply(modbus_t *ctx, const std::uint8_t *query, int length,
                                       modbus_mapping_t *mapping)
{
    std::vector<std::uint8_t> frame;
    int ends[2];
    if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return frame;
    const int line = modbus_get_socket(ctx);
    modbus_set_socket(ctx, ends[1]);
    modbus_reply(ctx, query, length, mapping);
    modbus_set_socket(ctx, line);
    close(ends[1]);

    std::uint8_t buffer[MODBUS_RTU_MAX_ADU_LENGTH];
    ssize_t n;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
        frame.insert(frame.end(), buffer, buffer + n);
    close(ends[0]);
    return frame;
}
