#include "video/FVideo.h"

#include "engine/Cp1251.h"
#include "engine/MyJpegColorSpace.h"
#include "engine/OrsekPeg.h"
#include "engine/StreetError.h"
#include "platform/gdi/Bitmap.h"
#include "shell/UserPrompts.h"
#include "video/LockedFileStream.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <numbers>
#include <system_error>

static_assert(std::endian::native == std::endian::little, "survey files are read in place as little-endian");

namespace {

namespace fs = std::filesystem;

constexpr double Pi = std::numbers::pi;
constexpr int64_t MergeTimeLimit = int64_t(1) << 30; // frames at or after this many ms stay out of tracks
constexpr double TieEpsilon = 1e-3;                  // metres: two ties closer than this act as one
constexpr const char *BadFrameText = "TFVideoStream.GetFrame: FrameNum out of range";

template <class T> T Get(const uint8_t *p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T> void Put(uint8_t *p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// The difference of two angles brought into (-pi, pi].
double AngleDiff(double a, double b) {
    double d = std::remainder(a - b, 2 * Pi);
    if (d <= -Pi)
        d += 2 * Pi;
    return d;
}

bool Finite(const TFVideoFrameRec &r) {
    return std::isfinite(r.Path) && std::isfinite(r.X) && std::isfinite(r.Y) && std::isfinite(r.Z) &&
           std::isfinite(r.Heading) && std::isfinite(r.Pitch) && std::isfinite(r.Roll);
}

// Whether [pos, pos + size) lies within a file of fileSize bytes (no overflow for any input).
bool InFile(int64_t pos, int64_t size, int64_t fileSize) {
    return pos >= 0 && size >= 0 && size <= fileSize && pos <= fileSize - size;
}

std::string Str(int64_t v) {
    return std::to_string(v);
}

void ParseHeader(const uint8_t *p, TFVideoHeader &h) {
    std::memcpy(h.Tag, p, 8);
    h.Version = Get<uint32_t>(p + 8);
    h.BaseTime = Get<double>(p + 12);
    h.StreamCount = Get<uint32_t>(p + 20);
    h.Width = Get<int32_t>(p + 24);
    h.Height = Get<int32_t>(p + 28);
    h.Quality = Get<int32_t>(p + 32);
    h.HolderPosition = Get<int64_t>(p + 36);
    h.HolderSize = Get<uint32_t>(p + 44);
}

void WriteHeader(uint8_t *p, const TFVideoHeader &h) {
    std::memcpy(p, h.Tag, 8);
    Put(p + 8, h.Version);
    Put(p + 12, h.BaseTime);
    Put(p + 20, h.StreamCount);
    Put(p + 24, h.Width);
    Put(p + 28, h.Height);
    Put(p + 32, h.Quality);
    Put(p + 36, h.HolderPosition);
    Put(p + 44, h.HolderSize);
}

void ParseStreamRec(const uint8_t *p, TFVideoStreamRec &r) {
    r.IndexPosition = Get<int64_t>(p);
    r.IndexSize = Get<uint32_t>(p + 8);
    r.FramesPosition = Get<int64_t>(p + 12);
    r.FramesSize = Get<uint32_t>(p + 20);
    for (int i = 0; i < 8; ++i)
        r.CamParams[i] = Get<double>(p + 24 + 8 * i);
    r.HolderPosition = Get<int64_t>(p + 88);
    r.HolderSize = Get<uint32_t>(p + 96);
}

void WriteStreamRec(uint8_t *p, const TFVideoStreamRec &r) {
    Put(p, r.IndexPosition);
    Put(p + 8, r.IndexSize);
    Put(p + 12, r.FramesPosition);
    Put(p + 20, r.FramesSize);
    for (int i = 0; i < 8; ++i)
        Put(p + 24 + 8 * i, r.CamParams[i]);
    Put(p + 88, r.HolderPosition);
    Put(p + 96, r.HolderSize);
}

TFVideoFrameRec ParseFrameRec(const uint8_t *p) {
    TFVideoFrameRec r;
    r.Time = Get<int64_t>(p);
    r.Path = Get<double>(p + 8);
    r.X = Get<double>(p + 16);
    r.Y = Get<double>(p + 24);
    r.Z = Get<double>(p + 32);
    r.Heading = Get<double>(p + 40);
    r.Pitch = Get<double>(p + 48);
    r.Roll = Get<double>(p + 56);
    return r;
}

// Frame files are named as their recorder wrote them: often a Windows path. Back-slashes become folder
// separators; the bare name is what follows the last one.
std::string SlashName(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

std::string BareName(const std::string &name) {
    const std::string s = SlashName(name);
    const auto cut = s.find_last_of('/');
    return cut == std::string::npos ? s : s.substr(cut + 1);
}

bool IsFile(const fs::path &p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

// The file itself, or else a file of the same name in another letter case in that folder.
std::string FindFileNoCase(const fs::path &p) {
    if (p.empty())
        return {};
    if (IsFile(p))
        return p.string();
    Cp1251String want;
    if (!Cp1251String::TryFromUtf8(p.filename().string(), want) || want.Empty())
        return {};
    const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return {};
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            return {};
        Cp1251String have;
        if (Cp1251String::TryFromUtf8(it->path().filename().string(), have) && SameText(have, want) &&
            IsFile(it->path()))
            return (p.has_parent_path() ? it->path() : it->path().filename()).string();
    }
    return {};
}

} // namespace

// ---- records ---------------------------------------------------------------------------------------

void TVideoTieRec::WriteTo(uint8_t *p) const {
    Put(p, Stream);
    Put(p + 4, Frame);
    Put(p + 8, Time);
    Put(p + 16, X);
    Put(p + 20, Y);
    Put(p + 24, Z);
}

TVideoTieRec TVideoTieRec::ReadFrom(const uint8_t *p) {
    TVideoTieRec t;
    t.Stream = Get<int32_t>(p);
    t.Frame = Get<int32_t>(p + 4);
    t.Time = Get<int64_t>(p + 8);
    t.X = Get<float>(p + 16);
    t.Y = Get<float>(p + 20);
    t.Z = Get<float>(p + 24);
    return t;
}

int64_t MaxPackedFrameSize(int32_t Width, int32_t Height) {
    // Values of the three planes; each group of four takes at most six bytes and its share of an opcode.
    const int64_t values = int64_t(Width) * Height * 3 / 2;
    return 2 * values + 1024;
}

std::vector<TFVideoFile *> &OpenVideoFiles() {
    static std::vector<TFVideoFile *> files;
    return files;
}

// ---- TCustomDataHolder -----------------------------------------------------------------------------

namespace {
std::string_view CutName(std::string_view name) {
    return name.substr(0, std::min(name.size(), TCustomDataHolder::MaxNameLength));
}
} // namespace

int TCustomDataHolder::IndexOf(std::string_view Name) const {
    const std::string_view n = CutName(Name);
    for (std::size_t i = 0; i < fBlobs.size(); ++i)
        if (fBlobs[i].Name == n)
            return static_cast<int>(i);
    return -1;
}

const uint8_t *TCustomDataHolder::DataPtr(std::string_view Name) const {
    const int i = IndexOf(Name);
    return i < 0 ? nullptr : fBlobs[static_cast<std::size_t>(i)].Data.data();
}

uint8_t *TCustomDataHolder::DataPtr(std::string_view Name) {
    const int i = IndexOf(Name);
    return i < 0 ? nullptr : fBlobs[static_cast<std::size_t>(i)].Data.data();
}

uint32_t TCustomDataHolder::DataSize(std::string_view Name) const {
    const int i = IndexOf(Name);
    return i < 0 ? 0 : static_cast<uint32_t>(fBlobs[static_cast<std::size_t>(i)].Data.size());
}

bool TCustomDataHolder::GetData(std::string_view Name, void *Dest, std::size_t DestSize) const {
    const int i = IndexOf(Name);
    if (i < 0)
        return false;
    const auto &d = fBlobs[static_cast<std::size_t>(i)].Data;
    if (!d.empty())
        std::memcpy(Dest, d.data(), std::min(DestSize, d.size()));
    return true;
}

void TCustomDataHolder::SetData(std::string_view Name, const void *Data, uint32_t Size) {
    const auto *p = static_cast<const uint8_t *>(Data);
    std::vector<uint8_t> bytes(p, p + (Size ? Size : 0));
    const int i = IndexOf(Name);
    if (i >= 0)
        fBlobs[static_cast<std::size_t>(i)].Data = std::move(bytes);
    else
        fBlobs.push_back({std::string(CutName(Name)), std::move(bytes)});
}

void TCustomDataHolder::LoadFromStream(TStream &Stream, int64_t Size) {
    constexpr const char *what = "TCustomDataHolder.LoadFromStream";
    if (Size < 0 || Size > Stream.Remaining())
        Stream.Fail(what, "data holder of " + Str(Size) + " bytes runs past the end of the data");
    const int64_t end = Stream.Position() + Size;
    auto left = [&] { return end - Stream.Position(); };
    if (left() < 4)
        Stream.Fail(what, "data holder of " + Str(Size) + " bytes has no count");
    const uint32_t count = Stream.ReadUInt32(what);
    // Each blob takes at least 20 bytes (name and size).
    if (count > static_cast<uint64_t>(left()) / 20)
        Stream.Fail(what, "blob count " + Str(count) + " does not fit the data holder");
    std::vector<TBlob> blobs;
    blobs.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t name[16];
        Stream.ReadBuffer(name, 16, what);
        if (name[0] > MaxNameLength)
            Stream.Fail(what, "blob name of " + Str(name[0]) + " characters (at most 15)");
        const uint32_t size = Stream.ReadUInt32(what);
        if (size > left())
            Stream.Fail(what, "blob \"" + std::string(reinterpret_cast<const char *>(name + 1), name[0]) +
                                  "\" of " + Str(size) + " bytes runs past the data holder");
        TBlob b{std::string(reinterpret_cast<const char *>(name + 1), name[0]), std::vector<uint8_t>(size)};
        Stream.ReadBuffer(b.Data.data(), size, what);
        blobs.push_back(std::move(b));
    }
    Stream.Seek(end, TSeekOrigin::Begin);
    fBlobs = std::move(blobs);
}

void TCustomDataHolder::SaveToStream(TStream &Stream) const {
    Stream.WriteUInt32(static_cast<uint32_t>(fBlobs.size()));
    for (const auto &b : fBlobs) {
        uint8_t name[16] = {};
        name[0] = static_cast<uint8_t>(b.Name.size());
        std::memcpy(name + 1, b.Name.data(), b.Name.size());
        Stream.WriteBuffer(name, 16);
        Stream.WriteUInt32(static_cast<uint32_t>(b.Data.size()));
        Stream.WriteBuffer(b.Data.data(), static_cast<int64_t>(b.Data.size()));
    }
}

int64_t TCustomDataHolder::StreamSize() const {
    int64_t n = 4;
    for (const auto &b : fBlobs)
        n += 20 + static_cast<int64_t>(b.Data.size());
    return n;
}

// ---- TFVideoStream ---------------------------------------------------------------------------------

TFVideoStream::TFVideoStream(TFVideoFile &Owner, int32_t StreamIndex, const TFVideoStreamRec &Rec,
                             int64_t RecPosition)
    : fOwner(Owner), fRec(Rec), fRecPosition(RecPosition), fStreamIndex(StreamIndex) {}

void TFVideoStream::LoadIndex(TStream &File, int64_t FrameFileSize, bool FramesInFile,
                              std::vector<std::string> *Warnings) {
    const std::string where = "stream " + Str(fStreamIndex) + " of " + File.Name() + ": ";
    const int64_t nIndex = fRec.IndexSize / TFVideoIndexEntry::DiskSize;
    const int64_t nRecs = fRec.FramesSize / 64;
    if (Warnings && fRec.IndexSize % TFVideoIndexEntry::DiskSize)
        Warnings->push_back(where + "the frame index size " + Str(fRec.IndexSize) +
                            " is not a multiple of 12");
    if (Warnings && fRec.FramesSize % 64)
        Warnings->push_back(where + "the frame records' size " + Str(fRec.FramesSize) +
                            " is not a multiple of 64");
    if (Warnings && nIndex != nRecs)
        Warnings->push_back(where + "the frame index holds " + Str(nIndex) +
                            " frames and the frame records " + Str(nRecs) + "; " +
                            Str(std::min(nIndex, nRecs)) + " are used");
    const int64_t n = std::min(nIndex, nRecs);

    std::vector<uint8_t> raw(static_cast<std::size_t>(nIndex * TFVideoIndexEntry::DiskSize));
    File.Seek(fRec.IndexPosition, TSeekOrigin::Begin);
    File.ReadBuffer(raw.data(), static_cast<int64_t>(raw.size()), "TFVideoFile.LoadIndexes");
    std::vector<TFVideoIndexEntry> index(static_cast<std::size_t>(nIndex));
    int64_t dataEnd = 0;
    for (int64_t k = 0; k < nIndex; ++k) {
        const uint8_t *p = raw.data() + k * TFVideoIndexEntry::DiskSize;
        index[static_cast<std::size_t>(k)] = {Get<int64_t>(p), Get<uint32_t>(p + 8)};
        const auto &e = index[static_cast<std::size_t>(k)];
        // Every frame the index names within the file, used or not, is protected from data blocks.
        if (FramesInFile && InFile(e.Position, e.Size, FrameFileSize))
            dataEnd = std::max(dataEnd, e.Position + int64_t(e.Size));
    }
    raw.assign(static_cast<std::size_t>(n * 64), 0);
    File.Seek(fRec.FramesPosition, TSeekOrigin::Begin);
    File.ReadBuffer(raw.data(), static_cast<int64_t>(raw.size()), "TFVideoFile.LoadIndexes");
    std::vector<TFVideoFrameRec> frames(static_cast<std::size_t>(n));
    const int64_t maxFrame = MaxPackedFrameSize(fOwner.Width(), fOwner.Height());
    // Frames in the survey file itself never lie in its header or stream records, which are written back.
    const int64_t tableEnd =
        TFVideoHeader::DiskSize + int64_t(TFVideoStreamRec::DiskSize) * fOwner.StreamCount();
    // A frame whose picture cannot be read is kept for its pose and time, and only its decoding fails; a
    // frame whose pose or time is unusable cuts the stream, since positions and time searches rest on
    // every record up to it.
    int64_t good = n;
    std::string why;
    std::vector<std::pair<int32_t, TFrameDamage>> damaged;
    for (int64_t k = 0; k < n && good == n; ++k) {
        const auto &e = index[static_cast<std::size_t>(k)];
        auto &r = frames[static_cast<std::size_t>(k)];
        r = ParseFrameRec(raw.data() + k * 64);
        if (!Finite(r))
            why = "has a pose that is not a finite number";
        else if (k > 0 && r.Time < frames[static_cast<std::size_t>(k - 1)].Time)
            why = "goes back in time";
        if (!why.empty()) {
            good = k;
            break;
        }
        if (e.Size < 12 || e.Size > maxFrame)
            damaged.emplace_back(static_cast<int32_t>(k), TFrameDamage::PackedSize);
        else if (!InFile(e.Position, e.Size, FrameFileSize) || (FramesInFile && e.Position < tableEnd))
            damaged.emplace_back(static_cast<int32_t>(k), TFrameDamage::Outside);
    }
    if (good < n && Warnings)
        Warnings->push_back(where + "frame " + Str(good) + " " + why + "; the stream is cut to " + Str(good) +
                            " frames");
    index.resize(static_cast<std::size_t>(good));
    frames.resize(static_cast<std::size_t>(good));
    fIndex = std::move(index);
    fFrames = std::move(frames);
    fDamaged = std::move(damaged);
    if (!fDamaged.empty() && Warnings) {
        const std::string first = DamageText(fDamaged.front().first);
        Warnings->push_back(
            where + (fDamaged.size() == 1
                         ? first + "; it cannot be shown"
                         : Str(int64_t(fDamaged.size())) + " frames cannot be shown, the first: " + first));
    }
    fFrameCount = static_cast<int32_t>(good);
    fDataEnd = dataEnd;
}

std::string TFVideoStream::DamageText(int32_t Index) const {
    const auto it = std::lower_bound(fDamaged.begin(), fDamaged.end(), Index,
                                     [](const auto &d, int32_t k) { return d.first < k; });
    if (it == fDamaged.end() || it->first != Index)
        return {};
    const std::string frame = "frame " + Str(Index);
    if (it->second == TFrameDamage::PackedSize)
        return frame + " has a packed size of " + Str(fIndex[static_cast<std::size_t>(Index)].Size) +
               " bytes";
    return frame + " lies outside the frame file";
}

void TFVideoStream::Unload() {
    std::vector<TFVideoIndexEntry>().swap(fIndex);
    std::vector<TFVideoFrameRec>().swap(fFrames);
    std::vector<std::pair<int32_t, TFrameDamage>>().swap(fDamaged);
}

int64_t TFVideoStream::FrameTime(int32_t Index) {
    fOwner.LoadIndexes();
    if (Index < 0 || Index >= static_cast<int32_t>(fFrames.size()))
        return 0;
    return fFrames[static_cast<std::size_t>(Index)].Time;
}

void TFVideoStream::GetRawFrameInfo(int32_t Index, TFVideoFrameRec &R) {
    fOwner.LoadIndexes();
    if (Index < 0 || Index >= static_cast<int32_t>(fFrames.size())) {
        R = {};
        return;
    }
    R = fFrames[static_cast<std::size_t>(Index)];
}

TFVideoIndexEntry TFVideoStream::FrameEntry(int32_t Index) {
    fOwner.LoadIndexes();
    if (Index < 0 || Index >= static_cast<int32_t>(fIndex.size()))
        return {};
    return fIndex[static_cast<std::size_t>(Index)];
}

TFVideoFrameRec TFVideoStream::Corrected(int32_t Index) {
    TFVideoFrameRec r = fFrames[static_cast<std::size_t>(Index)];
    fOwner.ApplyTies(r);
    return r;
}

void TFVideoStream::GetFrameInfo(int32_t Index, TFVideoFrameRec &R) {
    fOwner.LoadIndexes();
    const auto n = static_cast<int32_t>(fFrames.size());
    if (Index < 0 || Index >= n) {
        R = {};
        return;
    }
    R = fFrames[static_cast<std::size_t>(Index)];
    // Pitch and roll as deviations from their mean over the next 20 m of nearly straight travel.
    const double p0 = R.Path, h0 = R.Heading;
    double pitch = 0, roll = 0;
    int32_t count = 0;
    for (int32_t k = Index; k < n && k - Index < 100; ++k) {
        const auto &f = fFrames[static_cast<std::size_t>(k)];
        if (f.Path > p0 + 20 || std::fabs(AngleDiff(f.Heading, h0)) > Pi / 6)
            break;
        pitch += f.Pitch;
        roll += f.Roll;
        ++count;
    }
    R.Pitch -= pitch / count;
    R.Roll -= roll / count;
    fOwner.ApplyTies(R);
}

int32_t TFVideoStream::FindFrameByTime(int64_t Time) {
    fOwner.LoadIndexes();
    if (fFrames.empty())
        return -1;
    auto byTime = [](const TFVideoFrameRec &f, int64_t t) { return f.Time < t; };
    const auto j = std::lower_bound(fFrames.begin(), fFrames.end(), Time, byTime);
    if (j == fFrames.begin())
        return 0;
    if (j == fFrames.end())
        return static_cast<int32_t>(fFrames.size()) - 1;
    // prev < Time <= next: the differences are exact in unsigned arithmetic whatever the values.
    const uint64_t before = static_cast<uint64_t>(Time) - static_cast<uint64_t>(std::prev(j)->Time);
    const uint64_t after = static_cast<uint64_t>(j->Time) - static_cast<uint64_t>(Time);
    if (after < before)
        return static_cast<int32_t>(j - fFrames.begin());
    // The earliest frame of the earlier time.
    const auto first = std::lower_bound(fFrames.begin(), j, std::prev(j)->Time, byTime);
    return static_cast<int32_t>(first - fFrames.begin());
}

int32_t TFVideoStream::FindNearestFrame(const TXYZ &Point, bool OneSide, float MaxDist) {
    fOwner.LoadIndexes();
    const auto n = static_cast<int32_t>(fFrames.size());
    float best = MaxDist;
    int32_t result = -1;
    if (n < 2)
        return -1;
    TFVideoFrameRec a = Corrected(0);
    for (int32_t i = 0; i + 1 < n; ++i) {
        const TFVideoFrameRec b = Corrected(i + 1);
        float t = 0, d = 0;
        ProjectPointOnSegment(Point, TXYZ{static_cast<float>(a.X), static_cast<float>(a.Y), 0},
                              TXYZ{static_cast<float>(b.X), static_cast<float>(b.Y), 0}, t, d);
        const bool counts = !OneSide || d <= 0;
        const float measure = OneSide ? -d : std::fabs(d);
        if (counts && t >= 0 && t <= 1 && measure < best) {
            best = measure;
            result = i;
        }
        a = b;
    }
    return result;
}

void TFVideoStream::Decode(int32_t Index, bool Icon, int32_t &Width, int32_t &Height) {
    fOwner.LoadIndexes();
    if (Index < 0 || Index >= static_cast<int32_t>(fIndex.size()))
        throw EStreetError(BadFrameText);
    if (const std::string damage = DamageText(Index); !damage.empty())
        RaiseStreetError("TFVideoStream.GetFrame",
                         damage + " (stream " + Str(fStreamIndex) + " of " + fOwner.FileName() + ")");
    const TFVideoIndexEntry e = fIndex[static_cast<std::size_t>(Index)];
    TStream &src = fOwner.FrameSource();
    auto &packed = fOwner.fPacked;
    packed.resize(e.Size);
    src.Seek(e.Position, TSeekOrigin::Begin);
    src.ReadBuffer(packed.data(), e.Size, "TFVideoStream.GetFrame");
    TOrsekPegCoder &coder = *fOwner.fCoder;
    auto &yuv = fOwner.fYuv;
    if (Icon) {
        yuv.resize(static_cast<std::size_t>(coder.IconSize()));
        coder.UnPackIcon(yuv.data(), coder.IconSize(), packed.data(), static_cast<int32_t>(e.Size));
        Width = coder.Width() / 8;
        Height = coder.Height() / 8;
        return;
    }
    yuv.resize(static_cast<std::size_t>(coder.ImageSize()));
    coder.UnPackImage(yuv.data(), coder.ImageSize(), packed.data(), static_cast<int32_t>(e.Size));
    Width = coder.Width();
    Height = coder.Height();
    if (fOwner.fSharpenPercent > 0)
        SharpenYuvPlane(yuv.data(), Width, Height, SharpenFactorFromPercent(fOwner.fSharpenPercent));
}

namespace {
void ToBitmap(const std::vector<uint8_t> &yuv, int32_t w, int32_t h, TBitmap &bmp) {
    if (bmp.Width() != w || bmp.Height() != h || bmp.PixelFormat() != TPixelFormat::pf32bit)
        bmp = TBitmap(w, h, TPixelFormat::pf32bit);
    // The bitmap lies bottom-up in memory: its top row is the highest address, so rows step downward.
    YuvToBgrxSse2(yuv.data(), w, h, bmp.ScanLine(0), bmp.ScanLine(1) - bmp.ScanLine(0));
}
void ToBitmap(const std::vector<uint8_t> &yuv, int32_t w, int32_t h, TFrameBitmap &bmp) {
    bmp.SetSize(w, h);
    YuvToBitmap(bmp, yuv.data(), w, h);
}
} // namespace

void TFVideoStream::GetFrame(int32_t Index, TBitmap &Bitmap) {
    int32_t w = 0, h = 0;
    Decode(Index, false, w, h);
    ToBitmap(fOwner.fYuv, w, h, Bitmap);
}

void TFVideoStream::GetFrame(int32_t Index, TFrameBitmap &Bitmap) {
    int32_t w = 0, h = 0;
    Decode(Index, false, w, h);
    ToBitmap(fOwner.fYuv, w, h, Bitmap);
}

void TFVideoStream::GetIcon(int32_t Index, TBitmap &Bitmap) {
    int32_t w = 0, h = 0;
    Decode(Index, true, w, h);
    ToBitmap(fOwner.fYuv, w, h, Bitmap);
}

void TFVideoStream::GetIcon(int32_t Index, TFrameBitmap &Bitmap) {
    int32_t w = 0, h = 0;
    Decode(Index, true, w, h);
    ToBitmap(fOwner.fYuv, w, h, Bitmap);
}

void TFVideoStream::GetCamParams(float Params[7]) const {
    for (int i = 0; i < 7; ++i)
        Params[i] = static_cast<float>(fRec.CamParams[i]);
    fHolder.GetData("CamParams", Params, 7 * sizeof(float));
}

void TFVideoStream::SetCamParams(const float Params[7]) {
    fHolder.SetData("CamParams", Params, 7 * sizeof(float));
}

// ---- TFVideoFile: opening --------------------------------------------------------------------------

TFVideoFile::TFVideoFile(const std::string &FileName, bool Writable, const TLVideoLocator &Locate)
    : fFileName(FileName), fWritable(Writable) {
    fStream = std::make_unique<TLockedFileStream>(
        FileName, Writable ? TLockedFileStream::TMode::ReadWrite : TLockedFileStream::TMode::Read,
        "TFVideoFile.Create");
    std::string picked;
    ReadFile(Locate, picked);
    if (!picked.empty()) {
        // The user found the frame file and it passed the check: the survey remembers it.
        Cp1251String name;
        if (Cp1251String::TryFromUtf8(picked, name)) {
            fHolder.SetData("LVideoReference", name.Data(), static_cast<uint32_t>(name.Size()));
            SaveData();
        } else {
            AddWarning("the frame file's name " + picked + " cannot be stored in the survey file");
        }
    }
    OpenVideoFiles().push_back(this);
}

TFVideoFile::~TFVideoFile() {
    auto &files = OpenVideoFiles();
    files.erase(std::remove(files.begin(), files.end(), this), files.end());
}

void TFVideoFile::AddWarning(std::string Text) {
    fWarnings.push_back(std::move(Text));
}

void TFVideoFile::ReadFile(const TLVideoLocator &Locate, std::string &PickedFrameFile) {
    constexpr const char *what = "TFVideoFile.Create";
    TStream &f = *fStream;
    const int64_t fileSize = f.Size();
    uint8_t head[TFVideoHeader::DiskSize];
    f.ReadBuffer(head, sizeof head, what);
    ParseHeader(head, fHeader);
    if (fHeader.Tag[0] != 6 || std::memcmp(fHeader.Tag + 1, "FVIDEO", 6) != 0)
        RaiseStreetError(what, "FileTag<>CurrentFileTag");
    if (fHeader.Version != 1)
        RaiseStreetError(what, "Version<>CurrentVersion");
    if (!std::isfinite(fHeader.BaseTime))
        RaiseStreetError(what, "the base date-time of " + fFileName + " is not a number");
    try {
        TOrsekPegCoder::CheckFormat(fHeader.Width, fHeader.Height, fHeader.Quality);
    } catch (const EStreetError &e) {
        RaiseStreetError(what, "bad frame format in " + fFileName + " (" + e.what() + ")");
    }
    f.CheckCount(fHeader.StreamCount, TFVideoStreamRec::DiskSize, what);
    const int64_t tableEnd =
        TFVideoHeader::DiskSize + int64_t(TFVideoStreamRec::DiskSize) * fHeader.StreamCount;
    auto checkRange = [&](const std::string &part, int64_t pos, int64_t size, bool data) {
        if (size > 0 && !InFile(pos, size, fileSize))
            RaiseStreetError(what, part + " at " + Str(pos) + " (" + Str(size) + " bytes) lies outside " +
                                       fFileName + " (" + Str(fileSize) + " bytes)");
        // Indexes and records lie apart from the header and stream records, which are written back.
        if (data && size > 0 && pos < tableEnd)
            RaiseStreetError(what, part + " at " + Str(pos) + " overlaps the header and stream records of " +
                                       fFileName);
    };
    checkRange("the file's data holder", fHeader.HolderPosition, fHeader.HolderSize, false);
    for (uint32_t i = 0; i < fHeader.StreamCount; ++i) {
        const int64_t pos = f.Position();
        uint8_t rec[TFVideoStreamRec::DiskSize];
        f.ReadBuffer(rec, sizeof rec, what);
        TFVideoStreamRec r;
        ParseStreamRec(rec, r);
        const std::string s = "stream " + Str(i) + ": ";
        checkRange(s + "the frame index", r.IndexPosition, r.IndexSize, true);
        checkRange(s + "the frame records", r.FramesPosition, r.FramesSize, true);
        checkRange(s + "the data holder", r.HolderPosition, r.HolderSize, false);
        for (int k = 0; k < 7; ++k)
            if (!std::isfinite(r.CamParams[k]) ||
                std::fabs(r.CamParams[k]) > std::numeric_limits<float>::max())
                RaiseStreetError(what, s + "camera parameter " + Str(k) + " of " + fFileName +
                                           " is not a finite single");
        fStreams.push_back(std::make_unique<TFVideoStream>(*this, static_cast<int32_t>(i), r, pos));
    }
    for (auto &s : fStreams)
        if (s->fRec.HolderSize > 0) {
            f.Seek(s->fRec.HolderPosition, TSeekOrigin::Begin);
            s->fHolder.LoadFromStream(f, s->fRec.HolderSize);
        }
    if (fHeader.HolderSize > 0) {
        f.Seek(fHeader.HolderPosition, TSeekOrigin::Begin);
        fHolder.LoadFromStream(f, fHeader.HolderSize);
    }
    OpenFrameFile(Locate, PickedFrameFile);
    fCoder = std::make_unique<TOrsekPegCoder>(fHeader.Width, fHeader.Height, fHeader.Quality);
    ReadConverter();
    LoadIndexes();
}

void TFVideoFile::OpenFrameFile(const TLVideoLocator &Locate, std::string &PickedFrameFile) {
    if (fHolder.IndexOf("LVideoReference") < 0)
        return;
    const auto &refBlob = fHolder.Data(fHolder.IndexOf("LVideoReference"));
    const std::string refName = Cp1251String(std::string(refBlob.begin(), refBlob.end())).ToUtf8();
    std::string found;
    std::string lastCandidate;
    // A name with a NUL byte in it names no file (the system call would see only its first part).
    if (!refName.empty() && refName.find('\0') == std::string::npos) {
        const std::string bare = BareName(refName);
        const std::string folder = fs::path(fFileName).has_parent_path()
                                       ? fs::path(fFileName).parent_path().string()
                                       : std::string(".");
        const std::string candidates[3] = {SlashName(refName),
                                           bare.empty() ? "" : (fs::path(folder) / bare).string(), bare};
        for (const auto &c : candidates) {
            if (c.empty())
                continue;
            lastCandidate = c;
            found = FindFileNoCase(fs::path(c));
            if (!found.empty())
                break;
        }
    }
    if (found.empty() && Locate) {
        std::error_code ec;
        fs::path start = fs::path(lastCandidate).parent_path();
        if (start.empty())
            start = fs::current_path(ec);
        const std::string pick = Locate(refName, start.string());
        if (!pick.empty() && IsFile(pick)) {
            found = pick;
            PickedFrameFile = pick;
        }
    }
    if (found.empty())
        throw EStreetError("Указанный файл LVideo не найден: " + refName);
    auto frames =
        std::make_unique<TLockedFileStream>(found, TLockedFileStream::TMode::Read, "TFVideoFile.Create");
    uint8_t first[2048] = {};
    frames->Read(first, sizeof first); // missing bytes stay zero
    const uint8_t *stored = fHolder.DataPtr("LVideoFirst2k");
    if (!stored || fHolder.DataSize("LVideoFirst2k") != sizeof first ||
        std::memcmp(first, stored, sizeof first) != 0)
        throw EStreetError("Указан неверный файл LVideo (не тот, из которого создавался FVideo)");
    fFrameFileName = found;
    fFrameStream = std::move(frames);
}

void TFVideoFile::ReadConverter() {
    constexpr const char *what = "TFVideoFile.Create";
    TLocalConverter::TParams params{};
    bool have = false;
    if (fHolder.IndexOf("ConvXYZ") >= 0) {
        if (fHolder.DataSize("ConvXYZ") != 24)
            RaiseStreetError(what, "the blob ConvXYZ of " + fFileName + " has " +
                                       Str(fHolder.DataSize("ConvXYZ")) + " bytes, not 24");
        double xyz[3];
        fHolder.GetData("ConvXYZ", xyz, sizeof xyz);
        params = {xyz[0], xyz[1], xyz[2], 0, 0, 0, 0, 1.0};
        have = true;
    }
    if (fHolder.IndexOf("ConvParams") >= 0) {
        if (fHolder.DataSize("ConvParams") != 64)
            RaiseStreetError(what, "the blob ConvParams of " + fFileName + " has " +
                                       Str(fHolder.DataSize("ConvParams")) + " bytes, not 64");
        fHolder.GetData("ConvParams", params.data(), sizeof params);
        have = true;
    }
    if (!have)
        return;
    try {
        fConverter = std::make_unique<TLocalConverter>(params);
    } catch (const EStreetError &e) {
        RaiseStreetError(what, "bad converter parameters in " + fFileName + " (" + e.what() + ")");
    }
}

TStream &TFVideoFile::FrameSource() {
    return fFrameStream ? *fFrameStream : *fStream;
}

void TFVideoFile::GetFrameFormat(int32_t &Width, int32_t &Height, int32_t &Quality) const {
    Width = fHeader.Width;
    Height = fHeader.Height;
    Quality = fHeader.Quality;
}

TFVideoStream &TFVideoFile::Streams(int32_t Index) {
    if (Index < 0 || Index >= StreamCount())
        RaiseStreetError("TFVideoFile.Streams", "stream " + Str(Index) + " out of range");
    return *fStreams[static_cast<std::size_t>(Index)];
}

// ---- indexes ---------------------------------------------------------------------------------------

void TFVideoFile::LoadIndexes() {
    if (fIndexesLoaded)
        return;
    for (TFVideoFile *f : OpenVideoFiles())
        if (f != this)
            f->UnloadIndexes();
    const bool inFile = !fFrameStream;
    const int64_t frameFileSize = FrameSource().Size();
    for (auto &s : fStreams)
        s->LoadIndex(*fStream, frameFileSize, inFile, fCountsChecked ? nullptr : &fWarnings);
    fCountsChecked = true;
    ++fIndexEpoch;
    fIndexesLoaded = true;
}

void TFVideoFile::UnloadIndexes() {
    for (auto &s : fStreams)
        s->Unload();
    fIndexesLoaded = false;
}

// ---- ties ------------------------------------------------------------------------------------------

TVideoTieRec &TFVideoFile::Ties(int32_t Index) {
    if (Index < 0 || Index >= TieCount())
        RaiseStreetError("TFVideoFile.Ties", "tie " + Str(Index) + " out of range");
    return *fTies[static_cast<std::size_t>(Index)];
}

TVideoTieRec &TFVideoFile::AddTie() {
    fTies.push_back(std::make_unique<TVideoTieRec>());
    InvalidateTrajectory();
    return *fTies.back();
}

void TFVideoFile::DeleteTie(int32_t Index) {
    if (Index < 0 || Index >= TieCount())
        RaiseStreetError("TFVideoFile.DeleteTie", "tie " + Str(Index) + " out of range");
    fTies.erase(fTies.begin() + Index);
    InvalidateTrajectory();
}

void TFVideoFile::ClearTies() {
    fTies.clear();
    InvalidateTrajectory();
}

void TFVideoFile::StoreTies() {
    std::vector<uint8_t> bytes(fTies.size() * TVideoTieRec::DiskSize);
    for (std::size_t i = 0; i < fTies.size(); ++i)
        fTies[i]->WriteTo(bytes.data() + i * TVideoTieRec::DiskSize);
    fHolder.SetData("Corrections", bytes.data(), static_cast<uint32_t>(bytes.size()));
}

namespace {
// Tie records from outside bytes: Z is always 0; a record whose position is not a finite number is dropped.
std::vector<std::unique_ptr<TVideoTieRec>>
ReadTies(const uint8_t *p, std::size_t count, const std::string &from, std::vector<std::string> &warnings) {
    std::vector<std::unique_ptr<TVideoTieRec>> ties;
    for (std::size_t i = 0; i < count; ++i) {
        TVideoTieRec t = TVideoTieRec::ReadFrom(p + i * TVideoTieRec::DiskSize);
        t.Z = 0;
        if (!std::isfinite(t.X) || !std::isfinite(t.Y)) {
            warnings.push_back("tie " + Str(static_cast<int64_t>(i)) + " of " + from +
                               " has a position that is not a number and is left out");
            continue;
        }
        ties.push_back(std::make_unique<TVideoTieRec>(t));
    }
    return ties;
}
} // namespace

void TFVideoFile::LoadTies() {
    const uint32_t size = fHolder.DataSize("Corrections");
    const uint8_t *p = fHolder.DataPtr("Corrections");
    fTies = ReadTies(p, p ? size / TVideoTieRec::DiskSize : 0, fFileName, fWarnings);
    InvalidateTrajectory();
}

void TFVideoFile::SaveTiesToFile(const std::string &FileName) const {
    std::vector<uint8_t> bytes(fTies.size() * TVideoTieRec::DiskSize);
    for (std::size_t i = 0; i < fTies.size(); ++i)
        fTies[i]->WriteTo(bytes.data() + i * TVideoTieRec::DiskSize);
    TSaveFileStream out(FileName);
    out.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    out.Commit();
}

void TFVideoFile::LoadTiesFromFile(const std::string &FileName) {
    TFileStream in(FileName);
    const int64_t count = in.Size() / TVideoTieRec::DiskSize;
    in.CheckCount(count, TVideoTieRec::DiskSize, "TFVideoFile.LoadTiesFromFile");
    std::vector<uint8_t> bytes(static_cast<std::size_t>(count * TVideoTieRec::DiskSize));
    in.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()), "TFVideoFile.LoadTiesFromFile");
    fTies = ReadTies(bytes.data(), static_cast<std::size_t>(count), FileName, fWarnings);
    InvalidateTrajectory();
}

