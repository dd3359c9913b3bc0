#pragma once
// Video survey files ("*.FVideo"): per camera a stream of frames, each with its moment, the distance driven,
// the vehicle's pose and a packed picture kept in the file itself or in a separate frame file ("*.LVideo");
// named binary blocks (data holders) carry the side data of the file and of each stream.
//
// Everything read from a file is checked against the bytes present and the codec's limits before it is
// used; a file that cannot be read sensibly is refused with a clear error, and recoverable disagreements
// are reported in Warnings() for the caller to show: a frame that points outside the frame file (or has an
// impossible packed size) stays in its stream and only its decoding fails, an index longer than its
// records or a record whose pose or time is unusable cuts the stream there. A lost frame file is looked for
// through a callback; the one message the class shows itself (through the user prompts) is the refusal to
// save a file opened for reading. The file holds an advisory lock (shared when read, exclusive when open
// for writing), and only a file opened for writing is ever written to, and then only its data blocks,
// its header and its stream records, never frame data or indexes.
//
// Conventions: the base date-time is an OLE automation date (days since 1899-12-30, the fraction the time
// of day) and a frame's moment is it plus the frame's time in milliseconds; positions are metres in the
// survey's local frame; the heading is the counter-clockwise angle of the direction of travel from +x
// (east), in radians.
#include "engine/DxCalc_0.h"
#include "engine/GPSCalc3.h"
#include "engine/MyJpegTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class TBitmap;
class TFVideoFile;
class TLockedFileStream;
class TOrsekPegCoder;
class TStream;

// One frame's pose, 64 bytes on disk in this order (little-endian).
struct TFVideoFrameRec {
    int64_t Time = 0;           // milliseconds from the file's base date-time
    double Path = 0;            // metres driven
    double X = 0, Y = 0, Z = 0; // metres in the survey's local frame
    double Heading = 0;         // radians, counter-clockwise from +x, the direction of travel
    double Pitch = 0, Roll = 0; // radians
    friend bool operator==(const TFVideoFrameRec &, const TFVideoFrameRec &) = default;
};
static_assert(sizeof(TFVideoFrameRec) == 64);

// A tie point: where a stream's frame at a moment truly lies. 28 bytes on disk (also the record of a ".ZRef"
// file): int32 stream, int32 frame (-1 = not bound to a frame), int64 time in ms, single X, Y, Z.
struct TVideoTieRec {
    static constexpr int DiskSize = 28;
    int32_t Stream = -1;
    int32_t Frame = -1;
    int64_t Time = 0;
    float X = 0, Y = 0, Z = 0;
    friend bool operator==(const TVideoTieRec &, const TVideoTieRec &) = default;

    void WriteTo(uint8_t *p) const;
    static TVideoTieRec ReadFrom(const uint8_t *p);
};

// Where a packed frame lies: in the frame file when the survey references one, else in the survey file.
struct TFVideoIndexEntry {
    static constexpr int DiskSize = 12;
    int64_t Position = 0;
    uint32_t Size = 0;
};

// The 48 bytes at the start of a survey file.
struct TFVideoHeader {
    static constexpr int DiskSize = 48;
    uint8_t Tag[8] = {6, 'F', 'V', 'I', 'D', 'E', 'O', 0}; // the eighth byte is free
    uint32_t Version = 1;
    double BaseTime = 0;
    uint32_t StreamCount = 0;
    int32_t Width = 0, Height = 0, Quality = 0;
    int64_t HolderPosition = 0;
    uint32_t HolderSize = 0; // 0 = the file has no data holder
};

// One stream's 100-byte record, directly after the header.
struct TFVideoStreamRec {
    static constexpr int DiskSize = 100;
    int64_t IndexPosition = 0;
    uint32_t IndexSize = 0; // 12 bytes per frame
    int64_t FramesPosition = 0;
    uint32_t FramesSize = 0;  // 64 bytes per frame
    double CamParams[8] = {}; // the first seven are the stream's default camera parameters
    int64_t HolderPosition = 0;
    uint32_t HolderSize = 0; // 0 = none
};

