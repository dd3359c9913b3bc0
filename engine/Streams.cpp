#include "engine/Streams.h"

#include "engine/StreetError.h"

#include <QSaveFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {

std::string Where(const TStream &s) {
    const std::string n = s.Name();
    return "offset " + std::to_string(s.Position()) + (n.empty() ? std::string() : " of " + n);
}

QString QPath(const std::string &fileName) { return QString::fromStdString(fileName); }

} // namespace

void TStream::Fail(const std::string &what, const std::string &reason) const {
    throw EStreetError(what + ": " + reason + " at " + Where(*this));
}

void TStream::Fail(const char *what, const std::string &reason) const { Fail(std::string(what), reason); }

void TStream::FailShort(const char *what, int64_t need) const {
    Fail(what, "unexpected end of data (need " + std::to_string(need) + " bytes, " +
                   std::to_string(Remaining()) + " left)");
}

void TStream::ReadBuffer(void *buffer, int64_t count, const char *what) {
    if (count < 0)
        Fail(what, "negative length " + std::to_string(count));
    if (count > Remaining())
        FailShort(what, count);
    if (Read(buffer, count) != count)
        FailShort(what, count);
}

uint8_t TStream::ReadByte(const char *what) {
    uint8_t v;
    ReadBuffer(&v, 1, what);
    return v;
}

uint16_t TStream::ReadUInt16(const char *what) {
    uint16_t v;
    ReadBuffer(&v, 2, what);
    return v;
}

int32_t TStream::ReadInt32(const char *what) {
    int32_t v;
    ReadBuffer(&v, 4, what);
    return v;
}

uint32_t TStream::ReadUInt32(const char *what) {
    uint32_t v;
    ReadBuffer(&v, 4, what);
    return v;
}

int64_t TStream::ReadInt64(const char *what) {
    int64_t v;
    ReadBuffer(&v, 8, what);
    return v;
}

float TStream::ReadSingle(const char *what) {
    float v;
    ReadBuffer(&v, 4, what);
    return v;
}

double TStream::ReadDouble(const char *what) {
    double v;
    ReadBuffer(&v, 8, what);
    return v;
}

void TStream::Skip(int64_t count, const char *what) {
    if (count < 0)
        Fail(what, "negative length " + std::to_string(count));
    if (count > Remaining())
        FailShort(what, count);
    Seek(count, TSeekOrigin::Current);
}

int64_t TStream::CheckCount(int64_t count, int64_t elementSize, const char *what) {
    if (count < 0)
        Fail(what, "negative count " + std::to_string(count));
    if (elementSize > 0 && count > Remaining() / elementSize)
        Fail(what, "count " + std::to_string(count) + " exceeds the data present (" +
                       std::to_string(Remaining()) + " bytes left)");
    return count;
}

// ---- TMemoryStream

int64_t TMemoryStream::Read(void *buffer, int64_t count) {
    if (count <= 0 || pos_ >= Size())
        return 0;
    const int64_t n = std::min(count, Size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<std::size_t>(n));
    pos_ += n;
    return n;
}

void TMemoryStream::Write(const void *buffer, int64_t count) {
    if (count < 0)
        Fail("TMemoryStream.Write", "negative length");
    if (count == 0)
        return;
    const int64_t end = pos_ + count;
    if (pos_ == Size()) {
        // Appending, as writers do: no zero fill of the new bytes before they are copied.
        const auto *p = static_cast<const uint8_t *>(buffer);
        data_.insert(data_.end(), p, p + count);
        pos_ = end;
        return;
    }
    if (end > Size())
        data_.resize(static_cast<std::size_t>(end));
    std::memcpy(data_.data() + pos_, buffer, static_cast<std::size_t>(count));
    pos_ = end;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? pos_ : Size();
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset))
        Fail("TMemoryStream.Seek", "position out of range");
    pos_ = base + offset;
    return pos_;
}

