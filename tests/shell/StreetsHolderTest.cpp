// The holder of open streets on real files in a folder of the test's own, with every question answered
// from a script: naming new streets, opening files once, several at a time with bad ones among them, saving
// atomically, failing to save, Save As onto another street's file, auto-save side files, the recent-files
// list and the questions on closing.
#include "ShellTestSupport.h"

#include "engine/Cp1251Qt.h"
#include "engine/Streams.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "objects/RegisterObjects.h"
#include "platform/settings/SettingsStore.h"
#include "shell/StreetsHolder.h"
#include "support/StreetBuild.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

#include <filesystem>

namespace {

QString Q(const std::string &s) {
    return QString::fromStdString(s);
}

// A street file with the given number of points (points make streets tell apart).
void WriteStreet(const std::string &fileName, int points) {
    TStreetStructure street;
    for (int i = 0; i < points; ++i)
        street.Pool().AddPoint({float(i), float(2 * i), 0});
    street.SaveToFile(fileName);
}

std::vector<uint8_t> BytesOf(TStreetStructure &street) {
    TMemoryStream stream;
    street.SaveToStream(stream);
    return stream.Bytes();
}

void Modify(TStreetStructure &street) {
    street.Pool().AddPoint({100, 100, 0});
    street.SetModified();
}

QStringList FilesIn(const sptest::TempDir &dir) {
    return QDir(Q(dir.Path().string())).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Dates the file that many seconds from now.
void SetFileAge(const QString &fileName, int seconds) {
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        file.setFileTime(QDateTime::currentDateTime().addSecs(seconds), QFileDevice::FileModificationTime));
}

QString TimeOf(const QString &fileName) {
    return QFileInfo(fileName).lastModified().toString("dd.MM.yyyy HH:mm:ss");
}

class StreetsHolder : public shelltest::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        holder_ = std::make_unique<TStreetsHolderModule>();
    }
    void TearDown() override {
        holder_.reset();
        ShellTest::TearDown();
    }
    std::string File(const std::string &name, int points = 3) {
        const std::string path = dir_.File(name);
        WriteStreet(path, points);
        return path;
    }

    sptest::TempDir dir_;
    std::unique_ptr<TStreetsHolderModule> holder_;
};

TEST_F(StreetsHolder, NewStreetsTakeTheFirstFreeName) {
    EXPECT_EQ(holder_->ActiveIndex(), -1);
    EXPECT_EQ(holder_->NewStreet(), 0);
    EXPECT_EQ(holder_->FileNames(0), "Street.zrv");
    EXPECT_EQ(holder_->NewStreet(), 1);
    EXPECT_EQ(holder_->FileNames(1), "Street1.zrv");
    EXPECT_EQ(holder_->ActiveIndex(), 1);
    holder_->CloseStreet(0, true);
    EXPECT_EQ(holder_->GetShortNames(), QStringList({"Street1.zrv"}));
    EXPECT_EQ(holder_->NewStreet(), 1);
    EXPECT_EQ(holder_->FileNames(1), "Street.zrv");
    holder_->NewStreet();
    EXPECT_EQ(holder_->FileNames(2), "Street2.zrv");
    EXPECT_TRUE(holder_->Streets(2).IsIdle());
}

TEST_F(StreetsHolder, AFileOpensOnceWhateverPathReachesIt) {
    const std::string a = File("a.zrv", 4);
    std::filesystem::create_directory(dir_.Path() / "sub");
    std::filesystem::create_symlink(a, dir_.Path() / "link.zrv");
    const int index = holder_->OpenFile(Q(a));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(holder_->Streets(0).Pool().Count(), 4);
    EXPECT_EQ(holder_->ActiveIndex(), -1) << "opening alone does not make the street active";
    for (const std::string &other : {a, dir_.File("sub/../a.zrv"), dir_.File("link.zrv")})
        EXPECT_EQ(holder_->OpenFile(Q(other)), 0) << other;
    EXPECT_EQ(holder_->Count(), 1);
    EXPECT_EQ(prompts_.Messages(), QStringList(3, "Файл уже загружен."));
    // Letter case tells files apart here.
    const std::string upper = File("A.zrv", 2);
    EXPECT_EQ(holder_->OpenFile(Q(upper)), 1);
    EXPECT_EQ(holder_->Count(), 2);
    EXPECT_EQ(TStreetsHolderModule::RecentFiles().mid(0, 2), QStringList({Q(upper), Q(a)}));
}