// Named binary blobs. On disk: a uint32 count, then per blob a 16-byte name (a length byte and up to 15
// characters), a uint32 size and the bytes. Names compare exactly; longer names are cut to 15 characters.
class TCustomDataHolder {
public:
    static constexpr std::size_t MaxNameLength = 15;

    int IndexOf(std::string_view Name) const;            // -1 when absent
    const uint8_t *DataPtr(std::string_view Name) const; // nullptr when absent
    uint8_t *DataPtr(std::string_view Name);
    uint32_t DataSize(std::string_view Name) const; // 0 when absent
    // Copies the blob into Dest when present (at most DestSize bytes; a shorter blob fills only its part)
    // and returns true; otherwise leaves Dest and returns false.
    bool GetData(std::string_view Name, void *Dest, std::size_t DestSize) const;
    // Adds the blob or replaces the one of that name.
    void SetData(std::string_view Name, const void *Data, uint32_t Size);
    void Clear() { fBlobs.clear(); }

    int Count() const { return static_cast<int>(fBlobs.size()); }
    const std::string &Name(int Index) const { return fBlobs.at(static_cast<std::size_t>(Index)).Name; }
    const std::vector<uint8_t> &Data(int Index) const {
        return fBlobs.at(static_cast<std::size_t>(Index)).Data;
    }

    // Reads a holder from the next Size bytes of the stream; every count, name and size must lie within
    // them. Throws EStreetError naming the stream and the offset; the holder is unchanged then.
    void LoadFromStream(TStream &Stream, int64_t Size);
    void SaveToStream(TStream &Stream) const;
    // Bytes SaveToStream writes.
    int64_t StreamSize() const;

private:
    struct TBlob {
        std::string Name;
        std::vector<uint8_t> Data;
    };
    std::vector<TBlob> fBlobs;
};

// One camera's frames. Operations that read frames or records load the owner's indexes first.
class TFVideoStream {
public:
    TFVideoStream(TFVideoFile &Owner, int32_t StreamIndex, const TFVideoStreamRec &Rec, int64_t RecPosition);

    TFVideoFile &Owner() const { return fOwner; }
    int32_t StreamIndex() const { return fStreamIndex; }
    const TFVideoStreamRec &Record() const { return fRec; }
    int64_t RecordPosition() const { return fRecPosition; }
    TCustomDataHolder &DataHolder() { return fHolder; }
    const TCustomDataHolder &DataHolder() const { return fHolder; }

    // Frames usable in this stream (after the checks made when the file opened).
    int32_t FrameCount() const { return fFrameCount; }
    int64_t FrameTime(int32_t Index);                        // 0 out of range
    void GetRawFrameInfo(int32_t Index, TFVideoFrameRec &R); // zeros out of range
    // The record with pitch and roll made deviations from their local mean and the position (and, with two
    // ties, the heading) corrected by the file's ties; zeros out of range.
    void GetFrameInfo(int32_t Index, TFVideoFrameRec &R);
    // The frame whose time is nearest (the earlier one on a tie); -1 when the stream has no frames.
    int32_t FindFrameByTime(int64_t Time);
    // The start of the segment between two consecutive corrected frame positions nearest to Point (within
    // MaxDist; with OneSide only segments that have Point on their right side); -1 when none.
    int32_t FindNearestFrame(const TXYZ &Point, bool OneSide, float MaxDist);
    // The packed frame's place (zeros out of range).
    TFVideoIndexEntry FrameEntry(int32_t Index);

    // Decode a frame (with the file's sharpening) or its 1/8-scale thumbnail into a 32-bit bitmap sized
    // here. Throws EStreetError "TFVideoStream.GetFrame: FrameNum out of range" for a bad index; codec
    // errors pass through.
    void GetFrame(int32_t Index, TBitmap &Bitmap);
    void GetFrame(int32_t Index, TFrameBitmap &Bitmap);
    void GetIcon(int32_t Index, TBitmap &Bitmap);
    void GetIcon(int32_t Index, TFrameBitmap &Bitmap);

