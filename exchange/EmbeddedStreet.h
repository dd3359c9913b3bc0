#pragma once
// Streets embedded in other records (the stamps of plan sheets): a street stream followed by more of the
// record it sits in.
//
// The street stream has no length of its own and the street reader takes everything up to the end of its
// stream, so the end is found from what may follow it: the first place where one of the given follower
// tags stands (or the end of the outer stream) before which a complete street reads. Nothing inside a
// street can be mistaken for such an end: the street reader only finishes after its last item-list
// section, where the stream continues with "ITEMLIST" or ends, so a false candidate never reads as a
// complete street (a follower tag may not be "ITEMLIST" for the same reason).
#include "engine/Streams.h"

#include <memory>
#include <span>
#include <string_view>

class TStreetStructure;

// Streets nested in streets (a stamp holding a sheet with stamps) deeper than this are refused.
constexpr int MaxEmbeddedStreetDepth = 3;

// Reads the street standing at the stream's position and leaves the stream behind it. A street that does
// not read completely before any follower raises EStreetError "<what>: ..." with the street reader's own
// complaint; the stream is then where it was.
std::unique_ptr<TStreetStructure>
ReadEmbeddedStreet(TStream &stream, std::span<const std::string_view> followers, const char *what);
