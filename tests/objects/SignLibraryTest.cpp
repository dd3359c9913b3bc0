// The sign picture library (folder listing, names, identity), its opening from the named directory with
// the notices it leaves, and the texture cache of rendered metafiles.
#include "SignTestUtil.h"

#include "engine/Directory.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"
#include "platform/PlatformError.h"

#include <QImage>

using namespace signtest;

namespace {

class SignLibrary : public SignFixture {};

TMetafile MetafileOf(const std::vector<uint8_t> &bytes) {
    TMetafile m;
    m.LoadFromBytes(bytes.data(), bytes.size());
    return m;
}

std::string Utf8(const std::filesystem::path &p) {
    const std::u8string u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

TEST_F(SignLibrary, DirectoryListsEachExtensionInAnyCaseSortedByName) {
    TNamedMetafileLib lib;
    sptest::WriteFileBytes((LibraryDir() / "z.wmf").string(), {}); // another extension: never opened
    lib.LoadDirectory(LibraryDir(), ".emf");
    ASSERT_EQ(lib.Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lib.GetName(i), Cp1251String(FixtureSigns[i].Name)) << i;
    // Letter case is ignored when looking up a name.
    EXPECT_EQ(lib.IndexOfName(Cp1251String("pair-a.emf")), 3);
    EXPECT_EQ(lib.IndexOfName(Cp1251String("5-19-1.EMF")), 2);
    EXPECT_EQ(lib.IndexOfName(Cp1251String("5-19-2.emf")), -1);
    // Two entries with the same bytes: the later one is the picture's identity.
    EXPECT_EQ(lib.IndexOfIdentical(MetafileOf(FixtureSignBytes(3))), 4);
    EXPECT_EQ(lib.IndexOfIdentical(MetafileOf(FixtureSignBytes(0))), 0);
    EXPECT_EQ(lib.IndexOfIdentical(MetafileOf(TestEmf(90, 60, 0x123456))), -1);
    EXPECT_EQ(lib.IndexOfIdentical(TMetafile()), -1);
    EXPECT_TRUE(TNamedMetafileLib::MetafilesEqual(lib.GetMetafile(3), lib.GetMetafile(4)));
    EXPECT_FALSE(TNamedMetafileLib::MetafilesEqual(lib.GetMetafile(2), lib.GetMetafile(3)));
    EXPECT_THROW(lib.GetMetafile(5), EStreetError);
    lib.Clear();
    EXPECT_EQ(lib.Count(), 0);
}

TEST_F(SignLibrary, ABrokenFileFailsAloneWhenTheLibraryOpens) {
    sptest::WriteFileBytes((LibraryDir() / "4-1-1.emf").string(), {'n', 'o', 't', ' ', 'e', 'm', 'f'});
    TNamedMetafileLib lib;
    EXPECT_THROW(lib.LoadDirectory(LibraryDir(), ".emf"), EPlatformError);
    EXPECT_EQ(lib.Count(), 2) << "the files before the broken one stay";

    const TNamedMetafileLib &opened = SignMetafileLibrary();
    EXPECT_EQ(opened.Count(), 5);
    const auto notices = TakeSignLibraryNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].Text.find("4-1-1.emf"), std::string::npos) << notices[0].Text;
}

TEST_F(SignLibrary, OpeningTellsOfAMissingOrEmptyFolderOnceAndNeverRaises) {
    // The default folder below DataFiles (no folder is stored for the name in the tests' settings).
    const std::filesystem::path folder = LibraryDir();
    for (int i = 0; i < 5; ++i)
        std::filesystem::remove(folder / FixtureSigns[i].Name);
    Reopen();
    EXPECT_EQ(SignMetafileLibrary().Count(), 0);
    auto notices = TakeSignLibraryNotices();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].Text, "            Предупреждение !!! \rНе найдено ни одного метафайла в каталоге \"" +
                                   Utf8(folder) + "\".");
    EXPECT_TRUE(notices[0].Warning);

    std::filesystem::remove_all(folder);
    Reopen();
    EXPECT_EQ(SignMetafileLibrary().Count(), 0);
    EXPECT_EQ(SignMetafileLibrary().Count(), 0);
    notices = TakeSignLibraryNotices();
    ASSERT_EQ(notices.size(), 1u) << "told once";
    EXPECT_EQ(notices[0].Text, "Недоступен каталог \"" + Utf8(folder) + "\" (библиотека метафайлов)");
    EXPECT_FALSE(notices[0].Warning);
}

