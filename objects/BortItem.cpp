#include "objects/BortItem.h"

#include "engine/Directory.h"
#include "engine/DxDraw.h"
#include "engine/NumText.h"
#include "model/ItemLayers.h"
#include "model/StreamTags.h"
#include "model/StreetStructure.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <system_error>

namespace {

constexpr std::uintmax_t MaxDictionaryBytes = 16u << 20;

std::filesystem::path PathOf(const Cp1251String &text) {
    const std::string utf8 = text.ToUtf8();
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The file of that name in the folder, matched exactly first, then in any letter case.
std::filesystem::path FindInFolder(const std::filesystem::path &folder, const Cp1251String &name) {
    std::error_code ec;
    const std::filesystem::path exact = folder / PathOf(name);
    if (std::filesystem::is_regular_file(exact, ec))
        return exact;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::u8string u8 = it->path().filename().u8string();
        Cp1251String entry;
        if (Cp1251String::TryFromUtf8(std::string_view(reinterpret_cast<const char *>(u8.data()), u8.size()),
                                      entry) &&
            SameText(entry, name))
            return it->path();
    }
    return exact;
}

} // namespace

// ---- TBortItem

void TBortItem::ClassInitDrawBatches(TStreetStructure &street) {
    TItemBatchPtr lines = NewItemBatch(TBatchKind::Lines);
    lines->SetColor(MakeD3DColor(100, 100, 255, 255));
    street.TypeBatches(BortTypeCode) = {lines, NewItemBatch(TBatchKind::Triangles)};
}

void TBortItem::LoadFromStream(TStream &stream) {
    const char *what = "TBortItem.LoadFromStream";
    TLineItem::LoadFromStream(stream);
    Cp1251String kind, gost;
    float width = DefaultWidth;
    D3DCOLOR color = DefaultColor;
    if (CheckStreamTag(stream, "BORTKIND"))
        kind = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "BORTGOST"))
        gost = ReadStreamString(stream, what);
    if (CheckStreamTag(stream, "BORTWIDT"))
        width = stream.ReadSingle(what);
    if (CheckStreamTag(stream, "BORTCOLR"))
        color = static_cast<D3DCOLOR>(stream.ReadInt32(what));
    SetKind(kind);
    SetGost(gost);
    SetWidth(width);
    SetColor(color);
}

void TBortItem::SaveToStream(TStream &stream) const {
    TLineItem::SaveToStream(stream);
    if (!Kind_.Empty()) {
        WriteStreamTag(stream, "BORTKIND");
        WriteStreamString(stream, Kind_);
    }
    if (!Gost_.Empty()) {
        WriteStreamTag(stream, "BORTGOST");
        WriteStreamString(stream, Gost_);
    }
    WriteStreamTag(stream, "BORTWIDT");
    stream.WriteSingle(Width_);
    WriteStreamTag(stream, "BORTCOLR");
    stream.WriteInt32(static_cast<int32_t>(Color_));
}

void TBortItem::SetKind(const Cp1251String &kind) {
    if (kind == Kind_)
        return;
    Kind_ = kind;
    NotifyModified();
}

void TBortItem::SetGost(const Cp1251String &gost) {
    if (gost == Gost_)
        return;
    Gost_ = gost;
    NotifyModified();
}

void TBortItem::SetWidth(float width) {
    if (std::memcmp(&width, &Width_, sizeof width) == 0)
        return;
    Width_ = width;
    NotifyModified();
    Points.SetChanged(true);
}

void TBortItem::SetColor(D3DCOLOR color) {
    if (color == Color_)
        return;
    Color_ = color;
    NotifyModified();
    Points.SetChanged(true);
}

void TBortItem::RebuildGraphics() {
    TStreetStructure *street = Street();
    if (!street)
        return;
    Points.EnsureGeometry();
    if (Points.Count() < 2)
        return;
    const TXYZArray &dense = Points.Dense();
    TItemBatches &batches = street->TypeBatches(BortTypeCode);
    if (!batches.empty() && batches[0]) {
        batches[0]->SetColor(Color_);
        if (TDxPrimCollection *lines = PrimCollection(batches[0].get())) {
            lines->SetLayerMask(PlanLayerMask);
            DxAddPolyline(*lines, Serial(), dense);
        }
    }
    if (batches.size() > 1 && batches[1]) {
        batches[1]->SetColor(Color_);
        if (TDxPrimCollection *strip = PrimCollection(batches[1].get())) {
            // A stored width that is not a number draws no strip rather than a broken one.
            const float half = std::isfinite(Width_) ? Width_ / 2 : 0;
            strip->SetLayerMask(PlanLayerMask);
            DxAddThickPolyline(*strip, Serial(), dense, half, -half, 0, 0, 1);
        }
    }
}

std::optional<float> TBortItem::GetWidthByKind() const {
    return TBortWidthDictionary::Instance().Width(Gost_);
}

// ---- The dictionary

Cp1251String BortWidthFileName() {
    return Cp("Ширина борта.txt");
}

bool LoadBortWidthFile(const std::filesystem::path &file, TNameValueList &lines) {
    lines.Clear();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
        return false;
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > MaxDictionaryBytes)
        return false;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    if (in.gcount() != static_cast<std::streamsize>(size))
        return false;
    lines.SetText(Cp1251String(std::move(bytes)));
    return true;
}

bool LoadDictionaryFile(const Cp1251String &fileName, TNameValueList &lines) {
    return LoadBortWidthFile(FindInFolder(GetNamedDirectory(DictionaryDirName()), fileName), lines);
}

std::optional<float> BortWidthOf(const TNameValueList &lines, const Cp1251String &grade) {
    const int i = lines.IndexOfName(grade);
    if (i < 0)
        return std::nullopt;
    double v = 0;
    if (!TryStrToFloat(lines.ValueFromIndex(i).Bytes(), v) || !std::isfinite(v) || v < 0 ||
        v > std::numeric_limits<float>::max())
        return std::nullopt;
    return static_cast<float>(v);
}

TBortWidthDictionary &TBortWidthDictionary::Instance() {
    static TBortWidthDictionary dictionary;
    return dictionary;
}

void TBortWidthDictionary::Ensure() {
    const uint64_t version = NamedDirectoriesVersion();
    if (Loaded_ && version == Version_)
        return;
    Loaded_ = true;
    Version_ = version;
    Found_ = LoadDictionaryFile(BortWidthFileName(), Lines_);
}

const TNameValueList &TBortWidthDictionary::Lines() {
    Ensure();
    return Lines_;
}

bool TBortWidthDictionary::Found() {
    Ensure();
    return Found_;
}

std::optional<float> TBortWidthDictionary::Width(const Cp1251String &grade) {
    Ensure();
    return BortWidthOf(Lines_, grade);
}

const TNameValueList &BortWidthDictionary() {
    return TBortWidthDictionary::Instance().Lines();
}

void RegisterBortItem() {
    ItemClasses.Register(std::make_unique<TItemClassOf<TBortItem>>(BortTypeCode));
}
