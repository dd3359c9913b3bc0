#pragma once
// Streets embedded in other records (the stamps of plan sheets): a street stream followed by more of the
// record it sits in.
//
// The street stream has no length of its own, and the street reader takes everything up to the end of its
// stream as item-list sections. An embedded street ends where, after its last complete item-list
// section, something else stands: the street is read against the rest of the outer stream first, and
// when the reader stops at one of the given follower tags where a further section must stand, read again
// up to that tag. This is the longest reading, so a street holding sheets with stamps of their own (whose
// end tags are optional) ends where its own sections end, not at an end tag inside it.
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
