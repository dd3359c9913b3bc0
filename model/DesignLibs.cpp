#include "model/DesignLibs.h"

#include "engine/DxTexture.h"
#include "engine/StreetError.h"
#include "model/ItemList.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include "model/ItemTypeCodes.h"
#include <string>

namespace {

constexpr std::size_t LineDefFirstBatch = 4; // entries 0..3 are the built-in line styles
constexpr std::size_t FigDefFirstBatch = 1;  // entry 0 is the plain fill
constexpr uint32_t OpaqueBlack = 0xFF000000u;
constexpr uint32_t OpaqueRed = 0xFFFF0000u;
constexpr int64_t MinRecordSize = 8; // a record is at least its tag
constexpr int BmpFileHeaderSize = 14;

uint32_t Le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The count of a library record ("ITEMSCNT", optional: 0 without it).
int32_t ReadCount(TStream &stream, const char *what) {
    if (!CheckStreamTag(stream, "ITEMSCNT"))
        return 0;
    const int32_t n = stream.ReadInt32(what);
    stream.CheckCount(n, MinRecordSize, what);
    return n;
}

void WriteCount(TStream &stream, int n) {
    WriteStreamTag(stream, "ITEMSCNT");
    stream.WriteInt32(n);
}

// Reads count records through `read`, which is false when the record's tag does not stand next.
template <class TDef>
std::vector<std::unique_ptr<TDef>> ReadRecords(TStream &stream, int32_t count, const char *what) {
    std::vector<std::unique_ptr<TDef>> defs;
    defs.reserve(static_cast<std::size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        auto def = std::make_unique<TDef>();
        if (!def->LoadFromStream(stream))
            stream.Fail(what,
                        "record " + std::to_string(i + 1) + " of " + std::to_string(count) + " is missing");
        defs.push_back(std::move(def));
    }
    return defs;
}

template <class TList> void CheckIndex(const TList &list, int i, const char *where) {
    if (i < 0 || i >= list.Count())
        RaiseStreetError(where, "index " + std::to_string(i) + " out of range (" +
                                    std::to_string(list.Count()) + " definitions)");
}

template <class TItems> std::vector<Cp1251String> Names(const TItems &items) {
    std::vector<Cp1251String> out;
    for (const auto &d : items)
        out.push_back(d->Name);
    return out;
}

template <class TItems> int IndexOf(const TItems &items, const Cp1251String &name) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i]->Name == name)
            return static_cast<int>(i);
    return -1;
}

} // namespace

// ---- TDsnPicture

TDsnPicture::TDsnPicture(bool empty) {
    if (!empty)
        Bitmap_ = TBitmap(16, 16, TPixelFormat::pf24bit);
}

void TDsnPicture::Assign(const TBitmap &bitmap) {
    Bitmap_ = bitmap;
    Stored_.clear();
    if (OnChange)
        OnChange();
}

void TDsnPicture::LoadFromStream(TStream &stream, const char *what) {
    const int64_t start = stream.Position();
    uint8_t head[BmpFileHeaderSize];
    stream.ReadBuffer(head, BmpFileHeaderSize, what);
    stream.Seek(start, TSeekOrigin::Begin);
    if (head[0] != 'B' || head[1] != 'M')
        stream.Fail(what, "the picture is not a BMP file");
    const uint32_t size = Le32(head + 2);
    if (size < BmpFileHeaderSize + 12)
        stream.Fail(what, "picture of " + std::to_string(size) + " bytes is too short");
    stream.CheckCount(size, 1, what);
    std::vector<uint8_t> bytes(size);
    stream.ReadBuffer(bytes.data(), size, what);

    // A picture without pixels (written for an empty picture) reads as an empty one.
    bool empty = false;
    const uint32_t headerSize = size >= 18 ? Le32(bytes.data() + 14) : 0;
    if (headerSize == 12 && size >= 22)
        empty = (bytes[18] | bytes[19] << 8) == 0 || (bytes[20] | bytes[21] << 8) == 0;
    else if ((headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
              headerSize == 124) &&
             size >= 26)
        empty = Le32(bytes.data() + 18) == 0 || Le32(bytes.data() + 22) == 0;
    TBitmap bitmap;
    if (!empty) {
        try {
            bitmap.LoadFromBytes(bytes.data(), bytes.size());
        } catch (const EBitmapError &e) {
            stream.Seek(start, TSeekOrigin::Begin);
            stream.Fail(what, std::string("picture: ") + e.what());
        }
    }
    Bitmap_ = std::move(bitmap);
    Stored_ = std::move(bytes);
    if (OnChange)
        OnChange();
}