TEST_F(StreetsHolder, SeveralFilesOpenAndTheUnreadableOnesAreReported) {
    const std::string a = File("a.zrv", 1), b = File("b.zrv", 2);
    const std::string bad = dir_.File("bad.zrv");
    sptest::WriteFileBytes(bad, {'n', 'o', 't', ' ', 'a', ' ', 's', 't', 'r', 'e', 'e', 't'});
    const std::string missing = dir_.File("missing.zrv");
    holder_->NewStreet(); // the untouched street of the start
    prompts_.Files({Q(a), Q(bad), Q(missing), Q(b)});
    EXPECT_EQ(holder_->OpenWithDialog(), 2);
    EXPECT_EQ(holder_->ActiveIndex(), 2);
    holder_->DropEmptyStreets();
    ASSERT_EQ(holder_->Count(), 2);
    EXPECT_EQ(holder_->FileNames(0), Q(a));
    EXPECT_EQ(holder_->FileNames(1), Q(b));
    EXPECT_EQ(holder_->ActiveIndex(), 1) << "the last file opened is active";
    ASSERT_EQ(prompts_.Messages().size(), 2);
    EXPECT_TRUE(prompts_.Messages()[0].startsWith("Не удалось открыть файл \"" + Q(bad) + "\": "));
    EXPECT_TRUE(prompts_.Messages()[1].startsWith("Не удалось открыть файл \"" + Q(missing) + "\": "));
    // A cancelled dialog opens nothing.
    prompts_.CancelFiles();
    EXPECT_EQ(holder_->OpenWithDialog(), -1);
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StreetsHolder, SavingReplacesTheFileAndOnlyThenClearsModified) {
    const std::string a = File("a.zrv");
    holder_->SetActiveIndex(holder_->OpenFile(Q(a)));
    TStreetStructure &street = holder_->ActiveStreet();
    EXPECT_TRUE(holder_->SaveStreet(0)) << "nothing to save";
    Modify(street);
    EXPECT_TRUE(holder_->AnyUnsaved());
    EXPECT_TRUE(holder_->SaveStreet(0));
    EXPECT_FALSE(street.Modified());
    EXPECT_FALSE(holder_->AnyUnsaved());
    EXPECT_EQ(sptest::ReadFileBytes(a), BytesOf(street));
    EXPECT_EQ(FilesIn(dir_), QStringList({"a.zrv"})) << "no temporary file stays";
    EXPECT_TRUE(prompts_.Log().isEmpty());
}

TEST_F(StreetsHolder, AFailedSaveKeepsTheOldFileAndSaysSo) {
    // The longest name the folder takes: the temporary file beside it cannot be made.
    const std::string name = std::string(251, 'x') + ".zrv";
    const std::string path = File(name, 5);
    const std::vector<uint8_t> old = sptest::ReadFileBytes(path);
    holder_->SetActiveIndex(holder_->OpenFile(Q(path)));
    TStreetStructure &street = holder_->ActiveStreet();
    Modify(street);
    EXPECT_FALSE(holder_->SaveStreet(0));
    EXPECT_TRUE(street.Modified());
    EXPECT_TRUE(holder_->AnyUnsaved());
    EXPECT_EQ(sptest::ReadFileBytes(path), old);
    ASSERT_EQ(prompts_.Messages().size(), 1);
    EXPECT_TRUE(prompts_.Messages()[0].startsWith("Не удалось сохранить файл"));
    EXPECT_TRUE(prompts_.Messages()[0].endsWith("Прежний файл не изменён."));
    // Closing it asks, and a save that fails keeps the street open.
    prompts_.Answer(TPromptAnswer::Yes);
    EXPECT_FALSE(holder_->CloseStreet(0, false));
    EXPECT_EQ(holder_->Count(), 1);
}

TEST_F(StreetsHolder, SaveAsNeverWritesOverAnotherOpenStreetsFile) {
    const std::string a = File("a.zrv", 1), b = File("b.zrv", 2);
    holder_->OpenFile(Q(a));
    holder_->OpenFile(Q(b));
    const std::vector<uint8_t> oldB = sptest::ReadFileBytes(b);
    prompts_.Files({Q(b)});
    EXPECT_FALSE(holder_->SaveStreetAs(0));
    EXPECT_EQ(sptest::ReadFileBytes(b), oldB);
    EXPECT_EQ(holder_->FileNames(0), Q(a));
    ASSERT_EQ(prompts_.Messages().size(), 1);
    EXPECT_TRUE(prompts_.Messages()[0].contains("открыт как другая улица"));
    // Another file is fine, and the street is held under it afterwards.
    const std::string c = dir_.File("c.zrv");
    prompts_.Files({Q(c)});
    EXPECT_TRUE(holder_->SaveStreetAs(0));
    EXPECT_EQ(holder_->FileNames(0), Q(c));
    EXPECT_EQ(sptest::ReadFileBytes(c), sptest::ReadFileBytes(a));
}