void TFVideoFile::FindTiesAround(const TVideoTieRec *&A, const TVideoTieRec *&B, int64_t Time) {
    auto byTime = [](const std::unique_ptr<TVideoTieRec> &a, const std::unique_ptr<TVideoTieRec> &b) {
        return a->Time < b->Time;
    };
    if (!std::is_sorted(fTies.begin(), fTies.end(), byTime))
        std::stable_sort(fTies.begin(), fTies.end(), byTime);
    A = B = nullptr;
    const auto n = static_cast<int64_t>(fTies.size());
    if (n == 0)
        return;
    if (n == 1) {
        A = fTies[0].get();
        return;
    }
    // The last tie at or before Time; the pair it starts, kept within the list at both ends.
    const auto after =
        std::upper_bound(fTies.begin(), fTies.end(), Time,
                         [](int64_t t, const std::unique_ptr<TVideoTieRec> &b) { return t < b->Time; });
    int64_t j = (after - fTies.begin()) - 1;
    j = std::clamp<int64_t>(j, 0, n - 2);
    A = fTies[static_cast<std::size_t>(j)].get();
    B = fTies[static_cast<std::size_t>(j + 1)].get();
}

bool TFVideoFile::TieRecord(const TVideoTieRec &Tie, TFVideoFrameRec &R) {
    if (Tie.Stream < 0 || Tie.Stream >= StreamCount())
        return false;
    TFVideoStream &s = *fStreams[static_cast<std::size_t>(Tie.Stream)];
    const int32_t k = s.FindFrameByTime(Tie.Time);
    if (k < 0)
        return false;
    R = s.fFrames[static_cast<std::size_t>(k)];
    return true;
}

