#include "objects/SignPicture.h"

#include "engine/DataFiles.h"
#include "engine/FontTexture.h"
#include "engine/FontsDataForm.h"
#include "engine/StreetError.h"
#include "model/NameValueList.h"
#include "objects/MetafileLib.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

std::string Where(const TStream &stream, int64_t offset) {
    const std::string name = stream.Name();
    return "offset " + std::to_string(offset) + (name.empty() ? std::string() : " of " + name);
}

TMetafile MetafileOf(const std::vector<uint8_t> &bytes, const TStream &stream, int64_t at, const char *what) {
    TMetafile m;
    try {
        m.LoadFromBytes(bytes.data(), bytes.size(), "metafile");
    } catch (const std::exception &e) {
        RaiseStreetError(what, "the metafile at " + Where(stream, at) + " is not readable (" + e.what() + ")");
    }
    return m;
}

std::vector<uint8_t> ReadBytes(TStream &stream, int64_t count, int64_t at, const char *what) {
    if (count < 0 || count > stream.Remaining())
        RaiseStreetError(what, "a metafile of " + std::to_string(count) + " bytes at " + Where(stream, at) +
                                   " runs past the end (" + std::to_string(stream.Remaining()) + " bytes left)");
    std::vector<uint8_t> bytes(static_cast<std::size_t>(count));
    stream.ReadBuffer(bytes.data(), count, what);
    return bytes;
}

uint32_t U32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint16_t U16(const uint8_t *p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

// The path of a file name stored with "\" or "/" between folders; name and extension of the last part.
Cp1251String BaseName(const Cp1251String &fileName) {
    const std::string &s = fileName.Bytes();
    const std::size_t slash = s.find_last_of("\\/");
    std::string name = slash == std::string::npos ? s : s.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.resize(dot);
    return Cp1251String(name);
}

Cp1251String NumberOf(const std::string &name) {
    std::string out;
    for (char c : name) {
        if (c == '_')
            break;
        out += c == '-' ? '.' : c;
        if (out.size() >= 2 && out[out.size() - 2] == '.' && out.back() == '0')
            out.pop_back();
    }
    return Cp1251String(out);
}

struct TSignTables {
    TNameValueList Descriptions, Areas, Translation;
};

std::unique_ptr<TSignTables> &TablesHolder() {
    static std::unique_ptr<TSignTables> tables;
    return tables;
}

void LoadTable(TNameValueList &list, const char *utf8Name) {
    const Cp1251String name = Cp(utf8Name);
    const auto file = FindDataFile(name);
    if (!file) {
        AddSignLibraryNotice("DataFiles/" + name.ToUtf8() + ": the file is not there");
        return;
    }
    std::ifstream in(*file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        AddSignLibraryNotice("DataFiles/" + name.ToUtf8() + ": the file cannot be read");
        return;
    }
    list.SetText(Cp1251String(std::move(text)));
}

const TSignTables &Tables() {
    std::unique_ptr<TSignTables> &t = TablesHolder();
    if (!t) {
        t = std::make_unique<TSignTables>();
        LoadTable(t->Descriptions, "Знаки/Описания знаков.txt");
        LoadTable(t->Areas, "Знаки/Площади знаков.txt");
        LoadTable(t->Translation, "Знаки/OldLibTranslation.txt");
    }
    return *t;
}

} // namespace

// ---- TSignPicture

const TMetafile *TSignPicture::Metafile() const {
    if (!Has_)
        return nullptr;
    if (Index_ == Own)
        return &Own_;
    const TNamedMetafileLib &lib = SignMetafileLibrary();
    if (Index_ >= 0 && Index_ < lib.Count())
        return &lib.GetMetafile(Index_);
    return &MissingSignMetafile();
}

void TSignPicture::TakeSize() {
    const TMetafile *m = Metafile();
    Width_ = m ? m->Width() : 0;
    Height_ = m ? m->Height() : 0;
}

void TSignPicture::SetMetafile(const TMetafile &metafile) {
    const TNamedMetafileLib &lib = SignMetafileLibrary();
    const int found = lib.IndexOfIdentical(metafile);
    if (found >= 0) {
        Own_.Clear();
        Index_ = found;
        Name_ = lib.GetName(found);
    } else {
        Own_ = metafile;
        Index_ = Own;
    }
    Has_ = true;
    TakeSize();
}

