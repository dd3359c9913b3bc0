// The sign library and the sign tables (data/signs/): every sign of signs.tsv drawn into an enhanced
// metafile with libUEMF's record writers, its description and its area; the missing-sign picture, the
// translation of old library names and the dictionary of support kinds.
#include "Generators.h"
#include "SignDraw.h"
#include "Tables.h"

#include "engine/Cp1251.h"

#include <uemf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <stdexcept>

namespace datagen {

namespace {

// Logical units a millimetre inside the pictures.
constexpr double LogicalPerMm = 10;

std::u16string Utf16(const std::string &utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        int n;
        if (c < 0x80) {
            cp = c;
            n = 1;
        } else if ((c >> 5) == 6) {
            cp = c & 0x1F;
            n = 2;
        } else if ((c >> 4) == 14) {
            cp = c & 0x0F;
            n = 3;
        } else {
            throw std::invalid_argument("text outside the basic plane");
        }
        if (i + n > utf8.size())
            throw std::invalid_argument("malformed UTF-8");
        for (int k = 1; k < n; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        out.push_back(char16_t(cp));
        i += n;
    }
    return out;
}

// One picture being written: logical units are tenths of a millimetre of the sign's box.
class TEmfCanvas final : public TSignCanvas {
public:
    TEmfCanvas(const std::filesystem::path &scratch, double widthMm, double heightMm) : scratch_(scratch) {
        if (emf_start(scratch.string().c_str(), 1 << 16, 1 << 16, &et_) || emf_htable_create(64, 64, &eht_))
            throw std::runtime_error("libUEMF cannot start a metafile");
        const int px = int(std::lround(widthMm / 1000 * SignUnitsPerMetre));
        const int py = int(std::lround(heightMm / 1000 * SignUnitsPerMetre));
        // A reference device of 96 pixels per inch, so the frame gives back px x py.
        const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(px - 1, py - 1));
        const U_RECTL frame = rectl_set(point32_set(0, 0), point32_set(int32_t(std::lround(px * 2540.0 / 96)),
                                                                     int32_t(std::lround(py * 2540.0 / 96))));
        Add(U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, sizel_set(1920, 1080), sizel_set(508, 286), 0));
        Add(U_EMRSETMAPMODE_set(U_MM_ANISOTROPIC));
        Add(U_EMRSETWINDOWORGEX_set(point32_set(0, 0)));
        Add(U_EMRSETWINDOWEXTEX_set(sizel_set(L(widthMm), L(heightMm))));
        Add(U_EMRSETVIEWPORTORGEX_set(point32_set(0, 0)));
        Add(U_EMRSETVIEWPORTEXTEX_set(sizel_set(px, py)));
        Add(U_EMRSETBKMODE_set(U_TRANSPARENT));
        Add(U_EMRSETPOLYFILLMODE_set(U_WINDING));
    }
    ~TEmfCanvas() override {
        if (et_)
            emf_free(&et_);
        if (eht_)
            emf_htable_free(&eht_);
        std::error_code ec;
        std::filesystem::remove(scratch_, ec);
    }
    TEmfCanvas(const TEmfCanvas &) = delete;
    TEmfCanvas &operator=(const TEmfCanvas &) = delete;

    static int32_t L(double mm) { return int32_t(std::lround(mm * LogicalPerMm)); }

