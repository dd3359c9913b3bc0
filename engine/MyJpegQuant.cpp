#include "engine/MyJpegQuant.h"

// clang-format off
const uint8_t QuantBaseTable[64] = {
    1, 1, 2, 2, 3, 3, 4, 4,
    1, 1, 2, 2, 3, 3, 4, 4,
    2, 2, 2, 2, 3, 3, 4, 4,
    2, 2, 2, 2, 3, 3, 4, 4,
    3, 3, 3, 3, 3, 3, 4, 4,
    3, 3, 3, 3, 3, 3, 4, 4,
    3, 4, 4, 4, 4, 4, 4, 4,
    3, 4, 4, 4, 4, 4, 4, 4,
};
// clang-format on

void FillShiftTable(uint16_t Shift[64], int32_t Quality) {
    for (int k = 0; k < 64; ++k)
        Shift[k] = static_cast<uint16_t>(QuantBaseTable[k] + Quality + 1);
}

void MakeMultipliers(const uint16_t Shift[64], int16_t M[64]) {
    for (int k = 0; k < 64; ++k)
        M[k] = static_cast<int16_t>(static_cast<uint16_t>(Shift[k] < 16 ? 2u << Shift[k] : 0u));
}
