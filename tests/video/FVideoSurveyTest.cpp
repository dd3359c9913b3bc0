// The survey reader against the synthetic survey of a known road scene (tools/make-survey): every frame of
// every stream decodes to the rendered picture, poses follow the scene once the ties are applied, searches
// find the right frames, tracks follow the lane, data written back leaves the frames as they were, and a
// separate frame file is found, checked and remembered.
#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "engine/StreetError.h"
#include "shell/ScriptedPrompts.h"
#include "support/TestSupport.h"
#include "tools/make-survey/MakeSurvey.h"
#include "video/FVideo.h"
#include "video/SurveyBuilder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>

using testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

constexpr double Pi = std::numbers::pi;

makesurvey::TSurveyOptions TestOptions() {
    makesurvey::TSurveyOptions o;
    o.Width = 128;
    o.Height = 96;
    o.Supersample = 1;
    return o;
}

// The whole drive, written once for every test of this program.
struct TSynthetic {
    sptest::TempDir Dir;
    std::string File;
    makesurvey::TSurveyInfo Info;
    TSynthetic() : File(Dir.File("drive.FVideo")), Info(makesurvey::WriteSurvey(File, TestOptions())) {}
};

const TSynthetic &Synthetic() {
    static const TSynthetic s;
    return s;
}

uint64_t Hash(const TFrameBitmap &b) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t v : b.Bits)
        h = (h ^ v) * 1099511628211ull;
    return h ^ (uint64_t(b.Width) << 32) ^ uint64_t(b.Height);
}

std::vector<std::vector<uint64_t>> FrameHashes(TFVideoFile &v) {
    std::vector<std::vector<uint64_t>> out(static_cast<std::size_t>(v.StreamCount()));
    TFrameBitmap bmp;
    for (int32_t s = 0; s < v.StreamCount(); ++s)
        for (int32_t k = 0; k < v.Streams(s).FrameCount(); ++k) {
            v.Streams(s).GetFrame(k, bmp);
            out[static_cast<std::size_t>(s)].push_back(Hash(bmp));
        }
    return out;
}

double Reduce(double a) {
    return std::remainder(a, 2 * Pi);
}

