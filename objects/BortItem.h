#pragma once
// Curbs: a line along the edge of a road way, sidewalk or lawn with its kind, its grade (by standard) and
// the width and colour of the stripe painted on it. The grade selects the curb's width from the curb-width
// dictionary, which the sidewalk and lawn figures use for the area of their curb strips. A curb draws as a
// thin line in its colour and as a strip of its painted width.
#include "engine/DxVertex.h"
#include "model/LineItem.h"
#include "model/NameValueList.h"

#include "model/ItemTypeCodes.h"
#include <filesystem>
#include <optional>

class TBortItem : public TLineItem {
public:
    static constexpr float DefaultWidth = 0.2f;
    static constexpr D3DCOLOR DefaultColor = MakeD3DColor(0, 128, 0, 255);

    // Entry 0 the line batch, entry 1 the strip batch; each item colours them with its own colour.
    static void ClassInitDrawBatches(TStreetStructure &street);
    int GetTypeCode() const override { return BortTypeCode; }

    // The record head, then "BORTKIND" and "BORTGOST" when not empty, "BORTWIDT" and "BORTCOLR" always.
    // Reading probes each; an absent one takes its default.
    void LoadFromStream(TStream &stream) override;
    void SaveToStream(TStream &stream) const override;
    void RebuildGraphics() override;

    const Cp1251String &Kind() const { return Kind_; }
    void SetKind(const Cp1251String &kind);
    const Cp1251String &Gost() const { return Gost_; }
    void SetGost(const Cp1251String &gost);
    // Width of the painted stripe, metres.
    float Width() const { return Width_; }
    void SetWidth(float width);
    D3DCOLOR Color() const { return Color_; }
    void SetColor(D3DCOLOR color);

    // The width of the curb's grade from the curb-width dictionary, metres; nothing when the dictionary is
    // missing, the grade is not in it or its value is not a number. Never asks the user.
    std::optional<float> GetWidthByKind() const;

private:
    Cp1251String Kind_;
    Cp1251String Gost_;
    float Width_ = DefaultWidth;
    D3DCOLOR Color_ = DefaultColor;
};

// ---- The curb-width dictionary: lines grade=width (metres, "." decimals), code page 1251, in the file
// "Ширина борта.txt" of the named directory "Каталог словарей".

// The dictionary file's name.
Cp1251String BortWidthFileName();
// Reads a dictionary file (at most 16 MB): False when it is missing, unreadable or too large.
bool LoadBortWidthFile(const std::filesystem::path &file, TNameValueList &lines);
// Reads the file of that name (matched in any letter case) from the folder of "Каталог словарей", as
// LoadBortWidthFile does.
bool LoadDictionaryFile(const Cp1251String &fileName, TNameValueList &lines);
// The value of the first line whose name is the grade (any letter case): a finite width of 0 or more, or
// nothing.
std::optional<float> BortWidthOf(const TNameValueList &lines, const Cp1251String &grade);

// The dictionary of the run: read on first use, and again once the folder of "Каталог словарей" was
// chosen anew. A missing file leaves it empty (every width unknown) until then.
class TBortWidthDictionary {
public:
    static TBortWidthDictionary &Instance();
    const TNameValueList &Lines();
    // The file was found and read.
    bool Found();
    std::optional<float> Width(const Cp1251String &grade);
    // The next use reads the file again.
    void Forget() { Loaded_ = false; }

private:
    void Ensure();

    TNameValueList Lines_;
    bool Loaded_ = false;
    bool Found_ = false;
    uint64_t Version_ = 0;
};

const TNameValueList &BortWidthDictionary();

void RegisterBortItem();
