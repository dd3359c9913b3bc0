#include "video/LockedFileStream.h"

#include "engine/StreetError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

TLockedFileStream::TLockedFileStream(const std::string &fileName, TMode mode, const char *where)
    : mode_(mode), name_(fileName) {
    // Non-blocking open so that a named pipe given as a survey file cannot hang the program.
    const int flags = (mode == TMode::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    do
        fd_ = ::open(fileName.c_str(), flags);
    while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        RaiseStreetError(where, "cannot open " + fileName + ": " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        RaiseStreetError(where, "cannot open " + fileName + ": not a file");
    }
    int rc;
    do
        rc = ::flock(fd_, (mode == TMode::ReadWrite ? LOCK_EX : LOCK_SH) | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        ::close(fd_);
        fd_ = -1;
        if (err == EWOULDBLOCK)
            RaiseStreetError(where, fileName + " is in use by another program");
        RaiseStreetError(where, "cannot lock " + fileName + ": " + std::strerror(err));
    }
    size_ = static_cast<int64_t>(st.st_size);
}

TLockedFileStream::~TLockedFileStream() {
    if (fd_ >= 0)
        ::close(fd_); // releases the lock
}

int64_t TLockedFileStream::Read(void *buffer, int64_t count) {
    int64_t done = 0;
    auto *p = static_cast<uint8_t *>(buffer);
    while (count > 0 && pos_ < size_) {
        const int64_t want = std::min<int64_t>({count, size_ - pos_, int64_t(1) << 30});
        const ssize_t n = ::pread(fd_, p + done, static_cast<std::size_t>(want), static_cast<off_t>(pos_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // an I/O error reads as the end of the data; exact reads then fail with the offset
        pos_ += n;
        done += n;
        count -= n;
    }
    return done;
}

void TLockedFileStream::Write(const void *buffer, int64_t count) {
    if (mode_ != TMode::ReadWrite)
        throw EStreetError("No write access: no data saved.");
    const auto *p = static_cast<const uint8_t *>(buffer);
    while (count > 0) {
        const int64_t want = std::min<int64_t>(count, int64_t(1) << 30);
        const ssize_t n = ::pwrite(fd_, p, static_cast<std::size_t>(want), static_cast<off_t>(pos_));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            Fail("TLockedFileStream.Write", std::string("cannot write: ") + std::strerror(errno));
        pos_ += n;
        p += n;
        count -= n;
        size_ = std::max(size_, pos_);
    }
}

int64_t TLockedFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == TSeekOrigin::Begin ? 0 : origin == TSeekOrigin::Current ? pos_ : size_;
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset))
        Fail("TLockedFileStream.Seek", "position out of range");
    pos_ = base + offset;
    return pos_;
}

void TLockedFileStream::Flush() {
    if (mode_ != TMode::ReadWrite)
        return;
    if (::fdatasync(fd_) != 0 && errno != EINVAL)
        Fail("TLockedFileStream.Flush", std::string("cannot flush: ") + std::strerror(errno));
}