TEST_F(StreetsHolder, ANewStreetAsksForItsFileOnTheFirstSave) {
    holder_->NewStreet();
    Modify(holder_->ActiveStreet());
    prompts_.CancelFiles();
    EXPECT_FALSE(holder_->SaveStreet(0));
    EXPECT_TRUE(holder_->ActiveStreet().Modified());
    const std::string path = dir_.File("new.zrv");
    prompts_.Files({Q(path)});
    EXPECT_TRUE(holder_->SaveStreet(0));
    EXPECT_FALSE(holder_->ActiveStreet().Modified());
    EXPECT_EQ(holder_->FileNames(0), Q(path));
    EXPECT_EQ(holder_->ActiveFileName(), Q(path));
    EXPECT_EQ(sptest::ReadFileBytes(path), BytesOf(holder_->ActiveStreet()));
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StreetsHolder, AnItemStillBeingDigitisedStaysOutOfTheFile) {
    RegisterObjects();
    holder_->NewStreet();
    TStreetStructure &street = holder_->ActiveStreet();
    sptest::MakeItem(street, RoadWayTypeCode, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    // Two points of the three a road way needs: a reader of the file would drop it without a word.
    TAbstractItem *unfinished = sptest::MakeItem(street, RoadWayTypeCode, {{5, 0, 0}, {6, 0, 0}});
    const std::string path = dir_.File("short.zrv");
    prompts_.Files({Q(path)});
    EXPECT_TRUE(holder_->SaveStreet(0));
    ASSERT_EQ(prompts_.Messages().size(), 1);
    EXPECT_TRUE(prompts_.Messages()[0].contains(ToQString(unfinished->GetDisplayName())));
    // The street keeps it, so that digitising goes on; the file reads back as it was written.
    EXPECT_EQ(street.Lists(RoadWayTypeCode).Count(), 2);
    const std::unique_ptr<TStreetStructure> back = LoadStreetFile(path);
    EXPECT_EQ(back->Lists(RoadWayTypeCode).Count(), 1);
    EXPECT_EQ(BytesOf(*back), sptest::ReadFileBytes(path));
    // The side file of an auto-save leaves it out too, without a word in the middle of the work.
    Modify(street);
    holder_->AutoSave();
    const std::unique_ptr<TStreetStructure> side = LoadStreetFile(holder_->AutoSaveFileName(0).toStdString());
    EXPECT_EQ(side->Lists(RoadWayTypeCode).Count(), 1);
    EXPECT_EQ(prompts_.Messages().size(), 1);
}

TEST_F(StreetsHolder, AutoSaveWritesSideFilesThatGoWithSaveAndClose) {
    const std::string a = File("a.zrv", 1), b = File("b.zrv", 2), c = File("c.zrv", 3);
    holder_->OpenFile(Q(a));
    holder_->OpenFile(Q(b));
    holder_->OpenFile(Q(c));
    holder_->NewStreet();
    Modify(holder_->Streets(0));
    Modify(holder_->Streets(1));
    Modify(holder_->Streets(3));
    const std::vector<uint8_t> oldA = sptest::ReadFileBytes(a);
    holder_->AutoSave();
    // Modified streets with a file: beside it, with the lock that makes it this program's; the new street:
    // in the settings folder; c is unchanged.
    EXPECT_EQ(FilesIn(dir_), QStringList({"a.zrv", "a.zrv.autosave", "a.zrv.autosave.lock", "b.zrv",
                                          "b.zrv.autosave", "b.zrv.autosave.lock", "c.zrv"}));
    EXPECT_EQ(sptest::ReadFileBytes(a + ".autosave"), BytesOf(holder_->Streets(0)));
    EXPECT_EQ(sptest::ReadFileBytes(a), oldA) << "the street's own file is not touched";
    EXPECT_TRUE(holder_->Streets(0).Modified()) << "an auto-save is no save";
    const QString unnamed = SettingsDir() + "/Street.zrv.autosave";
    EXPECT_TRUE(QFileInfo(unnamed).isFile());
    EXPECT_EQ(holder_->AutoSaveFileName(3), unnamed);

    // A save removes the side file, and so does a close that drops the changes.
    EXPECT_TRUE(holder_->SaveStreet(0));
    EXPECT_FALSE(QFileInfo::exists(Q(a + ".autosave")));
    prompts_.Answer(TPromptAnswer::No);
    EXPECT_TRUE(holder_->CloseStreet(1, false));
    EXPECT_FALSE(QFileInfo::exists(Q(b + ".autosave")));
    EXPECT_TRUE(holder_->CloseStreet(2, true)); // the new street
    EXPECT_FALSE(QFileInfo::exists(unnamed));
    EXPECT_EQ(FilesIn(dir_), QStringList({"a.zrv", "b.zrv", "c.zrv"}));
    EXPECT_TRUE(prompts_.Done());
}

// A side file in the settings folder that another session left (it ended without saving) or that another
// running program writes is never written over by a street of the same name.
TEST_F(StreetsHolder, AnUnnamedStreetNeverWritesOverAnotherSessionsSideFile) {
    const QString left = SettingsDir() + "/Street.zrv.autosave";
    QDir().mkpath(SettingsDir());
    WriteStreet(left.toStdString(), 5);
    const std::vector<uint8_t> leftBytes = sptest::ReadFileBytes(left.toStdString());
    holder_->NewStreet();
    Modify(holder_->Streets(0));
    holder_->AutoSave();
    const QString own = SettingsDir() + "/Street.zrv.2.autosave";
    EXPECT_EQ(holder_->AutoSaveFileName(0), own);
    EXPECT_EQ(sptest::ReadFileBytes(own.toStdString()), BytesOf(holder_->Streets(0)));
    // Later ticks keep to the street's own side file; a close takes only that one away.
    Modify(holder_->Streets(0));
    holder_->AutoSave();
    EXPECT_EQ(holder_->AutoSaveFileName(0), own);
    EXPECT_EQ(sptest::ReadFileBytes(own.toStdString()), BytesOf(holder_->Streets(0)));
    EXPECT_TRUE(holder_->CloseStreet(0, true));
    EXPECT_FALSE(QFileInfo::exists(own));
    EXPECT_EQ(sptest::ReadFileBytes(left.toStdString()), leftBytes);
    EXPECT_EQ(holder_->AutoSaveFileName(0), QString());
}

TEST_F(StreetsHolder, ANewerSideFileIsOfferedWhenTheStreetOpens) {
    struct Case {
        TPromptAnswer Answer;
        int Points; // 7: the auto-saved copy, 2: the file
        bool Modified;
    };
    for (const Case &c : {Case{TPromptAnswer::Yes, 7, true}, Case{TPromptAnswer::No, 2, false}}) {
        SCOPED_TRACE(c.Points == 7 ? "the copy taken" : "the copy declined");
        const std::string a = File("a.zrv", 2);
        const std::string side = a + ".autosave";
        WriteStreet(side, 7);
        QFile sideFile(Q(side));
        ASSERT_TRUE(sideFile.open(QIODevice::ReadWrite));
        ASSERT_TRUE(sideFile.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                         QFileDevice::FileModificationTime));
        sideFile.close();

        prompts_.Answer(c.Answer);
        EXPECT_EQ(holder_->OpenFile(Q(a)), 0);
        EXPECT_EQ(holder_->Streets(0).Pool().Count(), c.Points);
        EXPECT_EQ(holder_->Streets(0).Modified(), c.Modified);
        EXPECT_EQ(holder_->FileNames(0), Q(a));
        EXPECT_TRUE(prompts_.Log().last().contains("автосохранённая копия"));
        EXPECT_TRUE(prompts_.Done());
        holder_->CloseStreet(0, true);
    }
}