void TDsnPicture::SaveToStream(TStream &stream) const {
    if (!Stored_.empty()) {
        stream.WriteBuffer(Stored_.data(), static_cast<int64_t>(Stored_.size()));
        return;
    }
    const std::vector<uint8_t> bytes = Bitmap_.SaveToBytes();
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

// ---- Blocks

TDsnBlockDef::TDsnBlockDef() {
    Bitmap.OnChange = [this] { TextureValid = false; };
}

TDsnBlockDef::~TDsnBlockDef() = default;

TTextureSurface *TDsnBlockDef::GetTexture() {
    if (!TextureValid || !Texture_) {
        // A new surface each time: assigning a picture without pixels would keep the old one.
        Texture_ = std::make_unique<TTextureSurface>();
        Texture_->MinFilter = 2;
        Texture_->MagFilter = 2;
        Texture_->ColorArg1 = 0;
        Texture_->ColorArg2 = 1;
        Texture_->ColorOp = 0;
        if (!Bitmap.Bitmap().Empty()) {
            TBitmap picture = Bitmap.Bitmap();
            picture.SetPixelFormat(TPixelFormat::pf32bit);
            Texture_->Assign(picture);
        }
        TextureValid = true;
    }
    return Texture_.get();
}

bool TDsnBlockDef::LoadFromStream(TStream &stream) {
    const char *what = "TDsnBlockDef.LoadFromStream";
    if (!CheckStreamTag(stream, "BLOCKDEF"))
        return false;
    Name = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "BLOCKBMP"))
        Bitmap.LoadFromStream(stream, what);
    if (CheckStreamTag(stream, "BLOCKWID"))
        Width = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "BLOCKHEI"))
        Height = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "BLOCKANC")) {
        AnchorX = stream.ReadInt32(what);
        AnchorY = stream.ReadInt32(what);
    }
    return true;
}

void TDsnBlockDef::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "BLOCKDEF");
    WriteStreamString(stream, Name);
    WriteStreamTag(stream, "BLOCKBMP");
    Bitmap.SaveToStream(stream);
    WriteStreamTag(stream, "BLOCKWID");
    stream.WriteSingle(Width);
    WriteStreamTag(stream, "BLOCKHEI");
    stream.WriteSingle(Height);
    WriteStreamTag(stream, "BLOCKANC");
    stream.WriteInt32(AnchorX);
    stream.WriteInt32(AnchorY);
}

TDsnBlockDef *TDsnBlockDefList::Add() {
    Items_.push_back(std::make_unique<TDsnBlockDef>());
    Items_.back()->Library_ = this;
    return Items_.back().get();
}

void TDsnBlockDefList::Delete(int i) {
    CheckIndex(*this, i, "TDsnBlockDefList.Delete");
    Items_.erase(Items_.begin() + i);
}

TDsnBlockDef *TDsnBlockDefList::Items(int i) const {
    CheckIndex(*this, i, "TDsnBlockDefList.Items");
    return Items_[static_cast<std::size_t>(i)].get();
}

std::vector<Cp1251String> TDsnBlockDefList::GetNames() const {
    return Names(Items_);
}

int TDsnBlockDefList::IndexOfName(const Cp1251String &name) const {
    return IndexOf(Items_, name);
}

void TDsnBlockDefList::LoadFromStream(TStream &stream) {
    const char *what = "TDsnBlockDefList.LoadFromStream";
    if (!CheckStreamTag(stream, "BLOCKLST"))
        return;
    const int32_t n = ReadCount(stream, what);
    for (auto &def : ReadRecords<TDsnBlockDef>(stream, n, what)) {
        def->Library_ = this;
        Items_.push_back(std::move(def));
    }
}

void TDsnBlockDefList::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "BLOCKLST");
    WriteCount(stream, Count());
    for (const auto &def : Items_)
        def->SaveToStream(stream);
}

// ---- Line styles

TDsnLineDef::TDsnLineDef() {
    for (TItemBatchPtr &b : Batches_) {
        b = NewItemBatch(TBatchKind::Triangles);
        b->SetColor(OpaqueBlack);
    }
}

TDsnPicture &TDsnLineDef::GetBitmap(TPart part) {
    std::optional<TDsnPicture> &p = Pictures_[part];
    if (!p) {
        p.emplace(true);
        p->OnChange = [this, part] { BitmapChanged(part); };
    }
    return *p;
}