// The scene the survey shows: the road's markings where they belong, a drive in the right-hand lane at
// about 10 m/s through heading 0 with one full stop before the stop line.
TEST(SyntheticSurveyTest, SceneIsTheRoadAsDescribed) {
    const makesurvey::TRoadScene scene;
    const double arcEnd = scene.Straight1 + scene.ArcRadius * scene.ArcAngle;
    auto paintAt = [&](double station, double offset) {
        // The point at (station, offset) on the second straight.
        const double h = scene.StartHeading + scene.ArcAngle;
        const double a0 = scene.StartHeading;
        const double p1x = scene.Straight1 * std::cos(a0), p1y = scene.Straight1 * std::sin(a0);
        const double cx = p1x - scene.ArcRadius * std::sin(a0), cy = p1y + scene.ArcRadius * std::cos(a0);
        const double x =
            cx + scene.ArcRadius * std::sin(h) + (station - arcEnd) * std::cos(h) - offset * std::sin(h);
        const double y =
            cy - scene.ArcRadius * std::cos(h) + (station - arcEnd) * std::sin(h) + offset * std::cos(h);
        const auto so = scene.ToStationOffset(x, y);
        EXPECT_NEAR(so.Station, station, 1e-9);
        EXPECT_NEAR(so.Offset, offset, 1e-9);
        const makesurvey::TColor c = scene.GroundColor(x, y);
        return c.R > 200 && c.G > 200 && c.B > 200;
    };
    EXPECT_TRUE(paintAt(arcEnd + 5, 3.45)); // solid edge lines
    EXPECT_TRUE(paintAt(arcEnd + 5, -3.45));
    EXPECT_FALSE(paintAt(arcEnd + 5, -3.0));            // asphalt
    EXPECT_FALSE(paintAt(arcEnd + 5, 4.0));             // shoulder
    const double dashStart = std::ceil(arcEnd / 9) * 9; // dashes of 3 m every 9 m from station 0
    EXPECT_TRUE(paintAt(dashStart + 1.5, 0.0));
    EXPECT_FALSE(paintAt(dashStart + 4.5, 0.0));
    const double zebra = scene.ZebraStation;
    EXPECT_TRUE(paintAt(zebra + 2, -3.0)); // stripes along the road, 0.5 m wide, 1 m apart
    EXPECT_FALSE(paintAt(zebra + 2, -2.5));
    EXPECT_TRUE(paintAt(zebra + 2, 2.0));
    EXPECT_TRUE(paintAt(zebra - scene.StopLineGap - 0.2, -1.0)); // stop line across the right-hand lane
    EXPECT_FALSE(paintAt(zebra - scene.StopLineGap - 0.2, 1.0));
    EXPECT_FALSE(paintAt(zebra - scene.StopLineGap + 0.5, -1.0));

    // The drive: 10 m/s, one stop of StopSeconds just before the stop line, heading through 0.
    double standing = 0, maxSpeed = 0;
    bool beforeZero = false, afterZero = false;
    makesurvey::TPose last = scene.TruePose(0);
    for (double t = 0.1; t <= scene.DriveSeconds(); t += 0.1) {
        const makesurvey::TPose p = scene.TruePose(t);
        const double v = (p.Path - last.Path) / 0.1;
        maxSpeed = std::max(maxSpeed, v);
        if (v < 1e-9) {
            standing += 0.1;
            EXPECT_NEAR(scene.ToStationOffset(p.X, p.Y).Station,
                        scene.ZebraStation - scene.StopLineGap - scene.StopLineWidth - scene.StopBeforeLine,
                        1e-9);
        }
        beforeZero = beforeZero || p.Heading > 6;
        afterZero = afterZero || (beforeZero && p.Heading < 0.5);
        EXPECT_NEAR(scene.ToStationOffset(p.X, p.Y).Offset, -scene.LaneOffset, 1e-9);
        last = p;
    }
    EXPECT_NEAR(maxSpeed, 10, 1e-6);
    EXPECT_NEAR(standing, scene.StopSeconds, 0.15);
    EXPECT_TRUE(afterZero);
}

TEST(SyntheticSurveyTest, ReadsWhatWasWritten) {
    const auto &syn = Synthetic();
    const auto &scene = syn.Info.Scene;
    TFVideoFile v(syn.File, false);
    EXPECT_TRUE(v.Warnings().empty());
    int32_t w, h, q;
    v.GetFrameFormat(w, h, q);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 96);
    EXPECT_EQ(q, 3);
    EXPECT_EQ(v.BaseTime(), scene.BaseTime);
    ASSERT_EQ(v.StreamCount(), 4);
    for (int32_t s = 0; s < 4; ++s) {
        const auto &written = syn.Info.Streams[static_cast<std::size_t>(s)];
        TFVideoStream &st = v.Streams(s);
        ASSERT_EQ(st.FrameCount(), static_cast<int32_t>(written.size()));
        for (int32_t k = 0; k < st.FrameCount(); ++k) {
            const auto &f = written[static_cast<std::size_t>(k)];
            TFVideoFrameRec r;
            st.GetRawFrameInfo(k, r);
            EXPECT_EQ(r, (TFVideoFrameRec{f.Time, f.Recorded.Path, f.Recorded.X, f.Recorded.Y, f.Recorded.Z,
                                          f.Recorded.Heading, f.Recorded.Pitch, f.Recorded.Roll}));
            EXPECT_EQ(st.FrameEntry(k).Position, f.Position);
            EXPECT_EQ(st.FrameEntry(k).Size, f.Size);
        }
        float c[7];
        st.GetCamParams(c);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(c[i], scene.Cameras[static_cast<std::size_t>(s)].Params[static_cast<std::size_t>(i)]);
    }
    // Three cameras from the start, the fourth 12 s later; 10 Hz with a few ms of jitter.
    EXPECT_GE(v.Streams(3).FrameTime(0), 12000 - 3);
    EXPECT_LT(v.Streams(0).FrameTime(0), 10);
    for (int32_t k = 1; k < v.Streams(0).FrameCount(); ++k)
        EXPECT_NEAR(double(v.Streams(0).FrameTime(k) - v.Streams(0).FrameTime(k - 1)), 100, 6);
    float p[6];
    v.GetPlatform(p);
    EXPECT_EQ(p[2], scene.Platform[2]);
    ASSERT_NE(v.Converter(), nullptr);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(v.Converter()->Params()[static_cast<std::size_t>(i)],
                  scene.ConvParams[static_cast<std::size_t>(i)]);
    v.LoadTies();
    ASSERT_EQ(v.TieCount(), 3);
    for (int32_t i = 0; i < 3; ++i) {
        const auto &t = syn.Info.Ties[static_cast<std::size_t>(i)];
        EXPECT_EQ(v.Ties(i), (TVideoTieRec{t.Stream, t.Frame, t.Time, t.X, t.Y, 0}));
    }
}

