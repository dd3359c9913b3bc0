#pragma once
// The editors of the street's surfaces: material and passport category of road ways and sidewalks, the
// area of any measurable polygon and the area tables of road ways, sidewalks, lawns and the polygons that
// have no table of their own.
#include "editors/EditorKit.h"

// The measurable polygons, and those the polygon module reports.
extern const TItemTypeSet MeasurableTypes;
extern const TItemTypeSet PolygonReportTypes;

class TRoadWayEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TRoadWayEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec AreaReportSpec();
    TInfoStringAction *PaspCategoryInfo = nullptr, *MaterialInfo = nullptr;
    TFloatingAction *AreaReport = nullptr;
};

class TTrotuarEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TTrotuarEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec ReportSpec();
    TInfoStringAction *PasspCategoryInfo = nullptr, *MaterialInfo = nullptr;
    TFloatingAction *Report = nullptr;
};

class TGazonEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TGazonEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static TReportSpec ReportSpec();
    TFloatingAction *Report = nullptr;
};

class TPolygonEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TPolygonEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec AreaReportSpec();
    // The report is offered for one shared type of the reported set.
    static bool AreaReportEnabled(std::span<TAbstractItem *const> selection);
    TInfoStringAction *AreaSq = nullptr, *AreaSumSq = nullptr;
    TFloatingAction *AreaReport = nullptr;
};

// The area text of a report row or line ("%5.1f"); a figure over an incomplete triangulation is marked "?".
Cp1251String AreaText(double area, bool reliable);