const TFVideoFile::TTieMap &TFVideoFile::TieMap(const TVideoTieRec *A, const TVideoTieRec *B) {
    TTieMap &m = fTieMap;
    if (m.Valid && m.Epoch == fIndexEpoch && m.APtr == A && m.BPtr == B && (!A || *A == m.A) &&
        (!B || *B == m.B))
        return m;
    m = TTieMap{};
    m.Valid = true;
    m.Epoch = fIndexEpoch;
    m.APtr = A;
    m.BPtr = B;
    if (A)
        m.A = *A;
    if (B)
        m.B = *B;
    const bool hasA = A && TieRecord(*A, m.Ra);
    const bool hasB = B && TieRecord(*B, m.Rb);
    if (!hasA && !hasB)
        return m;
    if (!hasA) { // only the second tie can be placed: it acts alone
        A = B;
        m.Ra = m.Rb;
    }
    m.Ax = A->X;
    m.Ay = A->Y;
    m.Kind = 1;
    if (hasA && hasB) {
        m.Bx = B->X;
        m.By = B->Y;
        const double dx = m.Bx - m.Ax, dy = m.By - m.Ay;
        const double rx = m.Rb.X - m.Ra.X, ry = m.Rb.Y - m.Ra.Y;
        const double lenTie = std::hypot(dx, dy), lenRec = std::hypot(rx, ry);
        // Two ties on one place (or two on one recorded place) fix no scale or turn: they act as one.
        if (lenTie > TieEpsilon && lenRec > TieEpsilon) {
            m.Kind = 2;
            m.S = lenTie / lenRec;
            double theta = std::atan2(ry, rx) - std::atan2(dy, dx);
            theta = std::fmod(theta, 2 * Pi);
            if (theta < 0)
                theta += 2 * Pi;
            m.Theta = theta;
            m.C = std::cos(-theta);
            m.Sn = std::sin(-theta);
        }
    }
    return m;
}