TEST(SyntheticSurveyTest, EveryFrameDecodesToTheRenderedPicture) {
    const auto &syn = Synthetic();
    TFVideoFile v(syn.File, false);
    TFrameBitmap frame, icon;
    for (int32_t s = 0; s < v.StreamCount(); ++s)
        for (int32_t k = 0; k < v.Streams(s).FrameCount(); ++k) {
            v.Streams(s).GetFrame(k, frame);
            v.Streams(s).GetIcon(k, icon);
            ASSERT_EQ(frame.Width, 128);
            ASSERT_EQ(icon.Width, 16);
            ASSERT_EQ(icon.Height, 12);
            if (k % 15 != 0)
                continue;
            // Against the picture the encoder was given: only the codec's loss.
            const auto &f = syn.Info.Streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(k)];
            const auto rendered = makesurvey::RenderView(syn.Info.Scene, f.True, s, 128, 96, 1);
            double sum = 0;
            for (std::size_t i = 0; i < rendered.size(); i += 4)
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(int(rendered[i + c]) - int(frame.Bits[i + c]));
            EXPECT_LT(sum / (128 * 96 * 3), 4.0) << s << " " << k;
            // A thumbnail pixel is its block's mean.
            double isum = 0;
            for (int by = 0; by < 12; ++by)
                for (int bx = 0; bx < 16; ++bx) {
                    int mean = 0;
                    for (int y = 0; y < 8; ++y)
                        for (int x = 0; x < 8; ++x)
                            mean += frame.ScanLine(8 * by + y)[4 * (8 * bx + x) + 1];
                    isum += std::abs(mean / 64.0 - icon.ScanLine(by)[4 * bx + 1]);
                }
            EXPECT_LT(isum / (16 * 12), 6.0) << s << " " << k;
        }
}

TEST(SyntheticSurveyTest, TiesPutEveryFrameOnTheScene) {
    const auto &syn = Synthetic();
    TFVideoFile v(syn.File, false);
    v.LoadTies();
    for (int32_t s = 0; s < v.StreamCount(); ++s)
        for (int32_t k = 0; k < v.Streams(s).FrameCount(); ++k) {
            const auto &t = syn.Info.Streams[static_cast<std::size_t>(s)][static_cast<std::size_t>(k)].True;
            TFVideoFrameRec r;
            v.Streams(s).GetFrameInfo(k, r);
            ASSERT_NEAR(r.X, t.X, 2e-4) << s << " " << k;
            ASSERT_NEAR(r.Y, t.Y, 2e-4) << s << " " << k;
            EXPECT_NEAR(Reduce(r.Heading - t.Heading), 0, 1e-5);
            EXPECT_EQ(r.Z, 0);
            EXPECT_NEAR(r.Pitch, 0, 1e-12); // the grade and crossfall are constant: no deviation
            EXPECT_NEAR(r.Roll, 0, 1e-12);
        }
    for (const auto &tie : syn.Info.Ties) {
        TFVideoFrameRec r;
        v.Streams(tie.Stream).GetFrameInfo(tie.Frame, r);
        EXPECT_EQ(r.X, double(tie.X));
        EXPECT_EQ(r.Y, double(tie.Y));
    }
    // Without ties the recorded positions stand.
    v.ClearTies();
    TFVideoFrameRec r;
    v.Streams(1).GetFrameInfo(50, r);
    const auto &rec = syn.Info.Streams[1][50].Recorded;
    EXPECT_EQ(r.X, rec.X);
    EXPECT_EQ(r.Z, rec.Z);
    EXPECT_EQ(r.Heading, rec.Heading);
}