    void Polygon(const std::vector<TSignPt> &pts, TSignRgb c) override {
        if (pts.size() < 3)
            throw std::invalid_argument("a polygon needs 3 points");
        Fill(c);
        std::vector<U_POINTL> p;
        for (const TSignPt &q : pts)
            p.push_back(point32_set(L(q.x), L(q.y)));
        Add(U_EMRPOLYGON_set(Box(pts), uint32_t(p.size()), p.data()));
    }
    void Rect(double x0, double y0, double x1, double y1, TSignRgb c) override {
        Fill(c);
        Add(U_EMRRECTANGLE_set(rectl_set(point32_set(L(x0), L(y0)), point32_set(L(x1), L(y1)))));
    }
    void Circle(double cx, double cy, double r, TSignRgb c) override {
        Fill(c);
        Add(U_EMRELLIPSE_set(rectl_set(point32_set(L(cx - r), L(cy - r)), point32_set(L(cx + r), L(cy + r)))));
    }
    void Ring(double cx, double cy, double r, double w, TSignRgb c) override {
        Stroke(w, c);
        Add(U_EMRELLIPSE_set(rectl_set(point32_set(L(cx - r), L(cy - r)), point32_set(L(cx + r), L(cy + r)))));
    }
    void Bar(const std::vector<TSignPt> &pts, double w, TSignRgb c) override {
        if (pts.size() < 2)
            throw std::invalid_argument("a bar needs 2 points");
        Stroke(w, c);
        std::vector<U_POINTL> p;
        for (const TSignPt &q : pts)
            p.push_back(point32_set(L(q.x), L(q.y)));
        Add(U_EMRPOLYLINE_set(Box(pts), uint32_t(p.size()), p.data()));
    }
    void Text(double cx, double cy, double h, const std::string &utf8, TSignRgb c) override {
        std::u16string text = Utf16(utf8);
        for (char16_t &ch : text)
            if (ch == u'_')
                ch = u' ';
        std::vector<uint16_t> face = {'A', 'r', 'i', 'a', 'l', 0};
        U_LOGFONT lf = logfont_set(-L(h), 0, 0, 0, U_FW_BOLD, 0, 0, 0, U_DEFAULT_CHARSET, U_OUT_DEFAULT_PRECIS,
                                   U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH, face.data());
        uint32_t font = 0;
        Add(extcreatefontindirectw_set(&font, eht_, reinterpret_cast<const char *>(&lf), nullptr));
        Add(selectobject_set(font, eht_));
        Add(U_EMRSETTEXTCOLOR_set(colorref3_set(c.r, c.g, c.b)));
        Add(U_EMRSETTEXTALIGN_set(U_TA_CENTER | U_TA_BASELINE));
        std::vector<uint16_t> chars(text.begin(), text.end());
        // Capitals and digits stand about 0.72 of the font height above the baseline.
        const U_POINTL ref = point32_set(L(cx), L(cy + 0.36 * h));
        std::vector<uint32_t> dx(chars.size(), 0);
        char *t = emrtext_set(ref, uint32_t(chars.size()), 2, chars.data(), U_ETO_NONE,
                              rectl_set(point32_set(0, 0), point32_set(-1, -1)), dx.data());
        char *record = U_EMREXTTEXTOUTW_set(rectl_set(point32_set(0, 0), point32_set(-1, -1)), U_GM_COMPATIBLE, 1,
                                            1, reinterpret_cast<PU_EMRTEXT>(t));
        std::free(t);
        // No advances: the font's own spacing places the characters wherever the picture is played.
        if (record)
            std::memset(record + 72, 0, 4);
        Add(record);
        Add(selectobject_set(U_SYSTEM_FONT, eht_));
        Add(deleteobject_set(&font, eht_));
    }

    std::string Finish() {
        Add(selectobject_set(U_BLACK_PEN, eht_));
        Add(selectobject_set(U_WHITE_BRUSH, eht_));
        ReleaseObjects();
        Add(U_EMREOF_set(0, nullptr, et_));
        if (emf_finish(et_, eht_))
            throw std::runtime_error("libUEMF cannot finish the metafile");
        emf_free(&et_);
        std::ifstream in(scratch_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    void Add(char *record) {
        if (!record || emf_append(reinterpret_cast<PU_ENHMETARECORD>(record), et_, U_REC_FREE))
            throw std::runtime_error("libUEMF cannot append a record");
    }
    static U_RECTL Box(const std::vector<TSignPt> &pts) {
        double x0 = pts[0].x, y0 = pts[0].y, x1 = x0, y1 = y0;
        for (const TSignPt &p : pts) {
            x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
        }
        return rectl_set(point32_set(L(x0), L(y0)), point32_set(L(x1), L(y1)));
    }
    // Selects a solid brush of the colour and no pen.
    void Fill(TSignRgb c) {
        ReleaseObjects();
        Add(createbrushindirect_set(&brush_, eht_, logbrush_set(U_BS_SOLID, colorref3_set(c.r, c.g, c.b), 0)));
        Add(selectobject_set(brush_, eht_));
        Add(selectobject_set(U_NULL_PEN, eht_));
    }
    // Selects a pen of the width (mm) and colour, flat ends and mitred joins, and no brush.
    void Stroke(double w, TSignRgb c) {
        ReleaseObjects();
        const U_LOGPEN lp = logpen_set(U_PS_SOLID | U_PS_GEOMETRIC | U_PS_ENDCAP_FLAT | U_PS_JOIN_MITER,
                                       point_set(L(w), 0), colorref3_set(c.r, c.g, c.b));
        Add(createpen_set(&pen_, eht_, lp));
        Add(selectobject_set(pen_, eht_));
        Add(selectobject_set(U_NULL_BRUSH, eht_));
    }
    void ReleaseObjects() {
        if (brush_ || pen_) {
            Add(selectobject_set(U_NULL_PEN, eht_));
            Add(selectobject_set(U_NULL_BRUSH, eht_));
        }
        if (brush_)
            Add(deleteobject_set(&brush_, eht_));
        if (pen_)
            Add(deleteobject_set(&pen_, eht_));
        brush_ = pen_ = 0;
    }

    std::filesystem::path scratch_;
    EMFTRACK *et_ = nullptr;
    EMFHANDLES *eht_ = nullptr;
    uint32_t brush_ = 0, pen_ = 0;
};

std::string DrawSign(const TContext &ctx, const std::string &shape, const TSignShape &s, const std::string &border,
                     const std::string &fill, const std::string &elements) {
    TEmfCanvas w(ctx.out / ".sign-scratch.emf", s.w, s.h);
    DrawSignDescription(w, shape, s, border, fill, elements);
    return w.Finish();
}

Cp1251String ToCp(const TTable &t, std::size_t row, std::size_t column) {
    Cp1251String s;
    if (!Cp1251String::TryFromUtf8(t.Cell(row, column), s) || s.Empty() || s.Contains(Cp1251String("=")))
        t.Fail(row, column, "expected text in code page 1251 without \"=\"");
    return s;
}

std::string AreaText(double m2) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", m2);
    return buf;
}

} // namespace

