#pragma once
// The three libraries of named design styles every street owns: blocks (pictures design blocks place at
// points), line styles (start, repeat and finish pictures of decorative bands) and fill styles (tile
// pictures of decorative fills). Line and fill styles own one batch per picture, which their library
// places into the street's batch array of the item type, so that all items of one style draw together
// with that style's picture.
//
// Pictures are stored in records as complete BMP files. A picture read from a stream keeps the bytes it
// was read from until it is changed, so a library read and written unchanged writes the same bytes.
#include "engine/Cp1251.h"
#include "engine/Streams.h"
#include "model/BatchSeam.h"
#include "platform/gdi/Bitmap.h"

class TTextureSurface;

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TStreetStructure;

// A picture of a library definition.
class TDsnPicture {
public:
    // 16 x 16 white, 24 bits per pixel, unless made empty.
    explicit TDsnPicture(bool empty = false);

    const TBitmap &Bitmap() const { return Bitmap_; }
    // Replaces the picture; the change handler runs.
    void Assign(const TBitmap &bitmap);
    // Runs on every change of the picture (reading included).
    std::function<void()> OnChange;

    // A BMP file whose file header gives its length ("BM", the byte size). A picture of no pixels is
    // taken as an empty picture. Anything else wrong is an EStreetError naming the stream and offset.
    void LoadFromStream(TStream &stream, const char *what);
    void SaveToStream(TStream &stream) const;

private:
    TBitmap Bitmap_;
    // The bytes the picture was read from, while it is unchanged.
    std::vector<uint8_t> Stored_;
};

// ---- Blocks

class TDsnBlockDefList;

class TDsnBlockDef {
public:
    // Outside any library (the default block); library definitions come from TDsnBlockDefList::Add.
    TDsnBlockDef();
    ~TDsnBlockDef();
    TDsnBlockDef(const TDsnBlockDef &) = delete;
    TDsnBlockDef &operator=(const TDsnBlockDef &) = delete;

    TDsnBlockDefList *Library() const { return Library_; }
    float Height = 0;
    float Width = 0;
    Cp1251String Name;
    TDsnPicture Bitmap;
    // The texture made from the picture is current; every change of the picture clears it.
    bool TextureValid = false;
    int32_t AnchorX = 0, AnchorY = 0;

    void SetName(const Cp1251String &name) { Name = name; }
    // The texture of the picture, made on first use after each change: filtered anisotropically where the
    // device can, picture added to the vertex colour. A picture without pixels gives a texture without one.
    TTextureSurface *GetTexture();
    // The block record; false (nothing read) when "BLOCKDEF" does not stand next.
    bool LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;

private:
    friend class TDsnBlockDefList;
    TDsnBlockDefList *Library_ = nullptr;
    std::unique_ptr<TTextureSurface> Texture_;
};

class TDsnBlockDefList {
public:
    TDsnBlockDefList() = default;
    TDsnBlockDefList(const TDsnBlockDefList &) = delete;
    TDsnBlockDefList &operator=(const TDsnBlockDefList &) = delete;

    // A new default definition at the end.
    TDsnBlockDef *Add();
    void Delete(int i);
    void Clear() { Items_.clear(); }
    int Count() const { return static_cast<int>(Items_.size()); }
    TDsnBlockDef *Items(int i) const;
    std::vector<Cp1251String> GetNames() const;
    // First exact match, -1 when none.
    int IndexOfName(const Cp1251String &name) const;
    // Appends the stored blocks (the library is not cleared first). "BLOCKLST", the optional count and
    // that many block records; a count beyond the data or a record that is not there is an EStreetError.
    void LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;

private:
    std::vector<std::unique_ptr<TDsnBlockDef>> Items_;
};

// ---- Line styles

class TDsnLineDefList;

class TDsnLineDef {
public:
    enum TPart { Start, Repeat, Finish };

    // Outside any library; library definitions come from TDsnLineDefList::Add.
    TDsnLineDef();
    TDsnLineDef(const TDsnLineDef &) = delete;
    TDsnLineDef &operator=(const TDsnLineDef &) = delete;

    TDsnLineDefList *Library() const { return Library_; }
    Cp1251String Name;
    float Period = 1.0f;
    float Width = 0.2f;
    float Disp = 0;