bool TFVideoFile::ApplyTies(TFVideoFrameRec &R) {
    const TVideoTieRec *a = nullptr, *b = nullptr;
    FindTiesAround(a, b, R.Time);
    const TTieMap &m = TieMap(a, b);
    switch (m.Kind) {
    case 1:
        R.X = m.Ax + (R.X - m.Ra.X);
        R.Y = m.Ay + (R.Y - m.Ra.Y);
        break;
    case 2: {
        // The same map from whichever tie is nearer, so that each tie's own frame lands exactly on it.
        const bool fromB = std::hypot(R.X - m.Rb.X, R.Y - m.Rb.Y) < std::hypot(R.X - m.Ra.X, R.Y - m.Ra.Y);
        const TFVideoFrameRec &base = fromB ? m.Rb : m.Ra;
        const double px = m.S * (R.X - base.X), py = m.S * (R.Y - base.Y);
        R.X = (fromB ? m.Bx : m.Ax) + (m.C * px - m.Sn * py);
        R.Y = (fromB ? m.By : m.Ay) + (m.Sn * px + m.C * py);
        R.Heading -= m.Theta;
        break;
    }
    default:
        return false;
    }
    R.Z = 0;
    return true;
}

// ---- tracks and search -----------------------------------------------------------------------------

void TFVideoFile::MergeFrames(const std::function<void(int32_t, int32_t)> &Visit) {
    LoadIndexes();
    std::vector<std::size_t> cursor(fStreams.size(), 0);
    for (;;) {
        int32_t pick = -1;
        int64_t best = MergeTimeLimit;
        for (std::size_t s = 0; s < fStreams.size(); ++s) {
            const auto &frames = fStreams[s]->fFrames;
            if (cursor[s] < frames.size() && frames[cursor[s]].Time < best) {
                best = frames[cursor[s]].Time;
                pick = static_cast<int32_t>(s);
            }
        }
        if (pick < 0)
            return;
        Visit(pick, static_cast<int32_t>(cursor[static_cast<std::size_t>(pick)]++));
    }
}