void GenerateSigns(const TContext &ctx) {
    enum { Number, Name, Shape, Size, Border, Fill, Elements };
    const TTable t(ctx.sources / "signs" / "signs.tsv", {"number", "name", "shape", "size", "border", "fill", "elements"});
    std::string descriptions, areas;
    std::set<std::string> files;
    for (std::size_t r = 0; r < t.Rows(); ++r) {
        const std::string &number = t.Cell(r, Number);
        std::string file;
        for (char ch : number) {
            if (!(std::isdigit(static_cast<unsigned char>(ch)) || ch == '.'))
                t.Fail(r, Number, "expected a sign number of digits and points");
            file += ch == '.' ? '-' : ch;
        }
        file += ".emf";
        if (!files.insert(file).second)
            t.Fail(r, Number, "sign repeated");
        try {
            const TSignShape s = SignShapeOf(t.Cell(r, Shape), t.Cell(r, Size));
            WriteDataFile(ctx, "DefaultDirs/Каталог библиотеки метафайлов/" + file,
                          DrawSign(ctx, t.Cell(r, Shape), s, t.Cell(r, Border), t.Cell(r, Fill), t.Cell(r, Elements)));
            areas += number + "=" + AreaText(s.area) + "\r\n";
        } catch (const std::invalid_argument &e) {
            t.Fail(r, Elements, e.what());
        }
        descriptions += number + "=" + ToCp(t, r, Name).Bytes() + "\r\n";
    }
    WriteDataFile(ctx, "Знаки/Описания знаков.txt", descriptions);
    WriteDataFile(ctx, "Знаки/Площади знаков.txt", areas);

    enum { MFile, MShape, MSize, MBorder, MFill, MElements };
    const TTable m(ctx.sources / "signs" / "missing.tsv", {"file", "shape", "size", "border", "fill", "elements"});
    for (std::size_t r = 0; r < m.Rows(); ++r) {
        try {
            const TSignShape s = SignShapeOf(m.Cell(r, MShape), m.Cell(r, MSize));
            WriteDataFile(ctx, m.Cell(r, MFile),
                          DrawSign(ctx, m.Cell(r, MShape), s, m.Cell(r, MBorder), m.Cell(r, MFill), m.Cell(r, MElements)));
        } catch (const std::invalid_argument &e) {
            m.Fail(r, MElements, e.what());
        }
    }

    enum { Old, New };
    const TTable tr(ctx.sources / "signs" / "translation.tsv", {"old", "new"});
    std::string translation;
    for (std::size_t r = 0; r < tr.Rows(); ++r) {
        if (!files.count(tr.Cell(r, New)))
            tr.Fail(r, New, "no sign of signs.tsv has this file name");
        translation += ToCp(tr, r, Old).Bytes() + "=" + ToCp(tr, r, New).Bytes() + "\r\n";
    }
    WriteDataFile(ctx, "Знаки/OldLibTranslation.txt", translation);

    const TTable k(ctx.sources / "signs" / "supports.tsv", {"kind"});
    std::string kinds;
    for (std::size_t r = 0; r < k.Rows(); ++r)
        kinds += ToCp(k, r, 0).Bytes() + "\r\n";
    WriteDataFile(ctx, "DefaultDirs/Каталог словарей/Тип опоры знака.txt", kinds);
}

} // namespace datagen