// A copy the user declines may be the only copy of that work: the street's own auto-saves never write
// over it, closing leaves it (and it is offered again), and only saving the street takes it away.
TEST_F(StreetsHolder, ADeclinedCopyStaysUntilTheStreetIsSaved) {
    const std::string a = File("a.zrv", 2);
    const std::string side = a + ".autosave";
    WriteStreet(side, 7);
    SetFileAge(Q(side), 60);
    const std::vector<uint8_t> copy = sptest::ReadFileBytes(side);

    prompts_.Answer(TPromptAnswer::No);
    ASSERT_EQ(holder_->OpenFile(Q(a)), 0);
    EXPECT_EQ(holder_->Streets(0).Pool().Count(), 2);
    EXPECT_EQ(holder_->KeptAutoSaves(0), QStringList({Q(side)}));
    Modify(holder_->Streets(0));
    holder_->AutoSave();
    EXPECT_EQ(holder_->AutoSaveFileName(0), Q(a + ".2.autosave"));
    EXPECT_EQ(sptest::ReadFileBytes(a + ".2.autosave"), BytesOf(holder_->Streets(0)));
    EXPECT_EQ(sptest::ReadFileBytes(side), copy);

    // Closed without saving, asked or forced: the street's own side file goes, the declined copy stays.
    prompts_.Answer(TPromptAnswer::No);
    EXPECT_TRUE(holder_->CloseStreet(0, false));
    EXPECT_EQ(FilesIn(dir_), QStringList({"a.zrv", "a.zrv.autosave"}));
    prompts_.Answer(TPromptAnswer::No);
    ASSERT_EQ(holder_->OpenFile(Q(a)), 0);
    EXPECT_TRUE(holder_->CloseStreet(0, true));
    holder_.reset(); // the end of the program
    EXPECT_EQ(sptest::ReadFileBytes(side), copy);
    EXPECT_EQ(prompts_.Log().filter("автосохранённая копия").size(), 2) << "offered again on each opening";

    // Saved: the file holds what the user chose to keep, and the copy goes.
    holder_ = std::make_unique<TStreetsHolderModule>();
    prompts_.Answer(TPromptAnswer::No);
    ASSERT_EQ(holder_->OpenFile(Q(a)), 0);
    Modify(holder_->Streets(0));
    EXPECT_TRUE(holder_->SaveStreet(0));
    EXPECT_EQ(FilesIn(dir_), QStringList({"a.zrv"}));
    EXPECT_TRUE(prompts_.Done());
}

