#pragma once

// The reply the Modbus server library would send for a request, captured instead of sent,
// so that it can be put on the line more than once.

#include <modbus.h>

#include <cstdint>
#include <vector>

// Serves the request against the mapping (a write takes effect, as with modbus_reply) and
// returns the reply frame; empty when the library sends none or the capture fails.
std::vector<std::uint8_t> captureReply(modbus_t *ctx, const std::uint8_t *query, int length,
                                       modbus_mapping_t *mapping);
