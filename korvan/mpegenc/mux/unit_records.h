// The access units of the elementary streams as the scans find them, and the
// temporary files that carry them from the scans to the packing phase: one
// fixed-size record per picture (48 bytes) or audio frame (20 bytes), so a
// long stream costs no memory and any unit can be read again by its index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace korvan::mux {

enum PictureType : uint8_t { kPictureI = 1, kPictureP = 2, kPictureB = 3, kPictureD = 4 };

enum VideoUnitFlags : uint8_t {
    kUnitHasSequenceHeader = 1,
    kUnitHasGopHeader = 2,
    // userDataOffset holds SuperVCD scan-offset user data that is already
    // there; without this flag it is where such a block must be inserted.
    kUnitHasScanUserData = 4,
};

// One picture, or the two fields of a field-coded picture.
struct VideoUnit {
    uint64_t offset = 0;        // first byte in the elementary stream, headers included
    uint32_t length = 0;        // bytes up to the next unit
    uint32_t pictureStart = 0;  // the picture start code, counted from offset
    double dts = 0;             // 27 MHz ticks; the first picture shown is at 0
    double pts = 0;
    int64_t userDataOffset = -1;  // SuperVCD scan-offset user data of an I picture
    uint32_t codedIndex = 0;
    uint8_t type = kPictureI;
    uint8_t flags = 0;
    uint16_t temporalReference = 0;
};

struct AudioUnit {
    uint64_t offset = 0;
    uint32_t length = 0;
    double pts = 0;  // 27 MHz ticks; the first frame is at 0
};

inline constexpr size_t kVideoUnitBytes = 48;
inline constexpr size_t kAudioUnitBytes = 20;

void EncodeUnit(const VideoUnit& unit, uint8_t* record);
void DecodeUnit(const uint8_t* record, VideoUnit& unit);
void EncodeUnit(const AudioUnit& unit, uint8_t* record);
void DecodeUnit(const uint8_t* record, AudioUnit& unit);

template <class Unit>
constexpr size_t RecordBytes();
template <>
constexpr size_t RecordBytes<VideoUnit>() {
    return kVideoUnitBytes;
}
template <>
constexpr size_t RecordBytes<AudioUnit>() {
    return kAudioUnitBytes;
}

// Appends records through a buffer. A record may be rewritten after it was
// appended: a reference picture's presentation time is known only when the
// next reference picture is found.
class RecordWriter {
public:
    RecordWriter(size_t recordBytes) : recordBytes_(recordBytes) {}
    bool Create(const std::string& path);
    bool Append(const uint8_t* record);
    bool Rewrite(uint64_t index, const uint8_t* record);
    bool Finish();  // writes what is buffered and closes
    uint64_t Count() const { return count_; }

private:
    bool Flush();

    size_t recordBytes_;
    platform::UniqueFd fd_;
    std::vector<uint8_t> buffer_;
    uint64_t flushedRecords_ = 0;
    uint64_t count_ = 0;
};

template <class Unit>
class UnitWriter {
public:
    UnitWriter() : records_(RecordBytes<Unit>()) {}
    bool Create(const std::string& path) { return records_.Create(path); }
    bool Append(const Unit& unit) {
        std::array<uint8_t, RecordBytes<Unit>()> record{};
        EncodeUnit(unit, record.data());
        return records_.Append(record.data());
    }
    bool Rewrite(uint64_t index, const Unit& unit) {
        std::array<uint8_t, RecordBytes<Unit>()> record{};
        EncodeUnit(unit, record.data());
        return records_.Rewrite(index, record.data());
    }
    bool Finish() { return records_.Finish(); }
    uint64_t Count() const { return records_.Count(); }

private:
    RecordWriter records_;
};

// Reads records by index through a block cache.
class RecordReader {
public:
    RecordReader(size_t recordBytes) : recordBytes_(recordBytes) {}
    // False when the file cannot be opened or does not hold whole records.
    bool Open(const std::string& path);
    uint64_t Count() const { return count_; }
    const uint8_t* Read(uint64_t index);  // null on a read error or a bad index

private:
    size_t recordBytes_;
    platform::UniqueFd fd_;
    uint64_t count_ = 0;
    std::vector<uint8_t> block_;
    uint64_t blockFirst_ = 0;
    uint64_t blockCount_ = 0;
};

template <class Unit>
class UnitReader {
public:
    UnitReader() : records_(RecordBytes<Unit>()) {}
    bool Open(const std::string& path) { return records_.Open(path); }
    uint64_t Count() const { return records_.Count(); }
    bool Read(uint64_t index, Unit& unit) {
        const uint8_t* record = records_.Read(index);
        if (!record) return false;
        DecodeUnit(record, unit);
        return true;
    }

private:
    RecordReader records_;
};

}  // namespace korvan::mux
