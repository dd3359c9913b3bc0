#pragma once
// The editors of the street's linear items: curbs (kind, grade, colour, painted width and their table
// along the axis), line markings (code chooser, mirror and their table) and tram lines (rut width).
#include "editors/EditorKit.h"

class TBortEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TBortEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec ReportSpec();
    TInfoStringAction *BortKind = nullptr, *BortGost = nullptr, *BortColor = nullptr, *BortDrawWidth = nullptr;
    TFloatingAction *SaveReport = nullptr;
};

class TLineRazmetEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TLineRazmetEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec ReportSpec();
    // The names of the street's marking records in record order (the default table for a street
    // without records of its own).
    static QStringList GostNames();
    TInfoStringAction *GostInfo = nullptr;
    TFloatingAction *GostName = nullptr, *Mirror = nullptr, *LnRazmetRep = nullptr;
};

class TTramWayEditorDataModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TTramWayEditorDataModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    TInfoStringAction *TramWidthAction = nullptr;
};

// The note of a curb's row: the comment, ";" after a comment, the short names of the road way, sidewalk
// and lawn types bordering it joined by ";", then "<<" Comment2 ">>" when there is one.
Cp1251String BortNote(TAbstractItem &bort);
