#pragma once
// The editor every non-empty selection has: the group, both comments and the reference axis of the
// selected items, the reference-axis pick, and Space for a menu of every editable info line shown.
#include "editors/EditorKit.h"

class TItemEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TItemEditorModule(QObject *parent = nullptr);
    ~TItemEditorModule() override;
    static bool CheckContext(const IContextSelection &selection);

    TInfoStringAction *ItemGroupInfo = nullptr, *CommentInfo = nullptr, *Comment2Info = nullptr,
                      *ReferAxisInfo = nullptr;
    TFloatingAction *ReferAxis = nullptr, *ExecuteAttribsMenu = nullptr;
    TPickMode *SelectReferAxisMode = nullptr;

    // The group chooser: "" and the street's group names, sorted; Ok gives the name to every selected item.
    static void ChooseGroup();
    // The captions of the attributes menu: every shown info line with a click, as the grid lays them out.
    static std::vector<TInfoStringAction *> AttribsMenuLines();
    static void PopupAttribsMenu();
    // The specs of the lines (for tests and the modules that show the same lines).
    static std::vector<TItemLineSpec> LineSpecs();
};
