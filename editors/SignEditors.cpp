#include "editors/SignEditors.h"

#include "engine/Cp1251Qt.h"
#include "engine/Directory.h"
#include "engine/DxRenderer.h"
#include "engine/NumText.h"
#include "engine/Reg_Shell.h"
#include "engine/Streams.h"
#include "model/GuideAxisInfo.h"
#include "model/ItemList.h"
#include "model/ItemTypeCodes.h"
#include "model/NameValueList.h"
#include "model/StreetStructure.h"
#include "objects/BortItem.h"
#include "objects/RoadSignItem.h"
#include "objects/ZnakItem.h"
#include "shell/FloatSpinForm.h"
#include "shell/StreetTableForm.h"
#include "shell/UserPrompts.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace {

const QString EditorCategory = QStringLiteral("Редактор");
const QString SignCategory = QStringLiteral("Дор.знак");
const QString PickerCaption = QStringLiteral("Дорожные знаки");
const QString ScaleCaption = QStringLiteral("Масштаб, %");
const QString LabelCaption = QStringLiteral("Подпись знака");

TZnakItem *PostOf(TAbstractItem *item) {
    return dynamic_cast<TZnakItem *>(item);
}

TZnakItem *FocusedPost() {
    const std::vector<TAbstractItem *> s = EditorSelection();
    return s.empty() ? nullptr : PostOf(s.front());
}

TEmfSubItem *PlateOf(TAbstractItem &item) {
    TZnakItem *post = PostOf(&item);
    return post != nullptr ? post->GetPlate(post->GetSelectedIndex()) : nullptr;
}

bool AllPosts(std::span<TAbstractItem *const> s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](TAbstractItem *i) { return PostOf(i) != nullptr; });
}

// Exactly one item selected and a plate selected on it.
bool OnePlate(std::span<TAbstractItem *const> s) {
    return s.size() == 1 && PlateOf(*s.front()) != nullptr;
}

Cp1251String TextOf(const TFieldValue &v) {
    const Cp1251String *s = std::get_if<Cp1251String>(&v);
    return s != nullptr ? *s : Cp1251String();
}

double NumberOf(const TFieldValue &v) {
    const double *x = std::get_if<double>(&v);
    return x != nullptr ? *x : 0;
}

QString Fixed(double v, int decimals) {
    return QString::fromStdString(FormatFixed(v, decimals));
}

// A line of the selected plate of the one selected post.
TItemLineSpec PlateLine(const char *name, const QString &caption,
                        std::function<TFieldValue(TEmfSubItem &)> get, TClickKind click,
                        const QString &dialog, std::function<void(TEmfSubItem &, const TFieldValue &)> set) {
    TItemLineSpec spec;
    spec.Name = name;
    spec.Category = SignCategory;
    spec.Caption = caption;
    spec.Get = [get](TAbstractItem &i) {
        TEmfSubItem *plate = PlateOf(i);
        return plate != nullptr ? get(*plate) : TFieldValue{};
    };
    spec.ValidIf = OnePlate;
    spec.Click = click;
    spec.DialogCaption = [dialog](TAbstractItem &) { return dialog; };
    spec.Question = TApplyQuestion::None;
    spec.Set = [set](TAbstractItem &i, const TFieldValue &v) {
        if (TEmfSubItem *plate = PlateOf(i))
            set(*plate, v);
    };
    return spec;
}

// A number line shown with the decimals; red when it shows zero.
TItemLineSpec PlateNumberLine(const char *name, const QString &caption, int decimals,
                              std::function<double(TEmfSubItem &)> get, const QString &dialog,
                              std::function<void(TEmfSubItem &, float)> set) {
    TItemLineSpec spec = PlateLine(
        name, caption, [get](TEmfSubItem &p) { return TFieldValue(get(p)); }, TClickKind::EditSingle, dialog,
        [set](TEmfSubItem &p, const TFieldValue &v) { set(p, float(NumberOf(v))); });
    spec.Format = [decimals](const TFieldValue &v) { return Fixed(NumberOf(v), decimals); };
    spec.Unreliable = [get, decimals](TAbstractItem &i) {
        TEmfSubItem *plate = PlateOf(i);
        return plate != nullptr && Fixed(get(*plate), decimals) == Fixed(0, decimals);
    };
    return spec;
}