TEST(SyntheticSurveyTest, SearchesFindTheirFrames) {
    const auto &syn = Synthetic();
    TFVideoFile v(syn.File, false);
    v.LoadTies();
    for (int32_t s = 0; s < v.StreamCount(); ++s) {
        TFVideoStream &st = v.Streams(s);
        const auto n = st.FrameCount();
        for (int32_t k = 0; k < n; ++k) {
            const int64_t t = st.FrameTime(k);
            ASSERT_EQ(st.FindFrameByTime(t), k);
            if (k + 1 < n) {
                const int64_t u = st.FrameTime(k + 1);
                EXPECT_EQ(st.FindFrameByTime(t + (u - t) / 2), k); // halfway or before: the earlier
                EXPECT_EQ(st.FindFrameByTime(t + (u - t) / 2 + 1), k + 1);
            }
        }
        EXPECT_EQ(st.FindFrameByTime(-100000), 0);
        EXPECT_EQ(st.FindFrameByTime(int64_t(1) << 40), n - 1);
    }
    // Along the front camera's segments: a point beside the middle of a moving segment finds its start.
    TFVideoStream &front = v.Streams(0);
    int checked = 0;
    for (int32_t k = 0; k + 1 < front.FrameCount(); k += 7) {
        TFVideoFrameRec a, b;
        front.GetFrameInfo(k, a);
        front.GetFrameInfo(k + 1, b);
        const double len = std::hypot(b.X - a.X, b.Y - a.Y);
        if (len < 0.5)
            continue; // standing
        const double mx = (a.X + b.X) / 2, my = (a.Y + b.Y) / 2;
        const double rx = (b.Y - a.Y) / len * 0.3, ry = -(b.X - a.X) / len * 0.3; // 0.3 m to the right
        const TXYZ right{float(mx + rx), float(my + ry), 0}, left{float(mx - rx), float(my - ry), 0};
        EXPECT_EQ(front.FindNearestFrame(right, false, 5), k);
        EXPECT_EQ(front.FindNearestFrame(right, true, 5), k);
        EXPECT_NE(front.FindNearestFrame(left, true, 0.5f), k);
        int32_t si, fi;
        v.FindNearestFrame(right, si, fi);
        ASSERT_GE(si, 0);
        TFVideoFrameRec f;
        v.Streams(si).GetFrameInfo(fi, f);
        EXPECT_LT(std::hypot(f.X - right.x, f.Y - right.y), 1.2);
        ++checked;
    }
    EXPECT_GT(checked, 15);
}

