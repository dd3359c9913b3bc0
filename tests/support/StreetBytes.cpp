#include "StreetBytes.h"

#include <algorithm>

namespace sptest {

std::string Ident(const std::string &text) {
    std::string s = text;
    s.resize(8, ' ');
    return s;
}

ByteBuilder ConnectdBytes(const std::vector<std::pair<std::string, int32_t>> &refs) {
    ByteBuilder b;
    b.Tag("CONNECTD").I32(static_cast<int32_t>(refs.size()));
    for (const auto &[ident, id] : refs)
        b.Bytes(Ident(ident)).I32(id);
    return b;
}

ByteBuilder ItemRec::Bytes() const {
    ByteBuilder b;
    b.Tag("ITEM").Bytes(sptest::Ident(Ident)).I32(Id);
    if (!Points.empty()) {
        b.Tag("PNTLIST");
        if (SplineTag)
            b.Tag("PNTLSTSP").U8(Spline);
        b.I32(static_cast<int32_t>(Points.size()));
        for (int32_t id : Points)
            b.I32(id);
    }
    if (Active)
        b.Tag("ITEMACTV").U8(*Active);
    if (Group)
        b.Tag("GROUPNAM").Str(*Group);
    if (Comment)
        b.Tag("COMMENT").Str(*Comment);
    if (Comment2)
        b.Tag("COMMENT2").Str(*Comment2);
    if (ReferAx)
        b.Tag("REFERAX").Append(ConnectdBytes(*ReferAx));
    b.Append(Extra);
    return b;
}

ByteBuilder EmptyLibrary(const std::string &listTag) {
    ByteBuilder b;
    b.Tag(listTag).Tag("ITEMSCNT").I32(0);
    return b;
}

StreetFile StreetFile::Canonical() {
    StreetFile f;
    f.Name = f.Start = f.Finish = "";
    f.Ecef = std::array<double, 3>{0, 0, 0};
    f.StrConn = std::vector<std::pair<std::string, int32_t>>{EmptyRef()};
    f.ArrowBig = f.ArrPlast = f.OstPlast = f.StpPlast = f.ZebPlast = 0;
    f.ZebraYop = 0;
    f.GrpNames = "";
    f.View = std::array<float, 5>{0, 0, 0, 0.01f, 0};
    f.WorkTime = 0;
    f.BlockDef = EmptyLibrary("BLOCKLST");
    f.LineDefs = EmptyLibrary("DSNLNLST");
    f.FigDefs = EmptyLibrary("DSNFGLST");
    f.DrawOpts = "";
    return f;
}

std::vector<uint8_t> StreetFile::Bytes() const {
    ByteBuilder b;
    if (TagsSize)
        b.Tag("TAGSSIZE").I32(*TagsSize);
    if (StreetTag)
        b.Tag("STREET");
    if (Name)
        b.Tag("STRNAME").Str(*Name);
    if (Start)
        b.Tag("STRSTART").Str(*Start);
    if (Finish)
        b.Tag("STRFIN").Str(*Finish);
    if (Ecef)
        b.Tag("ECEFMAP0").F64((*Ecef)[0]).F64((*Ecef)[1]).F64((*Ecef)[2]).Raw(EcefExtra.data(), 8);
    if (StrConn)
        b.Tag("STRCONN").Append(ConnectdBytes(*StrConn));
    if (LnParams)
        b.Tag("LNPARAMS").Append(*LnParams);
    const std::pair<const char *, const std::optional<uint8_t> *> flags[] = {{"ARROWBIG", &ArrowBig},
                                                                             {"ARRPLAST", &ArrPlast},
                                                                             {"OSTPLAST", &OstPlast},
                                                                             {"STPPLAST", &StpPlast},
                                                                             {"ZEBPLAST", &ZebPlast}};
    for (const auto &[tag, v] : flags)
        if (*v)
            b.Tag(tag).U8(**v);
    if (ZebraYop)
        b.Tag("ZEBRAYOP").I32(*ZebraYop);
    if (GrpNames)
        b.Tag("GRPNAMES").Str(*GrpNames);
    if (View) {
        b.Tag("VIEWDEF");
        for (float v : *View)
            b.F32(v);
    }
    if (WorkTime)
        b.Tag("WORKTIME").I32(*WorkTime);
    if (PointTableTag) {
        b.Tag("PNTSTRCT").I32(static_cast<int32_t>(Points.size()));
        for (const PointRow &p : Points)
            b.I32(p.Id).F64(p.X).F64(p.Y).F64(p.Z);
    }
    if (BlockDef)
        b.Tag("BLOCKDEF").Append(*BlockDef);
    if (LineDefs)
        b.Tag("DSNLNDEF").Append(*LineDefs);
    if (FigDefs)
        b.Tag("DSNFGDEF").Append(*FigDefs);
    if (DrawOpts)
        b.Tag("DRAWOPTS").Str(*DrawOpts);
    for (const ListSection &l : Lists) {
        b.Tag("ITEMLIST").Bytes(sptest::Ident(l.Ident));
        b.I32(l.CountOverride ? *l.CountOverride : static_cast<int32_t>(l.Items.size()));
        for (const ItemRec &r : l.Items)
            b.Append(r.Bytes());
    }
    b.Append(Trailer);
    return b.Data();
}

ByteBuilder LnParamsBytes(const std::vector<LnParamRow> &rows) {
    auto text = [](ByteBuilder &b, const std::string &t) {
        const std::size_t n = std::min<std::size_t>(t.size(), 255);
        b.U8(static_cast<uint8_t>(n)).Bytes(std::string_view(t).substr(0, n));
        for (std::size_t i = n; i < 255; ++i)
            b.U8(0);
    };
    ByteBuilder b;
    b.I32(static_cast<int32_t>(rows.size())).I32(788);
    for (const LnParamRow &r : rows) {
        text(b, r.Name);
        text(b, r.TextureFile);
        b.F32(r.Period).F32(r.Disp1).F32(r.Disp2);
        text(b, r.Description);
        b.F32(r.SqCoeff).U8(r.FullPeriods).U8(r.Yellow).U8(r.Plastic).U8(r.CountItems);
    }
    return b;
}

std::vector<uint8_t> FragmentBytes(const std::vector<FragmentPoint> &points,
                                   const std::vector<ItemRec> &items) {
    ByteBuilder b;
    b.Tag("ITMSINDP").Tag("PNTCOORD").I32(static_cast<int32_t>(points.size()));
    for (const FragmentPoint &p : points)
        b.F32(p.X).F32(p.Y).F32(p.Z).I32(p.Id);
    b.Tag("ITEMS").I32(static_cast<int32_t>(items.size()));
    for (const ItemRec &r : items)
        b.Append(r.Bytes());
    return b.Data();
}

} // namespace sptest
