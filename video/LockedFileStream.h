#pragma once
// A file stream that holds an advisory lock on the file for as long as it is open: shared for readers,
// exclusive for a writer. Survey files are opened this way so that no two programs write one file and
// nobody writes a file that someone else reads. Positions are 64-bit throughout (frame files run past
// 4 GiB). A stream opened for reading never writes, so the file's bytes and modification time stay as
// they were.
#include "engine/Streams.h"

#include <string>

class TLockedFileStream : public TStream {
public:
    enum class TMode { Read, ReadWrite };

    // Throws EStreetError "<where>: cannot open NAME: reason" when the file is missing or not a regular
    // file, and "<where>: NAME is in use by another program" when the lock is refused.
    TLockedFileStream(const std::string &fileName, TMode mode,
                      const char *where = "TLockedFileStream.Create");
    ~TLockedFileStream() override;
    TLockedFileStream(const TLockedFileStream &) = delete;
    TLockedFileStream &operator=(const TLockedFileStream &) = delete;

    int64_t Read(void *buffer, int64_t count) override;
    // Only for a stream opened for writing; otherwise throws "No write access: no data saved."
    void Write(const void *buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() const override { return pos_; }
    int64_t Size() const override { return size_; }
    std::string Name() const override { return name_; }

    bool Writable() const { return mode_ == TMode::ReadWrite; }
    // Pushes written bytes to the disk before anything that refers to them is written.
    void Flush();

private:
    int fd_ = -1;
    TMode mode_;
    int64_t pos_ = 0;
    int64_t size_ = 0;
    std::string name_;
};