// A tick writes a street only when it changed since its side file was written; a failed write is tried
// again on the next tick.
TEST_F(StreetsHolder, ATickWritesOnlyStreetsChangedSinceTheirLastAutoSave) {
    const std::string a = File("a.zrv", 1), b = File("b.zrv", 2);
    holder_->OpenFile(Q(a));
    holder_->OpenFile(Q(b));
    holder_->NewStreet();
    for (int i = 0; i < 3; ++i)
        Modify(holder_->Streets(i));
    holder_->AutoSave();
    QStringList sides;
    for (int i = 0; i < 3; ++i)
        sides += holder_->AutoSaveFileName(i);
    // Each side file is replaced by a mark: a tick that writes the street puts the street back.
    const std::vector<uint8_t> mark = {'m', 'a', 'r', 'k'};
    const auto markAll = [&] {
        for (const QString &s : sides)
            sptest::WriteFileBytes(s.toStdString(), mark);
    };
    const auto written = [&] {
        QList<bool> w;
        for (int i = 0; i < 3; ++i)
            w += sptest::ReadFileBytes(sides[i].toStdString()) == BytesOf(holder_->Streets(i));
        return w;
    };
    EXPECT_EQ(written(), QList<bool>({true, true, true}));
    markAll();
    holder_->AutoSave();
    EXPECT_EQ(written(), QList<bool>({false, false, false})) << "nothing changed since the last tick";
    Modify(holder_->Streets(1));
    holder_->AutoSave();
    EXPECT_EQ(written(), QList<bool>({false, true, false}));

    // Saved, then changed again: the side file comes back.
    markAll();
    EXPECT_TRUE(holder_->SaveStreet(0));
    EXPECT_FALSE(QFileInfo::exists(sides[0]));
    holder_->AutoSave();
    EXPECT_FALSE(QFileInfo::exists(sides[0])) << "a saved street has nothing to auto-save";
    Modify(holder_->Streets(0));
    holder_->AutoSave();
    EXPECT_EQ(holder_->AutoSaveFileName(0), sides[0]);
    EXPECT_EQ(written(), QList<bool>({true, false, false}));

    // A write that fails is said once and done on a later tick, with no further change needed.
    Modify(holder_->Streets(2));
    QFile::remove(sides[2]);
    ASSERT_TRUE(QDir().mkdir(sides[2]));
    holder_->AutoSave();
    holder_->AutoSave();
    ASSERT_EQ(prompts_.Messages().size(), 1);
    EXPECT_TRUE(prompts_.Messages()[0].startsWith("Автосохранение улицы \"Street.zrv\" не удалось"));
    ASSERT_TRUE(QDir().rmdir(sides[2]));
    holder_->AutoSave();
    EXPECT_EQ(written(), QList<bool>({true, false, true}));
    EXPECT_TRUE(prompts_.Done());
}

