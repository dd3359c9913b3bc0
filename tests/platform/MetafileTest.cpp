// Enhanced and Windows metafiles written in the test with libUEMF's record writers: loading, saving
// the same bytes, size, and the pixels of a played picture.
#include "platform/gdi/Metafile.h"
#include "platform/PlatformError.h"

#include "support/TestSupport.h"

#include <uemf.h>
#include <uwmf.h>

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

constexpr QRgb White = 0xFFFFFFFF, Red = 0xFFFF0000, Blue = 0xFF0000FF, Green = 0xFF00FF00;

std::vector<uint16_t> Utf16(const char *ascii) {
    std::vector<uint16_t> s;
    for (const char *p = ascii; *p; ++p)
        s.push_back(static_cast<uint8_t>(*p));
    s.push_back(0);
    return s;
}

// A 100 x 100 pixel picture (96 pixels per inch): a red triangle, a blue circle, green text.
class TEmfBuilder {
public:
    explicit TEmfBuilder(const std::string &file) : file_(file) {
        emf_start(file.c_str(), 4096, 4096, &et_);
        emf_htable_create(128, 128, &eht_);
        const U_RECTL bounds = rectl_set(point32_set(0, 0), point32_set(99, 99));
        const U_RECTL frame = rectl_set(point32_set(0, 0), point32_set(2646, 2646)); // 0.01 mm
        Add(U_EMRHEADER_set(bounds, frame, nullptr, 0, nullptr, sizel_set(960, 960), sizel_set(254, 254), 0));
    }
    ~TEmfBuilder() {
        emf_free(&et_);
        emf_htable_free(&eht_);
    }
    void Add(char *record) {
        ASSERT_EQ(emf_append(reinterpret_cast<PU_ENHMETARECORD>(record), et_, U_REC_FREE), 0);
    }
    EMFHANDLES *Handles() { return eht_; }
    void Brush(uint8_t r, uint8_t g, uint8_t b) {
        uint32_t ih = 0;
        Add(createbrushindirect_set(&ih, eht_, logbrush_set(U_BS_SOLID, colorref3_set(r, g, b), 0)));
        Add(selectobject_set(ih, eht_));
    }
    void Picture() {
        Add(U_EMRSETBKMODE_set(U_TRANSPARENT));
        Add(selectobject_set(U_NULL_PEN, eht_));
        Brush(255, 0, 0);
        const U_POINT16 tri[] = {point16_set(10, 10), point16_set(60, 10), point16_set(10, 60)};
        Add(U_EMRPOLYGON16_set(rectl_set(point32_set(10, 10), point32_set(60, 60)), 3, tri));
        Brush(0, 0, 255);
        Add(U_EMRELLIPSE_set(rectl_set(point32_set(60, 60), point32_set(90, 90))));
        std::vector<uint16_t> face = Utf16("Arial");
        U_LOGFONT lf = logfont_set(-20, 0, 0, 0, U_FW_BOLD, 0, 0, 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
                                   U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH, face.data());
        uint32_t font = 0;
        Add(extcreatefontindirectw_set(&font, eht_, reinterpret_cast<const char *>(&lf), nullptr));
        Add(selectobject_set(font, eht_));
        Add(U_EMRSETTEXTCOLOR_set(colorref3_set(0, 255, 0)));
        std::vector<uint16_t> text = Utf16("HH");
        uint32_t dx[] = {14, 14};
        char *t = emrtext_set(point32_set(10, 70), 2, 2, text.data(), U_ETO_NONE,
                              rectl_set(point32_set(0, 0), point32_set(-1, -1)), dx);
        Add(U_EMREXTTEXTOUTW_set(rectl_set(point32_set(10, 70), point32_set(40, 95)), U_GM_COMPATIBLE, 1, 1,
                                 reinterpret_cast<PU_EMRTEXT>(t)));
        std::free(t);
    }
    std::vector<uint8_t> Finish() {
        Add(U_EMREOF_set(0, nullptr, et_));
        EXPECT_EQ(emf_finish(et_, eht_), 0);
        return sptest::ReadFileBytes(file_);
    }

private:
    std::string file_;
    EMFTRACK *et_ = nullptr;
    EMFHANDLES *eht_ = nullptr;
};

// The same picture in the Windows form; placeable or not.
std::vector<uint8_t> WmfPicture(const std::string &file, bool placeable) {
    WMFTRACK *wt = nullptr;
    WMFHANDLES *wht = nullptr;
    wmf_start(file.c_str(), 4096, 4096, &wt);
    wmf_htable_create(128, 128, &wht);
    U_PAIRF *size = U_PAIRF_set(100.0f / 96.0f, 100.0f / 96.0f);
    wmf_header_append(reinterpret_cast<U_METARECORD *>(U_WMRHEADER_set(placeable ? size : nullptr, 96)), wt,
                      1);
    std::free(size);
    const auto add = [&](char *record) {
        wmf_append(reinterpret_cast<U_METARECORD *>(record), wt, U_REC_FREE);
    };
    uint32_t ih = 0, red = 0, pen = 0, blue = 0, font = 0;
    add(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
    add(U_WMRSETWINDOWEXT_set(point16_set(100, 100)));
    add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    add(U_WMRSETBKMODE_set(U_TRANSPARENT));
    // A brush made and deleted first, so that later objects reuse its slot in the object table.
    add(wcreatebrushindirect_set(&ih, wht, U_WLOGBRUSH_set(U_BS_SOLID, colorref3_set(9, 9, 9), 0)));
    add(wcreatebrushindirect_set(&red, wht, U_WLOGBRUSH_set(U_BS_SOLID, colorref3_set(255, 0, 0), 0)));
    add(wdeleteobject_set(&ih, wht));
    add(wcreatepenindirect_set(&pen, wht, U_PEN_set(U_PS_NULL, 1, colorref3_set(0, 0, 0))));
    add(wselectobject_set(pen, wht));
    add(wselectobject_set(red, wht));
    const U_POINT16 tri[] = {point16_set(10, 10), point16_set(60, 10), point16_set(10, 60)};
    add(U_WMRPOLYGON_set(3, tri));
    add(wcreatebrushindirect_set(&blue, wht, U_WLOGBRUSH_set(U_BS_SOLID, colorref3_set(0, 0, 255), 0)));
    add(wselectobject_set(blue, wht));
    add(U_WMRELLIPSE_set(U_RECT16_set(point16_set(60, 60), point16_set(90, 90))));
    char face[] = "Arial";
    U_FONT *f = U_FONT_set(-20, 0, 0, 0, U_FW_BOLD, 0, 0, 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
                           U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH, face);
    add(wcreatefontindirect_set(&font, wht, f));
    std::free(f);
    add(wselectobject_set(font, wht));
    add(U_WMRSETTEXTCOLOR_set(colorref3_set(0, 255, 0)));
    char text[] = "HH";
    add(U_WMRTEXTOUT_set(point16_set(10, 70), text));
    add(U_WMREOF_set());
    EXPECT_EQ(wmf_finish(wt), 0);
    wmf_free(&wt);
    wmf_htable_free(&wht);
    return sptest::ReadFileBytes(file);
}

QImage Play(const TMetafile &m, int w = 100, int h = 100) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(White);
    QPainter p(&img);
    m.Play(p, QRectF(0, 0, w, h));
    return img;
}

