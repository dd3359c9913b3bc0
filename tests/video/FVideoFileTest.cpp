// The survey file reader on small files put together byte by byte: refusal of bad files, recoverable
// disagreements, frame search by time, pose smoothing and tie corrections, tracks, data holders, ties on
// disk and the placement of data written back.
#include "engine/GPSCalc3.h"
#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "platform/gdi/Bitmap.h"
#include "shell/ScriptedPrompts.h"
#include "support/TestSupport.h"
#include "video/FVideo.h"
#include "video/SurveyBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>

using namespace surveytest;
using testing::HasSubstr;

namespace {

constexpr double Pi = std::numbers::pi;

TFileSpec TwoStreams() {
    TFileSpec s;
    s.Streams.resize(2);
    s.Streams[0].Frames = Straight(5, 0, 0, 0.5);
    s.Streams[0].Cam = {1, 2, 3, 0.1, 0.2, 0.3, 1.2, 99};
    s.Streams[0].Blobs = {{"Note", Text("abc")}};
    s.Streams[1].Frames = Straight(3, 10, 0, 0.5, 50);
    s.FileBlobs = {{"Platform", Bytes(std::array<float, 6>{1, 2, 3, 4, 5, 6}.data(), 24)}};
    return s;
}

class FVideoFileTest : public testing::Test {
protected:
    // The pictures of stream 0's frames of an undamaged file built to the description, decoded straight from
    // the bytes the builder put there by a coder of their own (no sharpening).
    static std::vector<std::vector<uint8_t>> IntactFrames(const TFileSpec &spec) {
        const TBuilt built = Build(spec);
        TOrsekPegCoder coder(spec.Width, spec.Height, spec.Quality);
        std::vector<uint8_t> yuv(static_cast<std::size_t>(coder.ImageSize()));
        std::vector<std::vector<uint8_t>> frames;
        for (std::size_t k = 0; k < built.FramePos[0].size(); ++k) {
            const auto at = static_cast<std::size_t>(built.FramePos[0][k]);
            uint32_t size = 0;
            std::memcpy(&size, &built.Bytes[static_cast<std::size_t>(built.IndexPos[0]) + 12 * k + 8], 4);
            coder.UnPackImage(yuv.data(), coder.ImageSize(), &built.Bytes[at], static_cast<int32_t>(size));
            TFrameBitmap bmp;
            bmp.SetSize(spec.Width, spec.Height);
            YuvToBitmap(bmp, yuv.data(), spec.Width, spec.Height);
            frames.push_back(bmp.Bits);
        }
        return frames;
    }
    std::string Write(const std::vector<uint8_t> &bytes, const std::string &name = "s.FVideo") {
        const std::string f = dir_.File(name);
        sptest::WriteFileBytes(f, bytes);
        return f;
    }
    std::unique_ptr<TFVideoFile> Open(const TFileSpec &spec, bool writable = false) {
        return std::make_unique<TFVideoFile>(Write(Build(spec).Bytes), writable);
    }
    sptest::TempDir dir_;
};

// ---- refused files ---------------------------------------------------------------------------------

struct TCorruption {
    const char *Name;
    std::function<void(TFileSpec &)> Spec;                             // changes before building
    std::function<void(std::vector<uint8_t> &, const TBuilt &)> Bytes; // changes after building
    const char *Error;
};

TEST_F(FVideoFileTest, BadFilesAreRefusedWithClearErrors) {
    auto blob = [](TFileSpec &s, const std::string &n, std::vector<uint8_t> d) {
        s.FileBlobs.push_back({n, d});
    };
    const TCorruption cases[] = {
        {"tag length", nullptr, [](auto &b, auto &) { b[0] = 5; },
         "TFVideoFile.Create: FileTag<>CurrentFileTag"},
        {"tag text", nullptr, [](auto &b, auto &) { b[6] = 'X'; },
         "TFVideoFile.Create: FileTag<>CurrentFileTag"},
        {"version", [](auto &s) { s.Version = 2; }, nullptr, "TFVideoFile.Create: Version<>CurrentVersion"},
        {"short header", nullptr, [](auto &b, auto &) { b.resize(30); },
         "TFVideoFile.Create: unexpected end"},
        {"empty", nullptr, [](auto &b, auto &) { b.clear(); }, "TFVideoFile.Create: unexpected end"},
        {"stream count", nullptr, [](auto &b, auto &) { Poke<uint32_t>(b, 20, 0x7FFFFFFF); },
         "exceeds the data"},
        {"width", [](auto &s) { s.Width = 24; }, nullptr, "bad frame format"},
        {"height", nullptr, [](auto &b, auto &) { Poke<int32_t>(b, 28, -16); }, "bad frame format"},
        {"quality", nullptr, [](auto &b, auto &) { Poke<int32_t>(b, 32, 40); }, "bad frame format"},
        {"base time", [](auto &s) { s.BaseTime = std::numeric_limits<double>::quiet_NaN(); }, nullptr,
         "base date-time"},
        {"file holder", nullptr, [](auto &b, auto &) { Poke<uint32_t>(b, 44, 100000); },
         "the file's data holder at"},
        {"file holder position", nullptr, [](auto &b, auto &) { Poke<int64_t>(b, 36, -8); },
         "the file's data holder at -8"},
        {"index", nullptr, [](auto &b, auto &) { Poke<int64_t>(b, 48, int64_t(1) << 62); },
         "stream 0: the frame index at"},
        {"index size", nullptr, [](auto &b, auto &) { Poke<uint32_t>(b, 148 + 8, 0xFFFFFFF0u); },
         "stream 1: the frame index at"},
        {"index over the header", nullptr, [](auto &b, auto &) { Poke<int64_t>(b, 148, 40); },
         "stream 1: the frame index at 40 overlaps the header and stream records"},
        {"records over the stream records", nullptr, [](auto &b, auto &) { Poke<int64_t>(b, 48 + 12, 200); },
         "stream 0: the frame records at 200 overlaps"},
        {"records", nullptr, [](auto &b, auto &) { Poke<uint32_t>(b, 48 + 20, 0xFFFFFFC0u); },
         "stream 0: the frame records at"},
        {"stream holder", nullptr, [](auto &b, auto &) { Poke<int64_t>(b, 48 + 88, -1); },
         "stream 0: the data holder at"},
        {"camera parameter", [](auto &s) { s.Streams[1].Cam[3] = std::numeric_limits<double>::infinity(); },
         nullptr, "stream 1: camera parameter 3"},
        {"camera parameter beyond single", [](auto &s) { s.Streams[0].Cam[6] = 1e300; }, nullptr,
         "camera parameter 6"},
        {"blob count", nullptr, [](auto &b, const TBuilt &t) { Poke<uint32_t>(b, t.FileHolderPos, 1000); },
         "blob count 1000 does not fit"},
        {"blob name", nullptr, [](auto &b, const TBuilt &t) { b[t.FileHolderPos + 4] = 16; },
         "blob name of 16 characters"},
        {"blob size", nullptr, [](auto &b, const TBuilt &t) { Poke<uint32_t>(b, t.FileHolderPos + 20, 25); },
         "runs past the data holder"},
        {"stream blob size", nullptr,
         [](auto &b, const TBuilt &t) { Poke<uint32_t>(b, t.HolderPos[0] + 20, 4); },
         "runs past the data holder"},
        {"ConvParams size", [&](auto &s) { blob(s, "ConvParams", std::vector<uint8_t>(63)); }, nullptr,
         "the blob ConvParams of"},
        {"ConvXYZ size", [&](auto &s) { blob(s, "ConvXYZ", std::vector<uint8_t>(12)); }, nullptr,
         "the blob ConvXYZ of"},
        {"converter scale 0",
         [&](auto &s) {
             const double p[8] = {4e6, 2e6, 4e6, 0, 0, 0, 0, 0};
             blob(s, "ConvParams", Bytes(p, 64));
         },
         nullptr, "bad converter parameters"},
        {"converter on the axis",
         [&](auto &s) {
             const double p[3] = {0, 0, 6.3e6};
             blob(s, "ConvXYZ", Bytes(p, 24));
         },
         nullptr, "bad converter parameters"},
        {"lost frame file", [&](auto &s) { blob(s, "LVideoReference", Text("nowhere/x.LVideo")); }, nullptr,
         "Указанный файл LVideo не найден: nowhere/x.LVideo"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TFileSpec spec = TwoStreams();
        if (c.Spec)
            c.Spec(spec);
        TBuilt built = Build(spec);
        if (c.Bytes)
            c.Bytes(built.Bytes, built);
        const std::string f = Write(built.Bytes);
        try {
            TFVideoFile v(f, false);
            ADD_FAILURE() << "opened";
        } catch (const EStreetError &e) {
            EXPECT_THAT(e.what(), HasSubstr(c.Error));
        }
        EXPECT_TRUE(OpenVideoFiles().empty());
    }
}

TEST_F(FVideoFileTest, AnyEighthTagByteOpensAndTheFileReadsAsBuilt) {
    TFileSpec spec = TwoStreams();
    spec.TagByte8 = 0xA7;
    const auto v = Open(spec);
    EXPECT_EQ(v->Header().Tag[7], 0xA7);
    EXPECT_EQ(v->StreamCount(), 2);
    EXPECT_EQ(v->Width(), 16);
    EXPECT_EQ(v->BaseTime(), 45000.5);
    EXPECT_TRUE(v->Warnings().empty());
    EXPECT_EQ(v->Converter(), nullptr);
    EXPECT_TRUE(v->FrameFileName().empty());
    ASSERT_EQ(v->Streams(0).FrameCount(), 5);
    TFVideoFrameRec r;
    v->Streams(0).GetRawFrameInfo(3, r);
    EXPECT_EQ(r.Time, 300);
    EXPECT_EQ(r.X, 3 * std::cos(0.5));
    EXPECT_DOUBLE_EQ(r.Z, 10.3);
    v->Streams(0).GetRawFrameInfo(5, r);
    EXPECT_EQ(r, TFVideoFrameRec{});
    EXPECT_EQ(v->Streams(1).FrameTime(2), 250);
    EXPECT_EQ(v->Streams(1).FrameTime(-1), 0);
    EXPECT_THROW(v->Streams(2), EStreetError);
    EXPECT_EQ(OpenVideoFiles().size(), 1u);
}

// ---- recoverable disagreements ---------------------------------------------------------------------

// A frame whose picture cannot be read (placed outside the frame file, at a negative position, over the
// stream records, or with an impossible packed size) stays in its stream with its pose and time: only its
// decoding fails, with the reason, and every frame after it is shown.
TEST_F(FVideoFileTest, DamagedFramesFailAloneAndSaySo) {
    using TPoke = std::function<void(std::vector<uint8_t> &, const TBuilt &, int32_t)>;
    const auto outside = [](auto &b, const TBuilt &t, int32_t k) {
        Poke<int64_t>(b, t.IndexPos[0] + 12 * k, int64_t(b.size()) - 10);
    };
    const auto negative = [](auto &b, const TBuilt &t, int32_t k) {
        Poke<int64_t>(b, t.IndexPos[0] + 12 * k, -5);
    };
    const auto inRecords = [](auto &b, const TBuilt &t, int32_t k) {
        Poke<int64_t>(b, t.IndexPos[0] + 12 * k, 100);
    };
    const auto tooSmall = [](auto &b, const TBuilt &t, int32_t k) {
        Poke<uint32_t>(b, t.IndexPos[0] + 12 * k + 8, 11);
    };
    const auto tooLarge = [](auto &b, const TBuilt &t, int32_t k) {
        Poke<uint32_t>(b, t.IndexPos[0] + 12 * k + 8, 0xFFFFFFFFu);
    };
    struct TCase {
        const char *Name;
        TPoke Change;
        std::vector<int32_t> Bad;
        const char *Reason;
        const char *Warning;
    };
    const TCase cases[] = {
        {"first frame past the end of the file",
         outside,
         {0},
         "lies outside the frame file",
         "frame 0 lies outside the frame file; it cannot be shown"},
        {"middle frame at a negative position",
         negative,
         {2},
         "lies outside the frame file",
         "frame 2 lies outside the frame file; it cannot be shown"},
        {"last frame over the stream records",
         inRecords,
         {4},
         "lies outside the frame file",
         "frame 4 lies outside the frame file; it cannot be shown"},
        {"a frame too small", tooSmall, {1}, "has a packed size of 11 bytes", "frame 1 has a packed size"},
        {"a frame too large", tooLarge, {3}, "has a packed size of 4294967295 bytes", "frame 3 has a packed"},
        {"first, middle and last",
         outside,
         {0, 2, 4},
         "lies outside the frame file",
         "3 frames cannot be shown, the first: frame 0 lies outside the frame file"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TBuilt built = Build(TwoStreams());
        TFVideoFrameRec want[5];
        {
            TFVideoFile good(Write(built.Bytes, "good.FVideo"), false);
            for (int32_t k = 0; k < 5; ++k)
                good.Streams(0).GetRawFrameInfo(k, want[k]);
        }
        for (int32_t k : c.Bad)
            c.Change(built.Bytes, built, k);
        TFVideoFile v(Write(built.Bytes), false);
        EXPECT_EQ(v.Streams(0).FrameCount(), 5);
        EXPECT_EQ(v.Streams(1).FrameCount(), 3);
        ASSERT_EQ(v.Warnings().size(), 1u);
        EXPECT_THAT(v.Warnings()[0], HasSubstr("stream 0 of"));
        EXPECT_THAT(v.Warnings()[0], HasSubstr(c.Warning));
        // The damaged frames fail with the reason; every other frame decodes; all keep their records.
        TFrameBitmap bmp;
        TBitmap icon;
        for (int32_t k = 0; k < 5; ++k) {
            const bool bad = std::find(c.Bad.begin(), c.Bad.end(), k) != c.Bad.end();
            if (bad) {
                try {
                    v.Streams(0).GetFrame(k, bmp);
                    ADD_FAILURE() << "frame " << k << " decoded";
                } catch (const EStreetError &e) {
                    EXPECT_THAT(e.what(), HasSubstr("TFVideoStream.GetFrame: frame " + std::to_string(k)));
                    EXPECT_THAT(e.what(), HasSubstr(c.Reason));
                }
                EXPECT_THROW(v.Streams(0).GetIcon(k, icon), EStreetError);
            } else {
                EXPECT_NO_THROW(v.Streams(0).GetFrame(k, bmp)) << k;
            }
            TFVideoFrameRec r;
            v.Streams(0).GetRawFrameInfo(k, r);
            EXPECT_EQ(r, want[k]) << k;
        }
        EXPECT_EQ(v.Streams(0).FindFrameByTime(want[4].Time), 4);
        // Reloading after another file took the memory: the same frames, no second warning.
        v.UnloadIndexes();
        EXPECT_EQ(v.Streams(0).FrameCount(), 5);
        EXPECT_THROW(v.Streams(0).GetFrame(c.Bad.front(), bmp), EStreetError);
        EXPECT_EQ(v.Warnings().size(), 1u);
    }
}

// A record the stream's positions and times cannot rest on, or an index and records that disagree, cut
// the stream there.
TEST_F(FVideoFileTest, StreamsAreCutAtTheFirstUnusableRecordAndSaySo) {
    struct TCase {
        const char *Name;
        std::function<void(std::vector<uint8_t> &, const TBuilt &)> Change;
        int32_t Frames;
        const char *Warning;
    };
    const TCase cases[] = {
        {"fewer records than index entries", [](auto &b, auto &) { Poke<uint32_t>(b, 48 + 20, 64 * 3); }, 3,
         "the frame index holds 5 frames and the frame records 3; 3 are used"},
        {"fewer index entries", [](auto &b, auto &) { Poke<uint32_t>(b, 48 + 8, 12 * 2 + 5); }, 2,
         "is not a multiple of 12"},
        {"pose not a number",
         [](auto &b, const TBuilt &t) {
             Poke(b, t.RecPos[0] + 64 * 3 + 16, std::numeric_limits<double>::quiet_NaN());
         },
         3, "frame 3 has a pose that is not a finite number; the stream is cut to 3 frames"},
        {"time going back", [](auto &b, const TBuilt &t) { Poke<int64_t>(b, t.RecPos[0] + 64 * 2, 50); }, 2,
         "frame 2 goes back in time"},
    };
    const std::vector<std::vector<uint8_t>> intact = IntactFrames(TwoStreams());
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        TBuilt built = Build(TwoStreams());
        c.Change(built.Bytes, built);
        TFVideoFile v(Write(built.Bytes), false);
        EXPECT_EQ(v.Streams(0).FrameCount(), c.Frames);
        EXPECT_EQ(v.Streams(1).FrameCount(), 3);
        std::string all;
        for (const auto &w : v.Warnings())
            all += w + "\n";
        EXPECT_THAT(all, HasSubstr(c.Warning));
        EXPECT_THAT(all, HasSubstr("stream 0 of"));
        EXPECT_THAT(all, testing::Not(HasSubstr("stream 1 of")));
        // The usable frames decode to the intact file's pictures; the cut ones are out of range.
        TFrameBitmap bmp;
        for (int32_t k = 0; k < c.Frames; ++k) {
            v.Streams(0).GetFrame(k, bmp);
            EXPECT_EQ(bmp.Bits, intact[static_cast<std::size_t>(k)]) << "frame " << k;
        }
        EXPECT_THROW(v.Streams(0).GetFrame(c.Frames, bmp), EStreetError);
        TFVideoFrameRec r;
        v.Streams(0).GetFrameInfo(c.Frames, r);
        EXPECT_EQ(r, TFVideoFrameRec{});
        // Reloading after another file took the memory gives the same frames and no second warning.
        const std::size_t warnings = v.Warnings().size();
        v.UnloadIndexes();
        EXPECT_EQ(v.Streams(0).FrameEntry(c.Frames).Size, 0u);
        EXPECT_EQ(v.Streams(0).FrameEntry(0).Position, built.FramePos[0][0]);
        EXPECT_EQ(v.Streams(0).FrameCount(), c.Frames);
        EXPECT_EQ(v.Warnings().size(), warnings);
    }
}

// ---- frames ----------------------------------------------------------------------------------------

TEST_F(FVideoFileTest, FramesAndThumbnailsDecodeIntoBothBitmapKinds) {
    const auto v = Open(TwoStreams());
    TFVideoStream &s = v->Streams(0);
    TFrameBitmap frame, icon;
    s.GetFrame(1, frame);
    s.GetIcon(1, icon);
    EXPECT_EQ(frame.Width, 16);
    EXPECT_EQ(frame.Height, 16);
    EXPECT_EQ(icon.Width, 2);
    EXPECT_EQ(icon.Height, 2);
    TBitmap bmp(3, 3, TPixelFormat::pf8bit), bicon;
    s.GetFrame(1, bmp);
    s.GetIcon(1, bicon);
    ASSERT_EQ(bmp.PixelFormat(), TPixelFormat::pf32bit);
    ASSERT_EQ(bmp.Width(), 16);
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(std::memcmp(bmp.ScanLine(y), frame.ScanLine(y), 64), 0) << y;
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(bicon.ScanLine(y), icon.ScanLine(y), 8), 0) << y;
    // Sharpening changes the picture; 100 % is the strongest, not none.
    TFrameBitmap sharp50, sharp100;
    v->SetSharpenPercent(50);
    s.GetFrame(1, sharp50);
    v->SetSharpenPercent(100);
    s.GetFrame(1, sharp100);
    EXPECT_NE(sharp50.Bits, frame.Bits);
    EXPECT_NE(sharp100.Bits, sharp50.Bits);
    for (int32_t bad : {-1, 5, 1 << 30}) {
        try {
            s.GetFrame(bad, frame);
            ADD_FAILURE();
        } catch (const EStreetError &e) {
            EXPECT_STREQ(e.what(), "TFVideoStream.GetFrame: FrameNum out of range");
        }
        try {
            s.GetIcon(bad, bmp);
            ADD_FAILURE();
        } catch (const EStreetError &e) {
            EXPECT_STREQ(e.what(), "TFVideoStream.GetFrame: FrameNum out of range");
        }
    }
    // A frame whose bytes are damaged fails with the codec's error; the frames before and after it decode
    // to the intact file's pictures, also right after the failure.
    const std::vector<std::vector<uint8_t>> intact = IntactFrames(TwoStreams());
    TBuilt built = Build(TwoStreams());
    built.Bytes[static_cast<std::size_t>(built.FramePos[0][2]) + 4] = 0x77; // the Y stream's start byte
    TFVideoFile damaged(Write(built.Bytes, "d.FVideo"), false);
    for (const int32_t k : {1, 2, 3, 2, 1}) {
        SCOPED_TRACE("frame " + std::to_string(k));
        if (k == 2) {
            EXPECT_THROW(damaged.Streams(0).GetFrame(k, frame), EStreetError);
            continue;
        }
        damaged.Streams(0).GetFrame(k, frame);
        EXPECT_EQ(frame.Bits, intact[static_cast<std::size_t>(k)]);
    }
    EXPECT_NE(intact[1], intact[3]) << "the frames tell apart";
}

TEST_F(FVideoFileTest, OnlyOneOpenFileKeepsItsIndexes) {
    const auto a = Open(TwoStreams());
    TFVideoFile b(Write(Build(TwoStreams()).Bytes, "b.FVideo"), false);
    EXPECT_EQ(OpenVideoFiles().size(), 2u);
    EXPECT_FALSE(a->IndexesLoaded());
    EXPECT_TRUE(b.IndexesLoaded());
    EXPECT_EQ(a->Streams(0).FrameTime(4), 400); // loads a's, unloads b's
    EXPECT_TRUE(a->IndexesLoaded());
    EXPECT_FALSE(b.IndexesLoaded());
    EXPECT_EQ(a->Streams(0).FrameCount(), 5); // counts stay known without the indexes
    EXPECT_EQ(b.Streams(1).FrameCount(), 3);
}

// ---- time search -----------------------------------------------------------------------------------

TEST_F(FVideoFileTest, FindFrameByTimeTakesTheNearestAndTheEarlierOnATie) {
    TFileSpec spec;
    spec.Streams.resize(3);
    for (int64_t t : {10, 20, 30}) {
        TFrame f;
        f.Time = t;
        spec.Streams[0].Frames.push_back(f);
    }
    for (int64_t t : {10, 10, 20, 20, 20, 40}) {
        TFrame f;
        f.Time = t;
        spec.Streams[1].Frames.push_back(f);
    }
    const auto v = Open(spec);
    const std::pair<int64_t, int32_t> plain[] = {{-5, 0},
                                                 {10, 0},
                                                 {14, 0},
                                                 {15, 0},
                                                 {16, 1},
                                                 {24, 1},
                                                 {25, 1},
                                                 {26, 2},
                                                 {1000, 2},
                                                 {std::numeric_limits<int64_t>::min(), 0},
                                                 {std::numeric_limits<int64_t>::max(), 2}};
    for (auto [t, k] : plain)
        EXPECT_EQ(v->Streams(0).FindFrameByTime(t), k) << t;
    const std::pair<int64_t, int32_t> repeated[] = {{10, 0}, {15, 0}, {16, 2}, {20, 2},
                                                    {30, 2}, {31, 5}, {9, 0}};
    for (auto [t, k] : repeated)
        EXPECT_EQ(v->Streams(1).FindFrameByTime(t), k) << t;
    EXPECT_EQ(v->Streams(2).FindFrameByTime(0), -1);
}

// ---- pose smoothing --------------------------------------------------------------------------------

TEST_F(FVideoFileTest, PitchAndRollBecomeDeviationsFromTheirMeanAhead) {
    TFileSpec spec;
    spec.Streams.resize(1);
    auto &fr = spec.Streams[0].Frames;
    // 0..3: heading crosses 0 (6.25, 0.02, 0.05, 0.1: within pi/6 once reduced); 4: a sharp turn ends the
    // window; 5: alone (the next is more than 20 m on); 6..: a long straight run (window of 100).
    const double headings[] = {6.25, 0.02, 0.05, 0.1, 1.5, 1.5};
    const double paths[] = {0, 1, 2, 3, 4, 5};
    for (int k = 0; k < 6; ++k) {
        TFrame f;
        f.Time = 100 * k;
        f.Path = paths[k];
        f.Heading = headings[k];
        f.Pitch = 0.01 * (k + 1);
        f.Roll = -0.02 * (k + 1);
        fr.push_back(f);
    }
    for (int k = 0; k < 150; ++k) {
        TFrame f;
        f.Time = 1000 + 100 * k;
        f.Path = 30 + 0.1 * k;
        f.Heading = 1.5;
        f.Pitch = k;
        fr.push_back(f);
    }
    const auto v = Open(spec);
    TFVideoStream &s = v->Streams(0);
    TFVideoFrameRec r;
    s.GetFrameInfo(0, r);
    EXPECT_NEAR(r.Pitch, 0.01 - (0.01 + 0.02 + 0.03 + 0.04) / 4, 1e-15);
    EXPECT_NEAR(r.Roll, -0.02 + (0.02 + 0.04 + 0.06 + 0.08) / 4, 1e-15);
    EXPECT_EQ(r.Heading, 6.25);
    EXPECT_EQ(r.X, 0);
    s.GetFrameInfo(5, r); // the next frame lies 25 m on
    EXPECT_EQ(r.Pitch, 0);
    EXPECT_EQ(r.Roll, 0);
    s.GetFrameInfo(6, r); // frames 6..105 (100 frames, 9.9 m)
    EXPECT_DOUBLE_EQ(r.Pitch, 0 - 49.5);
    s.GetFrameInfo(6 + 149, r); // the last: alone
    EXPECT_EQ(r.Pitch, 0);
    // The raw record keeps its values.
    s.GetRawFrameInfo(6, r);
    EXPECT_EQ(r.Pitch, 0);
    s.GetRawFrameInfo(7, r);
    EXPECT_EQ(r.Pitch, 1);
}

// ---- ties ------------------------------------------------------------------------------------------

TEST_F(FVideoFileTest, FindTiesAroundPicksTheCoveringOrNearestPair) {
    TFileSpec spec;
    spec.Streams.resize(1);
    const auto v = Open(spec);
    const TVideoTieRec *a = nullptr, *b = nullptr;
    v->FindTiesAround(a, b, 0);
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(b, nullptr);
    // Added out of order; the list is sorted by time when asked.
    for (int64_t t : {300, 100, 200, 400})
        v->AddTie().Time = t;
    v->DeleteTie(3);
    ASSERT_EQ(v->TieCount(), 3);
    const TVideoTieRec *keep = &v->Ties(0); // time 300
    struct TCase {
        int64_t Time, A, B;
    };
    for (const TCase c :
         {TCase{50, 100, 200}, TCase{100, 100, 200}, TCase{150, 100, 200}, TCase{200, 200, 300},
          TCase{299, 200, 300}, TCase{300, 200, 300}, TCase{5000, 200, 300}}) {
        v->FindTiesAround(a, b, c.Time);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->Time, c.A) << c.Time;
        EXPECT_EQ(b->Time, c.B) << c.Time;
    }
    EXPECT_EQ(v->Ties(0).Time, 100);
    EXPECT_EQ(keep->Time, 300); // records do not move while the list is sorted
    v->DeleteTie(0);
    v->DeleteTie(0);
    v->FindTiesAround(a, b, 0);
    EXPECT_EQ(a, keep);
    EXPECT_EQ(b, nullptr);
    EXPECT_THROW(v->DeleteTie(1), EStreetError);
    v->ClearTies();
    EXPECT_EQ(v->TieCount(), 0);
}

