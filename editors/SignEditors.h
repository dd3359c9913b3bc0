#pragma once
// The editors of road signs: posts with their plates (the plate picked from the sign library, moved with
// the mouse, turned, scaled, labelled; the post's support kind; the sign table; the conversion of posts
// into columns of plates of the second kind) and the plates of the second kind.
#include "editors/EditorKit.h"

#include <cstdint>
#include <vector>

class TEmfSubItem;
class TRoadSignItem;
class TZnakItem;

// The text alignment the editors give the plates they make: the one either module set last (1 at start).
uint8_t &SignDefaultAlignment();
// The alignment step of both modules: 1, 3, 7, 5 and round again; any other value gives 1.
uint8_t NextSignAlignment(uint8_t alignment);
// A post plate's turn step: +90, above 360 loses 360, down to a multiple of 90.
int32_t NextPlateRotation(int32_t rotation);
// A second-kind plate's turn step: +90, from 360 on back to 0.
int32_t NextRoadSignOrientation(int32_t orientation);

// The support kinds of posts: the lines of "Тип опоры знака.txt" in the folder of "Каталог словарей",
// read once and again after that folder was chosen anew; empty when the file is not there. When the folder
// itself is not there, the user is asked for it.
const std::vector<Cp1251String> &SupportKinds();

class TZnakEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TZnakEditorModule(QObject *parent = nullptr);
    ~TZnakEditorModule() override;
    static bool CheckContext(const IContextSelection &selection);
    static std::vector<TItemLineSpec> LineSpecs();

    // The focused post when it is usable (at least 3 vertices), else nullptr.
    static TZnakItem *UsablePost();
    // The focused post's selected plate (nullptr when none or the post is not usable).
    static TEmfSubItem *SelectedPlate();

    // The chooser of the focused post's support kind; Cancel changes nothing.
    static void ChooseSupportKind();
    // "Отчет по дорожным знакам": one row per plate of the posts of at least 3 vertices, in selection
    // order, each carrying its post.
    static TReportTable SignTable(std::span<TAbstractItem *const> items);
    // Each post of exactly 3 vertices gives a column of second-kind plates in the street (the posts stay);
    // the table holds one result line per post, carrying it.
    static TReportTable ConvertPosts(TStreetStructure &street, std::span<TAbstractItem *const> items);

    TInfoStringAction *EmfNameInfo = nullptr, *AncKindInfo = nullptr, *AncHeightInfo = nullptr,
                      *ZnSqInfo = nullptr, *ZnStatusInfo = nullptr, *SubCountInfo = nullptr;
    TFloatingAction *LoadEMF = nullptr, *DeleteEMF = nullptr, *SaveEMF = nullptr, *MoveEMF = nullptr,
                    *OrientSubItem = nullptr, *ScaleEMF = nullptr, *EditEmfText = nullptr,
                    *TextAlign = nullptr, *ZnakReport = nullptr, *ConvertToNewFormat = nullptr;
    TMouseEvents *MoveEMFMode = nullptr;

private:
    void DoLoadEMF();
    void DoSaveEMF();
    uint64_t frameListener_ = 0;
};

class TRoadSignEditorModule : public TContextDataModule {
    Q_OBJECT
public:
    explicit TRoadSignEditorModule(QObject *parent = nullptr);
    static bool CheckContext(const IContextSelection &selection);

    // The selected second-kind plates in order (the focused one first).
    static std::vector<TRoadSignItem *> SelectedSigns();

    TFloatingAction *LoadEMF = nullptr, *Orient = nullptr, *ScaleEMF = nullptr, *AlignText = nullptr,
                    *EditText = nullptr, *SelectAncConnected = nullptr;
};