// The live scale dialog over the plates: each positive percentage typed applies to all of them; Cancel
// gives each its own scale back.
template <class TPlate>
void EditScales(const std::vector<TPlate *> &plates, const std::function<void()> &changed) {
    if (plates.empty())
        return;
    std::vector<float> own;
    for (TPlate *p : plates)
        own.push_back(p->Scale());
    const auto apply = [&plates, &changed](double percent) {
        const double scale = percent / 100;
        if (!(scale > 0) || scale > std::numeric_limits<float>::max())
            return;
        for (TPlate *p : plates)
            p->SetScale(float(scale));
        changed();
    };
    if (!TFloatSpinForm::Execute(EditorPopupPosition(), ScaleCaption, apply, double(own.front()) * 100)) {
        for (std::size_t i = 0; i < plates.size(); ++i)
            plates[i]->SetScale(own[i]);
        changed();
    }
}

// The text of the label dialog; true with the text on Ok (text the code page cannot hold is refused).
bool AskLabel(const Cp1251String &current, Cp1251String &typed) {
    QString text = ToQString(current);
    return UserPrompts().EditString(LabelCaption, EditorPopupPosition(), text) &&
           UserTextToCp1251(text, typed);
}

// The sign picker; the chosen file, empty when none.
QString PickSignFile() {
    QString file;
    if (!UserPrompts().ChoosePicture(PickerCaption, file))
        return QString();
    return file;
}

std::string LocalName(const QString &file) {
    return QFile::encodeName(file).toStdString();
}

void ShowLoadError(const std::exception &e) {
    UserPrompts().ShowMessage(TPromptKind::Error,
                              QStringLiteral("Не удалось загрузить знак: ") + QString::fromUtf8(e.what()));
}

TStreetStructure *EditorStreet() {
    const TEditorHost &h = EditorHost();
    return h.Street ? h.Street() : nullptr;
}

void ShowTable(const QString &caption, const TReportTable &table) {
    TStreetStructure *s = EditorStreet();
    const TEditorHost &h = EditorHost();
    if (s != nullptr)
        TStreetTableForm::ShowStreetTable(caption, table, *s, h.WindowParent ? h.WindowParent() : nullptr);
}

const Cp1251String ModuleSection("ZnakEditorModule");
const Cp1251String LastSavedValue("LastSavedEMF");

} // namespace

// ---- Shared rules

uint8_t &SignDefaultAlignment() {
    static uint8_t alignment = 1;
    return alignment;
}

uint8_t NextSignAlignment(uint8_t alignment) {
    switch (alignment) {
    case 1:
        return 3;
    case 3:
        return 7;
    case 7:
        return 5;
    default:
        return 1;
    }
}

int32_t NextPlateRotation(int32_t rotation) {
    int64_t r = int64_t(rotation) + 90;
    if (r > 360)
        r -= 360;
    // Down to a multiple of 90 (towards minus infinity, as a floor).
    const int64_t rest = ((r % 90) + 90) % 90;
    return static_cast<int32_t>(std::clamp<int64_t>(r - rest, std::numeric_limits<int32_t>::min() / 90 * 90,
                                                    std::numeric_limits<int32_t>::max() / 90 * 90));
}

int32_t NextRoadSignOrientation(int32_t orientation) {
    const int64_t r = int64_t(orientation) + 90;
    return r >= 360 ? 0 : static_cast<int32_t>(r);
}

const std::vector<Cp1251String> &SupportKinds() {
    struct TKinds {
        std::vector<Cp1251String> Lines;
        bool Loaded = false;
        uint64_t Version = 0;
    };
    static TKinds kinds;
    if (kinds.Loaded && kinds.Version == NamedDirectoriesVersion())
        return kinds.Lines;
    kinds.Loaded = true;
    kinds.Lines.clear();
    std::filesystem::path folder = GetNamedDirectory(DictionaryDirName());
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec))
        SelectNamedDirectory(DictionaryDirName(), folder);
    kinds.Version = NamedDirectoriesVersion();
    TNameValueList lines;
    if (LoadDictionaryFile(Cp("Тип опоры знака.txt"), lines))
        for (const Cp1251String &line : lines.AllLines())
            if (!line.Empty())
                kinds.Lines.push_back(line);
    return kinds.Lines;
}