int Count(const QImage &img, QRgb colour, const QRect &area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

// The triangle, circle and text at the places the records put them, in pure colours only.
void ExpectPicture(const QImage &img) {
    EXPECT_EQ(img.pixel(20, 20), Red);
    EXPECT_EQ(img.pixel(15, 50), Red);
    EXPECT_EQ(img.pixel(50, 50), White); // beyond the triangle's long edge
    EXPECT_EQ(img.pixel(75, 75), Blue);
    EXPECT_EQ(img.pixel(62, 62), White); // inside the circle's box, outside the circle
    EXPECT_GT(Count(img, Green, QRect(8, 68, 40, 30)), 20);
    EXPECT_EQ(Count(img, Green, QRect(0, 0, 100, 66)), 0);
    std::set<QRgb> colours;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            colours.insert(img.pixel(x, y));
    EXPECT_EQ(colours, (std::set<QRgb>{White, Red, Blue, Green})) << "anti-aliased or stray colours";
}

TEST(Metafile, EnhancedRoundTripsItsBytesAndPlaysItsPicture) {
    sptest::TempDir dir;
    TEmfBuilder b(dir.File("in.emf"));
    b.Picture();
    const std::vector<uint8_t> bytes = b.Finish();
    TMetafile m;
    m.LoadFromFile(dir.File("in.emf"));
    EXPECT_EQ(m.Kind(), TMetafileKind::Enhanced);
    EXPECT_EQ(m.Width(), 100);
    EXPECT_EQ(m.Height(), 100);
    EXPECT_EQ(TMetafile::MeasureLength(bytes.data(), bytes.size()), bytes.size());
    m.SaveToFile(dir.File("out.emf"));
    EXPECT_EQ(sptest::ReadFileBytes(dir.File("out.emf")), bytes);
    ExpectPicture(Play(m));
    // Stretched twice as wide: the triangle's inside moves with it.
    const QImage wide = Play(m, 200, 100);
    EXPECT_EQ(wide.pixel(40, 20), Red);
    EXPECT_EQ(wide.pixel(150, 75), Blue);
    EXPECT_EQ(wide.pixel(75, 75), White);
}

TEST(Metafile, WindowsFormsWithAndWithoutPlaceableHeaderPlayTheSamePicture) {
    sptest::TempDir dir;
    for (bool placeable : {true, false}) {
        SCOPED_TRACE(placeable ? "placeable" : "plain");
        const std::vector<uint8_t> bytes = WmfPicture(dir.File("in.wmf"), placeable);
        TMetafile m;
        m.LoadFromBytes(bytes.data(), bytes.size());
        EXPECT_EQ(m.Kind(), TMetafileKind::Windows);
        EXPECT_EQ(m.Width(), 100);
        EXPECT_EQ(m.Height(), 100);
        EXPECT_EQ(TMetafile::MeasureLength(bytes.data(), bytes.size()), bytes.size());
        m.SaveToFile(dir.File("out.wmf"));
        EXPECT_EQ(sptest::ReadFileBytes(dir.File("out.wmf")), bytes);
        ExpectPicture(Play(m));
    }
}

// Inserts a record after the header of an enhanced metafile, keeping its sizes right.
std::vector<uint8_t> InsertAfterHeader(std::vector<uint8_t> emf, const std::vector<uint8_t> &record) {
    uint32_t headerSize, bytes, records;
    std::memcpy(&headerSize, &emf[4], 4);
    std::memcpy(&bytes, &emf[48], 4);
    std::memcpy(&records, &emf[52], 4);
    emf.insert(emf.begin() + headerSize, record.begin(), record.end());
    bytes += static_cast<uint32_t>(record.size());
    ++records;
    std::memcpy(&emf[48], &bytes, 4);
    std::memcpy(&emf[52], &records, 4);
    return emf;
}

TEST(Metafile, UnknownRecordsAreSkipped) {
    sptest::TempDir dir;
    TEmfBuilder b(dir.File("in.emf"));
    b.Picture();
    const std::vector<uint8_t> plain = b.Finish();
    sptest::ByteBuilder unknown;
    unknown.U32(200).U32(20).U32(0xDEADBEEF).U32(7).U32(9);
    const std::vector<uint8_t> withUnknown = InsertAfterHeader(plain, unknown.Data());
    TMetafile m;
    m.LoadFromBytes(withUnknown.data(), withUnknown.size());
    ExpectPicture(Play(m));
}

TEST(Metafile, MalformedRecordsEndPlaybackWithAnError) {
    sptest::TempDir dir;
    TEmfBuilder b(dir.File("in.emf"));
    b.Picture();
    const std::vector<uint8_t> plain = b.Finish();
    const struct {
        const char *Name;
        std::vector<uint8_t> Record;
    } cases[] = {
        // A 16-bit polygon claiming far more points than it holds (and a count whose byte size wraps).
        {"point count", sptest::ByteBuilder()
                            .U32(86)
                            .U32(36)
                            .I32(0)
                            .I32(0)
                            .I32(9)
                            .I32(9)
                            .U32(0x40000001)
                            .I16(1)
                            .I16(1)
                            .I16(2)
                            .I16(2)
                            .Data()},
        {"polygon counts", sptest::ByteBuilder()
                               .U32(91)
                               .U32(44)
                               .I32(0)
                               .I32(0)
                               .I32(9)
                               .I32(9)
                               .U32(1)
                               .U32(2)
                               .U32(3)
                               .I16(1)
                               .I16(1)
                               .I16(2)
                               .I16(2)
                               .Data()},
        // Text whose string lies beyond the record.
        {"text offset", sptest::ByteBuilder()
                            .U32(84)
                            .U32(76)
                            .I32(0)
                            .I32(0)
                            .I32(9)
                            .I32(9)
                            .U32(1)
                            .F32(1)
                            .F32(1)
                            .I32(5)
                            .I32(5)
                            .U32(4)
                            .U32(0x7FFFFFF0)
                            .U32(0x100)
                            .U32(0)
                            .U32(0)
                            .U32(0)
                            .U32(0)
                            .U32(0)
                            .Data()},
        // A rectangle record too short for its rectangle.
        {"short rectangle", sptest::ByteBuilder().U32(43).U32(16).I32(0).I32(0).Data()},
        // A gradient rectangle naming a corner beyond its one vertex.
        {"gradient vertex", sptest::ByteBuilder()
                                .U32(118)
                                .U32(60)
                                .I32(0)
                                .I32(0)
                                .I32(9)
                                .I32(9)
                                .U32(1)
                                .U32(1)
                                .U32(0)
                                .I32(0)
                                .I32(0)
                                .U16(0)
                                .U16(0)
                                .U16(0)
                                .U16(0)
                                .U32(0)
                                .U32(5)
                                .Data()},
        // Small text of more characters than it holds.
        {"small text count", sptest::ByteBuilder()
                                 .U32(108)
                                 .U32(40)
                                 .I32(0)
                                 .I32(0)
                                 .U32(100)
                                 .U32(0x300)
                                 .U32(1)
                                 .F32(1)
                                 .F32(1)
                                 .U32(0x48484848)
                                 .Data()},
        // A picture whose pixels lie past the record, and one with too few pixels for its size.
        {"bitmap offset", sptest::ByteBuilder()
                              .U32(81)
                              .U32(124)
                              .I32(0)
                              .I32(0)
                              .I32(9)
                              .I32(9)
                              .I32(0)
                              .I32(0)
                              .I32(0)
                              .I32(0)
                              .I32(1)
                              .I32(1)
                              .U32(80)
                              .U32(40)
                              .U32(120)
                              .U32(0x1000)
                              .U32(0)
                              .U32(0x00CC0020)
                              .I32(1)
                              .I32(1)
                              .U32(40)
                              .I32(1)
                              .I32(1)
                              .U16(1)
                              .U16(24)
                              .U32(0)
                              .U32(0)
                              .I32(0)
                              .I32(0)
                              .U32(0)
                              .U32(0)
                              .U32(0)
                              .Data()},
        {"bitmap pixels", sptest::ByteBuilder()
                              .U32(81)
                              .U32(124)
                              .I32(0)
                              .I32(0)
                              .I32(9)
                              .I32(9)
                              .I32(0)
                              .I32(0)
                              .I32(0)
                              .I32(0)
                              .I32(1)
                              .I32(1)
                              .U32(80)
                              .U32(40)
                              .U32(120)
                              .U32(4)
                              .U32(0)
                              .U32(0x00CC0020)
                              .I32(1)
                              .I32(1)
                              .U32(40)
                              .I32(1)
                              .I32(100)
                              .U16(1)
                              .U16(24)
                              .U32(0)
                              .U32(0)
                              .I32(0)
                              .I32(0)
                              .U32(0)
                              .U32(0)
                              .U32(0)
                              .Data()},
        // A filled region claiming more rectangles than it holds.
        {"region count", sptest::ByteBuilder()
                             .U32(71)
                             .U32(80)
                             .I32(0)
                             .I32(0)
                             .I32(9)
                             .I32(9)
                             .U32(48)
                             .U32(0x80000000)
                             .U32(32)
                             .U32(1)
                             .U32(5)
                             .U32(80)
                             .I32(0)
                             .I32(0)
                             .I32(9)
                             .I32(9)
                             .I32(0)
                             .I32(0)
                             .I32(9)
                             .I32(9)
                             .Data()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<uint8_t> bad = InsertAfterHeader(plain, c.Record);
        TMetafile m;
        m.LoadFromBytes(bad.data(), bad.size()); // the framing is sound
        QImage img(50, 50, QImage::Format_RGB32);
        QPainter p(&img);
        try {
            m.Play(p, QRectF(0, 0, 50, 50));
            ADD_FAILURE() << "played without error";
        } catch (const EPlatformError &e) {
            EXPECT_EQ(std::string(e.what()).rfind("TMetafile.Play: record of type", 0), 0u) << e.what();
        }
    }
}

TEST(Metafile, BrokenFilesAreRefusedAndLeaveTheMetafileAsItWas) {
    sptest::TempDir dir;
    TEmfBuilder b(dir.File("in.emf"));
    b.Picture();
    const std::vector<uint8_t> good = b.Finish();
    TMetafile m;
    m.LoadFromBytes(good.data(), good.size());
    std::vector<uint8_t> truncated(good.begin(), good.end() - 8);
    std::vector<uint8_t> badRecordSize = good;
    badRecordSize[good.size() - 20 + 4] = 0xFF; // the end-of-file record's size runs past the end
    std::vector<uint8_t> wmfTruncated = WmfPicture(dir.File("w.wmf"), true);
    wmfTruncated.resize(wmfTruncated.size() - 6);
    const std::vector<std::vector<uint8_t>> broken = {{},        {1, 2, 3},     std::vector<uint8_t>(200, 0),
                                                      truncated, badRecordSize, wmfTruncated};
    for (const auto &bytes : broken) {
        EXPECT_THROW(m.LoadFromBytes(bytes.data(), bytes.size(), "broken.emf"), EPlatformError);
        EXPECT_EQ(m.Bytes(), good);
        EXPECT_EQ(m.Width(), 100);
    }
    try {
        m.LoadFromFile(dir.File("missing.emf"));
        ADD_FAILURE() << "a missing file loaded";
    } catch (const EPlatformError &e) {
        EXPECT_NE(std::string(e.what()).find("missing.emf"), std::string::npos) << e.what();
    }
    EXPECT_EQ(TMetafile::MeasureLength(truncated.data(), 10), 0u);
    EXPECT_EQ(TMetafile::MeasureLength(broken[2].data(), broken[2].size()), 0u);
}

// ---- records beyond lines and text: each fixture draws on a white 100 x 100 picture.

constexpr QRgb Black = 0xFF000000, Yellow = 0xFFFFFF00, Magenta = 0xFFFF00FF;

U_RECTL Box(int l, int t, int r, int b) {
    return rectl_set(point32_set(l, t), point32_set(r, b));
}

// A bitmap and its pixels as the records carry them: 24 bits for colours given top row first, or
// 1 bit (bits given top row first, black for 0 and white for 1 in the colour table).
struct TDib {
    PU_BITMAPINFO Bmi = nullptr;
    std::vector<char> Px;
    TDib(const std::vector<std::vector<QRgb>> &rows) {
        const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size()),
                  stride = (w * 3 + 3) / 4 * 4;
        Bmi = bitmapinfo_set(bitmapinfoheader_set(w, h, 1, 24, U_BI_RGB, 0, 0, 0, 0, 0), nullptr);
        Px.assign(static_cast<std::size_t>(stride * h), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                char *p = &Px[static_cast<std::size_t>((h - 1 - y) * stride + x * 3)];
                p[0] = static_cast<char>(qBlue(rows[y][x]));
                p[1] = static_cast<char>(qGreen(rows[y][x]));
                p[2] = static_cast<char>(qRed(rows[y][x]));
            }
    }
    explicit TDib(const std::vector<uint8_t> &monoRows) { // one byte a row, 8 pixels wide
        U_RGBQUAD colours[2] = {U_BGR(0, 0, 0), U_BGR(255, 255, 255)};
        const int h = static_cast<int>(monoRows.size());
        Bmi = bitmapinfo_set(bitmapinfoheader_set(8, h, 1, 1, U_BI_RGB, 0, 0, 0, 2, 0), colours);
        Px.assign(static_cast<std::size_t>(4 * h), 0);
        for (int y = 0; y < h; ++y)
            Px[static_cast<std::size_t>(4 * (h - 1 - y))] = static_cast<char>(monoRows[y]);
    }
    ~TDib() { std::free(Bmi); }
    TDib(const TDib &) = delete;
    TDib &operator=(const TDib &) = delete;
    uint32_t Size() const { return static_cast<uint32_t>(Px.size()); }
    char *Data() { return Px.data(); }
};

// Plays a picture the test adds records to (after a transparent background and a null pen).
template <typename F> QImage PlayRecords(F &&records) {
    sptest::TempDir dir;
    TEmfBuilder b(dir.File("rec.emf"));
    b.Add(U_EMRSETBKMODE_set(U_TRANSPARENT));
    b.Add(selectobject_set(U_NULL_PEN, b.Handles()));
    records(b);
    const std::vector<uint8_t> bytes = b.Finish();
    TMetafile m;
    m.LoadFromBytes(bytes.data(), bytes.size());
    return Play(m);
}

uint32_t SolidBrush(TEmfBuilder &b, uint8_t r, uint8_t g, uint8_t bl) {
    uint32_t ih = 0;
    b.Add(createbrushindirect_set(&ih, b.Handles(), logbrush_set(U_BS_SOLID, colorref3_set(r, g, bl), 0)));
    return ih;
}

TEST(MetafileRecords, PatternBrushesFillAsPatternsAndEveryCreatedObjectKeepsItsSlot) {
    const QImage img = PlayRecords([](TEmfBuilder &b) {
        // A red brush whose slot, once freed, the colour pattern brush takes: the fill must not come out red.
        uint32_t red = SolidBrush(b, 255, 0, 0);
        b.Add(selectobject_set(red, b.Handles()));
        b.Add(deleteobject_set(&red, b.Handles()));
        TDib checker({{Blue, Green}, {Green, Blue}});
        uint32_t pattern = 0;
        b.Add(createdibpatternbrushpt_set(&pattern, b.Handles(), U_DIB_RGB_COLORS, checker.Bmi,
                                          checker.Size(), checker.Data()));
        b.Add(selectobject_set(pattern, b.Handles()));
        b.Add(U_EMRRECTANGLE_set(Box(0, 0, 40, 40)));
        // A handle naming nothing selects nothing: the pattern stays.
        b.Add(U_EMRSELECTOBJECT_set(77));
        b.Add(U_EMRRECTANGLE_set(Box(50, 0, 90, 40)));
        // A monochrome brush paints its 0 bits in the text colour and its 1 bits in the background's.
        TDib stripes(std::vector<uint8_t>{0x0F, 0x0F});
        uint32_t mono = 0;
        b.Add(createmonobrush_set(&mono, b.Handles(), U_DIB_RGB_COLORS, stripes.Bmi, stripes.Size(),
                                  stripes.Data()));
        b.Add(U_EMRSETTEXTCOLOR_set(colorref3_set(255, 0, 0)));
        b.Add(U_EMRSETBKCOLOR_set(colorref3_set(255, 255, 0)));
        b.Add(selectobject_set(mono, b.Handles()));
        b.Add(U_EMRRECTANGLE_set(Box(0, 50, 40, 90)));
        // A palette made in the slot of a blue brush takes it over: selecting it leaves the mono brush.
        const uint32_t blue = SolidBrush(b, 0, 0, 255);
        U_LOGPLTNTRY entry = logpltntry_set(0, 1, 2, 3);
        PU_LOGPLTNTRY entries = &entry;
        PU_LOGPALETTE palette = logpalette_set(1, &entries);
        b.Add(U_EMRCREATEPALETTE_set(blue, *palette));
        std::free(palette);
        b.Add(U_EMRSELECTOBJECT_set(blue));
        b.Add(U_EMRRECTANGLE_set(Box(50, 50, 90, 90)));
    });
    for (const QPoint origin : {QPoint(10, 10), QPoint(60, 10)}) {
        SCOPED_TRACE(origin.x());
        const QRgb a = img.pixel(origin), right = img.pixel(origin + QPoint(1, 0)),
                   down = img.pixel(origin + QPoint(0, 1));
        EXPECT_TRUE((a == Blue && right == Green) || (a == Green && right == Blue))
            << std::hex << a << " " << right;
        EXPECT_EQ(down, right);
        EXPECT_EQ(img.pixel(origin + QPoint(1, 1)), a);
    }
    for (const QPoint origin : {QPoint(8, 60), QPoint(58, 60)}) {
        SCOPED_TRACE(origin.x());
        std::vector<QRgb> row;
        for (int x = 0; x < 8; ++x)
            row.push_back(img.pixel(origin + QPoint(x, 0)));
        EXPECT_EQ(std::set<QRgb>(row.begin(), row.end()), (std::set<QRgb>{Red, Yellow}));
        EXPECT_EQ(std::count(row.begin(), row.end(), Red), 4);
        EXPECT_EQ(img.pixel(origin), img.pixel(origin + QPoint(0, 1))); // the rows of stripes agree
    }
}

TEST(MetafileRecords, BitmapsArePlacedStretchedAndCombined) {
    const QImage img = PlayRecords([](TEmfBuilder &b) {
        TDib quad({{Red, Green}, {Blue, Black}});
        const U_XFORM same = {1, 0, 0, 1, 0, 0};
        b.Add(U_EMRSTRETCHDIBITS_set(Box(10, 10, 49, 49), point32_set(10, 10), point32_set(40, 40),
                                     point32_set(0, 0), point32_set(2, 2), U_DIB_RGB_COLORS, U_SRCCOPY,
                                     quad.Bmi, quad.Size(), quad.Data()));
        b.Add(U_EMRSTRETCHBLT_set(Box(60, 10, 79, 29), point32_set(60, 10), point32_set(20, 20),
                                  point32_set(0, 0), point32_set(2, 2), same, colorref3_set(255, 255, 255),
                                  U_DIB_RGB_COLORS, U_SRCCOPY, quad.Bmi, quad.Size(), quad.Data()));
        b.Add(U_EMRBITBLT_set(Box(60, 60, 61, 61), point32_set(60, 60), point32_set(2, 2), point32_set(0, 0),
                              same, colorref3_set(255, 255, 255), U_DIB_RGB_COLORS, U_SRCCOPY, quad.Bmi,
                              quad.Size(), quad.Data()));
        // A blit without a picture paints the brush; an inverting blit of the same picture over it.
        b.Add(selectobject_set(SolidBrush(b, 255, 0, 255), b.Handles()));
        b.Add(U_EMRBITBLT_set(Box(10, 60, 29, 79), point32_set(10, 60), point32_set(20, 20),
                              point32_set(0, 0), same, colorref3_set(255, 255, 255), U_DIB_RGB_COLORS,
                              U_PATCOPY, nullptr, 0, nullptr));
        b.Add(U_EMRSTRETCHBLT_set(Box(10, 60, 29, 79), point32_set(10, 60), point32_set(20, 20),
                                  point32_set(0, 0), point32_set(2, 2), same, colorref3_set(255, 255, 255),
                                  U_DIB_RGB_COLORS, U_SRCINVERT, quad.Bmi, quad.Size(), quad.Data()));
        b.Add(U_EMRSETPIXELV_set(point32_set(95, 95), colorref3_set(0, 0, 255)));
    });
    EXPECT_EQ(img.pixel(15, 15), Red);
    EXPECT_EQ(img.pixel(45, 15), Green);
    EXPECT_EQ(img.pixel(15, 45), Blue);
    EXPECT_EQ(img.pixel(45, 45), Black);
    EXPECT_EQ(img.pixel(9, 9), White);
    EXPECT_EQ(img.pixel(62, 12), Red);
    EXPECT_EQ(img.pixel(77, 27), Black);
    EXPECT_EQ(img.pixel(60, 60), Red);
    EXPECT_EQ(img.pixel(61, 61), Black);
    EXPECT_EQ(img.pixel(62, 62), White);
    EXPECT_EQ(img.pixel(12, 62), Blue); // magenta xor red
    EXPECT_EQ(img.pixel(27, 62), 0xFFFF00FFu ^ 0x0000FF00u);
    EXPECT_EQ(img.pixel(27, 77), Magenta); // xor black
    EXPECT_EQ(img.pixel(95, 95), Blue);
    EXPECT_EQ(Count(img, Blue, QRect(90, 90, 10, 10)), 1);
}

TEST(MetafileRecords, MixModesCombineTheBrushWithWhatLiesBelow) {
    const struct {
        uint32_t Mode;
        QRgb Expected; // blue drawn over magenta
    } cases[] = {
        {U_R2_COPYPEN, Blue}, {U_R2_XORPEN, Red},       {U_R2_NOT, Green},   {U_R2_MASKPEN, Blue},
        {U_R2_NOP, Magenta},  {U_R2_MERGEPEN, Magenta}, {U_R2_BLACK, Black}, {U_R2_WHITE, White},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Mode);
        const QImage img = PlayRecords([&](TEmfBuilder &b) {
            b.Add(selectobject_set(SolidBrush(b, 255, 0, 255), b.Handles()));
            b.Add(U_EMRRECTANGLE_set(Box(0, 0, 100, 100)));
            b.Add(U_EMRSETROP2_set(c.Mode));
            b.Add(selectobject_set(SolidBrush(b, 0, 0, 255), b.Handles()));
            b.Add(U_EMRRECTANGLE_set(Box(20, 20, 60, 60)));
        });
        EXPECT_EQ(img.pixel(40, 40), c.Expected) << std::hex << img.pixel(40, 40);
        EXPECT_EQ(img.pixel(80, 80), Magenta);
    }
}

