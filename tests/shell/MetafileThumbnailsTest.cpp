#include "shell/MetafileThumbnails.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A small enhanced metafile from the reader's seed corpus (written with libUEMF).
std::filesystem::path SeedPicture() {
    for (const auto &e : std::filesystem::directory_iterator(sptest::SourceDir() / "fuzz/corpus/emf_reader"))
        if (e.is_regular_file() && e.file_size() > 200)
            return e.path();
    return {};
}

} // namespace

TEST(MetafileThumbnails, PicturesOfReadableFilesOnly) {
    sptest::TempDir dir;
    TMetafileThumbnails thumbs;
    EXPECT_TRUE(thumbs.Thumbnail(QString::fromStdString(dir.File("missing.emf"))).isNull());
    sptest::WriteFileBytes(dir.File("junk.emf"), {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(thumbs.Thumbnail(QString::fromStdString(dir.File("junk.emf"))).isNull());

    const auto seed = SeedPicture();
    ASSERT_FALSE(seed.empty());
    const QString copy = QString::fromStdString(dir.File("sign.emf"));
    std::filesystem::copy_file(seed, copy.toStdString());
    const QImage img = thumbs.Thumbnail(copy);
    ASSERT_FALSE(img.isNull());
    EXPECT_LE(std::max(img.width(), img.height()), TMetafileThumbnails::MaxSide);

    // A file replaced by garbage is read again, not served from the cache.
    sptest::WriteFileBytes(copy.toStdString(), std::vector<uint8_t>(300, 0xAB));
    EXPECT_TRUE(thumbs.Thumbnail(copy).isNull());
}
