#include "model/StreamTags.h"

#include "engine/StreetError.h"

#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace {

void CheckTagSize(std::string_view tag, const char *where) {
    if (tag.size() != StreamTagSize)
        RaiseStreetError(where, "tag \"" + std::string(tag) + "\" is not 8 bytes long");
}

} // namespace

void WriteStreamTag(TStream &stream, std::string_view tag) {
    CheckTagSize(tag, "WriteStreamTag");
    stream.WriteBuffer(tag.data(), StreamTagSize);
}

bool CheckStreamTag(TStream &stream, std::string_view tag) {
    CheckTagSize(tag, "CheckStreamTag");
    char buf[StreamTagSize];
    const int64_t got = stream.Read(buf, StreamTagSize);
    if (got == StreamTagSize && std::string_view(buf, StreamTagSize) == tag)
        return true;
    if (got > 0)
        stream.Seek(-got, TSeekOrigin::Current);
    return false;
}

void WriteStreamString(TStream &stream, const Cp1251String &text) {
    if (text.Size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        RaiseStreetError("WriteStreamString",
                         "text of " + std::to_string(text.Size()) + " bytes is too long");
    stream.WriteInt32(static_cast<int32_t>(text.Size()));
    stream.WriteBuffer(text.Data(), static_cast<int64_t>(text.Size()));
}

Cp1251String ReadStreamString(TStream &stream, const char *what) {
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, 1, what);
    std::string bytes(static_cast<std::size_t>(n), '\0');
    stream.ReadBuffer(bytes.data(), n, what);
    return Cp1251String(std::move(bytes));
}

TItemTypeSet ReadStoredTypeSet(TStream &stream, int tagSetSize, const char *what) {
    if (tagSetSize < 0 || tagSetSize > 8)
        stream.Fail(what, "tag-set size " + std::to_string(tagSetSize) + " out of range 0..8");
    uint8_t raw[8] = {};
    stream.ReadBuffer(raw, tagSetSize, what);
    std::array<uint8_t, TItemTypeSet::ByteCount> bytes{};
    for (int i = 0; i < TItemTypeSet::ByteCount; ++i)
        bytes[static_cast<std::size_t>(i)] = raw[i];
    return TItemTypeSet::FromBytes(bytes);
}
