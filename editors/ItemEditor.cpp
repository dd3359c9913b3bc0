#include "editors/ItemEditor.h"

#include "engine/Cp1251Qt.h"
#include "model/AbstractItem.h"
#include "model/ItemTypeCodes.h"
#include "model/NameValueList.h"
#include "model/StreetStructure.h"
#include "shell/InfoGrid.h"
#include "shell/UserPrompts.h"

#include <algorithm>

namespace {

TFieldValue Text(const Cp1251String &s) {
    return s;
}

Cp1251String TextOf(const TFieldValue &v) {
    const Cp1251String *s = std::get_if<Cp1251String>(&v);
    return s != nullptr ? *s : Cp1251String();
}

QString DisplayCaption(TAbstractItem &item, const char *suffix) {
    return ToQString(item.GetDisplayName()) + QString::fromUtf8(suffix);
}

} // namespace

std::vector<TItemLineSpec> TItemEditorModule::LineSpecs() {
    return {
        {.Name = "ItemGroupInfo",
         .Category = QStringLiteral("Выборка"),
         .Caption = QStringLiteral("Группа"),
         .TextColor = Teal,
         .Get = [](TAbstractItem &i) { return Text(i.GroupName()); },
         .OnClick = [] { ChooseGroup(); }},
        {.Name = "CommentInfo",
         .Category = QStringLiteral("Примечание"),
         .Caption = QStringLiteral("Примечание"),
         .Get = [](TAbstractItem &i) { return Text(i.Comment()); },
         .AppendDifferent = true,
         .Click = TClickKind::EditString,
         .DialogCaption = [](TAbstractItem &i) { return DisplayCaption(i, ":примечание"); },
         .Question = TApplyQuestion::AfterOkOrCancel,
         .Set = [](TAbstractItem &i, const TFieldValue &v) { i.SetComment(TextOf(v)); }},
        {.Name = "Comment2Info",
         .Category = QStringLiteral("Примечание"),
         .Caption = QStringLiteral("Примечание2"),
         .Get = [](TAbstractItem &i) { return Text(i.Comment2()); },
         .AppendDifferent = true,
         .Click = TClickKind::EditString,
         .DialogCaption = [](TAbstractItem &i) { return DisplayCaption(i, ":примечание2"); },
         .Question = TApplyQuestion::AfterOkOrCancel,
         .Set = [](TAbstractItem &i, const TFieldValue &v) { i.SetComment2(TextOf(v)); }},
        {.Name = "ReferAxisInfo",
         .Category = QStringLiteral("Выборка"),
         .Caption = QStringLiteral("Ссылочная ось"),
         .TextColor = Teal,
         .Get = [](TAbstractItem &i) { return Text(i.GetReferAxisName()); }},
    };
}

TItemEditorModule::TItemEditorModule(QObject *parent) : TContextDataModule(parent) {
    setObjectName(QStringLiteral("ItemEditorModule"));
    const std::vector<TItemLineSpec> specs = LineSpecs();
    TInfoStringAction **lineSlots[] = {&ItemGroupInfo, &CommentInfo, &Comment2Info, &ReferAxisInfo};
    for (std::size_t i = 0; i < specs.size(); ++i)
        MakeInfoFromRow(this, InfoRowOf(specs[i], lineSlots[i]));

    SelectReferAxisMode =
        new TPickMode(this, "SelectReferAxisMode", ReferAxisCursor, TItemTypeSet{AxisTypeCode}, true);
    SelectReferAxisMode->OnCheckContext = [](TMouseEvents *, bool &valid) {
        valid = !EditorSelection().empty();
    };
    // The axes stay as they are until the pick: an axis sets them, empty ground clears them.
    SelectReferAxisMode->Picked = [](TAbstractItem *axis) {
        for (TAbstractItem *item : EditorSelection())
            item->SetReferAxis(axis);
    };

    const TActionRow actions[] = {
        {.Name = "ReferAxis",
         .Hint = QStringLiteral("Ссылочная ось"),
         .Execute = [this] { SelectReferAxisMode->Enter(); },
         .Slot = &ReferAxis},
        {.Name = "ExecuteAttribsMenu",
         .Key = QKeySequence(Qt::Key_Space),
         .Visible = [] { return false; },
         .Execute = [] { PopupAttribsMenu(); },
         .Slot = &ExecuteAttribsMenu},
    };
    MakeActionsFromRows(this, QStringLiteral("Редактор"), actions);
}

TItemEditorModule::~TItemEditorModule() = default;

bool TItemEditorModule::CheckContext(const IContextSelection &selection) {
    return AnySelection(selection);
}

void TItemEditorModule::ChooseGroup() {
    const std::vector<TAbstractItem *> selection = EditorSelection();
    const TEditorHost &h = EditorHost();
    TStreetStructure *street = h.Street ? h.Street() : nullptr;
    if (selection.empty() || street == nullptr)
        return;
    std::vector<Cp1251String> names{Cp1251String()};
    const TNameValueList &groups = street->GroupNames();
    for (int i = 0; i < groups.Count(); ++i)
        names.push_back(groups.Names(i));
    std::sort(names.begin(), names.end(),
              [](const Cp1251String &a, const Cp1251String &b) { return CompareText(a, b) < 0; });
    names.erase(std::unique(names.begin(), names.end(),
                            [](const Cp1251String &a, const Cp1251String &b) { return SameText(a, b); }),
                names.end());
    QStringList items;
    int index = -1;
    for (const Cp1251String &n : names) {
        if (index < 0 && n == selection.front()->GroupName())
            index = int(items.size());
        items << ToQString(n);
    }
    const bool ok =
        UserPrompts().SelectString(EditorPopupPosition(), QStringLiteral("Имя группы"), items, index);
    if (ok && index >= 0 && index < int(names.size()))
        for (TAbstractItem *item : selection)
            item->SetGroupName(names[std::size_t(index)]);
    EditorRefresh();
}

std::vector<TInfoStringAction *> TItemEditorModule::AttribsMenuLines() {
    std::vector<TInfoStringAction *> out;
    for (const TInfoGrid::TCell &cell : TInfoGrid::CollectLines())
        if (cell.Action && cell.Action->OnClick)
            out.push_back(cell.Action.data());
    return out;
}

void TItemEditorModule::PopupAttribsMenu() {
    const std::vector<TInfoStringAction *> lines = AttribsMenuLines();
    std::vector<TMenuEntry> entries;
    for (TInfoStringAction *a : lines)
        entries.push_back({a->text()});
    const int chosen = UserPrompts().PopupEntries(entries);
    if (chosen >= 0 && chosen < int(lines.size()))
        lines[std::size_t(chosen)]->DoClick();
}
