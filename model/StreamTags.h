#pragma once
// The primitives every reader and writer of the model's binary records uses. Records are flat sequences
// of tagged fields: an 8-byte tag, then the value. Optional fields are probed by their tag and left
// unconsumed when another tag stands there.
#include "engine/Cp1251.h"
#include "engine/Streams.h"
#include "model/ItemTypes.h"

#include <string_view>

// Tags are exactly 8 ASCII bytes, blank-padded ("STREET  "), compared byte for byte.
constexpr int StreamTagSize = 8;

// Writes the 8 bytes of the tag (an EStreetError when the tag is not 8 bytes long).
void WriteStreamTag(TStream &stream, std::string_view tag);

// Reads 8 bytes: True and the stream stays behind them when they equal the tag; otherwise False and the
// stream is back where it was, also when fewer than 8 bytes were left, so a failed probe never consumes
// anything.
bool CheckStreamTag(TStream &stream, std::string_view tag);

// int32 byte count, then the bytes (code page 1251, no terminator); the empty string is a count of 0.
void WriteStreamString(TStream &stream, const Cp1251String &text);
// The reverse. A count that is negative or exceeds the bytes left, or a truncated count, is an
// EStreetError naming `what`; nothing is allocated before the count is checked.
Cp1251String ReadStreamString(TStream &stream, const char *what = "ReadStreamString");

// A type set stored raw in the tag-set size of the street that wrote it (4 or 8 bytes; 0 to 8 are read):
// the first 6 bytes read are kept, the rest of the set is empty (with 4, no type above 31). A size outside
// 0..8 or too few bytes is an EStreetError naming `what`.
TItemTypeSet ReadStoredTypeSet(TStream &stream, int tagSetSize, const char *what = "ReadStoredTypeSet");