TEST(MetafileRecords, GradientsShadeBetweenTheirCornerColours) {
    const QImage img = PlayRecords([](TEmfBuilder &b) {
        U_TRIVERTEX v[] = {{0, 0, 0xFF00, 0, 0, 0},
                           {100, 40, 0, 0, 0xFF00, 0},
                           {10, 50, 0xFF00, 0, 0, 0},
                           {90, 50, 0, 0xFF00, 0, 0},
                           {10, 98, 0, 0, 0xFF00, 0}};
        const uint32_t rect[] = {0, 1}, triangle[] = {0, 1, 2};
        b.Add(U_EMRGRADIENTFILL_set(Box(0, 0, 99, 39), 2, 1, U_GRADIENT_FILL_RECT_H, v, rect));
        b.Add(U_EMRGRADIENTFILL_set(Box(10, 50, 90, 98), 3, 1, U_GRADIENT_FILL_TRIANGLE, v + 2, triangle));
    });
    const auto near = [&](int x, int y, int r, int g, int bl) {
        const QColor c = img.pixelColor(x, y);
        EXPECT_LE(std::abs(c.red() - r) + std::abs(c.green() - g) + std::abs(c.blue() - bl), 40)
            << x << "," << y << " is " << c.name().toStdString();
    };
    near(1, 20, 255, 0, 0);
    near(98, 20, 0, 0, 255);
    near(50, 20, 128, 0, 128);
    near(11, 51, 255, 0, 0);
    near(86, 51, 0, 255, 0);
    near(11, 95, 0, 0, 255);
    EXPECT_EQ(img.pixel(80, 90), White); // beyond the triangle's long side
    EXPECT_EQ(img.pixel(50, 45), White);
}

