#pragma once
// Seekable byte streams. Every exact read checks the bytes present and fails with an EStreetError that
// names the operation, the stream and the offset; nothing reads out of bounds or allocates from an
// unchecked count (CheckCount).
#include "engine/Cp1251.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class QSaveFile;

enum class TSeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read (fewer at the end of the stream).
    virtual int64_t Read(void *buffer, int64_t count) = 0;
    // Writes all bytes or throws EStreetError.
    virtual void Write(const void *buffer, int64_t count) = 0;
    // Returns the new position. A position before the start throws; beyond the end is allowed and
    // reads nothing there.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() const = 0;
    // The file name for messages (empty for memory).
    virtual std::string Name() const { return {}; }

    int64_t Remaining() const {
        const int64_t r = Size() - Position();
        return r > 0 ? r : 0;
    }

    // Exact reads: throw "<what>: unexpected end of data at offset P of NAME (need N bytes, M left)".
    void ReadBuffer(void *buffer, int64_t count, const char *what = "TStream.ReadBuffer");
    uint8_t ReadByte(const char *what = "TStream.ReadByte");
    bool ReadBool(const char *what = "TStream.ReadBool") { return ReadByte(what) != 0; }
    uint16_t ReadUInt16(const char *what = "TStream.ReadUInt16");
    int32_t ReadInt32(const char *what = "TStream.ReadInt32");
    uint32_t ReadUInt32(const char *what = "TStream.ReadUInt32");
    int64_t ReadInt64(const char *what = "TStream.ReadInt64");
    float ReadSingle(const char *what = "TStream.ReadSingle");
    double ReadDouble(const char *what = "TStream.ReadDouble");
    // Skips count bytes that must be present.
    void Skip(int64_t count, const char *what = "TStream.Skip");

    void WriteBuffer(const void *buffer, int64_t count) { Write(buffer, count); }
    void WriteByte(uint8_t v) { Write(&v, 1); }
    void WriteBool(bool v) { WriteByte(v ? 1 : 0); }
    void WriteUInt16(uint16_t v) { Write(&v, 2); }
    void WriteInt32(int32_t v) { Write(&v, 4); }
    void WriteUInt32(uint32_t v) { Write(&v, 4); }
    void WriteInt64(int64_t v) { Write(&v, 8); }
    void WriteSingle(float v) { Write(&v, 4); }
    void WriteDouble(double v) { Write(&v, 8); }

    // Validates a count read from the stream before anything is allocated for it: 0 <= count and
    // count * elementSize bytes are still present. Returns count; throws "<what>: ..." otherwise.
    int64_t CheckCount(int64_t count, int64_t elementSize, const char *what);

    // "<what>: <reason> at offset P of NAME": the text every reader of outside bytes raises.
    [[noreturn]] void Fail(const char *what, const std::string &reason) const;
    [[noreturn]] void Fail(const std::string &what, const std::string &reason) const;

private:
    [[noreturn]] void FailShort(const char *what, int64_t need) const;
};

// A growable stream in memory; also a read view of bytes loaded from a file.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes, std::string name = {})
        : data_(std::move(bytes)), name_(std::move(name)) {}
    TMemoryStream(const void *bytes, std::size_t n) : data_(static_cast<const uint8_t *>(bytes),
                                                            static_cast<const uint8_t *>(bytes) + n) {}

    int64_t Read(void *buffer, int64_t count) override;
    void Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() const override { return pos_; }
    int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
    std::string Name() const override { return name_; }

    // Reads the whole file (throws EStreetError naming it when it cannot be read); position 0.
    void LoadFromFile(const std::string &fileName);
    // Writes the whole stream atomically: a temporary file in the same folder renamed over the old one
    // after a complete, flushed write. Throws EStreetError and keeps the old file on failure.
    void SaveToFile(const std::string &fileName) const;

    void Clear() {
        data_.clear();
        pos_ = 0;
    }
    void SetSize(int64_t n);
    const std::vector<uint8_t> &Bytes() const { return data_; }
    std::vector<uint8_t> &Bytes() { return data_; }
    void SetName(std::string n) { name_ = std::move(n); }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
    std::string name_;
};

// A read-only stream over a file (for large files read piecewise, such as survey files).
class TFileStream : public TStream {
public:
    // Throws EStreetError "TFileStream.Create: cannot open NAME: reason".
    explicit TFileStream(const std::string &fileName);
    ~TFileStream() override;
    TFileStream(const TFileStream &) = delete;
    TFileStream &operator=(const TFileStream &) = delete;

    int64_t Read(void *buffer, int64_t count) override;
    void Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() const override { return pos_; }
    int64_t Size() const override { return size_; }
    std::string Name() const override { return name_; }

private:
    std::FILE *file_ = nullptr;
    int64_t pos_ = 0;
    int64_t size_ = 0;
    std::string name_;
};

// A write stream to a temporary file beside the target; Commit renames it over the target only after a
// complete, flushed write. Destroyed without Commit, it leaves the old file untouched.
class TSaveFileStream : public TStream {
public:
    explicit TSaveFileStream(const std::string &fileName);
    ~TSaveFileStream() override;
    TSaveFileStream(const TSaveFileStream &) = delete;
    TSaveFileStream &operator=(const TSaveFileStream &) = delete;

    int64_t Read(void *buffer, int64_t count) override;
    void Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() const override;
    int64_t Size() const override;
    std::string Name() const override { return name_; }
    void Commit();

private:
    std::unique_ptr<QSaveFile> file_;
    std::string name_;
};

// Writes bytes to a file atomically (temporary file, flush, rename); throws EStreetError on failure.
void SaveBytesToFile(const std::string &fileName, const void *bytes, std::size_t n);