    // The picture, made empty on first access.
    TDsnPicture &GetStartBitmap() { return GetBitmap(Start); }
    TDsnPicture &GetRepeatBitmap() { return GetBitmap(Repeat); }
    TDsnPicture &GetFinishBitmap() { return GetBitmap(Finish); }
    TDsnPicture &GetBitmap(TPart part);
    // Whether it exists (an empty picture counts).
    bool HasStartBitmap() const { return Pictures_[Start].has_value(); }
    bool HasRepeatBitmap() const { return Pictures_[Repeat].has_value(); }
    bool HasFinishBitmap() const { return Pictures_[Finish].has_value(); }
    // Frees the picture and takes it off its batch (the repeat picture stays once made).
    void ClearStartBitmap() { ClearBitmap(Start); }
    void ClearFinishBitmap() { ClearBitmap(Finish); }

    const TItemBatchPtr &StartBatch() const { return Batches_[Start]; }
    const TItemBatchPtr &RepeatBatch() const { return Batches_[Repeat]; }
    const TItemBatchPtr &FinishBatch() const { return Batches_[Finish]; }

    // The definition record; false (nothing read) when "DSNLNDEF" does not stand next.
    bool LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;

private:
    friend class TDsnLineDefList;
    void ClearBitmap(TPart part);
    // The changed picture goes to its batch: start and finish clamped, the repeat picture wrapped along.
    void BitmapChanged(TPart part);

    TDsnLineDefList *Library_ = nullptr;
    std::optional<TDsnPicture> Pictures_[3];
    TItemBatchPtr Batches_[3];
};

class TDsnLineDefList {
public:
    TDsnLineDefList() = default;
    TDsnLineDefList(const TDsnLineDefList &) = delete;
    TDsnLineDefList &operator=(const TDsnLineDefList &) = delete;

    TDsnLineDef *Add();
    void Delete(int i);
    void Clear() { Items_.clear(); }
    int Count() const { return static_cast<int>(Items_.size()); }
    TDsnLineDef *Items(int i) const;
    std::vector<Cp1251String> GetNames() const;
    // First exact, case-sensitive match; -1 / nullptr when none.
    int IndexOfName(const Cp1251String &name) const;
    TDsnLineDef *FindByName(const Cp1251String &name) const;
    // Replaces the library with the stored one ("DSNLNLST", the optional count, the records); without
    // "DSNLNLST" the library is left empty.
    void LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;
    // The definitions' batches go into the street's batches of design lines (from entry 4 on), every
    // design line is rebuilt and the street is modified.
    void PublishBatches(TStreetStructure &street) const;

private:
    std::vector<std::unique_ptr<TDsnLineDef>> Items_;
};

// ---- Fill styles

class TDsnFigDefList;

class TDsnFigDef {
public:
    TDsnFigDef();
    TDsnFigDef(const TDsnFigDef &) = delete;
    TDsnFigDef &operator=(const TDsnFigDef &) = delete;

    TDsnFigDefList *Library() const { return Library_; }
    Cp1251String Name;
    // Tile size along the pattern's u and v, metres; 0 counts as 1.
    float PeriodX = 1.0f;
    float PeriodY = 1.0f;
    TDsnPicture Bitmap;
    const TItemBatchPtr &Batch() const { return Batch_; }

    bool LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;

private:
    friend class TDsnFigDefList;
    void BitmapChanged();

    TDsnFigDefList *Library_ = nullptr;
    TItemBatchPtr Batch_;
};

class TDsnFigDefList {
public:
    TDsnFigDefList() = default;
    TDsnFigDefList(const TDsnFigDefList &) = delete;
    TDsnFigDefList &operator=(const TDsnFigDefList &) = delete;

    TDsnFigDef *Add();
    void Delete(int i);
    void Clear() { Items_.clear(); }
    int Count() const { return static_cast<int>(Items_.size()); }
    TDsnFigDef *Items(int i) const;
    std::vector<Cp1251String> GetNames() const;
    int IndexOfName(const Cp1251String &name) const;
    TDsnFigDef *FindByName(const Cp1251String &name) const;
    void LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream) const;
    // The definitions' batches go into the street's batches of design figures (from entry 1 on), every
    // design figure is rebuilt and the street is modified.
    void PublishBatches(TStreetStructure &street) const;

private:
    std::vector<std::unique_ptr<TDsnFigDef>> Items_;
};

// Copies a definition through its record (for bringing definitions from one street to another).
void CopyDefinition(const TDsnBlockDef &from, TDsnBlockDef &to);
void CopyDefinition(const TDsnLineDef &from, TDsnLineDef &to);
void CopyDefinition(const TDsnFigDef &from, TDsnFigDef &to);