    // The blob "CamParams" when present (as far as it goes), else the record's first seven values.
    void GetCamParams(float Params[7]) const;
    void SetCamParams(const float Params[7]);

private:
    friend class TFVideoFile;
    void LoadIndex(TStream &File, int64_t FrameFileSize, bool FramesInFile,
                   std::vector<std::string> *Warnings);
    void Unload();
    // The raw record with the ties applied (no smoothing).
    TFVideoFrameRec Corrected(int32_t Index);
    // Decodes into the owner's YUV buffer; returns the picture's size.
    void Decode(int32_t Index, bool Icon, int32_t &Width, int32_t &Height);
    // What is wrong with the frame's place in the index ("frame 3 lies outside the frame file"); empty for
    // a frame that can be read.
    std::string DamageText(int32_t Index) const;

    enum class TFrameDamage : uint8_t { PackedSize, Outside };

    TFVideoFile &fOwner;
    TFVideoStreamRec fRec;
    int64_t fRecPosition;
    std::vector<TFVideoIndexEntry> fIndex;
    std::vector<TFVideoFrameRec> fFrames;
    // The frames whose picture cannot be read, in frame order.
    std::vector<std::pair<int32_t, TFrameDamage>> fDamaged;
    TCustomDataHolder fHolder;
    int32_t fStreamIndex;
    int32_t fFrameCount = 0;
    int64_t fDataEnd = 0; // end of the furthest in-file frame the index names (for placing data blocks)
};

// Asked for a frame file that cannot be found: gets the referenced name and the folder to start in, returns
// the file the user picked or an empty string. The shell shows the dialog "Потеряна ссылка на файл LVideo".
using TLVideoLocator =
    std::function<std::string(const std::string &ReferencedName, const std::string &StartFolder)>;

class TFVideoFile {
public:
    // Opens the file (for writing: exclusive lock; else shared) and reads and checks everything. Throws
    // EStreetError; a failed open writes nothing.
    TFVideoFile(const std::string &FileName, bool Writable, const TLVideoLocator &Locate = {});
    ~TFVideoFile();
    TFVideoFile(const TFVideoFile &) = delete;
    TFVideoFile &operator=(const TFVideoFile &) = delete;

    const std::string &FileName() const { return fFileName; }
    bool Writable() const { return fWritable; }
    // Empty when the frames are in the survey file.
    const std::string &FrameFileName() const { return fFrameFileName; }
    const TFVideoHeader &Header() const { return fHeader; }
    int32_t Width() const { return fHeader.Width; }
    int32_t Height() const { return fHeader.Height; }
    double BaseTime() const { return fHeader.BaseTime; }
    void GetFrameFormat(int32_t &Width, int32_t &Height, int32_t &Quality) const;
    int32_t StreamCount() const { return static_cast<int32_t>(fStreams.size()); }
    // Throws EStreetError for an index out of range.
    TFVideoStream &Streams(int32_t Index);
    TCustomDataHolder &DataHolder() { return fHolder; }
    const TCustomDataHolder &DataHolder() const { return fHolder; }
    // nullptr when the file has no converter blob.
    const TLocalConverter *Converter() const { return fConverter.get(); }
    // What was found wrong but could be read around, in English, for the caller to show.
    const std::vector<std::string> &Warnings() const { return fWarnings; }

    // Sharpening of decoded frames, 0..100 %; 100 is the strongest.
    int32_t SharpenPercent() const { return fSharpenPercent; }
    void SetSharpenPercent(int32_t Percent) { fSharpenPercent = Percent; }

    void GetTrajectory(TXYZArray &Out);
    void GetSlopeTrack(TXYZArray &Out);
    // Over all streams; both -1 when nothing is found.
    void FindNearestFrame(const TXYZ &Point, int32_t &StreamIndex, int32_t &FrameIndex);