// ---- Posts

TZnakItem *TZnakEditorModule::UsablePost() {
    TZnakItem *post = FocusedPost();
    return post != nullptr && post->Points.Count() >= 3 ? post : nullptr;
}

TEmfSubItem *TZnakEditorModule::SelectedPlate() {
    TZnakItem *post = UsablePost();
    return post != nullptr ? post->GetPlate(post->GetSelectedIndex()) : nullptr;
}

bool TZnakEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TZnakItem>(selection) && AllSelectedOfOneType(selection);
}

std::vector<TItemLineSpec> TZnakEditorModule::LineSpecs() {
    TItemLineSpec name = PlateLine(
        "EmfNameInfo", QStringLiteral("Файл"), [](TEmfSubItem &p) { return TFieldValue(p.FileName()); },
        TClickKind::EditString, QStringLiteral("Имя метафайла"),
        [](TEmfSubItem &p, const TFieldValue &v) { p.SetFileName(TextOf(v)); });

    TItemLineSpec kind;
    kind.Name = "AncKindInfo";
    kind.Category = SignCategory;
    kind.Caption = QStringLiteral("Тип опоры");
    kind.Get = [](TAbstractItem &i) {
        TZnakItem *post = PostOf(&i);
        return post != nullptr ? TFieldValue(post->SupportKind()) : TFieldValue{};
    };
    kind.Unreliable = [](TAbstractItem &i) {
        TZnakItem *post = PostOf(&i);
        return post == nullptr || post->SupportKind().Empty();
    };
    kind.OnClick = [] { ChooseSupportKind(); };

    TItemLineSpec height = PlateNumberLine(
        "AncHeightInfo", QStringLiteral("Высота установки"), 1,
        [](TEmfSubItem &p) { return double(p.AnchorHeight()); }, QStringLiteral("Высота установки"),
        [](TEmfSubItem &p, float v) { p.SetAnchorHeight(v); });
    TItemLineSpec area = PlateNumberLine(
        "ZnSqInfo", QStringLiteral("Площадь"), 2, [](TEmfSubItem &p) { return double(p.GetArea()); },
        QStringLiteral("Площадь знака"), [](TEmfSubItem &p, float v) { p.SetCustomArea(v); });
    TItemLineSpec status = PlateLine(
        "ZnStatusInfo", QStringLiteral("Статус"), [](TEmfSubItem &p) { return TFieldValue(p.Status()); },
        TClickKind::EditString, QStringLiteral("Статус знака"),
        [](TEmfSubItem &p, const TFieldValue &v) { p.SetStatus(TextOf(v)); });
    status.Unreliable = [](TAbstractItem &i) {
        TEmfSubItem *plate = PlateOf(i);
        return plate != nullptr && plate->Status().Empty();
    };

    TItemLineSpec count;
    count.Name = "SubCountInfo";
    count.Category = SignCategory;
    count.Caption = QStringLiteral("Количество знаков");
    count.ValidIf = AllPosts;
    count.Summary = [](std::span<TAbstractItem *const> s, QColor &) {
        int64_t total = 0;
        for (TAbstractItem *i : s)
            if (TZnakItem *post = PostOf(i))
                total += post->PlateCount();
        return QString::number(total);
    };
    return {name, kind, height, area, status, count};
}