TEST(MetafileRecords, ArcsTextMiterLimitAndBrushOrigin) {
    const QImage arc = PlayRecords([](TEmfBuilder &b) {
        b.Add(selectobject_set(U_BLACK_PEN, b.Handles()));
        b.Add(U_EMRMOVETOEX_set(point32_set(10, 50)));
        // A line to the arc's start, the upper half counter-clockwise, then on from the arc's end.
        b.Add(U_EMRARCTO_set(Box(30, 30, 70, 70), point32_set(80, 50), point32_set(20, 50)));
        b.Add(U_EMRLINETO_set(point32_set(50, 90)));
    });
    EXPECT_GT(Count(arc, Black, QRect(18, 48, 4, 4)), 0);
    EXPECT_GT(Count(arc, Black, QRect(45, 28, 10, 4)), 0);
    EXPECT_EQ(Count(arc, Black, QRect(55, 60, 15, 15)), 0); // no lower half
    EXPECT_GT(Count(arc, Black, QRect(38, 68, 6, 4)), 0);   // the line from the arc's end

    const QImage text = PlayRecords([](TEmfBuilder &b) {
        std::vector<uint16_t> face = Utf16("Arial");
        U_LOGFONT lf = logfont_set(-20, 0, 0, 0, U_FW_BOLD, 0, 0, 0, U_ANSI_CHARSET, U_OUT_DEFAULT_PRECIS,
                                   U_CLIP_DEFAULT_PRECIS, U_DEFAULT_QUALITY, U_DEFAULT_PITCH, face.data());
        uint32_t font = 0;
        b.Add(extcreatefontindirectw_set(&font, b.Handles(), reinterpret_cast<const char *>(&lf), nullptr));
        b.Add(selectobject_set(font, b.Handles()));
        b.Add(U_EMRSETTEXTCOLOR_set(colorref3_set(0, 255, 0)));
        // Written by hand: 8-bit characters, then 16-bit ones, neither with a rectangle.
        const auto small = [&](int y, uint32_t options, std::string_view text) {
            const std::vector<uint8_t> rec = sptest::ByteBuilder()
                                                 .U32(U_EMR_SMALLTEXTOUT)
                                                 .U32(40)
                                                 .I32(10)
                                                 .I32(y)
                                                 .U32(2)
                                                 .U32(options)
                                                 .U32(U_GM_COMPATIBLE)
                                                 .F32(1)
                                                 .F32(1)
                                                 .Bytes(text)
                                                 .Data();
            char *copy = static_cast<char *>(std::malloc(rec.size()));
            std::memcpy(copy, rec.data(), rec.size());
            b.Add(copy);
        };
        small(10, U_ETO_SMALL_CHARS | U_ETO_NO_RECT, std::string_view("HH\0\0", 4));
        small(60, U_ETO_NO_RECT, std::string_view("H\0H\0", 4));
    });
    EXPECT_GT(Count(text, Green, QRect(8, 8, 40, 28)), 20);
    EXPECT_GT(Count(text, Green, QRect(8, 58, 40, 28)), 20);
    EXPECT_EQ(Count(text, Green, QRect(0, 38, 100, 18)), 0);

    // A sharp join of a wide mitred pen reaches far past the corner unless the limit cuts it.
    for (const uint32_t limit : {0u, 1u}) {
        SCOPED_TRACE(limit);
        const QImage join = PlayRecords([&](TEmfBuilder &b) {
            if (limit != 0)
                b.Add(U_EMRSETMITERLIMIT_set(limit));
            uint32_t pen = 0;
            b.Add(createpen_set(&pen, b.Handles(),
                                logpen_set(U_PS_SOLID | U_PS_GEOMETRIC | U_PS_JOIN_MITER, point32_set(10, 0),
                                           colorref3_set(0, 0, 0))));
            b.Add(selectobject_set(pen, b.Handles()));
            const U_POINT16 v[] = {point16_set(40, 98), point16_set(50, 30), point16_set(60, 98)};
            b.Add(U_EMRPOLYLINE16_set(Box(40, 30, 60, 98), 3, v));
        });
        EXPECT_EQ(join.pixel(50, 12), limit == 0 ? Black : White);
        EXPECT_EQ(join.pixel(50, 30), Black);
    }

    // The origin moves where a pattern starts.
    QRgb at10[2];
    for (const int origin : {0, 1}) {
        const QImage fill = PlayRecords([&](TEmfBuilder &b) {
            TDib pair(std::vector<std::vector<QRgb>>{{Red, Blue}});
            uint32_t brush = 0;
            b.Add(createdibpatternbrushpt_set(&brush, b.Handles(), U_DIB_RGB_COLORS, pair.Bmi, pair.Size(),
                                              pair.Data()));
            b.Add(selectobject_set(brush, b.Handles()));
            b.Add(U_EMRSETBRUSHORGEX_set(point32_set(origin, 0)));
            b.Add(U_EMRRECTANGLE_set(Box(0, 0, 50, 50)));
        });
        at10[origin] = fill.pixel(10, 10);
        EXPECT_NE(fill.pixel(10, 10), fill.pixel(11, 10));
    }
    EXPECT_EQ(at10[0], Red);
    EXPECT_EQ(at10[1], Blue);
}