TEST_F(SignLibrary, WindowsMetafilesFollowTheEnhancedOnes) {
    // A Windows metafile with nothing but its header and end record.
    sptest::ByteBuilder wmf;
    wmf.U16(1).U16(9).U16(0x300).U32(12).U16(0).U32(3).U16(0).U32(3).U16(0);
    sptest::WriteFileBytes((LibraryDir() / "0-plain.WMF").string(), wmf.Data());
    const TNamedMetafileLib &lib = SignMetafileLibrary();
    ASSERT_EQ(lib.Count(), 6);
    EXPECT_EQ(lib.GetName(5), Cp1251String("0-plain.WMF"));
    EXPECT_EQ(lib.GetMetafile(5).Kind(), TMetafileKind::Windows);
}

TEST_F(SignLibrary, TheMissingSignIsReadOnceFromDataFiles) {
    const TMetafile &missing = MissingSignMetafile();
    EXPECT_EQ(missing.Width(), 60);
    EXPECT_EQ(&MissingSignMetafile(), &missing);
    std::filesystem::remove_all(DataDir() / u8"Знаки");
    Reopen();
    EXPECT_TRUE(MissingSignMetafile().Empty());
    EXPECT_EQ(TakeSignLibraryNotices().size(), 1u);
}

// ---- Textures

class EmfTextures : public SignFixture {};

std::shared_ptr<const std::vector<uint8_t>> Shared(const std::vector<uint8_t> &bytes) {
    return std::make_shared<const std::vector<uint8_t>>(bytes);
}

TEST_F(EmfTextures, BitmapSideFollowsTheMetafileSize) {
    const struct {
        int W, H, TexW, TexH;
    } cases[] = {{90, 60, 256, 256}, {1000, 1001, 256, 512}, {1200, 800, 512, 256}, {3001, 3000, 1024, 512}};
    for (const auto &c : cases) {
        int32_t hint = 0;
        TEMFTexture *t = TEMFTexture::Acquire(Shared(TestEmf(c.W, c.H, 0x202020)), hint);
        EXPECT_EQ(t->Texture().Width(), c.TexW) << c.W;
        EXPECT_EQ(t->Texture().Height(), c.TexH) << c.H;
    }
}

TEST_F(EmfTextures, RenderKeysTheBackgroundAndTheFrame) {
    int32_t hint = 0;
    TEMFTexture *t = TEMFTexture::Acquire(Shared(TestEmf(100, 100, 0x0000FF, 0xFF0000)), hint);
    const TBitmap &b = *t->Texture().Bitmap();
    ASSERT_EQ(b.Width(), 256);
    EXPECT_EQ(t->Texture().ColorKey(), 0xFF00FFu);
    const uint32_t magenta = 0xFFFF00FF;
    for (int i = 0; i < 256; i += 17) {
        EXPECT_EQ(b.Pixel(i, 0), magenta) << i;
        EXPECT_EQ(b.Pixel(i, 255), magenta) << i;
        EXPECT_EQ(b.Pixel(0, i), magenta) << i;
        EXPECT_EQ(b.Pixel(255, i), magenta) << i;
    }
    // The picture fills the inner rectangle, its top-left quarter (the mark) at the top left.
    EXPECT_EQ(b.Pixel(30, 30), 0xFFFF0000u);
    EXPECT_EQ(b.Pixel(200, 200), 0xFF0000FFu);
    EXPECT_EQ(b.Pixel(200, 30), 0xFF0000FFu);
}