TZnakEditorModule::TZnakEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("ZnakEditorModule"));
    SupportKinds();

    const std::vector<TItemLineSpec> specs = LineSpecs();
    TInfoStringAction **lineSlots[] = {&EmfNameInfo, &AncKindInfo,  &AncHeightInfo,
                                       &ZnSqInfo,    &ZnStatusInfo, &SubCountInfo};
    for (std::size_t i = 0; i < specs.size(); ++i) {
        TInfoRow row = InfoRowOf(specs[i], lineSlots[i]);
        if (specs[i].Caption == QStringLiteral("Высота установки"))
            row.ToolTip = QStringLiteral("Высота установки по низу");
        MakeInfoFromRow(this, row);
    }

    MoveEMFMode = new TMouseEvents(this);
    MoveEMFMode->setObjectName(QStringLiteral("MoveEMFMode"));
    MoveEMFMode->Cursor = MoveSignCursor;
    MoveEMFMode->OnCheckContext = [](TMouseEvents *, bool &valid) {
        TZnakItem *post = UsablePost();
        valid = post != nullptr && post->PlateCount() > 0;
    };
    MoveEMFMode->OnMouseDown = [](TMouseEvents *, const TMouseEventArgs &e) {
        TZnakItem *post = UsablePost();
        const TEditorHost &h = EditorHost();
        if (e.Buttons != Qt::RightButton || post == nullptr || !h.ScreenToGround)
            return;
        post->SetSelectedIndex(post->NearestPlate(h.ScreenToGround(e.X, e.Y)));
        EditorRefresh();
    };
    MoveEMFMode->OnMouseMove = [](TMouseEvents *, const TMouseEventArgs &e) {
        TEmfSubItem *plate = SelectedPlate();
        const TEditorHost &h = EditorHost();
        if (e.Buttons != Qt::LeftButton || plate == nullptr || !h.ScreenToGround)
            return;
        TZnakItem &post = plate->Post();
        const TXYZ ground = h.ScreenToGround(e.X, e.Y), anchor = post.Points.GetPoint(2);
        const double dx = double(ground.x) - anchor.x, dy = double(ground.y) - anchor.y;
        const double a = -post.GetPostAngle(), c = std::cos(a), s = std::sin(a);
        plate->SetOrigin({float(dx * c - dy * s), float(dx * s + dy * c), ground.z - anchor.z});
        post.Points.SetChanged(true);
        EditorRefresh();
    };
    MoveEMFMode->OnDestroy = [](TMouseEvents *self) {
        const TEditorHost &h = EditorHost();
        if (h.MouseMode && h.SetMouseMode && h.MouseMode() == self)
            h.SetMouseMode(nullptr);
    };

    const auto usable = [] { return UsablePost() != nullptr; };
    const auto withPlates = [] {
        TZnakItem *post = UsablePost();
        return post != nullptr && post->PlateCount() > 0;
    };
    const auto withSelected = [] { return SelectedPlate() != nullptr; };
    const auto onPlate = [](std::function<void(TEmfSubItem &)> fn) {
        return [fn] {
            if (TEmfSubItem *plate = SelectedPlate()) {
                fn(*plate);
                plate->Post().Points.SetChanged(true);
            }
            EditorRefresh();
        };
    };

    const TActionRow actions[] = {
        {.Name = "LoadEMF",
         .Hint = QStringLiteral("Загрузить знак"),
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_L),
         .Enabled = usable,
         .Visible = [] { return FocusedPost() != nullptr; },
         .Execute = [this] { DoLoadEMF(); },
         .Slot = &LoadEMF},
        {.Name = "DeleteEMF",
         .Hint = QStringLiteral("Удалить знак"),
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_D),
         .Enabled = withPlates,
         .Execute =
             [] {
                 if (TZnakItem *post = UsablePost())
                     post->DeletePlate(post->GetSelectedIndex());
                 EditorRefresh();
             },
         .Slot = &DeleteEMF},
        {.Name = "SaveEMF",
         .Hint = QStringLiteral("Записать метафайл"),
         .Enabled = withSelected,
         .Execute = [this] { DoSaveEMF(); },
         .Slot = &SaveEMF},
        {.Name = "MoveEMF",
         .Hint = QStringLiteral("Сдвиг знака"),
         .Key = QKeySequence(Qt::Key_Z),
         .Enabled = withPlates,
         .Execute =
             [this] {
                 const TEditorHost &h = EditorHost();
                 if (UsablePost() != nullptr && h.SetMouseMode)
                     h.SetMouseMode(MoveEMFMode);
             },
         .Slot = &MoveEMF},
        {.Name = "OrientSubItem",
         .Hint = QStringLiteral("Ориентация"),
         .Key = QKeySequence(Qt::Key_O),
         .Enabled = withSelected,
         .Execute = onPlate([](TEmfSubItem &p) { p.SetRotation(NextPlateRotation(p.Rotation())); }),
         .Slot = &OrientSubItem},
        {.Name = "ScaleEMF",
         .Hint = QStringLiteral("Изменить масштаб"),
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_S),
         .Enabled = withSelected,
         .Execute =
             [] {
                 if (TEmfSubItem *plate = SelectedPlate())
                     EditScales<TEmfSubItem>({plate}, [plate] {
                         plate->Post().Points.SetChanged(true);
                         EditorRefresh();
                     });
             },
         .Slot = &ScaleEMF},
        {.Name = "EditEmfText",
         .Hint = QStringLiteral("Редактировать подпись"),
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_T),
         .Enabled = withSelected,
         .Execute = onPlate([](TEmfSubItem &p) {
             Cp1251String typed;
             if (AskLabel(p.GetText(), typed))
                 p.SetText(typed);
         }),
         .Slot = &EditEmfText},
        {.Name = "TextAlign",
         .Hint = QStringLiteral("Позиция текста"),
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_P),
         .Enabled = withSelected,
         .Execute = onPlate([](TEmfSubItem &p) {
             p.SetAlignment(NextSignAlignment(p.Alignment()));
             SignDefaultAlignment() = p.Alignment();
         }),
         .Slot = &TextAlign},
        {.Name = "ZnakReport",
         .Hint = QStringLiteral("Выдать таблицу"),
         .Key = QKeySequence(Qt::Key_F),
         .Image = "Report",
         .Enabled = [] { return AllPosts(EditorSelection()); },
         .Execute =
             [] { ShowTable(QStringLiteral("Отчет по дорожным знакам"), SignTable(EditorSelection())); },
         .Slot = &ZnakReport},
        {.Name = "ConvertToNewFormat",
         .Hint = QStringLiteral("Преобразовать в новый формат"),
         .Key = QKeySequence(Qt::Key_F),
         .Execute =
             [] {
                 TStreetStructure *s = EditorStreet();
                 if (s == nullptr)
                     return;
                 ShowTable(QStringLiteral("Отчет по преобразованию"), ConvertPosts(*s, EditorSelection()));
                 EditorRefresh();
             },
         .Slot = &ConvertToNewFormat},
    };
    MakeActionsFromRows(this, EditorCategory, actions);

    const TEditorHost &h = EditorHost();
    if (h.AddDrawListener)
        frameListener_ = h.AddDrawListener([](const TDxDrawParams &params) {
            if (TEmfSubItem *plate = SelectedPlate(); plate != nullptr && params.Renderer != nullptr)
                plate->DrawFrame(*params.Renderer);
        });
}