TEST(MetafileRecords, RegionsAreFilledFramedPaintedInvertedAndTheClipMoves) {
    const QImage img = PlayRecords([](TEmfBuilder &b) {
        const auto region = [](std::vector<U_RECTL> rects) {
            U_RECTL bound = rects[0];
            return rgndata_set(rgndataheader_set(static_cast<uint32_t>(rects.size()), bound), rects.data());
        };
        const uint32_t blue = SolidBrush(b, 0, 0, 255), red = SolidBrush(b, 255, 0, 0);
        PU_RGNDATA two = region({Box(10, 10, 30, 30), Box(20, 20, 40, 40)});
        b.Add(U_EMRFILLRGN_set(Box(10, 10, 40, 40), blue, two));
        PU_RGNDATA square = region({Box(50, 10, 90, 50)});
        b.Add(U_EMRFRAMERGN_set(Box(50, 10, 90, 50), red, sizel_set(3, 3), square));
        b.Add(selectobject_set(SolidBrush(b, 0, 255, 0), b.Handles()));
        PU_RGNDATA painted = region({Box(10, 60, 30, 80)});
        b.Add(U_EMRPAINTRGN_set(painted));
        PU_RGNDATA inverted = region({Box(20, 70, 40, 90)});
        b.Add(U_EMRINVERTRGN_set(inverted));
        // A clip moved right by 20: the fill shows at 70 .. 90, not at 50 .. 70.
        b.Add(U_EMRINTERSECTCLIPRECT_set(Box(50, 60, 70, 80)));
        b.Add(U_EMROFFSETCLIPRGN_set(point32_set(20, 0)));
        b.Add(selectobject_set(blue, b.Handles()));
        b.Add(U_EMRRECTANGLE_set(Box(50, 60, 100, 100)));
        for (PU_RGNDATA r : {two, square, painted, inverted})
            std::free(r);
    });
    EXPECT_EQ(img.pixel(15, 15), Blue);
    EXPECT_EQ(img.pixel(35, 35), Blue);
    EXPECT_EQ(img.pixel(35, 15), White);
    EXPECT_EQ(img.pixel(51, 30), Red);
    EXPECT_EQ(img.pixel(88, 30), Red);
    EXPECT_EQ(img.pixel(70, 11), Red);
    EXPECT_EQ(img.pixel(70, 30), White);
    EXPECT_EQ(img.pixel(15, 65), Green);
    EXPECT_EQ(img.pixel(25, 75), Magenta); // green inverted
    EXPECT_EQ(img.pixel(35, 85), Black);   // white inverted
    EXPECT_EQ(img.pixel(60, 70), White);
    EXPECT_EQ(img.pixel(80, 70), Blue);
    EXPECT_EQ(img.pixel(80, 85), White);
}