class FVideoTieTest : public FVideoFileTest {
public:
    void SetUp() override {
        TFileSpec spec;
        spec.Streams.resize(2);
        spec.Streams[0].Frames = Straight(11, 100, 50, 0.3);     // t 0..1000
        spec.Streams[1].Frames = Straight(6, 100, 52, 0.3, 250); // t 250..750
        v_ = Open(spec);
    }
    TVideoTieRec &Tie(int32_t stream, int64_t time, float x, float y) {
        TVideoTieRec &t = v_->AddTie();
        t.Stream = stream;
        t.Time = time;
        t.X = x;
        t.Y = y;
        t.Z = 5; // ties carry no height
        return t;
    }
    TFVideoFrameRec Info(int32_t s, int32_t k) {
        TFVideoFrameRec r;
        v_->Streams(s).GetFrameInfo(k, r);
        return r;
    }
    TFVideoFrameRec Raw(int32_t s, int32_t k) {
        TFVideoFrameRec r;
        v_->Streams(s).GetRawFrameInfo(k, r);
        return r;
    }
    std::unique_ptr<TFVideoFile> v_;
};

TEST_F(FVideoTieTest, OneTieShiftsEveryFrameOfEveryStream) {
    const TFVideoFrameRec tied = Raw(0, 4);
    Tie(0, 400, 7.25f, -3.5f);
    for (int32_t s = 0; s < 2; ++s)
        for (int32_t k = 0; k < v_->Streams(s).FrameCount(); ++k) {
            const TFVideoFrameRec r = Info(s, k), raw = Raw(s, k);
            EXPECT_NEAR(r.X - raw.X, 7.25 - tied.X, 1e-12);
            EXPECT_NEAR(r.Y - raw.Y, -3.5 - tied.Y, 1e-12);
            EXPECT_EQ(r.Z, 0);
            EXPECT_EQ(r.Heading, raw.Heading);
        }
    EXPECT_EQ(Info(0, 4).X, 7.25); // exactly on the tie
    EXPECT_EQ(Info(0, 4).Y, -3.5);
    // Ties are edited through their references; the next pose follows at once.
    v_->Ties(0).X = 8.25f;
    EXPECT_EQ(Info(0, 4).X, 8.25);
    v_->Ties(0).Time = 0;
    EXPECT_NEAR(Info(0, 4).X, 8.25 + 4 * std::cos(0.3), 1e-9);
    v_->UnloadIndexes();
    EXPECT_NEAR(Info(0, 4).X, 8.25 + 4 * std::cos(0.3), 1e-9);
}

