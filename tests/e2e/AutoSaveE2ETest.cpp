// Work on a new street that was never saved outlives a crash: the program auto-saves the edited street,
// ends without saving and without cleaning up (its side file and lock left behind), and the next start
// offers the street back once its window is up; the street comes back as it was, unsaved.
#include "e2e/E2ESupport.h"
#include "shell/StreetsHolder.h"

#include <QFileInfo>

namespace {

using namespace e2etest;

class AutoSaveE2E : public WindowTest {};

TEST_F(AutoSaveE2E, ANewStreetLeftUnsavedByACrashIsOfferedAtTheNextStart) {
    std::vector<uint8_t> edited, sideBytes;
    QString side;
    {
        TStartUp startUp;
        TMainForm &form = startUp.MainForm();
        TStreetsHolderModule &holder = form.Holder();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ASSERT_TRUE(WaitUntil([&] { return form.Renderer() != nullptr && !form.NeedRedraw(); }));
        EXPECT_TRUE(prompts_.Log().isEmpty()) << "nothing was left to offer";
        TStreetStructure &street = form.CurrentStreet();
        ASSERT_EQ(holder.Count(), 1);
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        MakeItem(street, TrotuarTypeCode, {{100, 62, 0}, {160, 62, 0}, {160, 66, 0}, {100, 66, 0}});
        form.RefreshAll();
        ASSERT_TRUE(street.Modified());
        edited = SaveBytes(street);

        // The auto-save timer's tick, made short.
        holder.AutoSaveTimer.start(50);
        side = holder.AutoSaveFileName(0);
        ASSERT_TRUE(WaitUntil(
            [&] { return QFileInfo::exists(side) && sptest::ReadFileBytes(side.toStdString()) == edited; }));
        holder.AutoSaveTimer.stop();
        EXPECT_TRUE(side.startsWith(SettingsDir() + "/"));
        sideBytes = sptest::ReadFileBytes(side.toStdString());

        // Closed without saving; a crash leaves what a close cleans up: the side file and its lock.
        prompts_.Answer(TPromptAnswer::No);
        EXPECT_TRUE(form.close());
        EXPECT_FALSE(QFileInfo::exists(side));
    }
    sptest::WriteFileBytes(side.toStdString(), sideBytes);
    shelltest::LeaveStaleLock(side);
    ASSERT_FALSE(HasFailure());

    prompts_.Check({0});
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    TStreetsHolderModule &holder = form.Holder();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(WaitUntil([&] { return prompts_.Done(); })) << "the offer appears once the window is up";
    EXPECT_EQ(prompts_.LastCheckItems(),
              QStringList({QStringLiteral("Street.zrv    ") +
                           QFileInfo(side).lastModified().toString("dd.MM.yyyy HH:mm:ss")}));
    ASSERT_TRUE(WaitUntil([&] { return holder.Count() == 1 && !holder.ActiveStreet().IsIdle(); }));
    TStreetStructure &back = holder.ActiveStreet();
    EXPECT_EQ(SaveBytes(back), edited);
    EXPECT_TRUE(back.Modified());
    EXPECT_FALSE(holder.ActiveFileName().contains(u'/')) << "a street without a file";
    EXPECT_EQ(back.Lists(RoadWayTypeCode).Count(), 1);
    EXPECT_EQ(back.Lists(TrotuarTypeCode).Count(), 1);
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));

    // The street is unsaved work like any other: closing asks, and saying No lets it go.
    prompts_.Answer(TPromptAnswer::No);
    EXPECT_TRUE(form.close());
    EXPECT_FALSE(QFileInfo::exists(side));
    EXPECT_TRUE(prompts_.Done());
}

} // namespace
