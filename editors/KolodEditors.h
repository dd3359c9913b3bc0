#pragma once
// The editors of manholes and drain gratings: the owner of manholes by hand, from a text label beside one
// or automatically from the nearest label, the check that every manhole has an owner, the label's
// alignment, and the tables of manholes and gratings with their distance from the curb.
#include "editors/EditorKit.h"

#include <optional>

class TKolodEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    // Labels farther than this from a manhole are never its owner.
    static constexpr double OwnerSearchRadius = 10.0;

    explicit TKolodEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();
    static TReportSpec ReportSpec();

    // The next alignment code: + 1, 8 becomes 0, 4 is skipped (the label would cover the symbol).
    static uint8_t NextTextAlign(uint8_t code);
    // The first selected manhole takes the second selected label's text; the label is deleted.
    static void OwnerFromText();
    // Each selected manhole without an owner takes the text of the nearest label within 10 m when that
    // label is clearly the nearest (at most half as far as the next one); the label is deleted.
    static void AutoOwner();
    // Leaves the manholes without an owner selected and says how many there are.
    static void CheckOwner();

    TInfoStringAction *KolodOwnerInfo = nullptr;
    TFloatingAction *TextAlign = nullptr, *OwnerFromTextAction = nullptr, *AutoOwnerAction = nullptr,
                    *Check_Owner = nullptr, *SaveReport = nullptr;
};

class TReshetEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TReshetEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);
    static TReportSpec ReportSpec();

    TFloatingAction *SaveReport = nullptr;
};

// The least lateral distance of the point from the street's axes that carry "KolodRef", counting only
// projections that fall inside an axis; nothing when none does.
std::optional<double> CurbDistance(TStreetStructure &street, const TXYZ &point);
