#include "exchange/EmbeddedStreet.h"

#include "engine/StreetError.h"
#include "model/StreetStructure.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
    // Reads the street up to the end position; True when it read completely.
    auto readUpTo = [&](int64_t end, std::unique_ptr<TStreetStructure> &street, std::string &error) {
        stream.Seek(start, TSeekOrigin::Begin);
        TStreamWindow window(stream, end);
        street = std::make_unique<TStreetStructure>();
        try {
            street->LoadFromStream(window);
        } catch (const EStreetError &e) {
            error = e.what();
            return false;
        }
        return stream.Position() == end;
    };
    auto followerAt = [&](int64_t at) {
        char head[8];
        stream.Seek(at, TSeekOrigin::Begin);
        if (stream.Read(head, 8) != 8)
            return false;
        for (std::string_view tag : followers)
            if (std::memcmp(head, tag.data(), 8) == 0)
                return true;
        return false;
    };

    std::unique_ptr<TStreetStructure> street;
    std::string error;
    if (readUpTo(stream.Size(), street, error))
        return street;
    // Where the reader stopped: a follower tag there ends the street.
    const int64_t stop = stream.Position();
    std::string retryError;
    if (stop > start && followerAt(stop) && readUpTo(stop, street, retryError))
        return street;
    stream.Seek(start, TSeekOrigin::Begin);
    stream.Fail(what, "no complete street stands here (" + error + ")");
}
