#pragma once
// The editor of zebra crossings: their width and yellow background from the info grid, offered to the
// other selected crossings.
#include "editors/EditorKit.h"

class TZebraEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TZebraEditorModule(QObject *parent = nullptr);
    // The focused item is a crossing and so is every selected one.
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    TInfoStringAction *ZebraWidthAction = nullptr, *ZebraBkgAction = nullptr;
};