// Another running program's side files (here a second holder of this process) are its own: not offered
// when the file opens nor at start-up, not written over, not removed by a save.
TEST_F(StreetsHolder, SideFilesAnotherRunningProgramOwnsAreLeftAlone) {
    const std::string a = File("a.zrv", 1);
    TStreetsHolderModule other;
    other.OpenFile(Q(a));
    other.NewStreet();
    Modify(other.Streets(0));
    Modify(other.Streets(1));
    other.AutoSave();
    const QString otherSide = other.AutoSaveFileName(0), otherUnnamed = other.AutoSaveFileName(1);
    EXPECT_EQ(otherSide, Q(a + ".autosave"));
    EXPECT_EQ(otherUnnamed, SettingsDir() + "/Street.zrv.autosave");
    SetFileAge(otherSide, 60);
    EXPECT_TRUE(TStreetsHolderModule::AutoSaveOwned(otherSide));
    EXPECT_TRUE(TStreetsHolderModule::AutoSaveOwned(otherUnnamed));

    ASSERT_EQ(holder_->OpenFile(Q(a)), 0);
    EXPECT_EQ(holder_->Streets(0).Pool().Count(), 1);
    EXPECT_TRUE(TStreetsHolderModule::LeftAutoSaves().empty());
    EXPECT_EQ(holder_->OfferLeftAutoSaves(), -1);
    holder_->NewStreet();
    Modify(holder_->Streets(0));
    Modify(holder_->Streets(1));
    holder_->AutoSave();
    EXPECT_EQ(holder_->AutoSaveFileName(0), Q(a + ".2.autosave"));
    EXPECT_EQ(holder_->AutoSaveFileName(1), SettingsDir() + "/Street.zrv.2.autosave");
    EXPECT_TRUE(holder_->SaveStreet(0));
    EXPECT_EQ(sptest::ReadFileBytes(otherSide.toStdString()), BytesOf(other.Streets(0)));
    EXPECT_EQ(sptest::ReadFileBytes(otherUnnamed.toStdString()), BytesOf(other.Streets(1)));
    EXPECT_TRUE(prompts_.Log().isEmpty());
}