TEST(SyntheticSurveyTest, TracksFollowTheLane) {
    const auto &syn = Synthetic();
    const auto &scene = syn.Info.Scene;
    TFVideoFile v(syn.File, false);
    v.LoadTies();
    TXYZArray t;
    v.GetTrajectory(t);
    ASSERT_GE(t.size(), 5u);
    EXPECT_EQ(t[t.size() - 1], t[t.size() - 2]);
    for (const TXYZ &p : t) {
        EXPECT_NEAR(scene.ToStationOffset(p.x, p.y).Offset, -scene.LaneOffset, 1e-3);
        EXPECT_EQ(p.z, 0);
    }
    TXYZArray slope;
    v.GetSlopeTrack(slope);
    ASSERT_GE(slope.size(), 9u);
    ASSERT_EQ(slope.size() % 3, 0u);
    for (std::size_t i = 0; i < slope.size(); i += 3) {
        const TXYZ &q = slope[i], &q1 = slope[i + 1], &s = slope[i + 2];
        // The band is grade x 200 wide, on the left of the travel (the road climbs).
        EXPECT_NEAR(std::hypot(s.x - q1.x, s.y - q1.y), scene.Grade * 200, 1e-3);
        EXPECT_GT((q1.x - q.x) * (s.y - q1.y) - (q1.y - q.y) * (s.x - q1.x), 0);
        EXPECT_NEAR(scene.ToStationOffset(q1.x, q1.y).Offset, -scene.LaneOffset, 1e-3);
    }
}

TEST(SyntheticSurveyTest, DataWrittenBackLeavesEveryFrameAsItWas) {
    const auto &syn = Synthetic();
    sptest::TempDir dir;
    const std::string copy = dir.File("copy.FVideo");
    fs::copy_file(syn.File, copy);
    const auto original = sptest::ReadFileBytes(copy);
    std::vector<std::vector<uint64_t>> before;
    {
        TFVideoFile ro(syn.File, false);
        before = FrameHashes(ro);
    }
    const float platform[6] = {0.5f, 0.25f, 2, 0.1f, 0, 0};
    const float cam[7] = {1, 2, 3, 4, 5, 6, 7};
    int64_t oldHolder = 0;
    {
        TFVideoFile w(copy, true);
        oldHolder = w.Header().HolderPosition;
        w.SetPlatform(platform);
        w.Streams(2).SetCamParams(cam);
        w.Streams(3).DataHolder().SetData("TextureGrid", std::vector<uint8_t>(13200, 7).data(), 13200);
        w.LoadTies();
        w.DeleteTie(1);
        w.StoreTies();
        TXYZArray t;
        w.GetTrajectory(t);
        w.SetPathOffset(-4.5f);
        w.SaveData();
    }
    auto after = sptest::ReadFileBytes(copy);
    ASSERT_GT(after.size(), original.size()); // the grid does not fit the old blocks: appended
    // Frames, indexes and records: untouched.
    EXPECT_TRUE(std::equal(original.begin() + 448, original.begin() + oldHolder, after.begin() + 448));
    {
        TFVideoFile r(copy, false);
        EXPECT_TRUE(r.Warnings().empty());
        EXPECT_EQ(FrameHashes(r), before);
        float p[6], c[7];
        r.GetPlatform(p);
        EXPECT_EQ(p[1], 0.25f);
        r.Streams(2).GetCamParams(c);
        EXPECT_EQ(c[6], 7);
        r.Streams(1).GetCamParams(c);
        EXPECT_EQ(c[6], syn.Info.Scene.Cameras[1].Params[6]);
        EXPECT_EQ(r.Streams(3).DataHolder().DataSize("TextureGrid"), 13200u);
        EXPECT_EQ(r.GetPathOffset(), -4.5f);
        r.LoadTies();
        EXPECT_EQ(r.TieCount(), 2);
        EXPECT_GT(r.DataHolder().DataSize("Traectory"), 0u);
    }
    // Smaller blocks the second time: rewritten where they are, the file keeps its size.
    {
        TFVideoFile w(copy, true);
        w.Streams(3).DataHolder().Clear();
        w.SaveData();
    }
    EXPECT_EQ(sptest::ReadFileBytes(copy).size(), after.size());
    TFVideoFile r(copy, false);
    EXPECT_EQ(FrameHashes(r), before);
    EXPECT_EQ(r.Streams(3).DataHolder().Count(), 0);
    EXPECT_EQ(r.Streams(2).DataHolder().DataSize("CamParams"), 28u);
}