TEST_F(FVideoTieTest, TwoTiesMapTheirFramesExactlyOntoThemAndTurnTheHeading) {
    // The recorded track turned by 0.2 rad, scaled by 1.5 and moved.
    const double turn = 0.2, scale = 1.5;
    auto truth = [&](const TFVideoFrameRec &r, double &x, double &y) {
        const double dx = r.X - 100, dy = r.Y - 50;
        x = 10 + scale * (std::cos(turn) * dx - std::sin(turn) * dy);
        y = 20 + scale * (std::sin(turn) * dx + std::cos(turn) * dy);
    };
    double ax, ay, bx, by;
    truth(Raw(0, 2), ax, ay);
    truth(Raw(1, 4), bx, by);                                    // a tie on the other stream: frame at 650 ms
    Tie(0, 210, static_cast<float>(ax), static_cast<float>(ay)); // nearest frame: 2
    Tie(1, 640, static_cast<float>(bx), static_cast<float>(by)); // nearest frame: 4
    const TFVideoFrameRec ra = Info(0, 2), rb = Info(1, 4);
    EXPECT_EQ(ra.X, double(static_cast<float>(ax)));
    EXPECT_EQ(ra.Y, double(static_cast<float>(ay)));
    EXPECT_EQ(rb.X, double(static_cast<float>(bx)));
    EXPECT_EQ(rb.Y, double(static_cast<float>(by)));
    for (int32_t s = 0; s < 2; ++s)
        for (int32_t k = 0; k < v_->Streams(s).FrameCount(); ++k) {
            const TFVideoFrameRec r = Info(s, k);
            double x, y;
            truth(Raw(s, k), x, y);
            EXPECT_NEAR(r.X, x, 1e-4);
            EXPECT_NEAR(r.Y, y, 1e-4);
            EXPECT_NEAR(std::remainder(r.Heading - (0.3 + turn), 2 * Pi), 0, 1e-6);
            EXPECT_EQ(r.Z, 0);
        }
}

