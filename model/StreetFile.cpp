// The street stream: a fixed sequence of tagged sections, most of them optional and probed by tag, then
// the point table, the design libraries, the drawing options and one item-list section per type.
#include "engine/StreetError.h"
#include "model/AbstractItem.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>
#include <string>

namespace {

const char *const What = "StreetStructure.LoadFromStream";

Cp1251String ReadString(TStream &stream) {
    return ReadStreamString(stream, What);
}

std::string ShowTag(const char *bytes, int64_t n) {
    std::string out = "\"";
    for (int64_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out + "\"";
}

} // namespace

void TStreetStructure::LoadFromStream(TStream &stream) {
    try {
        ReadStream(stream);
    } catch (...) {
        // Never a half-read street: what the failed read brought in goes again.
        Clear();
        ClearFileFields();
        Loaded_ = false;
        throw;
    }
}

// The fields only a street stream sets, each from a section a file may lack: a street read into, or
// one whose read failed, must not keep another file's name, options or library for the next save.
void TStreetStructure::ClearFileFields() {
    Name_ = Start_ = Finish_ = Cp1251String();
    EcefMap_ = TEcefMapRec{};
    LnParams_.clear();
    ArrowBig_ = ArrPlast_ = OstPlast_ = StpPlast_ = ZebPlast_ = 0;
    ZebraYop_ = 0;
    WorkTime_ = 0;
    BlockDefs_.Clear();
    DrawOpts_.Clear();
    ApplyRazmerOptions();
}

void TStreetStructure::ReadStream(TStream &stream) {
    Clear();
    ClearFileFields();

    if (CheckStreamTag(stream, "TAGSSIZE")) {
        const int32_t size = stream.ReadInt32(What);
        if (size < 0 || size > StoredTagSetSize) {
            stream.Seek(-4, TSeekOrigin::Current);
            stream.Fail(What, "tag-set size " + std::to_string(size) + " out of range 0..8");
        }
        TagSetSize_ = size;
    } else {
        // Files older than raw 8-byte type sets.
        TagSetSize_ = OldTagSetSize;
    }
    if (!CheckStreamTag(stream, "STREET  "))
        stream.Fail(What, "StreamIdent<>siStreet");
    if (CheckStreamTag(stream, "STRNAME "))
        Name_ = ReadString(stream);
    if (CheckStreamTag(stream, "STRSTART"))
        Start_ = ReadString(stream);
    if (CheckStreamTag(stream, "STRFIN  "))
        Finish_ = ReadString(stream);
    if (CheckStreamTag(stream, "ECEFMAP0")) {
        TEcefMapRec map;
        map.X = stream.ReadDouble(What);
        map.Y = stream.ReadDouble(What);
        map.Z = stream.ReadDouble(What);
        stream.ReadBuffer(map.Extra.data(), 8, What);
        EcefMap_ = map;
    }
    if (CheckStreamTag(stream, "STRCONN "))
        MainAxisRef_.LoadFromStream(stream);
    ReadLnParams(stream, LnParams_);
    if (CheckStreamTag(stream, "ARROWBIG"))
        ArrowBig_ = stream.ReadByte(What);
    if (CheckStreamTag(stream, "ARRPLAST"))
        ArrPlast_ = stream.ReadByte(What);
    if (CheckStreamTag(stream, "OSTPLAST"))
        OstPlast_ = stream.ReadByte(What);
    if (CheckStreamTag(stream, "STPPLAST"))
        StpPlast_ = stream.ReadByte(What);
    if (CheckStreamTag(stream, "ZEBPLAST"))
        ZebPlast_ = stream.ReadByte(What);
    if (CheckStreamTag(stream, "ZEBRAYOP"))
        ZebraYop_ = stream.ReadInt32(What);
    if (CheckStreamTag(stream, "GRPNAMES"))
        GroupNames_.SetText(ReadString(stream));
    if (CheckStreamTag(stream, "VIEWDEF ")) {
        View_.X = stream.ReadSingle(What);
        View_.Y = stream.ReadSingle(What);
        View_.Z = stream.ReadSingle(What);
        View_.Scale = stream.ReadSingle(What);
        View_.Angle = stream.ReadSingle(What);
    }
    if (View_.Scale == 0 || std::isnan(View_.Scale))
        View_.Scale = DefaultViewScale;
    if (CheckStreamTag(stream, "WORKTIME"))
        WorkTime_ = stream.ReadInt32(What);

    Pool_.LoadFromStream(stream);

    // The library reader appends, to the library ClearFileFields emptied.
    if (CheckStreamTag(stream, "BLOCKDEF"))
        BlockDefs_.LoadFromStream(stream);
    if (CheckStreamTag(stream, "DSNLNDEF")) {
        LineDefs_.LoadFromStream(stream);
        LineDefs_.PublishBatches(*this);
    }
    if (CheckStreamTag(stream, "DSNFGDEF")) {
        FigDefs_.LoadFromStream(stream);
        FigDefs_.PublishBatches(*this);
    }
    if (CheckStreamTag(stream, "DRAWOPTS"))
        DrawOpts_.SetText(ReadString(stream));

    // Item lists, in any type order, up to the end. Anything else (an ident that names no type, a
    // section out of order, stray bytes) is refused: a partial read would become permanent at the next
    // save.
    while (stream.Remaining() > 0) {
        char head[16];
        const int64_t got = stream.Read(head, 16);
        stream.Seek(-got, TSeekOrigin::Current);
        // A file that ends inside the tag or the class ident of a section was cut short.
        constexpr std::string_view itemList = "ITEMLIST";
        if (got < 16 && itemList.starts_with(std::string_view(head, std::min<int64_t>(got, 8))))
            stream.ReadBuffer(head, 16, What); // fails as the end of data
        if (got < 8 || std::string_view(head, 8) != "ITEMLIST")
            stream.Fail(What, "unexpected " + ShowTag(head, std::min<int64_t>(got, 8)) +
                                  " where an item-list section or the end of the street must stand");
        int code = -1;
        if (got < 16 || !FindTypeByIdent(std::string_view(head + 8, 8), code))
            stream.Fail(What, "item-list section of the unknown class ident " +
                                  ShowTag(head + 8, std::max<int64_t>(got - 8, 0)));
        Lists(code).LoadFromStream(stream);
    }

    for (TConnectedItems *c : Registry_)
        c->Resolve();
    for (const auto &list : Lists_)
        for (int i = 0; i < list->Count(); ++i)
            list->Items(i)->AfterLoad();
    ApplyRazmerOptions();
    Modified_ = false;
    TagSetSize_ = StoredTagSetSize;
    Loaded_ = true;
}

void TStreetStructure::LoadFromFile(const std::string &fileName) {
    TMemoryStream stream;
    stream.LoadFromFile(fileName);
    LoadFromStream(stream);
    FileName_ = fileName;
}

// What the writer writes. Every section the reader knows is written, each time, in the reader's order,
// so that a street read from a stream we wrote writes the same bytes again:
//   "TAGSSIZE" 8, "STREET  ", "STRNAME ", "STRSTART", "STRFIN  " (also when empty), "ECEFMAP0" (the
//   origin as stored, zero when never set), "STRCONN " (one slot, "EMPTYCLS" -1 without a main axis);
//   "LNPARAMS" only when the street has line-marking records of its own (a street without them takes
//   the default table when it needs one, and an empty section reads the same); "ARROWBIG" .. "ZEBPLAST" (the
//   bytes as stored), "ZEBRAYOP", "GRPNAMES", "VIEWDEF ", "WORKTIME"; "PNTSTRCT" with every vertex in
//   ascending id order; "BLOCKDEF", "DSNLNDEF", "DSNFGDEF" (also for empty libraries); "DRAWOPTS"; then one
//   item-list section per type that has complete items, in type-code order (types without any have no
//   section; an item short of its vertices, which the reader would drop, is not written).
// Inside item records, optional fields follow each class's rule; the record head writes the point list
// only with vertices, "ITEMACTV" always, "GROUPNAM", "COMMENT ", "COMMENT2" only when not empty and
// "REFERAX " only when the reference axis is set. Texts end every line with CR LF.
// A stream from elsewhere reads into the same street but may write differently (sections it lacked,
// lines without CR LF, a view scale of 0, unbound references): those differences are normalised once.
void TStreetStructure::SaveToStream(TStream &stream) {
    WriteStreamTag(stream, "TAGSSIZE");
    stream.WriteInt32(8);
    WriteStreamTag(stream, "STREET  ");
    WriteStreamTag(stream, "STRNAME ");
    WriteStreamString(stream, Name_);
    WriteStreamTag(stream, "STRSTART");
    WriteStreamString(stream, Start_);
    WriteStreamTag(stream, "STRFIN  ");
    WriteStreamString(stream, Finish_);
    WriteStreamTag(stream, "ECEFMAP0");
    stream.WriteDouble(EcefMap_.X);
    stream.WriteDouble(EcefMap_.Y);
    stream.WriteDouble(EcefMap_.Z);
    stream.WriteBuffer(EcefMap_.Extra.data(), 8);
    WriteStreamTag(stream, "STRCONN ");
    MainAxisRef_.SaveToStream(stream);
    if (!LnParams_.empty())
        WriteLnParams(stream, LnParams_);
    WriteStreamTag(stream, "ARROWBIG");
    stream.WriteByte(ArrowBig_);
    WriteStreamTag(stream, "ARRPLAST");
    stream.WriteByte(ArrPlast_);
    WriteStreamTag(stream, "OSTPLAST");
    stream.WriteByte(OstPlast_);
    WriteStreamTag(stream, "STPPLAST");
    stream.WriteByte(StpPlast_);
    WriteStreamTag(stream, "ZEBPLAST");
    stream.WriteByte(ZebPlast_);
    WriteStreamTag(stream, "ZEBRAYOP");
    stream.WriteInt32(ZebraYop_);
    WriteStreamTag(stream, "GRPNAMES");
    WriteStreamString(stream, GroupNames_.Text());
    WriteStreamTag(stream, "VIEWDEF ");
    stream.WriteSingle(View_.X);
    stream.WriteSingle(View_.Y);
    stream.WriteSingle(View_.Z);
    stream.WriteSingle(View_.Scale);
    stream.WriteSingle(View_.Angle);
    WriteStreamTag(stream, "WORKTIME");
    stream.WriteInt32(WorkTime_);
    Pool_.SaveToStream(stream);
    WriteStreamTag(stream, "BLOCKDEF");
    BlockDefs_.SaveToStream(stream);
    WriteStreamTag(stream, "DSNLNDEF");
    LineDefs_.SaveToStream(stream);
    WriteStreamTag(stream, "DSNFGDEF");
    FigDefs_.SaveToStream(stream);
    WriteStreamTag(stream, "DRAWOPTS");
    WriteStreamString(stream, DrawOpts_.Text());
    for (const auto &list : Lists_)
        if (list->Count() > 0)
            list->SaveToStream(stream);
}

namespace {

// Writes through a buffer of its own into the file stream, so that a large street goes to the file in
// pieces instead of being built whole in memory first. Writers only append: seeking is not supported.
class TChunkedWriter : public TStream {
public:
    explicit TChunkedWriter(TStream &out) : Out_(out) { Buffer_.reserve(ChunkSize); }
    int64_t Read(void *, int64_t) override { return 0; }
    void Write(const void *buffer, int64_t count) override {
        if (count <= 0)
            return;
        if (static_cast<std::size_t>(count) >= ChunkSize) {
            Flush();
            Out_.Write(buffer, count);
            Written_ += count;
            return;
        }
        if (Buffer_.size() + static_cast<std::size_t>(count) > ChunkSize)
            Flush();
        const auto *p = static_cast<const uint8_t *>(buffer);
        Buffer_.insert(Buffer_.end(), p, p + count);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        if (offset != 0 || origin != TSeekOrigin::Current)
            Fail("TStreetStructure.SaveToFile", "the street writer does not seek");
        return Position();
    }
    int64_t Position() const override { return Written_ + static_cast<int64_t>(Buffer_.size()); }
    int64_t Size() const override { return Position(); }
    std::string Name() const override { return Out_.Name(); }
    void Flush() {
        if (Buffer_.empty())
            return;
        Out_.Write(Buffer_.data(), static_cast<int64_t>(Buffer_.size()));
        Written_ += static_cast<int64_t>(Buffer_.size());
        Buffer_.clear();
    }

private:
    static constexpr std::size_t ChunkSize = 1 << 20;
    TStream &Out_;
    std::vector<uint8_t> Buffer_;
    int64_t Written_ = 0;
};

} // namespace

void TStreetStructure::SaveToFile(const std::string &fileName) {
    TSaveFileStream file(fileName);
    TChunkedWriter writer(file);
    SaveToStream(writer);
    writer.Flush();
    // Only a complete write replaces the old file; a failure before this leaves it as it was.
    file.Commit();
}

std::unique_ptr<TStreetStructure> LoadStreetStream(TStream &stream) {
    auto street = std::make_unique<TStreetStructure>();
    street->LoadFromStream(stream);
    return street;
}

std::unique_ptr<TStreetStructure> LoadStreetFile(const std::string &fileName) {
    auto street = std::make_unique<TStreetStructure>();
    street->LoadFromFile(fileName);
    return street;
}