void TMemoryStream::SetSize(int64_t n) {
    if (n < 0)
        Fail("TMemoryStream.SetSize", "negative size");
    data_.resize(static_cast<std::size_t>(n));
    if (pos_ > n)
        pos_ = n;
}

void TMemoryStream::LoadFromFile(const std::string &fileName) {
    TFileStream f(fileName);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(f.Size()));
    f.ReadBuffer(bytes.data(), f.Size(), "TMemoryStream.LoadFromFile");
    data_ = std::move(bytes);
    pos_ = 0;
    name_ = fileName;
}

void TMemoryStream::SaveToFile(const std::string &fileName) const {
    SaveBytesToFile(fileName, data_.data(), data_.size());
}

// ---- TFileStream

TFileStream::TFileStream(const std::string &fileName) : name_(fileName) {
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_)
        RaiseStreetError("TFileStream.Create", "cannot open " + fileName + ": " + std::strerror(errno));
    // A folder opens on some systems and reports a size of about 2^63; only regular files are read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(fileName), ec)) {
        std::fclose(file_);
        file_ = nullptr;
        RaiseStreetError("TFileStream.Create", "cannot open " + fileName + ": not a file");
    }
    if (std::fseek(file_, 0, SEEK_END) != 0 || (size_ = ftello(file_)) < 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
        std::fclose(file_);
        file_ = nullptr;
        RaiseStreetError("TFileStream.Create", "cannot read " + fileName);
    }
}

TFileStream::~TFileStream() {
    if (file_)
        std::fclose(file_);
}

int64_t TFileStream::Read(void *buffer, int64_t count) {
    if (count <= 0 || pos_ >= size_)
        return 0;
    if (ftello(file_) != pos_ && fseeko(file_, pos_, SEEK_SET) != 0)
        return 0;
    const std::size_t n = std::fread(buffer, 1, static_cast<std::size_t>(std::min(count, size_ - pos_)), file_);
    pos_ += static_cast<int64_t>(n);
    return static_cast<int64_t>(n);
}

void TFileStream::Write(const void *, int64_t) { Fail("TFileStream.Write", "the file is open for reading only"); }

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? pos_ : size_;
    if ((offset < 0 && base + offset < 0) || (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset))
        Fail("TFileStream.Seek", "position out of range");
    pos_ = base + offset;
    return pos_;
}

// ---- TSaveFileStream

TSaveFileStream::TSaveFileStream(const std::string &fileName)
    : file_(std::make_unique<QSaveFile>(QPath(fileName))), name_(fileName) {
    if (!file_->open(QIODevice::WriteOnly))
        RaiseStreetError("TSaveFileStream.Create", "cannot write " + fileName + ": " + file_->errorString().toStdString());
}

TSaveFileStream::~TSaveFileStream() {
    if (file_ && file_->isOpen())
        file_->cancelWriting();
}

int64_t TSaveFileStream::Read(void *, int64_t) { return 0; }

void TSaveFileStream::Write(const void *buffer, int64_t count) {
    if (count <= 0)
        return;
    if (file_->write(static_cast<const char *>(buffer), count) != count)
        Fail("TSaveFileStream.Write", "write failed: " + file_->errorString().toStdString());
}

int64_t TSaveFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? file_->pos() : file_->size();
    if (base + offset < 0 || !file_->seek(base + offset))
        Fail("TSaveFileStream.Seek", "position out of range");
    return file_->pos();
}

int64_t TSaveFileStream::Position() const { return file_->pos(); }
int64_t TSaveFileStream::Size() const { return file_->size(); }

void TSaveFileStream::Commit() {
    if (!file_->commit())
        RaiseStreetError("TSaveFileStream.Commit", "cannot save " + name_ + ": " + file_->errorString().toStdString());
}

void SaveBytesToFile(const std::string &fileName, const void *bytes, std::size_t n) {
    TSaveFileStream out(fileName);
    out.Write(bytes, static_cast<int64_t>(n));
    out.Commit();
}
