#pragma once
// Inside the metafile layer: the header checks and the record walks of the enhanced and the Windows
// form. Every value is read through TRecordBytes, which refuses any read beyond the record.
#include "platform/PlatformError.h"

#include <QImage>
#include <QRectF>
#include <QString>

#include <cstdint>
#include <cstring>
#include <string>

class QPainter;

// The bytes of one record; reads beyond them raise "TMetafile.Play: record ... is malformed".
class TRecordBytes {
public:
    TRecordBytes(const uint8_t *data, std::size_t size, std::size_t offset, uint32_t type)
        : data_(data), size_(size), offset_(offset), type_(type) {}

    template <typename T> T Get(std::size_t at) const {
        if (at > size_ || sizeof(T) > size_ - at)
            Fail("it ends before byte " + std::to_string(at + sizeof(T)));
        T v;
        std::memcpy(&v, data_ + at, sizeof(T));
        return v;
    }
    // Raises unless count elements of elementSize bytes from at lie inside the record.
    void Need(std::size_t at, uint64_t count, std::size_t elementSize) const {
        if (at > size_ || count > (size_ - at) / elementSize)
            Fail(std::to_string(count) + " elements at byte " + std::to_string(at) + " do not fit");
    }
    const uint8_t *Data() const { return data_; }
    std::size_t Size() const { return size_; }
    [[noreturn]] void Fail(const std::string &reason) const;

private:
    const uint8_t *data_;
    std::size_t size_, offset_;
    uint32_t type_;
};

// Round half away from zero of a x b / c, as the platform's integer scaling does (c must not be 0).
int32_t MulDiv(int64_t a, int64_t b, int64_t c);

// Text of a code page named by a font's character set (1251 for the default and Cyrillic sets).
QString DecodeAnsi(const char *bytes, std::size_t n, uint8_t charSet);

// A device-independent bitmap inside a record: its info header and colours (cbBmi bytes at offBmi) and
// its pixels (cbBits bytes at offBits), both checked against the record. Compressed forms (run lengths,
// embedded JPEG or PNG) give a null picture. mono: the picture holds the indices 0 and 1 of a two-colour
// bitmap in place of its colours. bottomUp tells whether the rows are stored from the bottom.
QImage DibImage(const TRecordBytes &r, std::size_t offBmi, uint64_t cbBmi, std::size_t offBits,
                uint64_t cbBits, bool mono = false, bool *bottomUp = nullptr);
// The same for a packed bitmap (header, colours and pixels one after the other) from at to the record's end.
QImage PackedDibImage(const TRecordBytes &r, std::size_t at, bool mono = false, bool *bottomUp = nullptr);

struct TEmfHeader {
    int32_t Bounds[4]; // left, top, right, bottom, reference device pixels (inclusive)
    int32_t Frame[4];  // the same in 0.01 mm
    int32_t Device[2]; // reference device size in pixels
    int32_t Millimeters[2];
    uint32_t Bytes; // the size the header declares
};

// Check the header and the chain of records (each inside the declared size); raise
// "<where>: <name>: <reason>" otherwise.
TEmfHeader ReadEmfHeader(const uint8_t *data, std::size_t size, const std::string &where,
                         const std::string &name);
void PlayEmf(const uint8_t *data, std::size_t size, QPainter &painter, const QRectF &rect);

struct TWmfHeader {
    bool Placeable = false;
    int16_t Box[4] = {0, 0, 0, 0}; // left, top, right, bottom of a placeable header
    uint16_t Inch = 0;
    std::size_t HeaderAt = 0;      // where the standard header starts (22 after a placeable header)
    uint64_t Bytes = 0;            // the size the headers declare, placeable header included
    int32_t WindowExt[2] = {0, 0}; // the first window extent the records set (0 when none)
};

TWmfHeader ReadWmfHeader(const uint8_t *data, std::size_t size, const std::string &where,
                         const std::string &name);
void PlayWmf(const uint8_t *data, std::size_t size, QPainter &painter, const QRectF &rect);
