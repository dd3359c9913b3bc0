#include "ShellTestSupport.h"
#include "engine/Cp1251Qt.h"
#include "shell/EMFGridForm.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using PictureChooser = shelltest::ShellTest;

void Touch(const QString &file) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

// Draws every picture as a plain red rectangle of the file's stated size.
class RedThumbnails : public IPictureThumbnails {
public:
    QImage Thumbnail(const QString &) override {
        ++calls;
        QImage img(100, 50, QImage::Format_ARGB32);
        img.fill(Qt::red);
        return img;
    }
    int calls = 0;
};

} // namespace

TEST(PictureChooserGeometry, CellsAndPictures) {
    EXPECT_EQ(TEMFGridForm::ColumnCount(148, 64), 2);
    EXPECT_EQ(TEMFGridForm::ColumnCount(84, 64), 1);
    EXPECT_EQ(TEMFGridForm::ColumnCount(10, 64), 1); // a narrow grid still has a column
    EXPECT_EQ(TEMFGridForm::RowCount(0, 2), 0);
    EXPECT_EQ(TEMFGridForm::RowCount(1, 2), 1);
    EXPECT_EQ(TEMFGridForm::RowCount(5, 2), 3);

    // 100 x 50 in a 64-pixel cell: scale min(62/50/2, 46/25/2) = 0.62; half sizes round(31) - 1 and
    // round(15.5) - 1, centred 8 pixels above the middle.
    EXPECT_EQ(TEMFGridForm::PictureRect(QRect(0, 0, 64, 64), QSize(100, 50)),
              QRect(32 - 30, 24 - 15, 60, 30));
    EXPECT_EQ(TEMFGridForm::PictureRect(QRect(64, 128, 64, 64), QSize(100, 50)),
              QRect(64 + 32 - 30, 128 + 24 - 15, 60, 30));
    // A picture without half a unit of width or height is not drawn.
    EXPECT_TRUE(TEMFGridForm::PictureRect(QRect(0, 0, 64, 64), QSize(1, 50)).isEmpty());
    EXPECT_TRUE(TEMFGridForm::PictureRect(QRect(0, 0, 64, 64), QSize(50, 0)).isEmpty());

    EXPECT_EQ(TEMFGridForm::CellCaption(QStringLiteral("5.19.1.emf")), QStringLiteral(" 5 "));
    EXPECT_EQ(TEMFGridForm::CellCaption(QStringLiteral("стрелка")), QStringLiteral(" стрелка "));
}

TEST_F(PictureChooser, FoldersFilesAndChoosing) {
    sptest::TempDir pictures;
    const QString dir = QString::fromStdString(pictures.Path().string());
    for (const char *name : {"b.emf", "A.WMF", "c.EMF", "note.txt"})
        Touch(dir + u'/' + QString::fromLatin1(name));
    QDir(dir).mkdir(QStringLiteral("folder.emf"));
    RedThumbnails thumbnails;
    SetPictureThumbnails(&thumbnails);

    const QString missing = dir + QStringLiteral("/нет такого");
    {
        TEMFGridForm form;
        form.resize(400, 300);
        form.SetDirectory(dir);
        EXPECT_EQ(form.Files, (QStringList{"A.WMF", "b.emf", "c.EMF"}));
        EXPECT_EQ(form.Directory(), dir);

        // A missing folder is offered for removal; No keeps it listed, with no files.
        prompts_.Answer(TPromptAnswer::No);
        form.SetDirectory(missing);
        EXPECT_EQ(prompts_.Log().back(), QStringLiteral("ask: Каталог \"") + missing +
                                             QStringLiteral("\" недоступен.\nУдалить из списка ?"));
        EXPECT_TRUE(form.Files.isEmpty());
        EXPECT_EQ(form.Directories(), (QStringList{dir, missing}));
        form.SetDirectory(dir);

        // Two releases 4 pixels apart choose the current picture; the grid is drawn with the provider's
        // pictures on the way.
        form.show();
        const QImage shot = form.Grid()->viewport()->grab().toImage();
        EXPECT_GT(thumbnails.calls, 0);
        EXPECT_EQ(shot.pixelColor(32, 24), QColor(Qt::red));
        form.Grid()->SetCurrent(1, 0);
        form.GridReleased(QPoint(70, 10));
        EXPECT_EQ(form.result(), 0);
        form.GridReleased(QPoint(73, 11));
        EXPECT_EQ(form.result(), 1);
        EXPECT_EQ(form.SelectedFile, dir + QStringLiteral("/b.emf"));
    }
    {
        // The folder list and the last folder come back; a missing folder removed with Yes is gone.
        TEMFGridForm form;
        EXPECT_EQ(form.Directory(), dir);
        EXPECT_EQ(form.Files.size(), 3);
        prompts_.Answer(TPromptAnswer::Yes);
        form.SetDirectory(missing);
        EXPECT_EQ(form.Directories(), QStringList{dir});
        EXPECT_TRUE(form.Directory().isEmpty());
        form.SetDirectory(dir);

        // 5 pixels apart is no double click, nor is a second release after the timer ran.
        form.GridReleased(QPoint(10, 10));
        form.GridReleased(QPoint(15, 10));
        EXPECT_TRUE(form.SelectedFile.isEmpty());
        EXPECT_TRUE(form.DblClickTimer()->isActive());
        form.DblClickTimerFired();
        EXPECT_EQ(form.LastClick, QPoint(-10000, -10000));
        form.GridReleased(QPoint(15, 10));
        EXPECT_TRUE(form.SelectedFile.isEmpty());
        EXPECT_NE(form.result(), 1);

        // A double click beyond the last file chooses nothing, but closes.
        form.Grid()->SetLayout(2, 2, 64);
        form.Grid()->SetCurrent(1, 1);
        form.GridReleased(QPoint(100, 100));
        form.GridReleased(QPoint(100, 100));
        EXPECT_TRUE(form.SelectedFile.isEmpty());
        EXPECT_EQ(form.result(), 1);
    }
    {
        TEMFGridForm form;
        form.DeleteDirectory();
        EXPECT_TRUE(form.Directories().isEmpty());
        EXPECT_TRUE(form.Files.isEmpty());
    }
    std::vector<Cp1251String> stored{Cp("x")};
    RegReadStrings(Cp("EMFGridForm"), Cp("DirList"), stored);
    EXPECT_TRUE(stored.empty());
    SetPictureThumbnails(nullptr);

    prompts_.Picture(dir + QStringLiteral("/c.EMF"));
    EXPECT_EQ(TEMFGridForm::ChoosePicture(QStringLiteral("Картинка")), dir + QStringLiteral("/c.EMF"));
}
