#pragma once
// The shape of one instruction word of the engines' signal processors, as the
// generators of the algorithm library and of the patch word table write them:
// a 16-bit coefficient in the top half, an 11-bit operand (delay address or
// register) in bits 15-5 and the opcode in bits 4-0.

#include <cstdint>

namespace kv {

inline std::uint32_t dsp_instruction(int coefficient, unsigned operand, unsigned opcode)
{
    return (std::uint32_t(std::uint16_t(coefficient)) << 16) | ((operand & 0x7FFu) << 5) | (opcode & 0x1Fu);
}

} // namespace kv
