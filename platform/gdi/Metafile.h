#pragma once
// A picture in the enhanced (.emf) or the Windows (.wmf, with or without placeable header) metafile
// format. The bytes are kept exactly as read: saving gives them back, and two metafiles are the same
// picture when their bytes are equal. Playing paints the records onto a QPainter without anti-aliasing.
#include <QRectF>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QPainter;

enum class TMetafileKind { None, Enhanced, Windows };

class TMetafile {
public:
    // Reads a whole file. Raises EPlatformError "TMetafile.LoadFromFile: <file>: <reason>" when the file
    // cannot be read or is no well-formed metafile; the metafile then stays as it was.
    void LoadFromFile(const std::string &fileName);
    // The same from bytes (name is used in messages only).
    void LoadFromBytes(const uint8_t *data, std::size_t size, const std::string &name = "metafile");
    // Writes the bytes to the file through a temporary file renamed over it; raises EPlatformError
    // "TMetafile.SaveToFile: <file>: <reason>" and leaves the old file as it was on failure.
    void SaveToFile(const std::string &fileName) const;
    void Clear();

    // The bytes a metafile takes, for readers of streams that hold a metafile and more: data holds the
    // available bytes from the metafile's start (at least its header; a Windows metafile's records are
    // walked to its end-of-file record). 0 when they start no metafile.
    static uint64_t MeasureLength(const uint8_t *data, std::size_t available);

    bool Empty() const { return bytes_->empty(); }
    TMetafileKind Kind() const { return kind_; }
    const std::vector<uint8_t> &Bytes() const { return *bytes_; }
    // The same bytes, shared and never changed in place: a cache keyed by them (the sign textures) keeps
    // the buffer alive and knows the same picture by the same buffer before comparing bytes.
    const std::shared_ptr<const std::vector<uint8_t>> &SharedBytes() const { return bytes_; }
    // The picture's size in screen pixels (96 per inch): from the frame of an enhanced metafile, from
    // the box of a placeable one, else from the first window extent its records set (0 without one).
    int Width() const { return width_; }
    int Height() const { return height_; }

    // Paints the picture stretched into the rectangle (in the painter's coordinates); an empty metafile
    // paints nothing. Records we do not paint are skipped; a malformed record ends playback with
    // EPlatformError "TMetafile.Play: ..." (what came before it stays painted).
    void Play(QPainter &painter, const QRectF &rect) const;

private:
    std::shared_ptr<const std::vector<uint8_t>> bytes_ = EmptyBytes();
    static const std::shared_ptr<const std::vector<uint8_t>> &EmptyBytes();
    TMetafileKind kind_ = TMetafileKind::None;
    int width_ = 0, height_ = 0;
};