void TDsnLineDef::ClearBitmap(TPart part) {
    Pictures_[part].reset();
    Batches_[part]->SetPicture(nullptr, TTextureAddress::Clamp, TTextureAddress::Clamp);
}

void TDsnLineDef::BitmapChanged(TPart part) {
    const TTextureAddress along = part == Repeat ? TTextureAddress::Wrap : TTextureAddress::Clamp;
    Batches_[part]->SetPicture(&Pictures_[part]->Bitmap(), along, TTextureAddress::Clamp);
}

bool TDsnLineDef::LoadFromStream(TStream &stream) {
    const char *what = "TDsnLineDef.LoadFromStream";
    if (!CheckStreamTag(stream, "DSNLNDEF"))
        return false;
    if (CheckStreamTag(stream, "DEFNAME "))
        Name = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "DEFPERID"))
        Period = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DEFWIDTH"))
        Width = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DEFDISP "))
        Disp = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DEFBMP  "))
        GetRepeatBitmap().LoadFromStream(stream, what);
    if (CheckStreamTag(stream, "DEFBMPST"))
        GetStartBitmap().LoadFromStream(stream, what);
    if (CheckStreamTag(stream, "DEFBMPRP"))
        GetRepeatBitmap().LoadFromStream(stream, what);
    if (CheckStreamTag(stream, "DEFBMPFN"))
        GetFinishBitmap().LoadFromStream(stream, what);
    return true;
}

void TDsnLineDef::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "DSNLNDEF");
    WriteStreamTag(stream, "DEFNAME ");
    WriteStreamString(stream, Name);
    WriteStreamTag(stream, "DEFPERID");
    stream.WriteSingle(Period);
    WriteStreamTag(stream, "DEFWIDTH");
    stream.WriteSingle(Width);
    WriteStreamTag(stream, "DEFDISP ");
    stream.WriteSingle(Disp);
    if (!HasStartBitmap() && !HasFinishBitmap()) {
        if (HasRepeatBitmap()) {
            WriteStreamTag(stream, "DEFBMP  ");
            Pictures_[Repeat]->SaveToStream(stream);
        }
        return;
    }
    const std::pair<TPart, const char *> parts[] = {
        {Start, "DEFBMPST"}, {Repeat, "DEFBMPRP"}, {Finish, "DEFBMPFN"}};
    for (const auto &[part, tag] : parts) {
        if (Pictures_[part]) {
            WriteStreamTag(stream, tag);
            Pictures_[part]->SaveToStream(stream);
        }
    }
}

TDsnLineDef *TDsnLineDefList::Add() {
    Items_.push_back(std::make_unique<TDsnLineDef>());
    Items_.back()->Library_ = this;
    return Items_.back().get();
}

void TDsnLineDefList::Delete(int i) {
    CheckIndex(*this, i, "TDsnLineDefList.Delete");
    Items_.erase(Items_.begin() + i);
}

TDsnLineDef *TDsnLineDefList::Items(int i) const {
    CheckIndex(*this, i, "TDsnLineDefList.Items");
    return Items_[static_cast<std::size_t>(i)].get();
}

std::vector<Cp1251String> TDsnLineDefList::GetNames() const {
    return Names(Items_);
}

int TDsnLineDefList::IndexOfName(const Cp1251String &name) const {
    return IndexOf(Items_, name);
}

TDsnLineDef *TDsnLineDefList::FindByName(const Cp1251String &name) const {
    const int i = IndexOfName(name);
    return i < 0 ? nullptr : Items_[static_cast<std::size_t>(i)].get();
}

void TDsnLineDefList::LoadFromStream(TStream &stream) {
    const char *what = "TDsnLineDefList.LoadFromStream";
    Clear();
    if (!CheckStreamTag(stream, "DSNLNLST"))
        return;
    const int32_t n = ReadCount(stream, what);
    Items_ = ReadRecords<TDsnLineDef>(stream, n, what);
    for (auto &def : Items_)
        def->Library_ = this;
}

void TDsnLineDefList::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "DSNLNLST");
    WriteCount(stream, Count());
    for (const auto &def : Items_)
        def->SaveToStream(stream);
}

void TDsnLineDefList::PublishBatches(TStreetStructure &street) const {
    TItemBatches &batches = street.TypeBatches(DesignLineTypeCode);
    batches.resize(LineDefFirstBatch + 3 * Items_.size());
    for (std::size_t i = 0; i < Items_.size(); ++i)
        for (int part = 0; part < 3; ++part)
            batches[LineDefFirstBatch + 3 * i + static_cast<std::size_t>(part)] = Items_[i]->Batches_[part];
    street.Lists(DesignLineTypeCode).InvalidateAll();
    street.SetModified();
}