TEST_F(EmfTextures, AcquireUsesTheHintThenTheHintBeforeItThenTheLastEqual) {
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> pictures;
    for (int i = 0; i < 4; ++i)
        pictures.push_back(Shared(TestEmf(40, 40, 0x101010 * (i + 1))));
    int32_t hint = 0;
    std::vector<TEMFTexture *> made;
    for (const auto &p : pictures)
        made.push_back(TEMFTexture::Acquire(p, hint));
    EXPECT_EQ(hint, 0) << "a new texture leaves the hint alone";
    EXPECT_EQ(TEMFTexture::Cache().size(), 4u);
    EXPECT_EQ(made[2]->UseCount(), 1);
    // Equal bytes in another buffer find the same texture; the scan sets the hint and counts the use.
    hint = 0;
    EXPECT_EQ(TEMFTexture::Acquire(Shared(*pictures[2]), hint), made[2]);
    EXPECT_EQ(hint, 2);
    EXPECT_EQ(made[2]->UseCount(), 2);
    // At the hint: no count.
    EXPECT_EQ(TEMFTexture::Acquire(pictures[2], hint), made[2]);
    EXPECT_EQ(made[2]->UseCount(), 2);
    // One place on (an eviction moved it): the hint comes down by one and stays there.
    hint = 3;
    EXPECT_EQ(TEMFTexture::Acquire(pictures[2], hint), made[2]);
    EXPECT_EQ(hint, 2);
    EXPECT_EQ(made[2]->UseCount(), 2);
    // A hint past the cache falls back to the scan.
    hint = 40;
    EXPECT_EQ(TEMFTexture::Acquire(pictures[1], hint), made[1]);
    EXPECT_EQ(hint, 1);
    EXPECT_EQ(TEMFTexture::CreatedCount() - made[0]->Serial(), 3u);
}

TEST_F(EmfTextures, AFullCacheFreesTheLeastUsedOfItsFirstHalf) {
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> pictures;
    for (int i = 0; i < 66; ++i)
        pictures.push_back(Shared(TestEmf(20 + i, 20, 0x000000)));
    int32_t hint = 0;
    for (int i = 0; i < 63; ++i)
        TEMFTexture::Acquire(pictures[std::size_t(i)], hint);
    // Every entry used twice but entry 40 (outside the first 33) and entry 20.
    for (int i = 0; i < 63; ++i)
        if (i != 20 && i != 40) {
            hint = -1;
            TEMFTexture::Acquire(pictures[std::size_t(i)], hint);
        }
    // The 64th fills the cache; the trim comes with the next acquisition.
    TEMFTexture::Acquire(pictures[63], hint);
    ASSERT_EQ(TEMFTexture::Cache().size(), 64u);
    // Serial numbers, not addresses: a freed texture's address may be taken by the next one.
    const auto serials = [] {
        std::vector<uint64_t> v;
        for (const TEMFTexture *t : TEMFTexture::Cache())
            v.push_back(t->Serial());
        return v;
    };
    const uint64_t evicted = TEMFTexture::Cache()[20]->Serial(), kept = TEMFTexture::Cache()[40]->Serial();
    const uint64_t first = TEMFTexture::Cache()[0]->Serial();
    hint = 0;
    TEMFTexture *fresh = TEMFTexture::Acquire(pictures[64], hint);
    std::vector<uint64_t> cache = serials();
    ASSERT_EQ(cache.size(), 64u);
    EXPECT_EQ(cache.back(), fresh->Serial());
    EXPECT_EQ(std::count(cache.begin(), cache.end(), evicted), 0);
    EXPECT_EQ(std::count(cache.begin(), cache.end(), kept), 1);
    // Equal use counts: the first of them goes.
    hint = 0;
    TEMFTexture::Acquire(pictures[65], hint);
    cache = serials();
    EXPECT_EQ(std::count(cache.begin(), cache.end(), first), 0);
    EXPECT_EQ(cache.size(), 64u);
}

