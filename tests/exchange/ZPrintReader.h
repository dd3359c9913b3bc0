#pragma once
// A reader of packed print files written from the file layout alone (no production code), so that the
// tests can check what our writer produces: the sheet fields, the tiles decoded from their packed rows,
// the index, and the printable area assembled from the tiles. Any deviation from the layout throws
// std::runtime_error naming it.
#include <QImage>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zprint {

struct Record {
    int32_t Position;
    int32_t SrcLeft, SrcTop, SrcRight, SrcBottom;
    int32_t DstLeft, DstTop, DstRight, DstBottom;
};

struct File {
    int32_t SheetHeight = 0, SheetWidth = 0, Left = 0, Right = 0, Top = 0, Bottom = 0;
    int32_t PrintWidth = 0, PrintHeight = 0;
    std::vector<uint8_t> InfoHeader; // the 40 bytes after "BMPINFO "
    std::vector<Record> Records;
    std::vector<QImage> Tiles; // RGB888, as decoded
    QImage Sheet;              // the printable area assembled from the tiles (white where none lies)
};

class Reader {
public:
    explicit Reader(const std::vector<uint8_t> &bytes) : b_(bytes) {}

    File Read() {
        File f;
        Expect(0, "ZPRINT  ");
        at_ = 8;
        int32_t *fields[] = {&f.SheetHeight, &f.SheetWidth, &f.Left,       &f.Right,
                             &f.Top,         &f.Bottom,     &f.PrintWidth, &f.PrintHeight};
        const char *tags[] = {"PLDFFMTH", "PLDFFMTW", "PLDFILFT", "PLDFIRGH",
                              "PLDFITOP", "PLDFIBOT", "PLDFPT_W", "PLDFPT_H"};
        for (int i = 0; i < 8; ++i) {
            Expect(at_, tags[i]);
            *fields[i] = I32(at_ + 8);
            at_ += 12;
        }
        Expect(at_, "BMPINFO ");
        f.InfoHeader.assign(b_.begin() + Check(at_ + 8, 40), b_.begin() + at_ + 48);
        // The trailer: "LISTPOS ", the index position and the count, in the last 16 bytes.
        if (b_.size() < 16)
            throw std::runtime_error("no trailer");
        const std::size_t trailer = b_.size() - 16;
        Expect(trailer, "LISTPOS ");
        const int32_t list = I32(trailer + 8), count = I32(trailer + 12);
        if (list < 0 || count < 0 || std::size_t(list) + 8 + std::size_t(count) * 36 != trailer)
            throw std::runtime_error("index position or count does not meet the trailer");
        Expect(std::size_t(list), "BMPLIST ");
        for (int32_t i = 0; i < count; ++i) {
            const std::size_t r = std::size_t(list) + 8 + std::size_t(i) * 36;
            f.Records.push_back({I32(r), I32(r + 4), I32(r + 8), I32(r + 12), I32(r + 16), I32(r + 20),
                                 I32(r + 24), I32(r + 28), I32(r + 32)});
        }
        f.Sheet = QImage(f.PrintWidth, f.PrintHeight, QImage::Format_RGB888);
        f.Sheet.fill(Qt::white);
        for (const Record &r : f.Records) {
            Expect(std::size_t(r.Position), "PACKBMP ");
            QImage tile = DecodeTile(std::size_t(r.Position) + 8);
            for (int y = r.SrcTop; y < r.SrcBottom; ++y)
                for (int x = r.SrcLeft; x < r.SrcRight; ++x)
                    f.Sheet.setPixel(r.DstLeft + x - r.SrcLeft, r.DstTop + y - r.SrcTop, tile.pixel(x, y));
            f.Tiles.push_back(std::move(tile));
        }
        return f;
    }

    // A packed raster at the offset: its 40-byte header, then the rows in memory order (bottom row
    // first); a row is 0xFF (the row before it again) or runs ending in 0x80.
    QImage DecodeTile(std::size_t at) {
        const int32_t width = I32(at + 4), height = I32(at + 8);
        if (I32(at) != 40 || width <= 0 || height <= 0 || width > 1 << 14 || height > 1 << 14)
            throw std::runtime_error("bad tile header at " + std::to_string(at));
        if (I32(at + 12) != (24 << 16 | 1))
            throw std::runtime_error("tile is not one plane of 24 bits");
        QImage image(width, height, QImage::Format_RGB888);
        std::size_t p = at + 40;
        std::vector<QRgb> row, previous;
        for (int memRow = 0; memRow < height; ++memRow) {
            if (Byte(p) == 0xFF) {
                if (memRow == 0)
                    throw std::runtime_error("the first row repeats nothing");
                ++p;
                row = previous;
            } else {
                row.clear();
                for (;;) {
                    const uint8_t lead = Byte(p);
                    if (lead == 0x80) {
                        ++p;
                        break;
                    }
                    int64_t n = lead;
                    const QRgb colour = qRgb(Byte(p + 3), Byte(p + 2), Byte(p + 1));
                    if (lead == 0) {
                        n = I32(p + 4);
                        if (n < 128)
                            throw std::runtime_error("long run shorter than 128");
                        p += 8;
                    } else if (lead < 128) {
                        p += 4;
                    } else {
                        throw std::runtime_error("bad run byte " + std::to_string(lead));
                    }
                    if (int64_t(row.size()) + n > width)
                        throw std::runtime_error("row longer than the tile");
                    row.insert(row.end(), std::size_t(n), colour);
                }
                if (int(row.size()) != width)
                    throw std::runtime_error("row shorter than the tile");
            }
            for (int x = 0; x < width; ++x)
                image.setPixel(x, height - 1 - memRow, row[std::size_t(x)]);
            previous = row;
        }
        return image;
    }

private:
    std::size_t Check(std::size_t at, std::size_t n) const {
        if (at + n > b_.size())
            throw std::runtime_error("read past the end at " + std::to_string(at));
        return at;
    }
    uint8_t Byte(std::size_t at) const { return b_[Check(at, 1)]; }
    int32_t I32(std::size_t at) const {
        Check(at, 4);
        return int32_t(uint32_t(b_[at]) | uint32_t(b_[at + 1]) << 8 | uint32_t(b_[at + 2]) << 16 |
                       uint32_t(b_[at + 3]) << 24);
    }
    void Expect(std::size_t at, std::string_view tag) const {
        Check(at, 8);
        if (std::memcmp(b_.data() + at, tag.data(), 8) != 0)
            throw std::runtime_error("expected " + std::string(tag) + " at " + std::to_string(at));
    }

    const std::vector<uint8_t> &b_;
    std::size_t at_ = 0;
};

inline File Read(const std::vector<uint8_t> &bytes) {
    return Reader(bytes).Read();
}

} // namespace zprint
