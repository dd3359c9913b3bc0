#pragma once
// Packed small integers: the byte-oriented run coding of 16-bit values in which the frame codec stores
// its coefficient planes. A stream is a start byte 0x00, opcodes each yielding 4*n values (a zero run or a
// group of 2-, 4-, 8- or 12-bit values), and an end byte 0xFF.
#include <cstdint>
#include <span>

class TStream;

// Decodes a packed stream held in memory into Dest and returns the number of values written.
// Decoding stops at the end byte, at the end of the data, or before an opcode once more than Count
// values are out (the thumbnail reads only the first Count values this way). Count may be below
// Dest.size(); no opcode may write past Dest.size(). Unknown opcodes, payloads or counts that run past
// DataSize and output past Dest are errors (EStreetError "UnPackSmallInts: ...").
int32_t UnPackSmallInts(std::span<int16_t> Dest, int32_t Count, const uint8_t *Data, int32_t DataSize);

// Reads a little-endian u32 byte count and that many bytes from Stream and decodes them into Dest.
// The stream must end with the end byte and yield exactly Count values (Count <= Dest.size()).
void UnPackSmallInts(std::span<int16_t> Dest, int32_t Count, TStream &Stream);

// Values a coefficient plane must hold past its 64 * BlockCount for UnPackCoefPlane.
inline constexpr int32_t CoefPlaneSpareValues = 16;

// The frame codec's plane decoder: the memory form with Count = 64 * BlockCount for a coefficient-major
// plane (value k * BlockCount + b is coefficient k of block b). Zero runs leave whole groups of eight
// blocks of one coefficient unwritten; GroupMasks[g] (g = b / 8, (BlockCount + 7) / 8 entries) gets bit
// k set when group g of coefficient k received other values. A group whose bit is clear is zero whatever
// Dest holds there. Dest holds 64 * BlockCount + CoefPlaneSpareValues values (the spare ones are
// scratch). Returns the number of values decoded.
int32_t UnPackCoefPlane(std::span<int16_t> Dest, int32_t BlockCount, std::span<uint64_t> GroupMasks,
                        const uint8_t *Data, int32_t DataSize);

// The opcode writers, one per kind and count form. Each writes the opcode byte, the count in its width
// (long forms), then the payload of 4*n values from Source, and advances Cursor by exactly the form's
// length. Values outside a kind's range are mapped as the stored format does, never rejected.
enum class TPackKind { ZeroRun, Bits2, Bits4, Bits8, Bits12 };
enum class TPackForm { Short, Count8, Count16, Count32 };
using TPackWriter = void (*)(const int16_t *Source, uint8_t *Dest, int64_t &Cursor, uint32_t n);
// PackWriters[form][kind]. A short form takes n = 1..15.
extern const TPackWriter PackWriters[4][5];
// The number of bytes a writer emits for n groups of four values.
int64_t PackedFormLength(TPackKind Kind, TPackForm Form, uint32_t n);