TZnakEditorModule::~TZnakEditorModule() {
    const TEditorHost &h = EditorHost();
    if (frameListener_ != 0 && h.RemoveDrawListener)
        h.RemoveDrawListener(frameListener_);
}

void TZnakEditorModule::DoLoadEMF() {
    if (UsablePost() == nullptr)
        return;
    const QString file = PickSignFile();
    // The post is asked again: the picker is modal and the selection may have changed meanwhile.
    TZnakItem *post = UsablePost();
    if (file.isEmpty() || post == nullptr)
        return;
    TEmfSubItem *plate = post->AddPlate();
    try {
        plate->LoadFromFile(LocalName(file));
    } catch (const std::exception &e) {
        // A file that is no picture leaves no empty plate behind.
        post->DeletePlate(post->PlateCount() - 1);
        ShowLoadError(e);
        EditorRefresh();
        return;
    }
    Cp1251String name;
    if (!UserTextToCp1251(QFileInfo(file).fileName(), name))
        name = Cp1251String();
    plate->SetFileName(name);
    plate->SetAlignment(SignDefaultAlignment());
    plate->ResetOrigin();
    plate->Select();
    EditorRefresh();
    if (MoveEMF != nullptr)
        MoveEMF->Click();
}

void TZnakEditorModule::DoSaveEMF() {
    TEmfSubItem *plate = SelectedPlate();
    if (plate == nullptr)
        return;
    const TMetafile *m = plate->Metafile();
    if (plate->LibIndex() == TSignPicture::Missing || m == nullptr || m->Bytes().empty()) {
        UserPrompts().ShowMessage(TPromptKind::Warning,
                                  QStringLiteral("Знака нет в библиотеке метафайлов: записывать нечего."));
        return;
    }
    TFileDialogRequest request;
    request.Mode = TFileDialogMode::Save;
    request.Title = QStringLiteral("Записать метафайл");
    request.Filter = QStringLiteral("Метафайлы|*.emf;*.wmf");
    request.DefaultExt = QStringLiteral("emf");
    request.FileName = ToQString(RegReadString(ModuleSection, LastSavedValue));
    QStringList files;
    if (!UserPrompts().ChooseFiles(request, files) || files.isEmpty())
        return;
    Cp1251String stored;
    if (Cp1251String::TryFromUtf8(files.front().toStdString(), stored))
        RegWriteString(ModuleSection, LastSavedValue, stored);
    try {
        m->SaveToFile(LocalName(files.front()));
    } catch (const std::exception &e) {
        UserPrompts().ShowMessage(TPromptKind::Error, QStringLiteral("Не удалось записать метафайл: ") +
                                                          QString::fromUtf8(e.what()));
    }
}

