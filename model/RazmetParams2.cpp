#include "model/RazmetParams2.h"

#include "model/IniSections.h"

#include "engine/DataFiles.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <system_error>

namespace {

constexpr char LnParamsTag[] = "LNPARAMS";
constexpr const char *ReadWhat = "ReadLnParams";

// ---- Stored record -------------------------------------------------------------------------------------

// Field offsets of the stored record.
enum : std::size_t {
    OffName = 0,
    OffTextureFile = 256,
    OffPeriod = 512,
    OffDisp1 = 516,
    OffDisp2 = 520,
    OffDescription = 524,
    OffSqCoeff = 780,
    OffFullPeriods = 784,
    OffYellow = 785,
    OffPlastic = 786,
    OffCountItems = 787,
};

Cp1251String CutText(const Cp1251String &s) {
    return s.Size() > LnParamTextMax ? s.Sub(0, LnParamTextMax) : s;
}

// The text at off of a record of which the first `stored` bytes were read.
Cp1251String GetShortString(const uint8_t *rec, std::size_t off, std::size_t stored) {
    const std::size_t present = stored > off + 1 ? stored - off - 1 : 0;
    return Cp1251String(reinterpret_cast<const char *>(rec + off + 1),
                        std::min<std::size_t>(rec[off], present));
}

void PutShortString(uint8_t *rec, std::size_t off, const Cp1251String &s) {
    const std::size_t n = std::min(s.Size(), LnParamTextMax);
    rec[off] = static_cast<uint8_t>(n);
    std::memcpy(rec + off + 1, s.Data(), n);
}

float GetSingle(const uint8_t *rec, std::size_t off) {
    float v;
    std::memcpy(&v, rec + off, 4);
    return v;
}

void PutSingle(uint8_t *rec, std::size_t off, float v) {
    std::memcpy(rec + off, &v, 4);
}

TLnParamRec DecodeRecord(const uint8_t *rec, std::size_t stored) {
    TLnParamRec r;
    r.Name = GetShortString(rec, OffName, stored);
    r.TextureFile = GetShortString(rec, OffTextureFile, stored);
    r.Period = GetSingle(rec, OffPeriod);
    r.Disp1 = GetSingle(rec, OffDisp1);
    r.Disp2 = GetSingle(rec, OffDisp2);
    r.Description = GetShortString(rec, OffDescription, stored);
    r.SqCoeff = GetSingle(rec, OffSqCoeff);
    r.FullPeriods = rec[OffFullPeriods] != 0;
    r.Yellow = rec[OffYellow] != 0;
    r.Plastic = rec[OffPlastic] != 0;
    r.CountItems = rec[OffCountItems] != 0;
    return r;
}

void EncodeRecord(const TLnParamRec &r, uint8_t *rec) {
    std::memset(rec, 0, LnParamRecSize);
    PutShortString(rec, OffName, r.Name);
    PutShortString(rec, OffTextureFile, r.TextureFile);
    PutSingle(rec, OffPeriod, r.Period);
    PutSingle(rec, OffDisp1, r.Disp1);
    PutSingle(rec, OffDisp2, r.Disp2);
    PutShortString(rec, OffDescription, r.Description);
    PutSingle(rec, OffSqCoeff, r.SqCoeff);
    rec[OffFullPeriods] = r.FullPeriods ? 1 : 0;
    rec[OffYellow] = r.Yellow ? 1 : 0;
    rec[OffPlastic] = r.Plastic ? 1 : 0;
    rec[OffCountItems] = r.CountItems ? 1 : 0;
}

// ---- INI text ------------------------------------------------------------------------------------------

enum class TKeyKind { Text, Single, Bool };

struct TKey {
    const char *name;
    TKeyKind kind;
    Cp1251String TLnParamRec::*text;
    float TLnParamRec::*single;
    bool TLnParamRec::*flag;
};

// The keys in the order they are written.
const TKey Keys[] = {
    {"TextureFile", TKeyKind::Text, &TLnParamRec::TextureFile, nullptr, nullptr},
    {"Period", TKeyKind::Single, nullptr, &TLnParamRec::Period, nullptr},
    {"Disp1", TKeyKind::Single, nullptr, &TLnParamRec::Disp1, nullptr},
    {"Disp2", TKeyKind::Single, nullptr, &TLnParamRec::Disp2, nullptr},
    {"Description", TKeyKind::Text, &TLnParamRec::Description, nullptr, nullptr},
    {"SqCoeff", TKeyKind::Single, nullptr, &TLnParamRec::SqCoeff, nullptr},
    {"FullPeriods", TKeyKind::Bool, nullptr, nullptr, &TLnParamRec::FullPeriods},
    {"Yellow", TKeyKind::Bool, nullptr, nullptr, &TLnParamRec::Yellow},
    {"Plastic", TKeyKind::Bool, nullptr, nullptr, &TLnParamRec::Plastic},
    {"CountItems", TKeyKind::Bool, nullptr, nullptr, &TLnParamRec::CountItems},
};

void AssignValue(TLnParamRec &rec, const TKey &key, std::string_view value) {
    switch (key.kind) {
    case TKeyKind::Text:
        // Cut, then trimmed again: a blank left at the cut would not survive the next reading.
        rec.*key.text = Cp1251String(std::string(TrimIniBlanks(value.substr(0, LnParamTextMax))));
        break;
    case TKeyKind::Single: {
        float v = 0;
        if (ParseIniSingle(value, v))
            rec.*key.single = v;
        break;
    }
    case TKeyKind::Bool: {
        int32_t v = 0;
        if (TryStrToInt(value, v))
            rec.*key.flag = v != 0;
        break;
    }
    }
}

bool HasLineBreak(const Cp1251String &s) {
    return s.Bytes().find_first_of("\r\n") != std::string::npos;
}

} // namespace

