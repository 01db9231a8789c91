#include "korvan/mpegenc/mux/unit_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace korvan::mux {

namespace {

constexpr size_t kBufferRecords = 4096;

void PutLe(uint8_t*& at, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) *at++ = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t GetLe(const uint8_t*& at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= uint64_t{*at++} << (8 * i);
    return value;
}

void PutDouble(uint8_t*& at, double value) { PutLe(at, std::bit_cast<uint64_t>(value), 8); }
double GetDouble(const uint8_t*& at) { return std::bit_cast<double>(GetLe(at, 8)); }

bool WriteAll(int fd, const uint8_t* data, size_t count, uint64_t offset) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(fd, data + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

void EncodeUnit(const VideoUnit& unit, uint8_t* record) {
    uint8_t* at = record;
    PutLe(at, unit.offset, 8);
    PutLe(at, unit.length, 4);
    PutLe(at, unit.pictureStart, 4);
    PutDouble(at, unit.dts);
    PutDouble(at, unit.pts);
    PutLe(at, static_cast<uint64_t>(unit.userDataOffset), 8);
    PutLe(at, unit.codedIndex, 4);
    PutLe(at, unit.type, 1);
    PutLe(at, unit.flags, 1);
    PutLe(at, unit.temporalReference, 2);
}

void DecodeUnit(const uint8_t* record, VideoUnit& unit) {
    const uint8_t* at = record;
    unit.offset = GetLe(at, 8);
    unit.length = static_cast<uint32_t>(GetLe(at, 4));
    unit.pictureStart = static_cast<uint32_t>(GetLe(at, 4));
    unit.dts = GetDouble(at);
    unit.pts = GetDouble(at);
    unit.userDataOffset = static_cast<int64_t>(GetLe(at, 8));
    unit.codedIndex = static_cast<uint32_t>(GetLe(at, 4));
    unit.type = static_cast<uint8_t>(GetLe(at, 1));
    unit.flags = static_cast<uint8_t>(GetLe(at, 1));
    unit.temporalReference = static_cast<uint16_t>(GetLe(at, 2));
}

void EncodeUnit(const AudioUnit& unit, uint8_t* record) {
    uint8_t* at = record;
    PutLe(at, unit.offset, 8);
    PutLe(at, unit.length, 4);
    PutDouble(at, unit.pts);
}

void DecodeUnit(const uint8_t* record, AudioUnit& unit) {
    const uint8_t* at = record;
    unit.offset = GetLe(at, 8);
    unit.length = static_cast<uint32_t>(GetLe(at, 4));
    unit.pts = GetDouble(at);
}

bool RecordWriter::Create(const std::string& path) {
    fd_.Reset(::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    buffer_.clear();
    flushedRecords_ = 0;
    count_ = 0;
    return static_cast<bool>(fd_);
}

bool RecordWriter::Flush() {
    if (buffer_.empty()) return true;
    if (!WriteAll(fd_.get(), buffer_.data(), buffer_.size(), flushedRecords_ * recordBytes_))
        return false;
    flushedRecords_ += buffer_.size() / recordBytes_;
    buffer_.clear();
    return true;
}

bool RecordWriter::Append(const uint8_t* record) {
    if (!fd_) return false;
    buffer_.insert(buffer_.end(), record, record + recordBytes_);
    ++count_;
    return buffer_.size() < kBufferRecords * recordBytes_ || Flush();
}

bool RecordWriter::Rewrite(uint64_t index, const uint8_t* record) {
    if (!fd_ || index >= count_) return false;
    if (index >= flushedRecords_) {
        std::memcpy(buffer_.data() + (index - flushedRecords_) * recordBytes_, record,
                    recordBytes_);
        return true;
    }
    return WriteAll(fd_.get(), record, recordBytes_, index * recordBytes_);
}

bool RecordWriter::Finish() {
    const bool flushed = fd_ && Flush();
    return fd_.Close() && flushed;
}

bool RecordReader::Open(const std::string& path) {
    fd_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd_) return false;
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0 || info.st_size % static_cast<off_t>(recordBytes_) != 0)
        return false;
    count_ = static_cast<uint64_t>(info.st_size) / recordBytes_;
    blockCount_ = 0;
    return true;
}

const uint8_t* RecordReader::Read(uint64_t index) {
    if (!fd_ || index >= count_) return nullptr;
    if (index < blockFirst_ || index >= blockFirst_ + blockCount_) {
        const uint64_t first = index - index % kBufferRecords;
        const uint64_t records = std::min<uint64_t>(kBufferRecords, count_ - first);
        block_.resize(records * recordBytes_);
        size_t done = 0;
        while (done < block_.size()) {
            const ssize_t n = ::pread(fd_.get(), block_.data() + done, block_.size() - done,
                                      static_cast<off_t>(first * recordBytes_ + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                blockCount_ = 0;
                return nullptr;
            }
            done += static_cast<size_t>(n);
        }
        blockFirst_ = first;
        blockCount_ = records;
    }
    return block_.data() + (index - blockFirst_) * recordBytes_;
}

}  // namespace korvan::mux
