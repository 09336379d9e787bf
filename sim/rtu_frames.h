#pragma once

// Hand-built RTU response frames for the misbehaviours that a correct Modbus server
// library will not produce.

#include <cstdint>
#include <vector>

std::uint16_t modbusCrc16(const std::uint8_t *data, std::size_t length);

// Read Holding Registers response carrying `count` registers from `registers` (values past
// the end of the bank read as 0), with a valid CRC.
std::vector<std::uint8_t> readResponse(int slave, const std::uint16_t *registers, int registerCount,
                                       int address, int count);

// Write Multiple Registers response, with a valid CRC.
std::vector<std::uint8_t> writeResponse(int slave, int address, int count);

void appendCrc(std::vector<std::uint8_t> &frame);