TEST_F(FVideoTieTest, DegenerateTiePairsActAsOneTie) {
    struct TCase {
        const char *Name;
        std::function<void(FVideoTieTest &)> Ties;
    };
    const TCase cases[] = {
        {"two ties on one place",
         [](FVideoTieTest &t) {
             t.Tie(0, 200, 5, 6);
             t.Tie(0, 800, 5, 6);
         }},
        {"two ties on one frame",
         [](FVideoTieTest &t) {
             t.Tie(0, 200, 5, 6);
             t.Tie(0, 201, 9, 9);
         }},
        {"a tie on a stream that does not exist",
         [](FVideoTieTest &t) {
             t.Tie(0, 200, 5, 6);
             t.Tie(7, 800, 9, 9);
         }},
        {"a tie not yet bound to a stream",
         [](FVideoTieTest &t) {
             t.Tie(-1, 100, 9, 9);
             t.Tie(0, 200, 5, 6);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        v_->ClearTies();
        c.Ties(*this);
        const TFVideoFrameRec tied = Raw(0, 2);
        for (int32_t k = 0; k < 11; ++k) {
            const TFVideoFrameRec r = Info(0, k), raw = Raw(0, k);
            ASSERT_TRUE(std::isfinite(r.X) && std::isfinite(r.Y));
            EXPECT_NEAR(r.X, 5 + (raw.X - tied.X), 1e-9) << k;
            EXPECT_NEAR(r.Y, 6 + (raw.Y - tied.Y), 1e-9) << k;
            EXPECT_EQ(r.Heading, raw.Heading);
        }
    }
    // No usable tie at all: no correction.
    v_->ClearTies();
    Tie(9, 0, 1, 1);
    EXPECT_EQ(Info(0, 3).X, Raw(0, 3).X);
    EXPECT_EQ(Info(0, 3).Z, Raw(0, 3).Z);
}

TEST_F(FVideoTieTest, TiesTravelThroughTheBlobAndTieFiles) {
    Tie(0, 300, 1.5f, 2.5f).Frame = 3;
    Tie(1, 600, -4, 8);
    v_->StoreTies();
    ASSERT_EQ(v_->DataHolder().DataSize("Corrections"), 56u);
    // The blob holds the records as stored (Z as it was), read back with Z = 0.
    sptest::ByteBuilder expect;
    expect.I32(0).I32(3).I64(300).F32(1.5f).F32(2.5f).F32(5);
    expect.I32(1).I32(-1).I64(600).F32(-4).F32(8).F32(5);
    const uint8_t *p = v_->DataHolder().DataPtr("Corrections");
    EXPECT_EQ(std::vector<uint8_t>(p, p + 56), expect.Data());
    v_->ClearTies();
    v_->LoadTies();
    ASSERT_EQ(v_->TieCount(), 2);
    EXPECT_EQ(v_->Ties(0), (TVideoTieRec{0, 3, 300, 1.5f, 2.5f, 0}));
    EXPECT_EQ(v_->Ties(1), (TVideoTieRec{1, -1, 600, -4, 8, 0}));

    const std::string zref = dir_.File("t.ZRef");
    v_->SaveTiesToFile(zref);
    auto bytes = sptest::ReadFileBytes(zref);
    ASSERT_EQ(bytes.size(), 56u);
    // A third record cut short, and a record whose position is not a number, are left out.
    sptest::ByteBuilder more;
    more.Raw(bytes.data(), bytes.size());
    more.I32(0).I32(0).I64(1).F32(std::numeric_limits<float>::quiet_NaN()).F32(0).F32(0);
    more.I32(0).I32(0).I64(2).F32(3);
    sptest::WriteFileBytes(zref, more.Data());
    v_->ClearTies();
    v_->LoadTiesFromFile(zref);
    ASSERT_EQ(v_->TieCount(), 2);
    EXPECT_EQ(v_->Ties(1), (TVideoTieRec{1, -1, 600, -4, 8, 0}));
    EXPECT_THAT(v_->Warnings().back(), HasSubstr("tie 2 of"));
    EXPECT_THROW(v_->LoadTiesFromFile(dir_.File("missing.ZRef")), EStreetError);
}

// ---- tracks ----------------------------------------------------------------------------------------

TEST_F(FVideoFileTest, TrajectoryKeepsFramesThatMoveSideways) {
    TFileSpec spec;
    spec.Streams.resize(2);
    // Stream 0: 20 frames heading east (never kept: no sideways travel from heading 0), then a turn north.
    auto &a = spec.Streams[0].Frames;
    a = Straight(20, 0, 0, 0);
    for (int k = 1; k <= 5; ++k) {
        TFrame f;
        f.Time = 1900 + 100 * k;
        f.Path = 19 + 2 * k;
        f.X = 19;
        f.Y = 2 * k;
        f.Heading = Pi / 2;
        a.push_back(f);
    }
    // Stream 1: frames after 2^30 ms stay out.
    spec.Streams[1].Frames = Straight(3, 500, 500, Pi / 2, int64_t(1) << 30);
    const auto v = Open(spec);
    TXYZArray t;
    v->GetTrajectory(t);
    // Kept: 2000 ms (|sin(pi/2)| * 21 > 1); then none (same heading, no sideways travel); the last repeated.
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0], (TXYZ{19, 2, 0}));
    EXPECT_EQ(t[1], t[0]);
    EXPECT_EQ(v->DataHolder().IndexOf("Traectory"), -1); // a read-only file keeps its blobs

    // A straight eastward drive keeps nothing: the trajectory is empty.
    TFileSpec east;
    east.Streams.resize(1);
    east.Streams[0].Frames = Straight(50, 0, 0, 0);
    TFVideoFile e(Write(Build(east).Bytes, "east.FVideo"), true);
    e.GetTrajectory(t);
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(e.DataHolder().IndexOf("Traectory"), 0); // stored for a writable file (empty)
}