// ---- Fill styles

TDsnFigDef::TDsnFigDef() : Batch_(NewItemBatch(TBatchKind::Triangles)) {
    Batch_->SetColor(OpaqueRed);
    Bitmap.OnChange = [this] { BitmapChanged(); };
}

void TDsnFigDef::BitmapChanged() {
    Batch_->SetPicture(&Bitmap.Bitmap(), TTextureAddress::Wrap, TTextureAddress::Wrap);
}

bool TDsnFigDef::LoadFromStream(TStream &stream) {
    const char *what = "TDsnFigDef.LoadFromStream";
    if (!CheckStreamTag(stream, "DSNFGDEF"))
        return false;
    if (CheckStreamTag(stream, "DEFNAME "))
        Name = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "DEFPERDX"))
        PeriodX = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DEFPERDY"))
        PeriodY = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "DEFBMP  "))
        Bitmap.LoadFromStream(stream, what);
    return true;
}

void TDsnFigDef::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "DSNFGDEF");
    WriteStreamTag(stream, "DEFNAME ");
    WriteStreamString(stream, Name);
    WriteStreamTag(stream, "DEFPERDX");
    stream.WriteSingle(PeriodX);
    WriteStreamTag(stream, "DEFPERDY");
    stream.WriteSingle(PeriodY);
    WriteStreamTag(stream, "DEFBMP  ");
    Bitmap.SaveToStream(stream);
}

TDsnFigDef *TDsnFigDefList::Add() {
    Items_.push_back(std::make_unique<TDsnFigDef>());
    Items_.back()->Library_ = this;
    return Items_.back().get();
}

void TDsnFigDefList::Delete(int i) {
    CheckIndex(*this, i, "TDsnFigDefList.Delete");
    Items_.erase(Items_.begin() + i);
}

TDsnFigDef *TDsnFigDefList::Items(int i) const {
    CheckIndex(*this, i, "TDsnFigDefList.Items");
    return Items_[static_cast<std::size_t>(i)].get();
}

std::vector<Cp1251String> TDsnFigDefList::GetNames() const {
    return Names(Items_);
}

int TDsnFigDefList::IndexOfName(const Cp1251String &name) const {
    return IndexOf(Items_, name);
}

TDsnFigDef *TDsnFigDefList::FindByName(const Cp1251String &name) const {
    const int i = IndexOfName(name);
    return i < 0 ? nullptr : Items_[static_cast<std::size_t>(i)].get();
}

void TDsnFigDefList::LoadFromStream(TStream &stream) {
    const char *what = "TDsnFigDefList.LoadFromStream";
    Clear();
    if (!CheckStreamTag(stream, "DSNFGLST"))
        return;
    const int32_t n = ReadCount(stream, what);
    Items_ = ReadRecords<TDsnFigDef>(stream, n, what);
    for (auto &def : Items_)
        def->Library_ = this;
}

void TDsnFigDefList::SaveToStream(TStream &stream) const {
    WriteStreamTag(stream, "DSNFGLST");
    WriteCount(stream, Count());
    for (const auto &def : Items_)
        def->SaveToStream(stream);
}

void TDsnFigDefList::PublishBatches(TStreetStructure &street) const {
    TItemBatches &batches = street.TypeBatches(DesignFigureTypeCode);
    batches.resize(FigDefFirstBatch + Items_.size());
    for (std::size_t i = 0; i < Items_.size(); ++i)
        batches[FigDefFirstBatch + i] = Items_[i]->Batch_;
    street.Lists(DesignFigureTypeCode).InvalidateAll();
    street.SetModified();
}

// ---- Copies

namespace {

template <class TDef> void CopyThroughRecord(const TDef &from, TDef &to) {
    TMemoryStream record;
    from.SaveToStream(record);
    record.Seek(0, TSeekOrigin::Begin);
    to.LoadFromStream(record);
}

} // namespace

void CopyDefinition(const TDsnBlockDef &from, TDsnBlockDef &to) {
    CopyThroughRecord(from, to);
}

void CopyDefinition(const TDsnLineDef &from, TDsnLineDef &to) {
    CopyThroughRecord(from, to);
}

void CopyDefinition(const TDsnFigDef &from, TDsnFigDef &to) {
    CopyThroughRecord(from, to);
}
