// The sign editors without a window: the post module's plate actions (pick, move, turn, scale, label,
// alignment, save), the support-kind chooser, the sign table and the conversion into plate columns, and
// the second-kind plate module.
#include "EditorsTestSupport.h"

#include "editors/SignEditors.h"
#include "engine/DataFiles.h"
#include "engine/Directory.h"
#include "objects/RoadSignItem.h"
#include "objects/ZnakItem.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

#include <QDir>

#include <cmath>
#include <fstream>

namespace {

using namespace editortest;

class SignEditorsTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TZnakEditorModule>();
        RegisterContextModule<TRoadSignEditorModule>();
        SignDefaultAlignment() = 1;
        // The support kinds of the test, read again for each test.
        WriteDictionary(kindsDir.Path(), "стойка\r\nконсоль\r\nрастяжка\r\n");
        SetNamedDirectory(DictionaryDirName(), Cp1251String(kindsDir.Path().string()));
    }
    void TearDown() override {
        UnregisterContextModule(QStringLiteral("TZnakEditorModule"));
        UnregisterContextModule(QStringLiteral("TRoadSignEditorModule"));
        EditorTest::TearDown();
    }
    static void WriteDictionary(const std::filesystem::path &dir, const char *utf8Lines) {
        std::ofstream(dir / u8"Тип опоры знака.txt", std::ios::binary) << Cp(utf8Lines).Bytes();
    }
    template <class T> T *Live() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<T *>(m))
                return t;
        return nullptr;
    }
    TZnakEditorModule &Posts() {
        TZnakEditorModule *m = Live<TZnakEditorModule>();
        EXPECT_NE(m, nullptr);
        return *m;
    }
    TRoadSignEditorModule &Signs() {
        TRoadSignEditorModule *m = Live<TRoadSignEditorModule>();
        EXPECT_NE(m, nullptr);
        return *m;
    }
    // A post standing at (x, 0) whose plates hang from (x, 5), heading north.
    TZnakItem *Post(float x, int plates = 0) {
        auto *post = dynamic_cast<TZnakItem *>(Make(ZnakTypeCode, {{x, 0, 0}, {x, 2, 0}, {x, 5, 0}}));
        for (int i = 0; i < plates; ++i)
            post->AddPlate()->SetLibraryName(Cp(i % 2 == 0 ? "5-19-1.emf" : "2-4.emf"));
        return post;
    }
    TRoadSignItem *Sign(std::initializer_list<TXYZ> points) {
        return dynamic_cast<TRoadSignItem *>(Make(RoadSignTypeCode, points));
    }
    static QString LibraryFile(const char *name) {
        const std::filesystem::path p = GetNamedDirectory(MetafileLibDirName()) / name;
        return QString::fromStdString(p.string());
    }
    static void Run(TFloatingAction *action) {
        ASSERT_NE(action, nullptr);
        TFloatingAction::UpdateAll();
        action->Click();
    }

    sptest::TempDir kindsDir;
};