void TFVideoFile::GetTrajectory(TXYZArray &Out) {
    if (fTrajectoryValid) {
        Out = fTrajectory;
        return;
    }
    if (!fWritable && fHolder.IndexOf("Traectory") >= 0) {
        const uint32_t size = fHolder.DataSize("Traectory");
        const uint8_t *p = fHolder.DataPtr("Traectory");
        TXYZArray stored(size / sizeof(TXYZ));
        if (!stored.empty())
            std::memcpy(stored.data(), p, stored.size() * sizeof(TXYZ));
        const bool finite = std::all_of(stored.begin(), stored.end(), [](const TXYZ &v) {
            return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
        });
        if (finite) {
            fTrajectory = std::move(stored);
            fTrajectoryValid = true;
            Out = fTrajectory;
            return;
        }
    }
    TXYZArray track;
    double hk = 0, pk = 0;
    bool kept = false;
    TXYZ last{};
    MergeFrames([&](int32_t s, int32_t k) {
        const TFVideoFrameRec r = fStreams[static_cast<std::size_t>(s)]->Corrected(k);
        // Kept once the vehicle has moved more than a metre sideways from the last kept direction.
        if (std::fabs(std::sin(r.Heading - hk) * (r.Path - pk)) > 1.0) {
            last = TXYZ{static_cast<float>(r.X), static_cast<float>(r.Y), 0};
            track.push_back(last);
            hk = r.Heading;
            pk = r.Path;
            kept = true;
        }
    });
    if (kept)
        track.push_back(last);
    fTrajectory = std::move(track);
    fTrajectoryValid = true;
    // Stored for later read-only use; a file open for reading keeps the blob it was read with.
    if (fWritable)
        fHolder.SetData("Traectory", fTrajectory.data(),
                        static_cast<uint32_t>(fTrajectory.size() * sizeof(TXYZ)));
    Out = fTrajectory;
}