// After a crash: side files of streets that never had a file, with a lock their program left or none,
// are offered newest first with their names and times; the chosen ones open as new streets, modified, and
// keep their side file as their own. One that cannot be read is reported, and it and the ones not chosen
// stay for the next start.
TEST_F(StreetsHolder, SideFilesLeftBySessionsThatEndedWithoutSavingAreOffered) {
    QDir().mkpath(SettingsDir());
    const QString older = SettingsDir() + "/Street.zrv.autosave";
    const QString newer = SettingsDir() + "/Street1.zrv.autosave";
    const QString broken = SettingsDir() + "/Улица.zrv.3.autosave";
    WriteStreet(older.toStdString(), 5);
    SetFileAge(older, -120);
    shelltest::LeaveStaleLock(older);
    WriteStreet(newer.toStdString(), 7);
    SetFileAge(newer, -60);
    sptest::WriteFileBytes(broken.toStdString(),
                           {'n', 'o', 't', ' ', 'a', ' ', 's', 't', 'r', 'e', 'e', 't'});
    SetFileAge(broken, -30);
    const std::vector<uint8_t> olderBytes = sptest::ReadFileBytes(older.toStdString());
    // A running program's is not among them.
    TStreetsHolderModule other;
    other.NewStreet();
    Modify(other.Streets(0));
    other.AutoSave();
    ASSERT_TRUE(TStreetsHolderModule::AutoSaveOwned(other.AutoSaveFileName(0)));

    // Cancel opens nothing and keeps every file.
    prompts_.Check({}, false);
    EXPECT_EQ(holder_->OfferLeftAutoSaves(), -1);
    EXPECT_EQ(holder_->Count(), 0);
    EXPECT_EQ(prompts_.LastCheckItems(),
              QStringList({"Улица.zrv    " + TimeOf(broken), "Street1.zrv    " + TimeOf(newer),
                           "Street.zrv    " + TimeOf(older)}));
    EXPECT_EQ(prompts_.LastCheckTicks(), QList<bool>({true, true, true}));

    prompts_.Check({0, 2});
    EXPECT_EQ(holder_->OfferLeftAutoSaves(), 0);
    ASSERT_EQ(holder_->Count(), 1);
    TStreetStructure &street = holder_->Streets(0);
    EXPECT_EQ(holder_->FileNames(0), "Street.zrv");
    EXPECT_EQ(BytesOf(street), olderBytes);
    EXPECT_TRUE(street.Modified());
    EXPECT_TRUE(holder_->AnyUnsaved());
    ASSERT_EQ(prompts_.Messages().size(), 1);
    EXPECT_TRUE(
        prompts_.Messages()[0].startsWith("Не удалось открыть автосохранённую копию \"" + broken + "\""));
    std::vector<QString> left;
    for (const auto &l : TStreetsHolderModule::LeftAutoSaves())
        left.push_back(l.File);
    EXPECT_EQ(left, std::vector<QString>({broken, newer}));

    // Its side file is the street's own now: written when the street changes, removed when it closes.
    EXPECT_EQ(holder_->AutoSaveFileName(0), older);
    EXPECT_TRUE(TStreetsHolderModule::AutoSaveOwned(older));
    holder_->AutoSave();
    EXPECT_EQ(sptest::ReadFileBytes(older.toStdString()), olderBytes);
    Modify(street);
    holder_->AutoSave();
    EXPECT_EQ(sptest::ReadFileBytes(older.toStdString()), BytesOf(street));
    EXPECT_TRUE(holder_->CloseStreet(0, true));
    EXPECT_FALSE(QFileInfo::exists(older));
    EXPECT_FALSE(QFileInfo::exists(older + ".lock"));
    EXPECT_TRUE(QFileInfo::exists(newer));
    EXPECT_TRUE(QFileInfo::exists(broken));
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StreetsHolder, RecentFilesKeepTheLatest200) {
    const int total = TStreetsHolderModule::MaxRecentFiles + 5;
    for (int i = 0; i < total; ++i) {
        const std::string path = File("s" + std::to_string(i) + ".zrv", 0);
        ASSERT_EQ(holder_->OpenFile(Q(path)), 0);
        holder_->CloseStreet(0, true);
    }
    const QStringList recent = TStreetsHolderModule::RecentFiles();
    ASSERT_EQ(recent.size(), TStreetsHolderModule::MaxRecentFiles);
    EXPECT_EQ(recent.front(), Q(dir_.File("s" + std::to_string(total - 1) + ".zrv")));
    EXPECT_EQ(recent.back(), Q(dir_.File("s5.zrv")));
    // Opened again, a file moves to the top instead of taking a second line.
    holder_->OpenFile(Q(dir_.File("s10.zrv")));
    const QStringList again = TStreetsHolderModule::RecentFiles();
    EXPECT_EQ(again.size(), TStreetsHolderModule::MaxRecentFiles);
    EXPECT_EQ(again.front(), Q(dir_.File("s10.zrv")));
    EXPECT_EQ(again.count(Q(dir_.File("s10.zrv"))), 1);
}

