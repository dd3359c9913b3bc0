#pragma once
// Quantisation of the frame codec: power-of-two steps per coefficient position, 2^(base + Quality + 2).
#include <cstdint>

// Base shift per coefficient position k = 8*u + v (u vertical, v horizontal frequency). Not symmetric.
extern const uint8_t QuantBaseTable[64];

// The qualities whose shifts stay in 0..14, so that every multiplier is a power of two in 16 bits.
inline constexpr int32_t MinCoderQuality = -2;
inline constexpr int32_t MaxCoderQuality = 9;

// Shift[k] = base[k] + Quality + 1.
void FillShiftTable(uint16_t Shift[64], int32_t Quality);
// M[k] = 2 << Shift[k], kept in 16 bits (the product with a coefficient wraps in 16 bits as well).
void MakeMultipliers(const uint16_t Shift[64], int16_t M[64]);
