#include "exchange/EmbeddedStreet.h"

#include "engine/StreetError.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Places where a street may end that are tried before giving up. A street ends at the first of them in
// every stream our writer makes; more only come from follower tags inside the street's own text.
constexpr int MaxCandidates = 8;

// The outer stream up to an end position, at the outer stream's own offsets (so that messages name
// them). Reads stop at the end; writing is refused.
class TStreamWindow final : public TStream {
public:
    TStreamWindow(TStream &outer, int64_t end) : outer_(outer), end_(end) {}

    int64_t Read(void *buffer, int64_t count) override {
        const int64_t left = end_ - outer_.Position();
        if (count <= 0 || left <= 0)
            return 0;
        return outer_.Read(buffer, std::min(count, left));
    }
    void Write(const void *, int64_t) override { RaiseStreetError("TStreamWindow.Write", "read only"); }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        if (origin == TSeekOrigin::End)
            return outer_.Seek(end_ + offset, TSeekOrigin::Begin);
        return outer_.Seek(offset, origin);
    }
    int64_t Position() const override { return outer_.Position(); }
    int64_t Size() const override { return end_; }
    std::string Name() const override { return outer_.Name(); }

private:
    TStream &outer_;
    int64_t end_;
};

// Up to MaxCandidates positions after start where a follower tag stands, in order, then the end of the
// stream when fewer were found. The stream's position is kept.
std::vector<int64_t> FindCandidates(TStream &stream, std::span<const std::string_view> followers) {
    const int64_t start = stream.Position(), size = stream.Size();
    std::vector<int64_t> found;
    constexpr int64_t Chunk = 1 << 16, Overlap = 7;
    std::vector<char> buffer(static_cast<std::size_t>(Chunk + Overlap));
    int64_t at = start;
    while (at < size && static_cast<int>(found.size()) < MaxCandidates) {
        stream.Seek(at, TSeekOrigin::Begin);
        const int64_t got = stream.Read(buffer.data(), Chunk + Overlap);
        if (got <= 0)
            break;
        // A tag starting in the overlap is found again from the next chunk.
        const int64_t last = got == Chunk + Overlap ? Chunk : got;
        for (int64_t i = 0; i < last && static_cast<int>(found.size()) < MaxCandidates; ++i) {
            if (i + 8 > got)
                break;
            for (std::string_view tag : followers)
                if (std::memcmp(buffer.data() + i, tag.data(), 8) == 0) {
                    found.push_back(at + i);
                    break;
                }
        }
        at += last;
    }
    if (static_cast<int>(found.size()) < MaxCandidates)
        found.push_back(size);
    stream.Seek(start, TSeekOrigin::Begin);
    return found;
}

// Streets being read into streets on this thread.
thread_local int Depth = 0;

} // namespace

std::unique_ptr<TStreetStructure>
ReadEmbeddedStreet(TStream &stream, std::span<const std::string_view> followers, const char *what) {
    for (std::string_view tag : followers)
        if (tag.size() != 8 || tag == "ITEMLIST")
            RaiseStreetError("ReadEmbeddedStreet", "follower tags are 8 bytes and never ITEMLIST");
    if (Depth >= MaxEmbeddedStreetDepth)
        stream.Fail(what, "streets nested more than " + std::to_string(MaxEmbeddedStreetDepth) + " deep");
    ++Depth;
    struct TLeave {
        ~TLeave() { --Depth; }
    } leave;

    const int64_t start = stream.Position();
    std::string firstError;
    for (int64_t end : FindCandidates(stream, followers)) {
        if (end <= start)
            continue;
        stream.Seek(start, TSeekOrigin::Begin);
        TStreamWindow window(stream, end);
        auto street = std::make_unique<TStreetStructure>();
        try {
            street->LoadFromStream(window);
        } catch (const EStreetError &e) {
            if (firstError.empty())
                firstError = e.what();
            continue;
        }
        if (stream.Position() == end)
            return street;
    }
    stream.Seek(start, TSeekOrigin::Begin);
    stream.Fail(what, "no complete street stands here" +
                          (firstError.empty() ? std::string() : " (" + firstError + ")"));
}