TEST(MetafileRecords, WindowsFormPicturesPatternsMixModesAndPixels) {
    sptest::TempDir dir;
    const std::string file = dir.File("rec.wmf");
    WMFTRACK *wt = nullptr;
    WMFHANDLES *wht = nullptr;
    wmf_start(file.c_str(), 4096, 4096, &wt);
    wmf_htable_create(128, 128, &wht);
    wmf_header_append(reinterpret_cast<U_METARECORD *>(U_WMRHEADER_set(nullptr, 96)), wt, 1);
    const auto add = [&](char *record) {
        wmf_append(reinterpret_cast<U_METARECORD *>(record), wt, U_REC_FREE);
    };
    add(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
    add(U_WMRSETWINDOWEXT_set(point16_set(100, 100)));
    add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    uint32_t pen = 0, pattern = 0, red = 0;
    add(wcreatepenindirect_set(&pen, wht, U_PEN_set(U_PS_NULL, 1, colorref3_set(0, 0, 0))));
    add(wselectobject_set(pen, wht));
    // A solid brush deleted first: the pattern brush takes its slot and its selection must not fill red.
    add(wcreatebrushindirect_set(&red, wht, U_WLOGBRUSH_set(U_BS_SOLID, colorref3_set(255, 0, 0), 0)));
    add(wselectobject_set(red, wht));
    add(wdeleteobject_set(&red, wht));
    TDib checker({{Blue, Green}, {Green, Blue}});
    add(wcreatedibpatternbrush_srcdib_set(&pattern, wht, U_DIB_RGB_COLORS, checker.Bmi, checker.Size(),
                                          checker.Data()));
    add(wselectobject_set(pattern, wht));
    add(U_WMRRECTANGLE_set(U_RECT16_set(point16_set(0, 0), point16_set(40, 40))));
    TDib quad({{Red, Green}, {Blue, Black}});
    add(U_WMRSTRETCHDIB_set(point16_set(50, 0), point16_set(40, 40), point16_set(0, 0), point16_set(2, 2),
                            U_DIB_RGB_COLORS, U_SRCCOPY, quad.Bmi, quad.Size(), quad.Data()));
    add(U_WMRDIBSTRETCHBLT_set(point16_set(0, 50), point16_set(20, 20), point16_set(0, 0), point16_set(2, 2),
                               U_SRCCOPY, quad.Bmi, quad.Size(), quad.Data()));
    add(U_WMRDIBBITBLT_set(point16_set(30, 50), point16_set(2, 2), point16_set(0, 0), U_SRCCOPY, quad.Bmi,
                           quad.Size(), quad.Data()));
    add(U_WMRSETPIXEL_set(colorref3_set(0, 0, 255), point16_set(95, 95)));
    // A yellow square painted in the inverting mix over white comes out blue.
    uint32_t yellow = 0;
    add(wcreatebrushindirect_set(&yellow, wht, U_WLOGBRUSH_set(U_BS_SOLID, colorref3_set(255, 255, 0), 0)));
    add(wselectobject_set(yellow, wht));
    add(U_WMRSETROP2_set(U_R2_XORPEN));
    add(U_WMRRECTANGLE_set(U_RECT16_set(point16_set(50, 60), point16_set(70, 80))));
    add(U_WMREOF_set());
    ASSERT_EQ(wmf_finish(wt), 0);
    wmf_free(&wt);
    wmf_htable_free(&wht);
    const std::vector<uint8_t> bytes = sptest::ReadFileBytes(file);
    TMetafile m;
    m.LoadFromBytes(bytes.data(), bytes.size());
    const QImage img = Play(m);
    const QRgb a = img.pixel(10, 10), right = img.pixel(11, 10);
    EXPECT_TRUE((a == Blue && right == Green) || (a == Green && right == Blue)) << std::hex << a;
    EXPECT_EQ(img.pixel(11, 11), a);
    EXPECT_EQ(img.pixel(55, 5), Red);
    EXPECT_EQ(img.pixel(85, 35), Black);
    EXPECT_EQ(img.pixel(85, 5), Green);
    EXPECT_EQ(img.pixel(2, 52), Red);
    EXPECT_EQ(img.pixel(2, 68), Blue);
    EXPECT_EQ(img.pixel(30, 50), Red);
    EXPECT_EQ(img.pixel(31, 51), Black);
    EXPECT_EQ(Count(img, Blue, QRect(90, 90, 10, 10)), 1);
    EXPECT_EQ(img.pixel(60, 70), Blue);
}

// The old form of a pattern brush, laid out byte by byte: the record's header, a device bitmap's header
// (type, width, height, bytes a row, planes, bits a pixel, a 4-byte pointer), 18 reserved bytes, the rows.
char *OldPatternBrushRecord(int16_t width, int16_t height, uint8_t planes, uint8_t bitsPixel,
                            const std::vector<uint8_t> &rows) {
    std::vector<uint8_t> rec(6);
    const auto u16 = [&](uint16_t v) {
        rec.push_back(uint8_t(v));
        rec.push_back(uint8_t(v >> 8));
    };
    u16(0), u16(uint16_t(width)), u16(uint16_t(height));
    u16(uint16_t(((std::max<int>(width, 0) * bitsPixel + 15) >> 4) << 1));
    rec.push_back(planes);
    rec.push_back(bitsPixel);
    rec.insert(rec.end(), 4 + 18, 0);
    rec.insert(rec.end(), rows.begin(), rows.end());
    if (rec.size() % 2 != 0)
        rec.push_back(0);
    const uint32_t words = uint32_t(rec.size() / 2);
    std::memcpy(rec.data(), &words, 4);
    rec[4] = 0xF9, rec[5] = 0x01;
    char *out = static_cast<char *>(std::malloc(rec.size()));
    std::memcpy(out, rec.data(), rec.size());
    return out;
}

// A red brush made, selected and deleted; the old-form pattern brush in its slot, selected; text red and
// background yellow; the whole picture filled.
std::vector<uint8_t> OldPatternPicture(const std::string &file, char *patternRecord) {
    WMFTRACK *wt = nullptr;
    WMFHANDLES *wht = nullptr;
    wmf_start(file.c_str(), 4096, 4096, &wt);
    wmf_htable_create(128, 128, &wht);
    wmf_header_append(reinterpret_cast<U_METARECORD *>(U_WMRHEADER_set(nullptr, 96)), wt, 1);
    const auto add = [&](char *record) {
        wmf_append(reinterpret_cast<U_METARECORD *>(record), wt, U_REC_FREE);
    };
    add(U_WMRSETWINDOWORG_set(point16_set(0, 0)));
    add(U_WMRSETWINDOWEXT_set(point16_set(100, 100)));
    add(U_WMRSETMAPMODE_set(U_MM_ANISOTROPIC));
    uint32_t pen = 0, red = 0, pattern = 0;
    add(wcreatepenindirect_set(&pen, wht, U_PEN_set(U_PS_NULL, 1, colorref3_set(0, 0, 0))));
    add(wselectobject_set(pen, wht));
    add(wcreatebrushindirect_set(&red, wht, U_WLOGBRUSH_set(U_BS_SOLID, colorref3_set(255, 0, 0), 0)));
    add(wselectobject_set(red, wht));
    add(wdeleteobject_set(&red, wht));
    // The slot taken as the library's own makers of objects take it (its numbers count from 1 there).
    wmf_htable_insert(&pattern, wht);
    --pattern;
    add(patternRecord);
    add(wselectobject_set(pattern, wht));
    add(U_WMRSETTEXTCOLOR_set(colorref3_set(255, 0, 0)));
    add(U_WMRSETBKCOLOR_set(colorref3_set(255, 255, 0)));
    add(U_WMRRECTANGLE_set(U_RECT16_set(point16_set(0, 0), point16_set(101, 101))));
    add(U_WMREOF_set());
    EXPECT_EQ(wmf_finish(wt), 0);
    wmf_free(&wt);
    wmf_htable_free(&wht);
    return sptest::ReadFileBytes(file);
}

TEST(MetafileRecords, OldFormPatternBrushesFillAsPatterns) {
    const auto bgr = [](QRgb c, int pad) {
        std::vector<uint8_t> v{uint8_t(qBlue(c)), uint8_t(qGreen(c)), uint8_t(qRed(c))};
        v.insert(v.end(), pad, 0);
        return v;
    };
    const auto cat = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> v;
        for (const auto &p : parts)
            v.insert(v.end(), p.begin(), p.end());
        return v;
    };
    // Letters of the colours expected, one string a pattern row; the fill may start anywhere in the
    // pattern, but must repeat it.
    const struct {
        const char *Name;
        int16_t Width, Height;
        uint8_t Bits;
        std::vector<uint8_t> Rows;
        std::vector<std::string> Expected;
    } cases[] = {
        // 0 bits in the text colour, 1 bits in the background's; rows padded to 16 bits.
        {"one bit", 8, 2, 1, {0x0F, 0x00, 0xF0, 0x00}, {"RRRRYYYY", "YYYYRRRR"}},
        {"one bit, 12 wide", 12, 1, 1, {0x00, 0x30}, {"RRRRRRRRRRYY"}},
        // Three 24-bit pixels take 9 bytes and a byte of padding.
        {"24 bits", 3, 1, 24, cat({bgr(Blue, 0), bgr(Green, 0), bgr(White, 1)}), {"BGW"}},
        {"32 bits", 2, 2, 32, cat({bgr(Blue, 1), bgr(Green, 1), bgr(Green, 1), bgr(Blue, 1)}), {"BG", "GB"}},
        // Device colours of 8 bits have no palette here: a plain black fill, never the red brush before.
        {"8 bits", 2, 1, 8, {1, 2}, {"K"}},
    };
    const auto letter = [](QRgb c) {
        switch (c) {
        case Blue:
            return 'B';
        case Green:
            return 'G';
        case Red:
            return 'R';
        case Yellow:
            return 'Y';
        case White:
            return 'W';
        case Black:
            return 'K';
        default:
            return '?';
        }
    };
    sptest::TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<uint8_t> bytes = OldPatternPicture(
            dir.File("old.wmf"), OldPatternBrushRecord(c.Width, c.Height, 1, c.Bits, c.Rows));
        TMetafile m;
        m.LoadFromBytes(bytes.data(), bytes.size());
        const QImage img = Play(m);
        const int w = int(c.Expected[0].size()), h = int(c.Expected.size());
        std::vector<std::string> got(std::size_t(2 * h), std::string());
        for (int y = 0; y < 2 * h; ++y)
            for (int x = 0; x < 2 * w; ++x)
                got[std::size_t(y)] += letter(img.pixel(40 + x, 40 + y));
        bool matches = false;
        for (int ky = 0; ky < h && !matches; ++ky)
            for (int kx = 0; kx < w && !matches; ++kx) {
                matches = true;
                for (int y = 0; y < 2 * h; ++y)
                    for (int x = 0; x < 2 * w; ++x)
                        matches =
                            matches && got[std::size_t(y)][std::size_t(x)] ==
                                           c.Expected[std::size_t((y + ky) % h)][std::size_t((x + kx) % w)];
            }
        std::string shown;
        for (const std::string &row : got)
            shown += row + "|";
        EXPECT_TRUE(matches) << shown;
    }
}