void TSignPicture::SetLibName(const Cp1251String &name, bool translate) {
    const TNamedMetafileLib &lib = SignMetafileLibrary();
    Own_.Clear();
    Name_ = name;
    int found = lib.IndexOfName(name);
    if (found < 0 && translate) {
        const Cp1251String newName = TranslateOldSignName(name);
        if (!newName.Empty() && (found = lib.IndexOfName(newName)) >= 0)
            Name_ = newName;
    }
    Index_ = found >= 0 ? found : Missing;
    Has_ = true;
    TakeSize();
}

// ---- Sign numbers

Cp1251String SignNumberFromFileName(const Cp1251String &fileName) {
    std::string name = BaseName(fileName).Bytes();
    if (name.rfind("G2004_", 0) == 0)
        name.erase(0, 6);
    const Cp1251String number = NumberOf(name);
    return number.Empty() ? Cp1251String(" ") : number;
}

Cp1251String RoadSignNumberFromFileName(const Cp1251String &fileName) {
    const Cp1251String number = NumberOf(BaseName(fileName).Bytes());
    return number.Empty() ? Cp1251String("?") : number;
}

// ---- Metafiles in records

TMetafile ReadCountedMetafile(TStream &stream, const char *what) {
    const int64_t at = stream.Position();
    const int32_t count = stream.ReadInt32(what);
    if (count == 0)
        return TMetafile();
    const std::vector<uint8_t> bytes = ReadBytes(stream, count, at, what);
    return MetafileOf(bytes, stream, at, what);
}