TEST(SyntheticSurveyTest, ReadOnlyOpenLeavesBytesAndModificationTime) {
    const auto &syn = Synthetic();
    const auto bytes = sptest::ReadFileBytes(syn.File);
    const auto mtime = fs::last_write_time(syn.File);
    TScriptedPrompts prompts;
    TUserPromptsGuard guard(prompts);
    {
        TFVideoFile v(syn.File, false);
        v.LoadTies();
        v.AddTie();
        v.StoreTies();
        const float p[6] = {};
        v.SetPlatform(p);
        TXYZArray t;
        v.GetTrajectory(t);
        TFrameBitmap b;
        v.Streams(0).GetFrame(3, b);
        v.SaveData();
    }
    EXPECT_EQ(prompts.Messages(), QStringList{QStringLiteral("No write access: no data saved.")});
    EXPECT_EQ(fs::last_write_time(syn.File), mtime);
    EXPECT_EQ(sptest::ReadFileBytes(syn.File), bytes);
}

// ---- frame files -----------------------------------------------------------------------------------

class FrameFileTest : public testing::Test {
protected:
    // A short survey with its frames in dir/<frames>, referenced by `reference`.
    std::string Make(const std::string &reference, const std::string &frames, uint32_t seed = 1) {
        makesurvey::TSurveyOptions o;
        o.Width = o.Height = 32;
        o.Seconds = 1.0;
        o.Supersample = 1;
        o.Seed = seed;
        o.FrameFile = dir_.File(frames);
        fs::create_directories(fs::path(o.FrameFile).parent_path());
        o.FrameReference = reference;
        const std::string f = dir_.File("run" + std::to_string(seed) + ".FVideo");
        makesurvey::WriteSurvey(f, o);
        return f;
    }
    std::vector<std::vector<uint64_t>> InFileHashes() {
        makesurvey::TSurveyOptions o;
        o.Width = o.Height = 32;
        o.Seconds = 1.0;
        o.Supersample = 1;
        const std::string f = dir_.File("infile.FVideo");
        makesurvey::WriteSurvey(f, o);
        TFVideoFile v(f, false);
        return FrameHashes(v);
    }
    sptest::TempDir dir_;
};

