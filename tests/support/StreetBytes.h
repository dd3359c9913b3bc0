#pragma once
// Street-file and fragment fixtures written from the format itself, apart from the production writer, so
// that a mistake shared by our reader and writer cannot pass. Every field is laid out here by hand: tags
// of 8 blank-padded bytes, int32 and singles little-endian, strings as an int32 count and the bytes.
#include "TestSupport.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sptest {

// A reference-list record: "CONNECTD", n, n times (ident, id).
ByteBuilder ConnectdBytes(const std::vector<std::pair<std::string, int32_t>> &refs);
// One slot: the empty slot is ("EMPTYCLS", -1).
inline std::pair<std::string, int32_t> EmptyRef() {
    return {"EMPTYCLS", -1};
}

// An item record head followed by the class's own fields.
struct ItemRec {
    std::string Ident;
    int32_t Id = 1;
    // Vertex ids; no "PNTLIST " block when empty.
    std::vector<int32_t> Points;
    bool SplineTag = true; // "PNTLSTSP" and its byte
    uint8_t Spline = 0;
    std::optional<uint8_t> Active = 1; // "ITEMACTV"
    std::optional<std::string> Group, Comment, Comment2;
    std::optional<std::vector<std::pair<std::string, int32_t>>> ReferAx; // "REFERAX " + CONNECTD
    ByteBuilder Extra;                                                   // fields after the head

    ByteBuilder Bytes() const;
};

// The usual record: ident, id and vertex ids, the other fields at their defaults.
inline ItemRec Rec(const std::string &ident, int32_t id, std::vector<int32_t> points = {},
                   uint8_t spline = 0) {
    ItemRec r;
    r.Ident = ident;
    r.Id = id;
    r.Points = std::move(points);
    r.Spline = spline;
    return r;
}

// A point-table entry: id, x, y, z.
struct PointRow {
    int32_t Id;
    double X, Y, Z = 0;
};

// A whole street stream. Absent optionals are absent sections. Canonical() gives the layout our
// writer produces for a street with the defaults.
struct StreetFile {
    std::optional<int32_t> TagsSize = 8;
    bool StreetTag = true;
    std::optional<std::string> Name, Start, Finish;
    std::optional<std::array<double, 3>> Ecef;
    std::array<uint8_t, 8> EcefExtra{};
    std::optional<std::vector<std::pair<std::string, int32_t>>> StrConn;
    std::optional<ByteBuilder> LnParams; // bytes after the tag
    std::optional<uint8_t> ArrowBig, ArrPlast, OstPlast, StpPlast, ZebPlast;
    std::optional<int32_t> ZebraYop;
    std::optional<std::string> GrpNames;
    std::optional<std::array<float, 5>> View;
    std::optional<int32_t> WorkTime;
    bool PointTableTag = true;
    std::vector<PointRow> Points;
    std::optional<ByteBuilder> BlockDef, LineDefs, FigDefs; // bytes after the section tag
    std::optional<std::string> DrawOpts;
    // Item-list sections in file order: ident and records (a count other than the records' number can
    // be forced with CountOverride).
    struct ListSection {
        ListSection(std::string ident, std::vector<ItemRec> items, std::optional<int32_t> count = {})
            : Ident(std::move(ident)), Items(std::move(items)), CountOverride(count) {}
        std::string Ident;
        std::vector<ItemRec> Items;
        std::optional<int32_t> CountOverride;
    };
    std::vector<ListSection> Lists;
    ByteBuilder Trailer;

    static StreetFile Canonical();
    std::vector<uint8_t> Bytes() const;
};

// An empty library record ("BLOCKLST"/"DSNLNLST"/"DSNFGLST", "ITEMSCNT", 0).
ByteBuilder EmptyLibrary(const std::string &listTag);

// An item fragment: "ITMSINDP", "PNTCOORD", n points (x, y, z singles, id), "ITEMS   ", m records.
struct FragmentPoint {
    float X, Y, Z;
    int32_t Id;
};
std::vector<uint8_t> FragmentBytes(const std::vector<FragmentPoint> &points,
                                   const std::vector<ItemRec> &items);

// A line-marking record as a street file stores it: name, texture file, period, two lateral offsets,
// description, area coefficient and four flag bytes; texts as a length byte and 255 bytes, zero-padded.
struct LnParamRow {
    std::string Name, TextureFile;
    float Period = 0, Disp1 = 0, Disp2 = 0;
    std::string Description;
    float SqCoeff = 0;
    uint8_t FullPeriods = 0, Yellow = 0, Plastic = 0, CountItems = 0;
};
// What follows the "LNPARAMS" tag (StreetFile::LnParams): the count, the record size 788, the records.
ByteBuilder LnParamsBytes(const std::vector<LnParamRow> &rows);

// 8 bytes, blank-padded.
std::string Ident(const std::string &text);

} // namespace sptest
