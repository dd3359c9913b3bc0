#pragma once
// The editor of public-transport stops: name, routes, pavilion and its sizes, platform area, the figures a
// stop answers about its place (distance from the road way, side, extent along the axis, bus-bay area)
// and the stop table.
#include "editors/EditorKit.h"

class TStopEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TStopEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    // The specs of the lines, in the module's order (for tests).
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec ReportSpec();

    TInfoStringAction *NameInfo = nullptr, *RootsInfo = nullptr, *HasPavInfo = nullptr, *LengthInfo = nullptr,
                      *WidthInfo = nullptr, *SqInfo = nullptr, *DistanceRWInfo = nullptr, *AxSideInfo = nullptr,
                      *AxStartInfo = nullptr, *AxFinInfo = nullptr, *KarmanSqInfo = nullptr,
                      *OwnTrotSqInfo = nullptr;
    TFloatingAction *SaveReport = nullptr;
};

// printf's "%<width>.1f" with "." whatever the locale.
QString StopFigureText(double value, int width = 3);