void TFVideoFile::GetSlopeTrack(TXYZArray &Out) {
    if (fSlopeTrackValid) {
        Out = fSlopeTrack;
        return;
    }
    TXYZArray track;
    double pk = 0, zk = 0;
    bool first = true;
    double qx = 0, qy = 0;
    MergeFrames([&](int32_t s, int32_t k) {
        TFVideoStream &st = *fStreams[static_cast<std::size_t>(s)];
        const TFVideoFrameRec r = st.Corrected(k);
        if (r.Path - pk <= 10.0)
            return;
        // Ties carry no height: the slope comes from the recorded heights.
        const double z = st.fFrames[static_cast<std::size_t>(k)].Z;
        const double slope = (z - zk) / (r.Path - pk);
        const double dx = r.X - qx, dy = r.Y - qy;
        const double len = std::hypot(dx, dy);
        if (!first && len > 0) {
            const double f = slope * 200 / len;
            track.push_back(TXYZ{static_cast<float>(qx), static_cast<float>(qy), 0});
            track.push_back(TXYZ{static_cast<float>(r.X), static_cast<float>(r.Y), 0});
            track.push_back(TXYZ{static_cast<float>(r.X - dy * f), static_cast<float>(r.Y + dx * f), 0});
        }
        first = false;
        pk = r.Path;
        zk = z;
        qx = r.X;
        qy = r.Y;
    });
    fSlopeTrack = std::move(track);
    fSlopeTrackValid = true;
    Out = fSlopeTrack;
}

