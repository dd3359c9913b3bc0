#include "model/DesignLibs.h"

#include "model/StreamTags.h"

namespace {
void ReadEmpty(TStream &s, const char *tag) {
    if (!CheckStreamTag(s, tag))
        return;
    if (CheckStreamTag(s, "ITEMSCNT") && s.ReadInt32("DesignLibs") != 0)
        s.Fail("DesignLibs", "not yet");
}
void WriteEmpty(TStream &s, const char *tag) {
    WriteStreamTag(s, tag);
    WriteStreamTag(s, "ITEMSCNT");
    s.WriteInt32(0);
}
} // namespace

void TDsnBlockDefList::LoadFromStream(TStream &s) { ReadEmpty(s, "BLOCKLST"); }
void TDsnBlockDefList::SaveToStream(TStream &s) const { WriteEmpty(s, "BLOCKLST"); }
void TDsnLineDefList::LoadFromStream(TStream &s) { ReadEmpty(s, "DSNLNLST"); }
void TDsnLineDefList::SaveToStream(TStream &s) const { WriteEmpty(s, "DSNLNLST"); }
void TDsnFigDefList::LoadFromStream(TStream &s) { ReadEmpty(s, "DSNFGLST"); }
void TDsnFigDefList::SaveToStream(TStream &s) const { WriteEmpty(s, "DSNFGLST"); }