void WriteCountedMetafile(TStream &stream, const TMetafile &metafile) {
    const std::vector<uint8_t> &bytes = metafile.Bytes();
    stream.WriteInt32(static_cast<int32_t>(bytes.size()));
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

TMetafile ReadStreamMetafile(TStream &stream, const char *what) {
    const int64_t at = stream.Position();
    uint8_t head[52] = {};
    const int64_t got = stream.Read(head, sizeof head);
    stream.Seek(at, TSeekOrigin::Begin);
    int64_t length = 0;
    if (got >= 52 && U32(head) == 1 && U32(head + 40) == 0x464D4520) {
        length = U32(head + 48);
    } else {
        // A Windows metafile ends with its end-of-file record: walk the record sizes to it.
        int64_t pos = got >= 22 && U32(head) == 0x9AC6CDD7 ? 22 : 0;
        if (got < pos + 18 || (U16(head + pos) != 1 && U16(head + pos) != 2) || U16(head + pos + 2) != 9)
            RaiseStreetError(what, "no metafile header at " + Where(stream, at));
        pos += 18;
        for (;;) {
            uint8_t rec[6];
            stream.Seek(at + pos, TSeekOrigin::Begin);
            if (stream.Read(rec, 6) != 6) {
                stream.Seek(at, TSeekOrigin::Begin);
                RaiseStreetError(what, "the metafile at " + Where(stream, at) + " ends before its last record");
            }
            const int64_t n = int64_t(U32(rec)) * 2;
            if (n < 6 || n > stream.Size() - (at + pos)) {
                stream.Seek(at, TSeekOrigin::Begin);
                RaiseStreetError(what, "a record of the metafile at " + Where(stream, at) + " runs past the end");
            }
            pos += n;
            if (U16(rec + 4) == 0)
                break;
        }
        length = pos;
        stream.Seek(at, TSeekOrigin::Begin);
    }
    const std::vector<uint8_t> bytes = ReadBytes(stream, length, at, what);
    return MetafileOf(bytes, stream, at, what);
}

// ---- Sign tables

Cp1251String SignDescription(const Cp1251String &number) {
    return Tables().Descriptions.Values(number);
}

Cp1251String SignAreaText(const Cp1251String &number) {
    return Tables().Areas.Values(number);
}

Cp1251String TranslateOldSignName(const Cp1251String &oldName) {
    return Tables().Translation.Values(oldName);
}

float SignAreaValue(const Cp1251String &text) {
    const std::string &t = text.Bytes();
    float v = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
        return 0;
    return v;
}

void FreeSignTables() {
    TablesHolder().reset();
}

// ---- Labels

namespace {

TSignLabelWriter &LabelWriter() {
    static TSignLabelWriter writer = WriteSignLabelGlyphs;
    return writer;
}

struct TLineAt {
    double X = 0, Y = 0; // glyph units from the picture's edge point
};

// Where each line starts (its bottom-left corner), by the post's rule or the second sign type's.
std::vector<TLineAt> LayOutLines(const TSignLabel &label, const std::vector<double> &widths) {
    const std::size_t n = widths.size();
    std::vector<TLineAt> at(n);
    if (n == 0)
        return at;
    double wMax = 0;
    for (double w : widths)
        wMax = std::max(wMax, w);
    const uint8_t a = label.Alignment;
    if (label.PostLayout) {
        // The number, then the status line below it; a line is one unit high, one unit off the edge.
        const double h2 = n > 1 ? 1 : 0, height = 1 + h2;
        double x = 0, y = 0;
        switch (a) {
        case 1:
            y = -1 + (h2 - height);
            break;
        case 3:
            x = 1 + wMax / 2;
            y = -height / 2 + h2;
            break;
        case 5:
            x = -1 - wMax / 2;
            y = -height / 2 + h2;
            break;
        case 7:
            y = 1 + h2;
            break;
        default:
            break;
        }
        for (std::size_t i = 0; i < n; ++i)
            at[i] = {x - widths[i] / 2, y - (i == 0 ? 0 : h2)};
        return at;
    }
    const double height = double(n), h = 1;
    double x = 0, y = 0;
    switch (a) {
    case 1:
        x = -wMax / 2;
        y = -h;
        break;
    case 3:
        y = height / 2 - h;
        break;
    case 5:
        x = -wMax;
        y = height / 2 - h;
        break;
    case 7:
        x = -wMax / 2;
        y = height - h;
        break;
    default:
        break;
    }
    for (std::size_t i = 0; i < n; ++i)
        at[i] = {x + (wMax - widths[i]) / 2, y - double(i) * h};
    return at;
}

} // namespace

std::vector<TDxVertex> SignLabelQuads(const TSignLabel &label, const TFontTexture &atlas) {
    std::vector<TDxVertex> out;
    const double unit = atlas.TextHeight();
    if (atlas.AtlasSize() <= 0 || !(unit > 0) || label.Lines.empty())
        return out;
    std::vector<double> widths;
    for (const Cp1251String &line : label.Lines)
        widths.push_back(atlas.TextWidth(line) / unit);
    const std::vector<TLineAt> at = LayOutLines(label, widths);
    double ex = 0, ey = 0;
    switch (label.Alignment) {
    case 1:
        ey = -label.Height / 2;
        break;
    case 3:
        ex = label.Width / 2;
        break;
    case 5:
        ex = -label.Width / 2;
        break;
    case 7:
        ey = label.Height / 2;
        break;
    default:
        break;
    }
    const double scale = label.Scale != 0 && std::isfinite(label.Scale) ? label.Scale : 1;
    const double kx = 12 / scale, ky = 15 / scale;
    const D3DCOLOR black = MakeD3DColor(0, 0, 0, 255);
    std::vector<TDxVertex> quads;
    for (std::size_t i = 0; i < label.Lines.size(); ++i) {
        atlas.TextQuads(label.Lines[i], quads);
        for (TDxVertex v : quads) {
            const double px = ex + kx * (at[i].X + v.x / unit), py = ey + ky * (at[i].Y + v.y / unit);
            v.x = float(label.Centre.x + px * label.AxisX.x + py * label.AxisY.x);
            v.y = float(label.Centre.y + px * label.AxisX.y + py * label.AxisY.y);
            v.z = label.Centre.z;
            v.color = black;
            out.push_back(v);
        }
    }
    return out;
}

void WriteSignLabelGlyphs(TItemBatch &glyphs, TBatchOwnerKey owner, const TSignLabel &label) {
    TFontsDataForm *fonts = TFontsDataForm::Instance();
    TFontTexture *atlas = fonts != nullptr ? fonts->SmallArialTexture() : nullptr;
    TDxPrimCollection *prims = PrimCollection(&glyphs);
    if (atlas == nullptr || prims == nullptr)
        return;
    const std::vector<TDxVertex> quads = SignLabelQuads(label, *atlas);
    if (quads.empty())
        return;
    // The fonts object may have come after the batches were made.
    if (prims->Texture() != atlas)
        prims->SetTexture(atlas);
    prims->SetColor(MakeD3DColor(0, 0, 0, 255));
    prims->Transform().LoadIdentity();
    prims->AddPrimitives(owner, quads, quads.size() / 3);
}

void SetSignLabelWriter(TSignLabelWriter writer) {
    LabelWriter() = std::move(writer);
}

const TSignLabelWriter &SignLabelWriter() {
    return LabelWriter();
}