// Sizes and counts are checked against the record: a broken one stops the picture with an error that
// names the record, never reads past it.
TEST(MetafileRecords, OldFormPatternBrushesOfBrokenSizesStopThePicture) {
    const struct {
        const char *Name;
        int16_t Width, Height;
        uint8_t Planes, Bits;
        std::size_t RowBytes;
    } cases[] = {
        {"no width", 0, 4, 1, 1, 0},
        {"negative height", 8, -2, 1, 1, 4},
        {"two planes", 8, 1, 2, 1, 2},
        {"rows cut short", 16, 8, 1, 1, 14},
        {"colour rows cut short", 4, 4, 1, 24, 44},
    };
    sptest::TempDir dir;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<uint8_t> bytes = OldPatternPicture(
            dir.File("bad.wmf"), OldPatternBrushRecord(c.Width, c.Height, c.Planes, c.Bits,
                                                       std::vector<uint8_t>(c.RowBytes, 0x55)));
        TMetafile m;
        m.LoadFromBytes(bytes.data(), bytes.size());
        QImage img(100, 100, QImage::Format_RGB32);
        QPainter p(&img);
        try {
            m.Play(p, QRectF(0, 0, 100, 100));
            ADD_FAILURE() << "played without error";
        } catch (const EPlatformError &e) {
            EXPECT_EQ(std::string(e.what()).rfind("TMetafile.Play: record of type", 0), 0u) << e.what();
        }
    }
}

} // namespace