TEST_F(StreetsHolder, ClosingAsksAboutChangesAndKeepsTheActiveIndexInRange) {
    const std::string a = File("a.zrv", 1), b = File("b.zrv", 2), c = File("c.zrv", 3);
    for (const std::string &f : {a, b, c})
        holder_->OpenFile(Q(f));
    holder_->SetActiveIndex(2);
    Modify(holder_->Streets(0));
    prompts_.Answer(TPromptAnswer::Cancel);
    EXPECT_FALSE(holder_->CloseStreet(0, false));
    EXPECT_EQ(holder_->Count(), 3);
    EXPECT_EQ(prompts_.Log().last(), "ask: Улица не сохранена.Сохранять?");
    prompts_.Answer(TPromptAnswer::No);
    EXPECT_TRUE(holder_->CloseStreet(0, false));
    EXPECT_EQ(holder_->ActiveIndex(), 1) << "the same street stays active";
    EXPECT_EQ(holder_->FileNames(1), Q(c));
    EXPECT_TRUE(holder_->CloseStreet(1, false));
    EXPECT_EQ(holder_->ActiveIndex(), 0);
    EXPECT_TRUE(holder_->CloseStreet(0, false));
    EXPECT_EQ(holder_->Count(), 0);
    EXPECT_EQ(holder_->ActiveIndex(), -1);
    EXPECT_EQ(holder_->ActiveFileName(), QString());
    EXPECT_EQ(holder_->FindActiveStreet(), nullptr);
    // The next call for the active street makes a new one.
    EXPECT_TRUE(holder_->ActiveStreet().IsIdle());
    EXPECT_EQ(holder_->ActiveIndex(), 0);
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StreetsHolder, ClosingEverythingAsksOnceAboutUnsavedStreets) {
    holder_->NewStreet();
    EXPECT_TRUE(holder_->CanCloseAll()) << "an untouched street needs no question";
    EXPECT_TRUE(prompts_.Log().isEmpty());

    const std::string a = File("a.zrv", 1), b = File("b.zrv", 2);
    holder_->OpenFile(Q(a));
    holder_->OpenFile(Q(b));
    Modify(holder_->Streets(1));
    Modify(holder_->Streets(2));
    prompts_.Answer(TPromptAnswer::Cancel);
    EXPECT_FALSE(holder_->CanCloseAll());
    prompts_.Answer(TPromptAnswer::No);
    EXPECT_TRUE(holder_->CanCloseAll());
    EXPECT_EQ(prompts_.Log(), QStringList(2, "ask: Есть несохраненные улицы. Сохранять?"));
    prompts_.Answer(TPromptAnswer::Yes);
    EXPECT_TRUE(holder_->CanCloseAll());
    EXPECT_EQ(sptest::ReadFileBytes(b), BytesOf(holder_->Streets(2)));
    EXPECT_FALSE(holder_->AnyUnsaved());
    holder_->CloseAll();
    EXPECT_EQ(holder_->Count(), 0);
    EXPECT_EQ(holder_->ActiveIndex(), -1);
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(StreetsHolder, AMinuteOfWorkCountsForTheActiveStreet) {
    holder_->NewStreet();
    holder_->NoteActivity();
    EXPECT_TRUE(holder_->WorkingTimer.isActive());
    holder_->CountWorkingMinute();
    EXPECT_FALSE(holder_->WorkingTimer.isActive());
    EXPECT_EQ(holder_->ActiveStreet().WorkTime(), 1);
    EXPECT_FALSE(holder_->ActiveStreet().Modified());
    // The auto-save interval is kept in the settings, in minutes.
    holder_->SetAutoSaveIntervalMinutes(7);
    holder_.reset();
    holder_ = std::make_unique<TStreetsHolderModule>();
    EXPECT_EQ(holder_->AutoSaveIntervalMinutes(), 7);
    EXPECT_EQ(holder_->AutoSaveTimer.interval(), 7 * 60000);
}

TEST_F(StreetsHolder, TheFileMenuShowsTheRecentFilesByFolder) {
    // Files in twelve folders, the newest last; only the ten newest folders are offered.
    for (int f = 0; f < 12; ++f) {
        const std::string folder = "d" + std::to_string(f);
        std::filesystem::create_directory(dir_.Path() / folder);
        for (int i = 0; i < 2; ++i) {
            holder_->OpenFile(Q(File(folder + "/s" + std::to_string(i) + ".zrv", 0)));
            holder_->CloseStreet(0, true);
        }
    }
    std::filesystem::remove(dir_.Path() / "d11" / "s0.zrv");
    QMenu menu;
    menu.addAction("Открыть");
    QAction *anchor = menu.addSeparator();
    QAction *after = menu.addAction("после");
    for (int build = 0; build < 2; ++build) {
        holder_->BuildRecentMenu(&menu, anchor);
        const QList<QAction *> items = menu.actions();
        ASSERT_EQ(items.size(), 3 + TStreetsHolderModule::MaxRecentFolders);
        EXPECT_EQ(items.back(), after) << "the entries go right after the anchor";
        QMenu *newest = items[2]->menu();
        ASSERT_NE(newest, nullptr);
        EXPECT_EQ(newest->title(), Q((dir_.Path() / "d11").string()));
        EXPECT_EQ(items[2]->data().toInt(), TStreetsHolderModule::RecentEntryTag);
        QStringList files;
        for (QAction *a : newest->actions())
            files += a->text() + (a->isEnabled() ? "" : " (нет)");
        EXPECT_EQ(files, QStringList({"s1.zrv", "s0.zrv (нет)", "*.zrv"}));
        EXPECT_EQ(items[11]->menu()->title(), Q((dir_.Path() / "d2").string()));
    }
    // Choosing an entry opens the file, makes it active and tells the window.
    int changes = 0;
    holder_->OnChanged = [&] { ++changes; };
    menu.actions()[2]->menu()->actions()[0]->trigger();
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(holder_->Count(), 1);
    EXPECT_EQ(holder_->ActiveFileName(), Q(dir_.File("d11/s1.zrv")));
}

} // namespace