TEST_F(FrameFileTest, FoundByTheStoredNameOrBesideTheSurveyInAnyLetterCase) {
    const auto expect = InFileHashes();
    struct TCase {
        const char *Name;
        std::string Reference, Frames;
    };
    const TCase cases[] = {
        {"stored name", dir_.File("run.LVideo"), "run.LVideo"},
        {"Windows path, bare name beside the survey", "D:\\Recorder\\2024\\run.LVideo", "run.LVideo"},
        {"another letter case", "D:\\Recorder\\RUN.lvideo", "run.LVideo"},
        {"Cyrillic name in another letter case", "D:\\Съёмка\\ПРОЕЗД-Ё.LVideo", "проезд-ё.LVideo"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string f = Make(c.Reference, c.Frames);
        int calls = 0;
        TFVideoFile v(f, false, [&](const std::string &, const std::string &) {
            ++calls;
            return std::string();
        });
        EXPECT_EQ(calls, 0);
        EXPECT_EQ(fs::path(v.FrameFileName()).filename(), c.Frames);
        EXPECT_EQ(FrameHashes(v), expect);
        fs::remove(dir_.File(c.Frames));
    }
}

TEST_F(FrameFileTest, FoundInTheCurrentFolder) {
    const std::string f = Make("X:\\elsewhere\\frames.LVideo", "sub/frames.LVideo"); // not beside the survey
    const fs::path cwd = fs::current_path();
    fs::current_path(dir_.Path() / "sub");
    try {
        TFVideoFile v(f, false);
        EXPECT_EQ(v.FrameFileName(), "frames.LVideo");
        EXPECT_EQ(v.Streams(2).FrameCount(), 10);
    } catch (...) {
        fs::current_path(cwd);
        throw;
    }
    fs::current_path(cwd);
}

TEST_F(FrameFileTest, TheCallbackFindsALostFrameFile) {
    struct TCase {
        const char *Name;
        bool Writable;
        bool Remembered; // the next open finds the frame file without asking
    };
    for (const TCase c : {TCase{"writable", true, true}, TCase{"read-only", false, false}}) {
        SCOPED_TRACE(c.Name);
        const std::string f = Make("D:\\Recorder\\lost.LVideo", "moved/lost.LVideo");
        const auto bytes = sptest::ReadFileBytes(f);
        std::string askedName, askedFolder;
        // A file opened for reading cannot remember the frame file picked, and says so.
        TScriptedPrompts prompts;
        TUserPromptsGuard guard(prompts);
        {
            TFVideoFile v(f, c.Writable, [&](const std::string &name, const std::string &folder) {
                askedName = name;
                askedFolder = folder;
                return dir_.File("moved/lost.LVideo");
            });
            EXPECT_EQ(v.FrameFileName(), dir_.File("moved/lost.LVideo"));
            EXPECT_EQ(v.Streams(2).FrameCount(), 10);
        }
        EXPECT_EQ(askedName, "D:\\Recorder\\lost.LVideo");
        EXPECT_FALSE(askedFolder.empty());
        EXPECT_EQ(prompts.Messages().size(), c.Remembered ? 0 : 1);
        if (c.Remembered) {
            TFVideoFile again(f, false);
            EXPECT_EQ(again.FrameFileName(), dir_.File("moved/lost.LVideo"));
            // The new name went into the data blocks; frames, indexes and records stayed.
            const auto now = sptest::ReadFileBytes(f);
            int64_t holder = 0;
            std::memcpy(&holder, bytes.data() + 36, 8);
            EXPECT_TRUE(std::equal(bytes.begin() + 448, bytes.begin() + holder, now.begin() + 448));
        } else {
            EXPECT_EQ(sptest::ReadFileBytes(f), bytes);
            EXPECT_THROW(TFVideoFile(f, false), EStreetError);
        }
        fs::remove(dir_.File("moved/lost.LVideo"));
    }
}

TEST_F(FrameFileTest, AWrongOrMissingFrameFileIsRefusedAndTheReferenceKept) {
    struct TCase {
        const char *Name;
        std::string Pick; // what the callback returns
        bool WrongAtStoredName;
        const char *Error;
    };
    const std::string wrong = "Указан неверный файл LVideo (не тот, из которого создавался FVideo)";
    const TCase cases[] = {
        {"the user picks another survey's frames", "other.LVideo", false, wrong.c_str()},
        {"the stored name holds another survey's frames", "", true, wrong.c_str()},
        {"the user cancels", "", false, "Указанный файл LVideo не найден: D:\\Recorder\\gone.LVideo"},
        {"the user picks a folder", "sub", false, "Указанный файл LVideo не найден: "},
    };
    Make("other.LVideo", "other.LVideo", 7); // frames of another survey
    fs::create_directories(dir_.Path() / "sub");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string f = Make("D:\\Recorder\\gone.LVideo", "gone.LVideo");
        fs::remove(dir_.File("gone.LVideo"));
        if (c.WrongAtStoredName)
            fs::copy_file(dir_.File("other.LVideo"), dir_.File("gone.LVideo"));
        const auto bytes = sptest::ReadFileBytes(f);
        int calls = 0;
        try {
            TFVideoFile v(f, true, [&](const std::string &, const std::string &) {
                ++calls;
                return c.Pick.empty() ? std::string() : dir_.File(c.Pick);
            });
            ADD_FAILURE() << "opened";
        } catch (const EStreetError &e) {
            EXPECT_THAT(e.what(), HasSubstr(c.Error));
        }
        EXPECT_EQ(calls, c.WrongAtStoredName ? 0 : 1);
        EXPECT_EQ(sptest::ReadFileBytes(f), bytes); // nothing written
        fs::remove(dir_.File("gone.LVideo"));
    }
    // Without a callback a lost frame file is simply not found.
    const std::string f = Make("D:\\Recorder\\gone.LVideo", "gone.LVideo");
    fs::remove(dir_.File("gone.LVideo"));
    EXPECT_THROW(TFVideoFile(f, false), EStreetError);
}