    // Ties. Records stay where they are while the list changes (references stay valid until deleted).
    int32_t TieCount() const { return static_cast<int32_t>(fTies.size()); }
    TVideoTieRec &Ties(int32_t Index);
    TVideoTieRec &AddTie();
    void DeleteTie(int32_t Index);
    void ClearTies();
    void StoreTies();
    void LoadTies();
    void SaveTiesToFile(const std::string &FileName) const;
    void LoadTiesFromFile(const std::string &FileName);
    // Sorts the list by time and gives the pair of ties that corrects the moment Time (nullptr for none).
    void FindTiesAround(const TVideoTieRec *&A, const TVideoTieRec *&B, int64_t Time);
    void InvalidateTrajectory() { fTrajectoryValid = false; }

    void GetPlatform(float Params[6]) const; // zeros when the blob is absent
    void SetPlatform(const float Params[6]);
    float GetPathOffset() const;
    void SetPathOffset(float Value);

    void LoadIndexes();
    void UnloadIndexes();
    bool IndexesLoaded() const { return fIndexesLoaded; }
    // Writes the data holders, then the header and the stream records; only for a file opened for writing
    // (otherwise nothing is written and the user is told "No write access: no data saved.").
    void SaveData();

private:
    friend class TFVideoStream;
    void ReadFile(const TLVideoLocator &Locate, std::string &PickedFrameFile);
    void OpenFrameFile(const TLVideoLocator &Locate, std::string &PickedFrameFile);
    void ReadConverter();
    TStream &FrameSource();
    // Applies the ties to a record's position (and heading); false when no tie applies.
    bool ApplyTies(TFVideoFrameRec &R);
    bool TieRecord(const TVideoTieRec &Tie, TFVideoFrameRec &R);
    // The frames of all streams in time order: calls Visit(stream, frame) for each.
    void MergeFrames(const std::function<void(int32_t, int32_t)> &Visit);
    int64_t HolderPlace(int64_t Needed) const;
    void AddWarning(std::string Text);

    std::unique_ptr<TLockedFileStream> fStream;
    std::string fFileName;
    bool fWritable = false;
    std::string fFrameFileName;
    std::unique_ptr<TLockedFileStream> fFrameStream;
    TFVideoHeader fHeader;
    std::vector<std::unique_ptr<TFVideoStream>> fStreams;
    std::unique_ptr<TOrsekPegCoder> fCoder;
    TXYZArray fTrajectory;
    bool fTrajectoryValid = false;
    TXYZArray fSlopeTrack;
    bool fSlopeTrackValid = false;
    TCustomDataHolder fHolder;
    std::vector<std::unique_ptr<TVideoTieRec>> fTies;
    int32_t fSharpenPercent = 0;
    float fPathOffset = 0;
    bool fIndexesLoaded = false;
    std::unique_ptr<TLocalConverter> fConverter;

    // The correction of the tie pair used last. Ties change through references the file cannot watch, so
    // the pair is compared by value; a reload of the indexes starts afresh.
    struct TTieMap {
        bool Valid = false;
        uint64_t Epoch = 0;
        const TVideoTieRec *APtr = nullptr, *BPtr = nullptr;
        TVideoTieRec A, B;
        int Kind = 0; // 0: no correction, 1: shift by one tie, 2: turn and scale by two
        double Ax = 0, Ay = 0, Bx = 0, By = 0;
        TFVideoFrameRec Ra, Rb;
        double S = 1, C = 1, Sn = 0, Theta = 0;
    };
    const TTieMap &TieMap(const TVideoTieRec *A, const TVideoTieRec *B);
    TTieMap fTieMap;
    uint64_t fIndexEpoch = 0;

    bool fCountsChecked = false; // warnings about the indexes are given once
    std::vector<std::string> fWarnings;
    std::vector<uint8_t> fYuv;    // decode buffer
    std::vector<uint8_t> fPacked; // read buffer
};

// Every open survey file, in the order opened (only one of them keeps its indexes in memory).
std::vector<TFVideoFile *> &OpenVideoFiles();

// Largest packed frame a picture of this size may have: the densest packing takes under two bytes per value.
int64_t MaxPackedFrameSize(int32_t Width, int32_t Height);