TEST_F(FVideoFileTest, ReadOnlyFilesReturnTheirStoredTrajectory) {
    TFileSpec spec;
    spec.Streams.resize(1);
    spec.Streams[0].Frames = Straight(30, 0, 0, 1.0);
    const std::array<float, 6> stored = {1, 2, 0, 4, 5, 0};
    spec.FileBlobs = {{"Traectory", Bytes(stored.data(), 24)}};
    const auto ro = Open(spec);
    TXYZArray t;
    ro->GetTrajectory(t);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1], (TXYZ{4, 5, 0}));
    TVideoTieRec &tie = ro->AddTie();
    tie.Stream = 0;
    tie.X = 100;
    ro->GetTrajectory(t);
    EXPECT_EQ(t[1], (TXYZ{4, 5, 0}));

    // Opened for writing, the trajectory is merged from the frames, corrected, and replaces the blob.
    TFVideoFile w(Write(Build(spec).Bytes, "w.FVideo"), true);
    w.GetTrajectory(t);
    // Kept: frame 2 (|sin(1 - 0)| * 2 > 1), none after it (the same heading), the last repeated.
    ASSERT_EQ(t.size(), 2u);
    EXPECT_FLOAT_EQ(t[0].x, static_cast<float>(2 * std::cos(1.0)));
    EXPECT_EQ(w.DataHolder().DataSize("Traectory"), 2 * 12u);
    TVideoTieRec &wt = w.AddTie();
    wt.Stream = 0;
    wt.X = 100;
    wt.Y = 0;
    TXYZArray moved;
    w.GetTrajectory(moved);
    ASSERT_EQ(moved.size(), t.size());
    EXPECT_FLOAT_EQ(moved[0].x - t[0].x, 100);
}