int32_t FindLnParam(const TLnParamArray &params, const Cp1251String &code) {
    for (std::size_t i = 0; i < params.size(); ++i)
        if (params[i].Name == code)
            return static_cast<int32_t>(i);
    return -1;
}

TLnParamArray LnParamsFromIni(std::string_view bytes) {
    TLnParamArray params;
    for (const TIniSection &section : ReadIniSections(bytes)) {
        TLnParamRec rec;
        rec.Name = CutText(section.Name);
        for (const TKey &key : Keys)
            if (const std::string *value = section.Find(key.name))
                AssignValue(rec, key, *value);
        params.push_back(std::move(rec));
    }
    return params;
}

void LoadLnParams(const std::string &fileName, TLnParamArray &params) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::path(fileName), ec)) {
        params.clear();
        return;
    }
    TMemoryStream file;
    file.LoadFromFile(fileName);
    const auto &b = file.Bytes();
    params = LnParamsFromIni(std::string_view(reinterpret_cast<const char *>(b.data()), b.size()));
}

std::string LnParamsToIni(const TLnParamArray &params) {
    std::string out;
    for (std::size_t i = 0; i < params.size(); ++i) {
        const TLnParamRec &r = params[i];
        for (const Cp1251String *text : {&r.Name, &r.TextureFile, &r.Description})
            if (HasLineBreak(CutText(*text)))
                RaiseStreetError("SaveLnParams",
                                 "record " + std::to_string(i) + " holds a line break in a text field");
        if (i > 0)
            out += "\r\n";
        out += "[" + CutText(r.Name).Bytes() + "]\r\n";
        for (const TKey &key : Keys) {
            out += key.name;
            out += '=';
            switch (key.kind) {
            case TKeyKind::Text:
                out += CutText(r.*key.text).Bytes();
                break;
            case TKeyKind::Single:
                out += SingleToStrRoundTrip(r.*key.single);
                break;
            case TKeyKind::Bool:
                out += r.*key.flag ? '1' : '0';
                break;
            }
            out += "\r\n";
        }
    }
    return out;
}

void SaveLnParams(const std::string &fileName, const TLnParamArray &params) {
    const std::string text = LnParamsToIni(params);
    SaveBytesToFile(fileName, text.data(), text.size());
}

void LoadDefaultLnParams(TLnParamArray &params) {
    const auto file = FindDataFile(Cp("Разметка\\Default.LnRazmet"));
    if (!file) {
        params.clear();
        return;
    }
    LoadLnParams(file->string(), params);
}

bool ReadLnParams(TStream &stream, TLnParamArray &params) {
    const int64_t start = stream.Position();
    char tag[8];
    if (stream.Read(tag, 8) != 8 || std::memcmp(tag, LnParamsTag, 8) != 0) {
        stream.Seek(start, TSeekOrigin::Begin);
        return false;
    }
    const int32_t count = stream.ReadInt32(ReadWhat);
    const int32_t size = stream.ReadInt32(ReadWhat);
    if (count < 0)
        stream.Fail(ReadWhat, "negative count " + std::to_string(count));
    if (count > 0 && size <= 0)
        stream.Fail(ReadWhat,
                    "record size " + std::to_string(size) + " for " + std::to_string(count) + " records");
    stream.CheckCount(count, size, ReadWhat);
    // A record of another writer's size fills the fields it holds; the fields past it stay zero, and a
    // text cut by its end keeps the characters present. Bytes past the 788 we know are skipped.
    const int32_t stored = std::min(size, LnParamRecSize);
    TLnParamArray read;
    read.reserve(static_cast<std::size_t>(count));
    uint8_t rec[LnParamRecSize];
    for (int32_t i = 0; i < count; ++i) {
        std::memset(rec, 0, sizeof rec);
        stream.ReadBuffer(rec, stored, ReadWhat);
        read.push_back(DecodeRecord(rec, static_cast<std::size_t>(stored)));
        if (size > stored)
            stream.Skip(size - stored, ReadWhat);
    }
    params = std::move(read);
    return true;
}

void WriteLnParams(TStream &stream, const TLnParamArray &params) {
    stream.WriteBuffer(LnParamsTag, 8);
    stream.WriteInt32(static_cast<int32_t>(params.size()));
    stream.WriteInt32(LnParamRecSize);
    uint8_t rec[LnParamRecSize];
    for (const TLnParamRec &r : params) {
        EncodeRecord(r, rec);
        stream.WriteBuffer(rec, LnParamRecSize);
    }
}

double LnParamDrawPeriod(const TLnParamRec &rec, double lineLength) {
    double period = rec.Period;
    if (!(period > 0) || !std::isfinite(period))
        period = LnParamDefaultPeriod;
    if (!rec.FullPeriods && lineLength > 0 && std::isfinite(lineLength)) {
        const int64_t n = std::max<int64_t>(Round(lineLength / period), 1);
        period = lineLength / static_cast<double>(n);
    }
    return period;
}

double LnParamCountedLength(const TLnParamRec &rec, double length) {
    const double period = rec.Period;
    if (!rec.FullPeriods || !(period > 0) || !std::isfinite(period))
        return length;
    return std::trunc(length / period) * period;
}

std::optional<std::filesystem::path> FindLnTexture(const TLnParamRec &rec) {
    return FindDataFile(Cp("Разметка"), rec.TextureFile);
}
