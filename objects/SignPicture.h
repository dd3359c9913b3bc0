#pragma once
// What a sign plate shows and how it is stored: a picture of the sign library (kept by index and name and
// shared with the library), a metafile of its own, or the missing-sign picture for a library name that is
// not there (whose name is kept, so that saving writes it back unchanged). The picture is resolved on use:
// an index the library does not (or no longer) hold shows the missing sign, never another entry.
//
// Also the sign numbers derived from picture file names, the metafile readers of plate records and the
// three sign tables read from DataFiles.
#include "engine/Cp1251.h"
#include "engine/DxCalc_0.h"
#include "engine/Streams.h"
#include "model/BatchSeam.h"
#include "platform/gdi/Metafile.h"

#include <cstdint>
#include <functional>
#include <vector>

class TSignPicture {
public:
    // >= 0: library entry; -1: own metafile; -2: library entry missing.
    static constexpr int32_t Own = -1, Missing = -2;

    // No picture; the index it is given (0 for a fresh plate of the second sign type).
    explicit TSignPicture(int32_t index = 0) : Index_(index) {}

    // The picture; nullptr when none was ever set.
    const TMetafile *Metafile() const;
    bool HasPicture() const { return Has_; }
    int32_t Index() const { return Index_; }
    const Cp1251String &LibName() const { return Name_; }
    // The picture's size, taken when it was set.
    int32_t Width() const { return Width_; }
    int32_t Height() const { return Height_; }

    // A metafile read or loaded: a byte-identical library entry (the last such) takes its place, with its
    // index and name; otherwise it is kept as the plate's own picture (index -1).
    void SetMetafile(const TMetafile &metafile);
    // A library name read from a record: the entry of that name, else (when translate) the entry the
    // old-name list gives for it; else the missing sign (index -2) with the name kept as given.
    void SetLibName(const Cp1251String &name, bool translate);

private:
    void TakeSize();

    int32_t Index_;
    Cp1251String Name_;
    TMetafile Own_;
    bool Has_ = false;
    int32_t Width_ = 0, Height_ = 0;
};

// "G2004_5-19-1_a.emf" gives "5.19.1": the name without folder and extension, without a leading "G2004_";
// "-" becomes "."; the first "_" ends it; a "0" right after a "." is dropped; empty gives " ".
Cp1251String SignNumberFromFileName(const Cp1251String &fileName);
// The second sign type's variant: no prefix is stripped and empty gives "?".
Cp1251String RoadSignNumberFromFileName(const Cp1251String &fileName);

// A metafile stored as an int32 byte count and the bytes ("ZNSUBEM2", "RSGNEMFD"); a count of 0 gives an
// empty metafile. A count beyond the bytes present or bytes that are no metafile raise EStreetError naming
// `what`, the stream and the offset.
TMetafile ReadCountedMetafile(TStream &stream, const char *what);
void WriteCountedMetafile(TStream &stream, const TMetafile &metafile);
// A metafile in its own stream form ("ZNSUBEMF", "EMF     "): its header gives its length. The same checks.
TMetafile ReadStreamMetafile(TStream &stream, const char *what);

// The sign tables of DataFiles "Знаки/": descriptions and areas by sign number, and the library names
// that replace old ones. Read on first use; a table that cannot be read is empty and leaves a sign-library
// notice (TakeSignLibraryNotices).
Cp1251String SignDescription(const Cp1251String &number);
Cp1251String SignAreaText(const Cp1251String &number);
Cp1251String TranslateOldSignName(const Cp1251String &oldName);
// An area as the table writes it ("0.49"); 0 when the text is no finite number.
float SignAreaValue(const Cp1251String &text);
// Forgets the tables read (tests that point DataFiles elsewhere).
void FreeSignTables();

// ---- Labels
// A sign's label: its lines (the number, then "(" status ")" for a post's plate with a status) laid out
// beside the picture. The picture's frame maps a point (x, y) of the picture (metafile units, centred, y up)
// to Centre + x AxisX + y AxisY in plan metres; Width and Height are the picture's size in those units.
struct TSignLabel {
    std::vector<Cp1251String> Lines;
    uint8_t Alignment = 1; // 1 below, 3 right of, 5 left of, 7 above the picture; others centred
    TXYZ Centre, AxisX, AxisY;
    double Width = 0, Height = 0;
    float Scale = 1; // the plate's scale (never 0)
    bool PostLayout = true; // the post's layout rule; false: the second sign type's
};
// Writes a label's glyphs into the glyph batch (entry 2 of a sign type's batches) for the owner. The
// glyph font's unit registers it; without it signs are drawn without labels.
using TSignLabelWriter = std::function<void(TItemBatch &glyphs, TBatchOwnerKey owner, const TSignLabel &label)>;
void SetSignLabelWriter(TSignLabelWriter writer);
// The writer in use; until another is set, WriteSignLabelGlyphs.
const TSignLabelWriter &SignLabelWriter();

class TFontTexture;
// The label's characters, two triangles each, in plan coordinates (black, textured from the atlas). A line
// is one glyph unit high: the picture's edge on the alignment side, then 12 / scale picture units across
// and 15 / scale up per glyph unit, in the layout rule of the label's sign type.
std::vector<TDxVertex> SignLabelQuads(const TSignLabel &label, const TFontTexture &atlas);
// The labels of the plan: the small atlas font of the fonts object, which the glyph batch then draws with;
// nothing without that object (headless use).
void WriteSignLabelGlyphs(TItemBatch &glyphs, TBatchOwnerKey owner, const TSignLabel &label);