TEST_F(FrameFileTest, FramesBeyondFourGigabytesAreRead) {
    // A sparse frame file of 5 GiB with frames at 4.5 GiB and at its very end.
    const int64_t far = (int64_t(9) << 29) + 3, size = int64_t(5) << 30;
    const auto packed = surveytest::PackedFrame(32, 16, 2, 60);
    const std::string frames = dir_.File("big.LVideo");
    {
        std::ofstream out(frames, std::ios::binary);
        out.seekp(far);
        out.write(reinterpret_cast<const char *>(packed.data()), static_cast<std::streamsize>(packed.size()));
        out.seekp(size - static_cast<int64_t>(packed.size()));
        out.write(reinterpret_cast<const char *>(packed.data()), static_cast<std::streamsize>(packed.size()));
        ASSERT_TRUE(out.good());
    }
    ASSERT_EQ(static_cast<int64_t>(fs::file_size(frames)), size);
    surveytest::TFileSpec spec;
    spec.Width = 32;
    spec.Streams.resize(1);
    spec.Streams[0].Frames = surveytest::Straight(2, 0, 0, 0);
    spec.FileBlobs = {{"LVideoReference", surveytest::Text(frames)},
                      {"LVideoFirst2k", std::vector<uint8_t>(2048)}};
    auto built = surveytest::Build(spec);
    surveytest::Poke(built.Bytes, static_cast<std::size_t>(built.IndexPos[0]), far);
    surveytest::Poke(built.Bytes, static_cast<std::size_t>(built.IndexPos[0] + 8), uint32_t(packed.size()));
    surveytest::Poke(built.Bytes, static_cast<std::size_t>(built.IndexPos[0] + 20), uint32_t(packed.size()));
    surveytest::Poke(built.Bytes, static_cast<std::size_t>(built.IndexPos[0] + 12),
                     size - int64_t(packed.size()));
    const std::string f = dir_.File("big.FVideo");
    sptest::WriteFileBytes(f, built.Bytes);

    TOrsekPegCoder coder(32, 16, 2);
    std::vector<uint8_t> yuv(static_cast<std::size_t>(coder.ImageSize()));
    coder.UnPackImage(yuv.data(), coder.ImageSize(), packed.data(), static_cast<int32_t>(packed.size()));
    TFrameBitmap expect;
    expect.SetSize(32, 16);
    YuvToBitmap(expect, yuv.data(), 32, 16);

    TFVideoFile v(f, false);
    EXPECT_TRUE(v.Warnings().empty());
    ASSERT_EQ(v.Streams(0).FrameCount(), 2);
    EXPECT_EQ(v.Streams(0).FrameEntry(0).Position, far);
    for (int32_t k = 0; k < 2; ++k) {
        TFrameBitmap b;
        v.Streams(0).GetFrame(k, b);
        EXPECT_EQ(b.Bits, expect.Bits);
    }
    // One byte past the end is outside the frame file.
    surveytest::Poke(built.Bytes, static_cast<std::size_t>(built.IndexPos[0] + 12),
                     size - int64_t(packed.size()) + 1);
    sptest::WriteFileBytes(f, built.Bytes);
    TFVideoFile cut(f, false);
    ASSERT_EQ(cut.Streams(0).FrameCount(), 2);
    TFrameBitmap b;
    EXPECT_NO_THROW(cut.Streams(0).GetFrame(0, b));
    EXPECT_THROW(cut.Streams(0).GetFrame(1, b), EStreetError);
}

} // namespace
