// The generated sign library of DataFiles: it opens from its default folder without a notice, every
// picture plays and shows something, every sign number has its description and area, every old name
// translates to a picture that is there, and the missing-sign picture is present.
#include "ObjectsTestUtil.h"

#include "engine/DataFiles.h"
#include "engine/Directory.h"
#include "objects/EmfTexture.h"
#include "objects/MetafileLib.h"
#include "objects/SignPicture.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace {

class GeneratedSignLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        TEMFTexture::FreeCache();
        FreeSignMetafileLibrary();
        FreeSignTables();
        TakeSignLibraryNotices();
    }
    void TearDown() override { SetUp(); }
};

std::string FileText(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(GeneratedSignLibrary, EveryPicturePlaysAndEveryNumberIsDescribed) {
    const TNamedMetafileLib &lib = SignMetafileLibrary();
    EXPECT_GE(lib.Count(), 40);
    EXPECT_LE(lib.Count(), 80);
    for (std::string number : {"5.19.1", "5.19.2", "2.4", "3.24", "8.2.1", "2.5", "1.22", "6.4"}) {
        std::string file = number;
        std::replace(file.begin(), file.end(), '.', '-');
        EXPECT_GE(lib.IndexOfName(Cp1251String(file + ".emf")), 0) << number;
    }
    for (int i = 0; i < lib.Count(); ++i) {
        const TMetafile &m = lib.GetMetafile(i);
        const Cp1251String number = SignNumberFromFileName(lib.GetName(i));
        SCOPED_TRACE(lib.GetName(i).ToUtf8());
        // 150 units a metre: every sign between 0.3 m and 1.5 m a side.
        EXPECT_GE(m.Width(), 45);
        EXPECT_LE(m.Width(), 225);
        EXPECT_GE(m.Height(), 45);
        QImage image(m.Width(), m.Height(), QImage::Format_RGB32);
        image.fill(QColor(255, 0, 255));
        {
            QPainter p(&image);
            EXPECT_NO_THROW(m.Play(p, QRectF(0, 0, m.Width(), m.Height())));
        }
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += image.pixel(x, y) != qRgb(255, 0, 255);
        EXPECT_GT(painted, image.width() * image.height() / 3) << "the sign covers its box";
        EXPECT_FALSE(SignDescription(number).Empty()) << number.ToUtf8();
        const Cp1251String area = SignAreaText(number);
        EXPECT_GT(std::stod(area.Bytes().empty() ? "0" : area.Bytes()), 0.05) << number.ToUtf8();
    }
    EXPECT_TRUE(TakeSignLibraryNotices().empty());
    EXPECT_FALSE(MissingSignMetafile().Empty());
}

TEST_F(GeneratedSignLibrary, EveryOldNameTranslatesToAPictureThatIsThere) {
    TNameValueList list;
    const auto file = FindDataFile(Cp("Знаки/OldLibTranslation.txt"));
    ASSERT_TRUE(file);
    list.SetText(Cp1251String(FileText(*file)));
    ASSERT_GT(list.Count(), 0);
    for (int i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(SignMetafileLibrary().IndexOfName(list.Names(i)), -1) << "an old name is no picture";
        EXPECT_GE(SignMetafileLibrary().IndexOfName(list.ValueFromIndex(i)), 0) << list.Lines(i).ToUtf8();
    }
}

} // namespace
