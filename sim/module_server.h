#pragma once

// One request served by one module: logged, then answered from the module's registers or
// misbehaved upon as its fault plan says.

#include "module_set.h"

#include <modbus.h>

#include <cstdint>
#include <vector>

enum class LineAfterRequest { Open, Vanished };

// `query` is a whole request frame, CRC included, sent to the module's bus address.
// Vanished when the module's fault closes the line; the caller closes it.
LineAfterRequest serveRequest(modbus_t *ctx, SimModule &module, const std::vector<std::uint8_t> &query);

// A request to bus address 0 (every server, none answers): each module applies it.
void serveBroadcast(modbus_t *ctx, ModuleSet &modules, const std::vector<std::uint8_t> &query);