TEST_F(SignEditorsTest, TurnsAlignmentsAndTheDefaultAlignment) {
    // Post plates: above 360 loses 360, then down to a multiple of 90; second-kind plates: 360 on is 0.
    struct TCase {
        int32_t From;
        std::vector<int32_t> Post, Sign;
    };
    const TCase cases[] = {{270, {360, 90}, {0, 90}}, {300, {0, 90}, {0, 90}}, {45, {90, 180}, {135, 225}}};
    for (const TCase &c : cases) {
        TZnakItem *post = Post(0, 1);
        post->GetPlate(0)->SetRotation(c.From);
        post->GetPlate(0)->Select();
        Select({post});
        for (int32_t expected : c.Post) {
            Run(Posts().OrientSubItem);
            EXPECT_EQ(post->GetPlate(0)->Rotation(), expected) << c.From;
        }
        TRoadSignItem *sign = Sign({{0, 0, 0}});
        sign->SetOrientation(c.From);
        Select({sign});
        for (int32_t expected : c.Sign) {
            Run(Signs().Orient);
            EXPECT_EQ(sign->Orientation(), expected) << c.From;
        }
    }

    // The alignment steps 1, 3, 7, 5 and round; any other value starts again at 1. Each step becomes the
    // default, which the next plate picked from the library takes.
    TZnakItem *post = Post(10, 1);
    TEmfSubItem *plate = post->GetPlate(0);
    plate->Select();
    plate->SetAlignment(9);
    Select({post});
    for (uint8_t expected : {1, 3, 7, 5, 1, 3}) {
        Run(Posts().TextAlign);
        EXPECT_EQ(plate->Alignment(), expected);
        EXPECT_EQ(SignDefaultAlignment(), expected);
    }
    prompts_.Picture(LibraryFile("5-19-1.emf"));
    Run(Posts().LoadEMF);
    ASSERT_EQ(post->PlateCount(), 2);
    EXPECT_EQ(post->GetPlate(1)->Alignment(), 3);

    // The second kind: every selected plate takes the first one's next alignment.
    TRoadSignItem *a = Sign({{20, 0, 0}}), *b = Sign({{25, 0, 0}});
    a->SetTextAlign(7);
    b->SetTextAlign(1);
    Select({a, b});
    Run(Signs().AlignText);
    EXPECT_EQ(a->TextAlign(), 5);
    EXPECT_EQ(b->TextAlign(), 5);
    EXPECT_EQ(SignDefaultAlignment(), 5);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

TEST_F(SignEditorsTest, PickedPlateIsMovedWithTheMouseAndPickedBackWithTheRightButton) {
    // A post heading north-east, so that the offset is turned by the heading.
    auto *post = dynamic_cast<TZnakItem *>(Make(ZnakTypeCode, {{0, 0, 0}, {1, 1, 0}, {3, 3, 0}}));
    Select({post});
    // Closing the picker changes nothing.
    prompts_.Picture(QString());
    Run(Posts().LoadEMF);
    EXPECT_EQ(post->PlateCount(), 0);
    // A file that is no picture is refused and leaves no plate.
    const std::string junk = kindsDir.File("junk.emf");
    std::ofstream(junk, std::ios::binary) << "not a metafile";
    prompts_.Picture(QString::fromStdString(junk));
    Run(Posts().LoadEMF);
    EXPECT_EQ(post->PlateCount(), 0);
    ASSERT_EQ(prompts_.Messages().size(), 1);

    // A library picture: stored by library name, selected, and the move mode is current.
    prompts_.Picture(LibraryFile("5-19-1.emf"));
    Run(Posts().LoadEMF);
    ASSERT_EQ(post->PlateCount(), 1);
    TEmfSubItem *first = post->GetPlate(0);
    EXPECT_EQ(first->LibName(), Cp("5-19-1.emf"));
    EXPECT_GE(first->LibIndex(), 0);
    EXPECT_EQ(first->FileName(), Cp("5-19-1.emf"));
    EXPECT_EQ(post->GetSelectedIndex(), 0);
    ASSERT_EQ(mode, Posts().MoveEMFMode);
    EXPECT_EQ(mode->Cursor, 28);

    // A left drag puts the plate under the mouse (the host maps pixel (x, y) to (x / 10, y / 10)).
    TMouseEventArgs drag;
    drag.Buttons = Qt::LeftButton;
    drag.X = 45;
    drag.Y = 12;
    mode->MouseMove(drag);
    TXYZ at = first->GetWorldPosition();
    EXPECT_NEAR(at.x, 4.5, 1e-5);
    EXPECT_NEAR(at.y, 1.2, 1e-5);
    // Moves without the left button alone change nothing.
    drag.Buttons = Qt::LeftButton | Qt::RightButton;
    drag.X = 90;
    mode->MouseMove(drag);
    EXPECT_NEAR(first->GetWorldPosition().x, 4.5, 1e-5);

    // A second plate at the anchor; the right button picks the plate nearest the click.
    prompts_.Picture(LibraryFile("2-4.emf"));
    Run(Posts().LoadEMF);
    ASSERT_EQ(post->PlateCount(), 2);
    EXPECT_EQ(post->GetSelectedIndex(), 1);
    TMouseEventArgs press;
    press.Button = Qt::RightButton;
    press.Buttons = Qt::RightButton;
    press.X = 44;
    press.Y = 13;
    mode->MouseDown(press);
    EXPECT_EQ(post->GetSelectedIndex(), 0);

    // The mode holds while the post has a plate; deleting both ends it.
    Run(Posts().DeleteEMF);
    EXPECT_TRUE(mode->CheckContext());
    post->SetSelectedIndex(0);
    Run(Posts().DeleteEMF);
    EXPECT_EQ(post->PlateCount(), 0);
    EXPECT_FALSE(Posts().MoveEMFMode->CheckContext());
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

TEST_F(SignEditorsTest, ScaleTakesPositivePercentagesAndCancelRestoresEachOwnScale) {
    TZnakItem *post = Post(0, 1);
    TEmfSubItem *plate = post->GetPlate(0);
    plate->Select();
    plate->SetScale(0.5f);
    Select({post});
    // Zero and negative percentages are passed over.
    prompts_.TypeFloats({-50, 0, 200}, true);
    Run(Posts().ScaleEMF);
    EXPECT_FLOAT_EQ(plate->Scale(), 2.0f);
    prompts_.TypeFloats({300, 0}, false);
    Run(Posts().ScaleEMF);
    EXPECT_FLOAT_EQ(plate->Scale(), 2.0f);

    // A stored scale of 0 comes back as 0 after Cancel, although the dialog's start value is refused.
    plate->SetScale(0);
    prompts_.TypeFloats({150}, false);
    Run(Posts().ScaleEMF);
    EXPECT_EQ(plate->Scale(), 0.0f);

    // The second kind: every selected plate follows the typed value; Cancel gives each its own back.
    TRoadSignItem *a = Sign({{10, 0, 0}}), *b = Sign({{12, 0, 0}});
    a->SetScale(1.0f);
    b->SetScale(0.25f);
    Select({a, b});
    prompts_.TypeFloats({300}, false);
    Run(Signs().ScaleEMF);
    EXPECT_FLOAT_EQ(a->Scale(), 1.0f);
    EXPECT_FLOAT_EQ(b->Scale(), 0.25f);
    prompts_.TypeFloats({-1, 300}, true);
    Run(Signs().ScaleEMF);
    EXPECT_FLOAT_EQ(a->Scale(), 3.0f);
    EXPECT_FLOAT_EQ(b->Scale(), 3.0f);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

TEST_F(SignEditorsTest, SupportKindChooser) {
    TZnakItem *a = Post(0), *b = Post(10), *c = Post(20);
    a->SetSupportKind(Cp("консоль"));
    Select({a});
    TInfoStringAction *line = Posts().AncKindInfo;
    EXPECT_EQ(line->GetInfo(), QStringLiteral("консоль"));

    // Ok: the chosen entry; the current one was offered first.
    prompts_.Select(2);
    line->DoClick();
    EXPECT_EQ(a->SupportKind(), Cp("растяжка"));
    EXPECT_EQ(prompts_.LastSelectItems(), (QStringList{"стойка", "консоль", "растяжка"}));

    // Cancel changes nothing, wherever the list was left.
    prompts_.Select(0, false);
    line->DoClick();
    EXPECT_EQ(a->SupportKind(), Cp("растяжка"));

    // Three selected, Yes: the others take the focused post's new kind.
    Select({a, b, c});
    EXPECT_EQ(Posts().AncKindInfo->GetInfo(), QStringLiteral("***"));
    prompts_.Select(0).Answer(TPromptAnswer::Yes);
    Posts().AncKindInfo->DoClick();
    for (TZnakItem *p : {a, b, c})
        EXPECT_EQ(p->SupportKind(), Cp("стойка"));
    EXPECT_TRUE(prompts_.Log().join(u'\n').contains(QStringLiteral("Установить для остальных выбранных?")));

    // Without the dictionary nothing is asked and nothing changes.
    sptest::TempDir empty;
    SetNamedDirectory(DictionaryDirName(), Cp1251String(empty.Path().string()));
    Select({a});
    const qsizetype asked = prompts_.Log().size();
    Posts().AncKindInfo->DoClick();
    EXPECT_EQ(prompts_.Log().size(), asked);
    EXPECT_EQ(a->SupportKind(), Cp("стойка"));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

TEST_F(SignEditorsTest, PlateLinesShowTheSelectedPlateAndEditIt) {
    TZnakItem *post = Post(0, 2);
    Select({post});
    post->GetPlate(1)->Select();
    TZnakEditorModule &m = Posts();
    EXPECT_TRUE(m.ZnSqInfo->IsValid());
    EXPECT_EQ(m.SubCountInfo->GetInfo(), QStringLiteral("2"));
    EXPECT_EQ(m.AncHeightInfo->GetInfo(), QStringLiteral("0.0"));
    EXPECT_EQ(m.AncHeightInfo->TextColor, UndefinedColour);
    prompts_.EnterText(QStringLiteral("2.5"));
    m.AncHeightInfo->DoClick();
    EXPECT_FLOAT_EQ(post->GetPlate(1)->AnchorHeight(), 2.5f);
    EXPECT_EQ(m.AncHeightInfo->GetInfo(), QStringLiteral("2.5"));
    prompts_.EnterText(QStringLiteral("0.7"));
    m.ZnSqInfo->DoClick();
    EXPECT_EQ(m.ZnSqInfo->GetInfo(), QStringLiteral("0.70"));
    prompts_.EnterText(QStringLiteral("новый"));
    m.ZnStatusInfo->DoClick();
    EXPECT_EQ(post->GetPlate(1)->Status(), Cp("новый"));
    // The label: Ok stores, Cancel keeps.
    prompts_.EnterText(QStringLiteral("2.4.1")).CancelText();
    Run(m.EditEmfText);
    Run(m.EditEmfText);
    EXPECT_EQ(post->GetPlate(1)->GetText(), Cp("2.4.1"));
    // Two posts: the plate lines do not hold; the count sums.
    Select({post, Post(5, 3)});
    EXPECT_FALSE(Posts().ZnSqInfo->IsValid());
    EXPECT_EQ(Posts().SubCountInfo->GetInfo(), QStringLiteral("5"));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

TEST_F(SignEditorsTest, SaveWritesThePictureAndRefusesAMissingSign) {
    TZnakItem *post = Post(0, 1);
    post->GetPlate(0)->Select();
    Select({post});
    const QString file = QString::fromStdString(kindsDir.File("out.emf"));
    prompts_.Files({file});
    Run(Posts().SaveEMF);
    std::ifstream written(file.toStdString(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(written)),
                                     std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, post->GetPlate(0)->Metafile()->Bytes());
    // The next dialog starts at the name written.
    prompts_.CancelFiles();
    Run(Posts().SaveEMF);
    ASSERT_TRUE(prompts_.LastFileRequest());
    EXPECT_EQ(prompts_.LastFileRequest()->FileName, file);

    // A plate whose library entry is missing: told, no dialog.
    post->GetPlate(0)->SetLibraryName(Cp("no-such-sign.emf"));
    const qsizetype messages = prompts_.Messages().size();
    Run(Posts().SaveEMF);
    EXPECT_EQ(prompts_.Messages().size(), messages + 1);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

TEST_F(SignEditorsTest, SignTableHasOneRowPerPlate) {
    TAbstractItem *axis = Make(AxisTypeCode, {{-10, -20, 0}, {-10, 100, 0}});
    TZnakItem *two = Post(0, 2), *none = Post(5), *one = Post(-30, 1);
    two->SetReferAxis(axis);
    one->SetReferAxis(axis);
    two->SetSupportKind(Cp("стойка"));
    two->SetComment(Cp("у школы"));
    two->GetPlate(1)->SetAnchorHeight(2.5f);
    two->GetPlate(1)->SetStatus(Cp("новый"));
    const std::vector<TAbstractItem *> items{two, none, one};
    const TReportTable t = TZnakEditorModule::SignTable(items);
    EXPECT_EQ(t.Columns(),
              (std::vector<Cp1251String>{Cp("Ось"), Cp("Сторона"), Cp("Координата"), Cp("Наименование"),
                                         Cp("Площадь"), Cp("ГоСТ"), Cp("Сп.установки"), Cp("Высота"),
                                         Cp("Примечание"), Cp("Статус")}));
    ASSERT_EQ(t.RowCount(), 3);
    const std::vector<Cp1251String> row = t.RowFields(1);
    EXPECT_EQ(row[2], Cp("20.0")); // the foot's station along the axis
    EXPECT_EQ(row[5], Cp("2.4"));  // the sign number of the library name
    EXPECT_EQ(row[6], Cp("стойка"));
    EXPECT_EQ(row[7], Cp("2.5"));
    EXPECT_EQ(row[8], Cp("у школы"));
    EXPECT_EQ(row[9], Cp("новый"));
    EXPECT_EQ(t.RowFields(0)[5], Cp("5.19.1"));
    // The foot right of the northward axis at x = -10 and left of it.
    EXPECT_NE(t.RowFields(0)[1], t.RowFields(2)[1]);
    EXPECT_EQ(t.RowObject(2), ItemRowObject(*one));
}

TEST_F(SignEditorsTest, ConversionMakesColumnsOfPlates) {
    TAbstractItem *axis = Make(AxisTypeCode, {{-10, -20, 0}, {-10, 100, 0}});
    TZnakItem *post = Post(0, 2);
    post->GetPlate(0)->SetOrigin({1, 0, 0});
    post->GetPlate(1)->SetOrigin({1, -1, 0});
    post->GetPlate(1)->SetRotation(90);
    post->GetPlate(1)->SetScale(2);
    post->GetPlate(1)->SetAlignment(7);
    post->GetPlate(1)->SetText(Cp("2.4"));
    post->SetGroupName(Cp("знаки"));
    post->SetComment(Cp("один"));
    post->SetComment2(Cp("два"));
    post->SetReferAxis(axis);
    auto *flat = dynamic_cast<TZnakItem *>(Make(ZnakTypeCode, {{40, 0, 0}, {40, 2, 0}}));
    flat->AddPlate()->SetLibraryName(Cp("2-4.emf"));
    const std::vector<TAbstractItem *> items{post, flat};
    const TReportTable t = TZnakEditorModule::ConvertPosts(street, items);
    ASSERT_EQ(t.RowCount(), 2);
    EXPECT_EQ(t.Columns(), std::vector<Cp1251String>{Cp("Результат")});
    EXPECT_EQ(t.RowFields(0)[0], Cp("Преобразован, количетво новых = 2"));
    EXPECT_EQ(t.RowFields(1)[0], Cp("Ошибка, нет трех точек в исходном объекте"));

    TItemList &signs = street.Lists(RoadSignTypeCode);
    ASSERT_EQ(signs.Count(), 2);
    auto *top = dynamic_cast<TRoadSignItem *>(signs.Items(0));
    auto *below = dynamic_cast<TRoadSignItem *>(signs.Items(1));
    ASSERT_EQ(top->Points.Count(), 3);
    ASSERT_EQ(below->Points.Count(), 2);
    // The first at its plate, its direction the post's, its foot the post's; the second shares its vertex.
    const TXYZ p = post->GetPlate(0)->GetWorldPosition();
    EXPECT_NEAR(top->Points.GetPoint(0).x, p.x, 1e-5);
    EXPECT_NEAR(top->Points.GetPoint(0).y, p.y, 1e-5);
    EXPECT_NEAR(top->Points.GetPoint(1).x, p.x, 1e-5);
    EXPECT_NEAR(top->Points.GetPoint(1).y, p.y - 3, 1e-5);
    EXPECT_EQ(top->Points.GetPoint(2).y, 0.0f);
    EXPECT_NE(top->Points.PointRec(2), post->Points.PointRec(0));
    EXPECT_EQ(below->Points.PointRec(1), top->Points.PointRec(0));
    EXPECT_EQ(below->GetChainParent(), top);
    // Picture, turn, scale, alignment, label; the post's group, comments and axis.
    EXPECT_EQ(top->LibName(), Cp("5-19-1.emf"));
    EXPECT_EQ(top->GetSignNumber(), Cp("5.19.1"));
    EXPECT_EQ(below->Orientation(), 90);
    EXPECT_FLOAT_EQ(below->Scale(), 2.0f);
    EXPECT_EQ(below->TextAlign(), 7);
    EXPECT_EQ(below->Label(), Cp("2.4"));
    for (TRoadSignItem *s : {top, below}) {
        EXPECT_EQ(s->GroupName(), Cp("знаки"));
        EXPECT_EQ(s->Comment(), Cp("один"));
        EXPECT_EQ(s->Comment2(), Cp("два"));
        EXPECT_EQ(s->GetReferAxis(), axis);
    }
    // The posts stay.
    EXPECT_EQ(street.Lists(ZnakTypeCode).Count(), 2);
}

TEST_F(SignEditorsTest, SelectConnectedTakesTheWholeColumn) {
    TRoadSignItem *root = Sign({{0, 5, 0}, {0, 8, 0}});
    TRoadSignItem *middle = dynamic_cast<TRoadSignItem *>(sptest::MakeItemOn(street, RoadSignTypeCode, {}));
    middle->Points.InsertNewPoint(0, {0, 4, 0});
    middle->Points.Insert(1, root->Points.PointRec(0));
    TRoadSignItem *bottom = dynamic_cast<TRoadSignItem *>(sptest::MakeItemOn(street, RoadSignTypeCode, {}));
    bottom->Points.InsertNewPoint(0, {0, 3, 0});
    bottom->Points.Insert(1, middle->Points.PointRec(0));
    TRoadSignItem *apart = Sign({{9, 9, 0}});
    Select({middle});
    Run(Signs().SelectAncConnected);
    std::vector<TAbstractItem *> selected = EditorSelection();
    EXPECT_EQ(selected, (std::vector<TAbstractItem *>{root, middle, bottom}));
    Select({apart});
    Run(Signs().SelectAncConnected);
    EXPECT_EQ(EditorSelection(), std::vector<TAbstractItem *>{apart});
}

TEST_F(SignEditorsTest, HandlersAskTheSelectionAgain) {
    TZnakItem *post = Post(0, 1);
    post->GetPlate(0)->Select();
    Select({post});
    TZnakEditorModule &m = Posts();
    // The module is still there when the selection changed under it before a refresh.
    TAbstractItem *sign = Sign({{5, 5, 0}});
    street.Selection().Clear();
    street.Selection().AddItem(sign);
    for (TFloatingAction *a : {m.OrientSubItem, m.TextAlign, m.DeleteEMF, m.ZnakReport})
        a->Click();
    m.AncKindInfo->DoClick();
    EXPECT_EQ(post->PlateCount(), 1);
    EXPECT_EQ(post->GetPlate(0)->Rotation(), 0);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(u'\n').toStdString();
}

} // namespace