void TZnakEditorModule::ChooseSupportKind() {
    const std::vector<TAbstractItem *> selection = EditorSelection();
    TZnakItem *post = selection.empty() ? nullptr : PostOf(selection.front());
    const std::vector<Cp1251String> &kinds = SupportKinds();
    if (post == nullptr || kinds.empty()) {
        EditorRefresh();
        return;
    }
    QStringList items;
    int index = -1;
    for (const Cp1251String &k : kinds) {
        if (index < 0 && k == post->SupportKind())
            index = int(items.size());
        items << ToQString(k);
    }
    const bool ok =
        UserPrompts().SelectString(EditorPopupPosition(), QStringLiteral("Тип опоры"), items, index);
    // The selection is asked again after the modal chooser.
    const std::vector<TAbstractItem *> now = EditorSelection();
    if (ok && index >= 0 && index < int(kinds.size()) && !now.empty() && now.front() == post) {
        const Cp1251String chosen = kinds[std::size_t(index)];
        post->SetSupportKind(chosen);
        post->Points.SetChanged(true);
        if (selection.size() > 1 && UserPrompts().Ask(TPromptKind::Confirmation,
                                                      QStringLiteral("Установить для остальных выбранных?"),
                                                      TPromptButtons::YesNo) == TPromptAnswer::Yes)
            for (TAbstractItem *item : now)
                if (TZnakItem *other = PostOf(item); other != nullptr && other != post) {
                    other->SetSupportKind(chosen);
                    other->Points.SetChanged(true);
                }
    }
    EditorRefresh();
}

TReportTable TZnakEditorModule::SignTable(std::span<TAbstractItem *const> items) {
    TReportTable table = TReportTable::WithHeader(
        {Cp("Ось"), Cp("Сторона"), Cp("Координата"), Cp("Наименование"), Cp("Площадь"), Cp("ГоСТ"),
         Cp("Сп.установки"), Cp("Высота"), Cp("Примечание"), Cp("Статус")});
    for (TAbstractItem *item : items) {
        TZnakItem *post = PostOf(item);
        if (post == nullptr || post->Points.Count() < 3)
            continue;
        double station = -1;
        Cp1251String side;
        if (TAbstractItem *axis = post->GetReferAxis()) {
            float t = 0, along = 0, offset = 0;
            if (axis->Points.Project(post->Points.GetPoint(0), t, along, offset)) {
                station = along;
                const auto *info = dynamic_cast<const TGuideAxisInfo *>(axis);
                // An offset that is no number counts as right.
                side = offset >= 0 ? (info ? info->GetLeftSideName() : DefaultLeftSideName())
                                   : (info ? info->GetRightSideName() : DefaultRightSideName());
            }
        }
        for (int i = 0; i < post->PlateCount(); ++i) {
            const TEmfSubItem &plate = *post->GetPlate(i);
            table.AddRow({post->GetReferAxisName(), side, Cp1251String(FormatFixed(station, 1)),
                          plate.GetDescription(), Cp1251String(FormatFixed(plate.GetArea(), 2)),
                          plate.GetSignNumber(), post->SupportKind(),
                          Cp1251String(FormatFixed(plate.AnchorHeight(), 1)), post->GetCaption(),
                          plate.Status()},
                         ItemRowObject(*post));
        }
    }
    return table;
}

