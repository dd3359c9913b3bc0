// Fuzz target for the tagged stream primitives: the input is a script of operations interleaved with the
// bytes they read. Each step reads an operation byte, then probes a tag, reads a counted string or a
// stored type set from the same stream. Besides not crashing, every step checks what callers rely on:
// a failed probe consumes nothing, a string never holds more bytes than were present, a stored type set
// consumes exactly its size, and refused input is an EStreetError.
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "model/StreamTags.h"

#include <cstdint>
#include <cstdlib>

namespace {

const char *const Tags[] = {"PNTSTRCT", "STREET  ", "STRSTART", "ITEM    ",
                            "LfSideNm", "TAGSSIZE", "PNTLIST ", "AXIS    "};

void Require(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TMemoryStream s(data, size);
    try {
        while (s.Remaining() > 0) {
            const uint8_t op = s.ReadByte();
            const int64_t before = s.Position(), left = s.Remaining();
            switch (op % 3) {
            case 0: {
                const bool found = CheckStreamTag(s, Tags[(op / 3) % 8]);
                Require(s.Position() == (found ? before + 8 : before));
                if (!found)
                    s.Skip(1); // step on, so the script does not stall on a byte that is no tag
                break;
            }
            case 1: {
                const Cp1251String text = ReadStreamString(s);
                Require(static_cast<int64_t>(text.Size()) + 4 == s.Position() - before);
                TMemoryStream copy;
                WriteStreamString(copy, text);
                copy.Seek(0, TSeekOrigin::Begin);
                Require(ReadStreamString(copy) == text);
                break;
            }
            default: {
                const int tagSetSize = (op / 3) % 12 - 2; // -2 .. 9: the refused sizes too
                try {
                    const TItemTypeSet set = ReadStoredTypeSet(s, tagSetSize);
                    Require(tagSetSize >= 0 && tagSetSize <= 8 && s.Position() == before + tagSetSize);
                    for (int code = tagSetSize * 8; code < 48; ++code)
                        Require(!set.Contains(code));
                } catch (const EStreetError &) {
                    Require(tagSetSize < 0 || tagSetSize > 8 || tagSetSize > left);
                    throw;
                }
                break;
            }
            }
        }
    } catch (const EStreetError &) {
    }
    return 0;
}
