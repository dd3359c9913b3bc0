#pragma once
// A write stream that keeps only its position and size: a file already far into its length (near the
// 2 GiB that signed 32-bit positions reach) without writing a byte of it.
#include "engine/Streams.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace sptest {

class TFarStream final : public TStream {
public:
    explicit TFarStream(int64_t start) : pos_(start), size_(start) {}
    int64_t Read(void *, int64_t) override { return 0; }
    void Write(const void *, int64_t count) override {
        pos_ += count;
        size_ = std::max(size_, pos_);
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        pos_ = origin == TSeekOrigin::Begin ? offset
               : origin == TSeekOrigin::End ? size_ + offset
                                            : pos_ + offset;
        return pos_;
    }
    int64_t Position() const override { return pos_; }
    int64_t Size() const override { return size_; }
    std::string Name() const override { return "far"; }

private:
    int64_t pos_, size_;
};

} // namespace sptest