TEST_F(FVideoFileTest, SlopeTrackDrawsTheGradeBesideTheTrack) {
    TFileSpec spec;
    spec.Streams.resize(1);
    auto &fr = spec.Streams[0].Frames;
    // North at 1 m per frame, climbing 3 %, with a stop (two frames on one place) that must not matter.
    for (int k = 0; k < 40; ++k) {
        TFrame f;
        f.Time = 100 * k;
        f.Path = k < 25 ? k : k - 1;
        f.Y = f.Path;
        f.Z = 100 + 0.03 * f.Path;
        f.Heading = Pi / 2;
        fr.push_back(f);
    }
    const auto v = Open(spec);
    TXYZArray t;
    v->GetSlopeTrack(t);
    // Kept at path 11, 22, 33: two steps, one triangle each.
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t[0], (TXYZ{0, 11, 0}));
    EXPECT_EQ(t[1], (TXYZ{0, 22, 0}));
    EXPECT_NEAR(t[2].x, -6, 1e-5); // 3 % gives 6 m to the left of northward travel
    EXPECT_NEAR(t[2].y, 22, 1e-5);
    EXPECT_EQ(t[4], (TXYZ{0, 33, 0}));
    // A tie moves the band with the track; the slope still comes from the recorded heights.
    TVideoTieRec &tie = v->AddTie();
    tie.Stream = 0;
    tie.X = 50;
    TXYZArray cached;
    v->GetSlopeTrack(cached);
    EXPECT_EQ(cached, t); // cached until the file is opened again
    TFVideoFile again(Write(Build(spec).Bytes, "again.FVideo"), false);
    TVideoTieRec &tie2 = again.AddTie();
    tie2.Stream = 0;
    tie2.X = 50;
    again.GetSlopeTrack(cached);
    ASSERT_EQ(cached.size(), 6u);
    EXPECT_NEAR(cached[2].x, 44, 1e-5);
}