// Frames of drawing: every picture in view is acquired once a frame with its own hint, as plates do.
// More pictures in view than the cache keeps must not render again in every warm frame, and the cache
// comes back to its size once fewer pictures are in view.
TEST_F(EmfTextures, PicturesInViewStayCachedAcrossFramesAndTheCacheShrinksBack) {
    struct TPhase {
        int First, Count, Frames; // pictures First..First+Count-1 in view for that many frames
        uint64_t FirstFrameRenders, WarmFrameRenders;
        std::size_t MaxCache; // cache size after the phase, at most
    };
    const struct {
        const char *Name;
        std::vector<TPhase> Phases;
    } cases[] = {
        {"100 pictures", {{0, 100, 4, 100, 0, 100}}},
        {"40 pictures", {{0, 40, 3, 40, 0, 40}}},
        {"64 pictures", {{0, 64, 3, 64, 0, 64}}},
        {"the view moves to 100 others", {{0, 100, 2, 100, 0, 100}, {100, 100, 3, 100, 0, 100}}},
        {"the view closes in on 10 of 100", {{0, 100, 2, 100, 0, 100}, {30, 10, 12, 0, 0, 64}}},
        {"half of the view changes", {{0, 100, 2, 100, 0, 100}, {50, 100, 3, 50, 0, 100}}},
    };
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> pictures;
    for (int i = 0; i < 200; ++i)
        pictures.push_back(Shared(TestEmf(20 + i % 100, 20 + i / 100, 0x000000)));
    for (const auto &c : cases) {
        TEMFTexture::FreeCache();
        std::vector<int32_t> hints(pictures.size(), 0);
        uint64_t frame = 1000;
        for (std::size_t p = 0; p < c.Phases.size(); ++p) {
            const TPhase &ph = c.Phases[p];
            for (int f = 0; f < ph.Frames; ++f) {
                const uint64_t before = TEMFTexture::RenderCount();
                ++frame;
                for (int i = ph.First; i < ph.First + ph.Count; ++i) {
                    TEMFTexture *t =
                        TEMFTexture::Acquire(pictures[std::size_t(i)], hints[std::size_t(i)], frame);
                    ASSERT_EQ(t->Bytes(), *pictures[std::size_t(i)]) << c.Name;
                }
                EXPECT_EQ(TEMFTexture::RenderCount() - before,
                          f == 0 ? ph.FirstFrameRenders : ph.WarmFrameRenders)
                    << c.Name << ", phase " << p << ", frame " << f;
            }
            EXPECT_LE(TEMFTexture::Cache().size(), ph.MaxCache) << c.Name << ", phase " << p;
        }
    }
}

// Outside frames the trim takes no notice of what was drawn: acquisitions without a frame free entries
// that the last frames drew.
TEST_F(EmfTextures, AcquisitionsOutsideFramesTrimAsBefore) {
    std::vector<std::shared_ptr<const std::vector<uint8_t>>> pictures;
    for (int i = 0; i < 70; ++i)
        pictures.push_back(Shared(TestEmf(20 + i, 20, 0x000000)));
    int32_t hint = 0;
    for (int i = 0; i < 64; ++i)
        TEMFTexture::Acquire(pictures[std::size_t(i)], hint, 7);
    ASSERT_EQ(TEMFTexture::Cache().size(), 64u);
    // Drawn in frame 7: kept while frames 7 and 8 are the last two, whatever acquisition comes.
    TEMFTexture::Acquire(pictures[64], hint, 8);
    EXPECT_EQ(TEMFTexture::Cache().size(), 65u);
    TEMFTexture::Acquire(pictures[65], hint);
    EXPECT_EQ(TEMFTexture::Cache().size(), 66u);
    // Two frames on, the frame-7 pictures are free again and the trim runs as the cache's own rule says.
    TEMFTexture::Acquire(pictures[66], hint, 9);
    TEMFTexture::Acquire(pictures[67], hint, 10);
    EXPECT_EQ(TEMFTexture::Cache().size(), 66u);
    TEMFTexture::FreeCache();
    for (int i = 0; i < 64; ++i)
        TEMFTexture::Acquire(pictures[std::size_t(i)], hint);
    TEMFTexture::Acquire(pictures[64], hint);
    EXPECT_EQ(TEMFTexture::Cache().size(), 64u) << "without frames the cache stays at its size";
}

TEST_F(EmfTextures, BytesThatAreNoMetafileRenderAsNothing) {
    int32_t hint = 0;
    TEMFTexture *t = TEMFTexture::Acquire(Shared({1, 2, 3}), hint);
    const TBitmap &b = *t->Texture().Bitmap();
    EXPECT_EQ(b.Width(), 256);
    EXPECT_EQ(b.Pixel(128, 128), 0xFFFF00FFu);
}

} // namespace