namespace {

// The plate's picture into the new plate: by its bytes, as the library or its own; a plate whose library
// entry is missing keeps its library name.
void CopyPicture(const TEmfSubItem &plate, TRoadSignItem &sign) {
    const Cp1251String name = plate.FileName().Empty() ? plate.LibName() : plate.FileName();
    const TMetafile *m = plate.Metafile();
    if (plate.LibIndex() == TSignPicture::Missing || m == nullptr || m->Bytes().empty()) {
        sign.SetLibraryName(plate.LibName());
        return;
    }
    TMemoryStream bytes(m->Bytes(), name.ToUtf8());
    sign.LoadFromMetafileStream(bytes, name);
}

TRoadSignItem &NewSign(TStreetStructure &street, TZnakItem &post) {
    auto &sign = dynamic_cast<TRoadSignItem &>(*street.Lists(RoadSignTypeCode).AddNew());
    sign.SetGroupName(post.GroupName());
    sign.SetComment(post.Comment());
    sign.SetComment2(post.Comment2());
    // The post's own axis (not the street's main one it falls back to).
    sign.SetReferAxis(post.ReferAxis.Count() > 0 ? post.ReferAxis.Items(0) : nullptr);
    return sign;
}

} // namespace

TReportTable TZnakEditorModule::ConvertPosts(TStreetStructure &street,
                                             std::span<TAbstractItem *const> items) {
    TReportTable table = TReportTable::WithHeader({Cp("Результат")});
    for (TAbstractItem *item : items) {
        TZnakItem *post = PostOf(item);
        if (post == nullptr)
            continue;
        if (post->Points.Count() != 3) {
            table.AddRow({Cp("Ошибка, нет трех точек в исходном объекте")}, ItemRowObject(*post));
            continue;
        }
        const TXYZ p0 = post->Points.GetPoint(0), p1 = post->Points.GetPoint(1),
                   p2 = post->Points.GetPoint(2);
        TRoadSignItem *previous = nullptr;
        for (int i = 0; i < post->PlateCount(); ++i) {
            const TEmfSubItem &plate = *post->GetPlate(i);
            TRoadSignItem &sign = NewSign(street, *post);
            const TXYZ at = plate.GetWorldPosition();
            sign.Points.InsertNewPoint(0, at);
            if (previous == nullptr) {
                sign.Points.InsertNewPoint(
                    1, {p1.x + (at.x - p2.x), p1.y + (at.y - p2.y), p1.z + (at.z - p2.z)});
                sign.Points.InsertNewPoint(2, p0);
            } else {
                sign.Points.Insert(1, previous->Points.PointRec(0));
            }
            CopyPicture(plate, sign);
            sign.SetTextAlign(plate.Alignment());
            sign.SetScale(plate.Scale());
            sign.SetOrientation(plate.Rotation());
            sign.SetLabel(plate.GetText());
            if (sign.GetSignNumber() != plate.GetSignNumber())
                sign.SetLabel(plate.GetSignNumber());
            sign.Points.SetChanged(true);
            previous = &sign;
        }
        // The system's own text, spelling and all.
        table.AddRow(
            {Cp("Преобразован, количетво новых = ") + Cp1251String(std::to_string(post->PlateCount()))},
            ItemRowObject(*post));
    }
    return table;
}