TEST_F(FVideoFileTest, FindNearestFrameProjectsOntoCorrectedSegments) {
    TFileSpec spec;
    spec.Streams.resize(3);
    spec.Streams[0].Frames = Straight(10, 0, 0, 0);       // along y = 0
    spec.Streams[1].Frames = Straight(10, 0, 3, 0, 5000); // along y = 3
    spec.Streams[2].Frames = Straight(1, 0, 0, 0);        // one frame: no segment
    const auto v = Open(spec);
    TFVideoStream &s = v->Streams(0);
    EXPECT_EQ(s.FindNearestFrame(TXYZ{4.5f, 0.5f, 0}, false, 10), 4);
    EXPECT_EQ(s.FindNearestFrame(TXYZ{4.5f, 0.5f, 0}, false, 0.4f), -1);
    EXPECT_EQ(s.FindNearestFrame(TXYZ{4.5f, 0.5f, 0}, true, 10), -1); // on the left of travel
    EXPECT_EQ(s.FindNearestFrame(TXYZ{4.5f, -0.5f, 0}, true, 10), 4);
    EXPECT_EQ(s.FindNearestFrame(TXYZ{-3, 0, 0}, false, 10), -1); // before the first frame
    EXPECT_EQ(v->Streams(2).FindNearestFrame(TXYZ{0, 0, 0}, false, 10), -1);
    int32_t si, fi;
    v->FindNearestFrame(TXYZ{6.2f, 2.2f, 10.6f}, si, fi);
    EXPECT_EQ(si, 1);
    EXPECT_EQ(fi, 6);
    v->FindNearestFrame(TXYZ{6.2f, 0.2f, 10.6f}, si, fi);
    EXPECT_EQ(si, 0);
    EXPECT_EQ(fi, 6);
    // Corrected positions count: a tie moves every stream by (0, 3) and sets the heights to 0.
    TVideoTieRec &t = v->AddTie();
    t.Stream = 0;
    t.Y = 3;
    v->FindNearestFrame(TXYZ{6.2f, 2.2f, 0}, si, fi);
    EXPECT_EQ(si, 0);
    EXPECT_EQ(fi, 6);
    TFileSpec none;
    none.Streams.resize(1);
    none.Streams[0].Frames = Straight(1, 0, 0, 0);
    TFVideoFile n(Write(Build(none).Bytes, "n.FVideo"), false);
    n.FindNearestFrame(TXYZ{}, si, fi);
    EXPECT_EQ(si, -1);
    EXPECT_EQ(fi, -1);
}

// ---- blobs -----------------------------------------------------------------------------------------