void TFVideoFile::FindNearestFrame(const TXYZ &Point, int32_t &StreamIndex, int32_t &FrameIndex) {
    StreamIndex = FrameIndex = -1;
    double best = std::numeric_limits<double>::infinity();
    for (auto &s : fStreams) {
        const int32_t k = s->FindNearestFrame(Point, false, UndefinedValueF);
        if (k < 0)
            continue;
        TFVideoFrameRec r;
        s->GetFrameInfo(k, r);
        const double d = std::sqrt((r.X - Point.x) * (r.X - Point.x) + (r.Y - Point.y) * (r.Y - Point.y) +
                                   (r.Z - Point.z) * (r.Z - Point.z));
        if (d < best) {
            best = d;
            StreamIndex = s->StreamIndex();
            FrameIndex = k;
        }
    }
}

// ---- blobs -----------------------------------------------------------------------------------------

void TFVideoFile::GetPlatform(float Params[6]) const {
    std::fill(Params, Params + 6, 0.0f);
    fHolder.GetData("Platform", Params, 6 * sizeof(float));
}

void TFVideoFile::SetPlatform(const float Params[6]) {
    fHolder.SetData("Platform", Params, 6 * sizeof(float));
}

float TFVideoFile::GetPathOffset() const {
    float v = fPathOffset;
    fHolder.GetData("TEMPPATH", &v, sizeof v);
    return v;
}