// ---- Plates of the second kind

std::vector<TRoadSignItem *> TRoadSignEditorModule::SelectedSigns() {
    std::vector<TRoadSignItem *> out;
    for (TAbstractItem *i : EditorSelection())
        if (auto *sign = dynamic_cast<TRoadSignItem *>(i))
            out.push_back(sign);
    return out;
}

bool TRoadSignEditorModule::CheckContext(const IContextSelection &selection) {
    return FocusedIsA<TRoadSignItem>(selection) && AllSelectedOfOneType(selection);
}

namespace {

// The one selected plate (nullptr with another selection).
TRoadSignItem *OneSign() {
    const std::vector<TAbstractItem *> s = EditorSelection();
    return s.size() == 1 ? dynamic_cast<TRoadSignItem *>(s.front()) : nullptr;
}

} // namespace

TRoadSignEditorModule::TRoadSignEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("RoadSignEditorModule"));
    const auto one = [] { return OneSign() != nullptr; };
    const TActionRow actions[] = {
        {.Name = "LoadEMF",
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_L),
         .Enabled = one,
         .Execute =
             [] {
                 if (OneSign() == nullptr)
                     return;
                 const QString file = PickSignFile();
                 TRoadSignItem *sign = OneSign();
                 if (file.isEmpty() || sign == nullptr)
                     return;
                 try {
                     sign->LoadFromFile(LocalName(file));
                 } catch (const std::exception &e) {
                     ShowLoadError(e);
                 }
                 EditorRefresh();
             },
         .Slot = &LoadEMF},
        {.Name = "Orient",
         .Hint = QStringLiteral("Ориентация"),
         .Key = QKeySequence(Qt::Key_O),
         .Enabled = one,
         .Execute =
             [] {
                 if (TRoadSignItem *sign = OneSign())
                     sign->SetOrientation(NextRoadSignOrientation(sign->Orientation()));
                 EditorRefresh();
             },
         .Slot = &Orient},
        {.Name = "ScaleEMF",
         .Execute = [] { EditScales<TRoadSignItem>(SelectedSigns(), [] { EditorRefresh(); }); },
         .Slot = &ScaleEMF},
        {.Name = "AlignText",
         .Key = QKeySequence(Qt::SHIFT | Qt::Key_P),
         .Execute =
             [] {
                 const std::vector<TRoadSignItem *> signs = SelectedSigns();
                 if (signs.empty())
                     return;
                 const uint8_t next = NextSignAlignment(signs.front()->TextAlign());
                 for (TRoadSignItem *sign : signs)
                     sign->SetTextAlign(next);
                 SignDefaultAlignment() = next;
                 EditorRefresh();
             },
         .Slot = &AlignText},
        {.Name = "EditText",
         .Hint = QStringLiteral("Редактировать подпись"),
         .Enabled = one,
         .Execute =
             [] {
                 TRoadSignItem *sign = OneSign();
                 Cp1251String typed;
                 if (sign != nullptr && AskLabel(sign->Label(), typed) && OneSign() == sign)
                     sign->SetLabel(typed);
                 EditorRefresh();
             },
         .Slot = &EditText},
        {.Name = "SelectAncConnected",
         .Hint = QStringLiteral("Выбрать все связанные"),
         .Key = QKeySequence(Qt::CTRL | Qt::Key_A),
         .Enabled = one,
         .Execute =
             [] {
                 TRoadSignItem *sign = OneSign();
                 TStreetStructure *street = EditorStreet();
                 if (sign == nullptr || street == nullptr)
                     return;
                 TRoadSignItem *root = sign->GetChainRoot();
                 if (root == nullptr)
                     root = sign;
                 std::vector<TRoadSignItem *> chain;
                 root->CollectChain(chain);
                 street->Selection().Clear();
                 street->Selection().AddItem(root);
                 for (TRoadSignItem *s : chain)
                     if (s != root)
                         street->Selection().AddItem(s);
                 EditorRefresh();
             },
         .Slot = &SelectAncConnected},
    };
    MakeActionsFromRows(this, EditorCategory, actions);
}
