#pragma once
// Helpers shared by the tests: temporary folders and an independent little-endian byte builder for
// fixtures of binary formats (written apart from the production writers on purpose, so that a matching
// reader/writer mistake cannot pass).
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sptest {

// A fresh folder removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &Path() const { return path_; }
    std::string File(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Points STREETPLAN_DATAFILES at a folder for the life of the object, then restores what was there.
class DataFilesAt {
public:
    explicit DataFilesAt(const std::filesystem::path &dir);
    ~DataFilesAt();
    DataFilesAt(const DataFilesAt &) = delete;
    DataFilesAt &operator=(const DataFilesAt &) = delete;

private:
    std::optional<std::string> old_;
};

class ByteBuilder {
public:
    ByteBuilder &U8(uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    ByteBuilder &I16(int16_t v) { return Raw(&v, 2); }
    ByteBuilder &U16(uint16_t v) { return Raw(&v, 2); }
    ByteBuilder &I32(int32_t v) { return Raw(&v, 4); }
    ByteBuilder &U32(uint32_t v) { return Raw(&v, 4); }
    ByteBuilder &I64(int64_t v) { return Raw(&v, 8); }
    ByteBuilder &F32(float v) { return Raw(&v, 4); }
    ByteBuilder &F64(double v) { return Raw(&v, 8); }
    // An 8-byte tag, blank-padded (the text must be at most 8 bytes).
    ByteBuilder &Tag(std::string_view t) {
        std::string s(t);
        s.resize(8, ' ');
        return Raw(s.data(), 8);
    }
    // int32 byte count, then the bytes (already code page 1251).
    ByteBuilder &Str(std::string_view bytes) {
        I32(static_cast<int32_t>(bytes.size()));
        return Raw(bytes.data(), bytes.size());
    }
    ByteBuilder &Bytes(std::string_view bytes) { return Raw(bytes.data(), bytes.size()); }
    ByteBuilder &Append(const ByteBuilder &o) {
        b_.insert(b_.end(), o.b_.begin(), o.b_.end());
        return *this;
    }
    ByteBuilder &Raw(const void *p, std::size_t n) {
        const auto *c = static_cast<const uint8_t *>(p);
        b_.insert(b_.end(), c, c + n);
        return *this;
    }
    const std::vector<uint8_t> &Data() const { return b_; }
    std::size_t Size() const { return b_.size(); }

private:
    std::vector<uint8_t> b_;
};

std::vector<uint8_t> ReadFileBytes(const std::string &fileName);
void WriteFileBytes(const std::string &fileName, const std::vector<uint8_t> &bytes);
// Source tree folder (for fixtures), from the STREETPLAN_SOURCE environment variable set by CTest.
std::filesystem::path SourceDir();

} // namespace sptest