void TFVideoFile::SetPathOffset(float Value) {
    fPathOffset = Value;
    fHolder.SetData("TEMPPATH", &Value, sizeof Value);
}

// ---- saving ----------------------------------------------------------------------------------------

int64_t TFVideoFile::HolderPlace(int64_t Needed) const {
    const int64_t fileSize = fStream->Size();
    // The old blocks' region: from the first holder to the end of the file, if nothing else lies in it.
    int64_t start = std::numeric_limits<int64_t>::max();
    if (fHeader.HolderSize > 0)
        start = fHeader.HolderPosition;
    for (const auto &s : fStreams)
        if (s->fRec.HolderSize > 0)
            start = std::min(start, s->fRec.HolderPosition);
    if (start == std::numeric_limits<int64_t>::max())
        return fileSize;
    int64_t dataEnd = TFVideoHeader::DiskSize + int64_t(TFVideoStreamRec::DiskSize) * StreamCount();
    for (const auto &s : fStreams) {
        if (s->fRec.IndexSize > 0)
            dataEnd = std::max(dataEnd, s->fRec.IndexPosition + int64_t(s->fRec.IndexSize));
        if (s->fRec.FramesSize > 0)
            dataEnd = std::max(dataEnd, s->fRec.FramesPosition + int64_t(s->fRec.FramesSize));
        dataEnd = std::max(dataEnd, s->fDataEnd);
    }
    if (start >= dataEnd && Needed <= fileSize - start)
        return start;
    return fileSize;
}

void TFVideoFile::SaveData() {
    if (!fWritable) {
        UserPrompts().ShowMessage(TPromptKind::Error, QStringLiteral("No write access: no data saved."));
        return;
    }
    constexpr const char *what = "TFVideoFile.SaveData";
    LoadIndexes(); // where the frames lie
    TMemoryStream blocks;
    fHolder.SaveToStream(blocks);
    const int64_t fileHolderSize = blocks.Size();
    std::vector<int64_t> sizes;
    for (const auto &s : fStreams) {
        const int64_t before = blocks.Size();
        s->fHolder.SaveToStream(blocks);
        sizes.push_back(blocks.Size() - before);
    }
    if (fileHolderSize > std::numeric_limits<uint32_t>::max() ||
        std::any_of(sizes.begin(), sizes.end(),
                    [](int64_t n) { return n > std::numeric_limits<uint32_t>::max(); }))
        RaiseStreetError(what, "a data holder of " + fFileName + " exceeds 4 GiB");
    const int64_t place = HolderPlace(blocks.Size());

    TFVideoHeader header = fHeader;
    header.HolderPosition = place;
    header.HolderSize = static_cast<uint32_t>(fileHolderSize);
    std::vector<TFVideoStreamRec> recs;
    int64_t pos = place + fileHolderSize;
    for (std::size_t i = 0; i < fStreams.size(); ++i) {
        TFVideoStreamRec r = fStreams[i]->fRec;
        r.HolderPosition = pos;
        r.HolderSize = static_cast<uint32_t>(sizes[i]);
        pos += sizes[i];
        recs.push_back(r);
    }
    // The blocks first, on the disk before anything refers to them; the header and records last.
    fStream->Seek(place, TSeekOrigin::Begin);
    fStream->WriteBuffer(blocks.Bytes().data(), blocks.Size());
    fStream->Flush();
    std::vector<uint8_t> table(TFVideoHeader::DiskSize + TFVideoStreamRec::DiskSize * recs.size());
    WriteHeader(table.data(), header);
    for (std::size_t i = 0; i < recs.size(); ++i)
        WriteStreamRec(table.data() + TFVideoHeader::DiskSize + TFVideoStreamRec::DiskSize * i, recs[i]);
    // The records follow the header directly (they are read that way).
    fStream->Seek(0, TSeekOrigin::Begin);
    fStream->WriteBuffer(table.data(), static_cast<int64_t>(table.size()));
    fStream->Flush();
    fHeader = header;
    for (std::size_t i = 0; i < fStreams.size(); ++i)
        fStreams[i]->fRec = recs[i];
}