TEST(CustomDataHolderTest, BlobsByExactNameCutTo15Characters) {
    TCustomDataHolder h;
    EXPECT_EQ(h.IndexOf("A"), -1);
    EXPECT_EQ(h.DataPtr("A"), nullptr);
    EXPECT_EQ(h.DataSize("A"), 0u);
    uint8_t dest[4] = {9, 9, 9, 9};
    EXPECT_FALSE(h.GetData("A", dest, 4));
    EXPECT_EQ(dest[0], 9);
    h.SetData("Alpha", "xy", 2);
    h.SetData("ABCDEFGHIJKLMNOPQ", "long", 4);
    h.SetData("alpha", "z", 1);
    EXPECT_EQ(h.Count(), 3);
    EXPECT_EQ(h.Name(1), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(h.IndexOf("ABCDEFGHIJKLMNO"), 1);
    EXPECT_EQ(h.IndexOf("ABCDEFGHIJKLMNOxyz"), 1);
    EXPECT_EQ(h.IndexOf("alpha"), 2);
    EXPECT_TRUE(h.GetData("Alpha", dest, 4)); // a shorter blob fills only its part
    EXPECT_EQ(dest[0], 'x');
    EXPECT_EQ(dest[1], 'y');
    EXPECT_EQ(dest[2], 9);
    h.SetData("Alpha", "12345", 5); // replaced in place
    EXPECT_EQ(h.IndexOf("Alpha"), 0);
    EXPECT_EQ(h.DataSize("Alpha"), 5u);
    EXPECT_TRUE(h.GetData("Alpha", dest, 3));
    EXPECT_EQ(dest[2], '3');
    EXPECT_EQ(dest[3], 9);
    h.SetData("Empty", nullptr, 0);
    EXPECT_EQ(h.IndexOf("Empty"), 3);

    // On disk as an independent builder writes it.
    TMemoryStream out;
    h.SaveToStream(out);
    sptest::ByteBuilder b;
    PutHolder(
        b,
        {{"Alpha", Text("12345")}, {"ABCDEFGHIJKLMNO", Text("long")}, {"alpha", Text("z")}, {"Empty", {}}});
    EXPECT_EQ(out.Bytes(), b.Data());
    EXPECT_EQ(h.StreamSize(), static_cast<int64_t>(b.Size()));
    // Read back from a larger stream: only its own bytes are read, the stream ends after them.
    b.Bytes("tail");
    TMemoryStream in(b.Data());
    TCustomDataHolder r;
    r.LoadFromStream(in, static_cast<int64_t>(b.Size()) - 4);
    EXPECT_EQ(in.Position(), static_cast<int64_t>(b.Size()) - 4);
    ASSERT_EQ(r.Count(), 4);
    EXPECT_EQ(r.Data(0), Text("12345"));
    EXPECT_EQ(r.Name(3), "Empty");
    // A holder that claims more than its bytes fails and leaves the old blobs.
    TMemoryStream shortIn(b.Data());
    EXPECT_THROW(r.LoadFromStream(shortIn, 30), EStreetError);
    EXPECT_EQ(r.Count(), 4);
    TMemoryStream none;
    EXPECT_THROW(r.LoadFromStream(none, 0), EStreetError);
}

TEST_F(FVideoFileTest, CameraPlatformAndPathOffsetFromBlobsOrDefaults) {
    TFileSpec spec = TwoStreams();
    const auto v = Open(spec);
    float c[7];
    v->Streams(0).GetCamParams(c);
    EXPECT_EQ(c[0], 1);
    EXPECT_EQ(c[6], 1.2f);
    const float shortBlob[2] = {7, 8};
    v->Streams(0).DataHolder().SetData("CamParams", shortBlob, 8);
    v->Streams(0).GetCamParams(c);
    EXPECT_EQ(c[0], 7);
    EXPECT_EQ(c[1], 8);
    EXPECT_EQ(c[2], 3);
    const float full[7] = {1, 1, 1, 1, 1, 1, 1};
    v->Streams(1).SetCamParams(full);
    v->Streams(1).GetCamParams(c);
    EXPECT_EQ(c[5], 1);
    float p[6];
    v->GetPlatform(p);
    EXPECT_EQ(p[5], 6);
    v->DataHolder().Clear();
    v->GetPlatform(p);
    EXPECT_EQ(p[0], 0);
    const float q[6] = {6, 5, 4, 3, 2, 1};
    v->SetPlatform(q);
    v->GetPlatform(p);
    EXPECT_EQ(p[0], 6);
    EXPECT_EQ(v->GetPathOffset(), 0);
    v->SetPathOffset(12.5f);
    EXPECT_EQ(v->GetPathOffset(), 12.5f);
    const float other = 3;
    v->DataHolder().SetData("TEMPPATH", &other, 4);
    EXPECT_EQ(v->GetPathOffset(), 3);
    v->DataHolder().Clear();
    EXPECT_EQ(v->GetPathOffset(), 12.5f);
}

TEST_F(FVideoFileTest, ConverterFromItsBlobsConvParamsFirst) {
    TFileSpec spec = TwoStreams();
    double x, y, z;
    GeodeticToEcef(x, y, z, 0.9, 0.6, 120);
    const double xyz[3] = {x, y, z};
    spec.FileBlobs.push_back({"ConvXYZ", Bytes(xyz, 24)});
    {
        const auto v = Open(spec);
        ASSERT_NE(v->Converter(), nullptr);
        EXPECT_EQ(v->Converter()->Params(), (TLocalConverter::TParams{x, y, z, 0, 0, 0, 0, 1}));
    }
    const double params[8] = {x, y, z, 1, 2, 3, 0.5, 2};
    spec.FileBlobs.push_back({"ConvParams", Bytes(params, 64)});
    const auto v = Open(spec);
    ASSERT_NE(v->Converter(), nullptr);
    EXPECT_EQ(v->Converter()->Params(), (TLocalConverter::TParams{x, y, z, 1, 2, 3, 0.5, 2}));
}

// ---- writing back ----------------------------------------------------------------------------------

class FVideoSaveTest : public FVideoFileTest {
protected:
    // Everything but the data holders, the header's and stream records' holder fields.
    static void ExpectFramesAndIndexesKept(const std::vector<uint8_t> &before,
                                           const std::vector<uint8_t> &after, const TBuilt &built) {
        ASSERT_GE(after.size(), before.size());
        EXPECT_TRUE(std::equal(before.begin() + built.FramesBegin, before.begin() + built.FramesEnd,
                               after.begin() + built.FramesBegin));
        for (std::size_t s = 0; s < built.IndexPos.size(); ++s) {
            const auto from = static_cast<std::ptrdiff_t>(built.IndexPos[s]);
            const auto to = static_cast<std::ptrdiff_t>(built.RecPos[s] + 64 * (built.FramePos[s].size()));
            EXPECT_TRUE(std::equal(before.begin() + from, before.begin() + to, after.begin() + from)) << s;
        }
        EXPECT_TRUE(
            std::equal(before.begin(), before.begin() + 36, after.begin())); // header up to the holder
    }
};

TEST_F(FVideoSaveTest, BlocksThatFitTheEndRegionAreRewrittenInPlace) {
    TFileSpec spec = TwoStreams();
    spec.TagByte8 = 0x5A;
    spec.FileBlobs.push_back({"Padding", std::vector<uint8_t>(200, 1)});
    const TBuilt built = Build(spec);
    const std::string f = Write(built.Bytes);
    {
        TFVideoFile v(f, true);
        v.DataHolder().SetData("Padding", "x", 1);
        const float q[6] = {9, 8, 7, 6, 5, 4};
        v.SetPlatform(q);
        v.SaveData();
        EXPECT_EQ(v.Header().HolderPosition, built.FileHolderPos);
    }
    const auto after = sptest::ReadFileBytes(f);
    EXPECT_EQ(after.size(), built.Bytes.size()); // never truncated, not grown
    ExpectFramesAndIndexesKept(built.Bytes, after, built);
    EXPECT_EQ(after[7], 0x5A);
    TFVideoFile r(f, false);
    float p[6];
    r.GetPlatform(p);
    EXPECT_EQ(p[0], 9);
    EXPECT_EQ(r.DataHolder().DataSize("Padding"), 1u);
    EXPECT_EQ(r.Streams(0).DataHolder().DataSize("Note"), 3u);
    EXPECT_EQ(r.Streams(1).DataHolder().Count(), 0);
    EXPECT_EQ(r.Streams(0).FrameCount(), 5);
    EXPECT_TRUE(r.Warnings().empty());
}

TEST_F(FVideoSaveTest, BlocksThatDoNotFitOrLieBeforeFramesGoToTheEnd) {
    struct TCase {
        const char *Name;
        bool HoldersFirst;
        bool FileBlobs;
        std::size_t Grow; // bytes added to a blob
    };
    for (const TCase c :
         {TCase{"larger than the old region", false, true, 500},
          TCase{"holders before the frames", true, true, 0}, TCase{"no holders at all", false, false, 0}}) {
        SCOPED_TRACE(c.Name);
        TFileSpec spec = TwoStreams();
        spec.HoldersFirst = c.HoldersFirst;
        if (!c.FileBlobs) {
            spec.FileBlobs.clear();
            spec.Streams[0].Blobs.clear();
        }
        const TBuilt built = Build(spec);
        const std::string f = Write(built.Bytes);
        {
            TFVideoFile v(f, true);
            v.DataHolder().SetData("Grown", std::vector<uint8_t>(c.Grow + 1, 2).data(),
                                   static_cast<uint32_t>(c.Grow + 1));
            v.SaveData();
            EXPECT_EQ(v.Header().HolderPosition, static_cast<int64_t>(built.Bytes.size()));
        }
        const auto after = sptest::ReadFileBytes(f);
        EXPECT_GT(after.size(), built.Bytes.size());
        // Everything before the old end stays as it was except the header's and records' holder fields.
        ExpectFramesAndIndexesKept(built.Bytes, after, built);
        EXPECT_TRUE(std::equal(built.Bytes.begin() + 248, built.Bytes.end(), after.begin() + 248));
        TFVideoFile r(f, false);
        EXPECT_EQ(r.DataHolder().DataSize("Grown"), c.Grow + 1);
        EXPECT_EQ(r.Streams(0).FrameCount(), 5);
        TFrameBitmap bmp;
        EXPECT_NO_THROW(r.Streams(0).GetFrame(4, bmp));
    }
}

TEST_F(FVideoSaveTest, ReadOnlyFilesAreNeverWrittenAndSaySo) {
    const TBuilt built = Build(TwoStreams());
    const std::string f = Write(built.Bytes);
    const auto mtime = std::filesystem::last_write_time(f);
    TScriptedPrompts prompts;
    TUserPromptsGuard guard(prompts);
    {
        TFVideoFile v(f, false);
        const float q[6] = {1, 1, 1, 1, 1, 1};
        v.SetPlatform(q);
        v.AddTie().Stream = 0;
        v.StoreTies();
        TXYZArray t;
        v.GetTrajectory(t);
        EXPECT_NO_THROW(v.SaveData());
    }
    EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("No write access: no data saved.")});
    EXPECT_TRUE(prompts.Done());
    EXPECT_EQ(sptest::ReadFileBytes(f), built.Bytes);
    EXPECT_EQ(std::filesystem::last_write_time(f), mtime);
}

TEST_F(FVideoSaveTest, LocksKeepWritersApart) {
    const std::string f = Write(Build(TwoStreams()).Bytes);
    struct TCase {
        bool First, Second, SecondOpens;
    };
    for (const TCase c : {TCase{false, false, true}, TCase{false, true, false}, TCase{true, false, false},
                          TCase{true, true, false}}) {
        SCOPED_TRACE(testing::Message() << c.First << c.Second);
        auto first = std::make_unique<TFVideoFile>(f, c.First);
        if (c.SecondOpens) {
            EXPECT_NO_THROW(TFVideoFile(f, c.Second));
        } else {
            try {
                TFVideoFile second(f, c.Second);
                ADD_FAILURE() << "opened";
            } catch (const EStreetError &e) {
                EXPECT_THAT(e.what(), HasSubstr("TFVideoFile.Create: "));
                EXPECT_THAT(e.what(), HasSubstr("is in use by another program"));
            }
        }
        first.reset();
        EXPECT_NO_THROW(TFVideoFile(f, c.Second)); // the lock goes with the file
    }
    EXPECT_THROW(TFVideoFile(dir_.File("missing.FVideo"), false), EStreetError);
    EXPECT_THROW(TFVideoFile(dir_.Path().string(), false), EStreetError);
}

} // namespace
