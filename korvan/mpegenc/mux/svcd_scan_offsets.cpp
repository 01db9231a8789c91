#include "korvan/mpegenc/mux/svcd_scan_offsets.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/pack_syntax.h"
#include "korvan/mpegenc/mux/video_scanner.h"

namespace korvan::mux {

namespace {

constexpr uint8_t kBlockStart[6] = {0x00, 0x00, 0x01, 0xB2, 0x10, 0x0E};
constexpr size_t kAddressBytes = 12;
constexpr std::array<uint8_t, 3> kNoAddress = {0xFF, 0xFF, 0xFF};

uint8_t Bcd(uint32_t value) { return static_cast<uint8_t>((value / 10) << 4 | (value % 10)); }

// Walks the video packets of a program stream written by this multiplexer
// and hands out their payload bytes with the file offset of each.
class VideoPayloadWalker {
public:
    explicit VideoPayloadWalker(EsFile& file) : file_(file) {}

    // The next payload byte; false at the end of the stream or on a read
    // error (readFailed tells which).
    bool Next(uint8_t& byte, uint64_t& offset) {
        while (used_ >= payload_.size()) {
            if (!NextVideoPacket()) return false;
        }
        offset = payloadOffset_ + used_;
        byte = payload_[used_++];
        return true;
    }
    bool ReadFailed() const { return readFailed_; }

private:
    bool NextVideoPacket() {
        uint8_t head[16] = {};
        while (cursor_ + 4 <= file_.Size()) {
            const long long got = file_.ReadSomeAt(cursor_, head, sizeof head);
            if (got < 4) return Fail(got < 0);
            if (head[0] != 0 || head[1] != 0 || head[2] != 1) return false;
            const uint8_t code = head[3];
            if (code == 0xB9) return false;
            if (code == 0xBA) {
                if (got < 14) return false;
                cursor_ += (head[4] & 0xC0) == 0x40 ? 14 + (head[13] & 7) : 12;
                continue;
            }
            if (got < 6) return false;
            const uint64_t length = (uint64_t{head[4]} << 8) | head[5];
            const uint64_t packetEnd = cursor_ + 6 + length;
            if (code == kVideoStreamId) {
                uint64_t header = 0;
                if (!HeaderLength(cursor_ + 6, packetEnd, header)) return false;
                payloadOffset_ = cursor_ + 6 + header;
                payload_.resize(static_cast<size_t>(packetEnd - payloadOffset_));
                used_ = 0;
                cursor_ = packetEnd;
                if (!file_.ReadAt(payloadOffset_, payload_.data(), payload_.size()))
                    return Fail(true);
                return true;
            }
            cursor_ = packetEnd;
        }
        return false;
    }

    // Bytes between the packet length field and the data.
    bool HeaderLength(uint64_t at, uint64_t end, uint64_t& length) {
        uint8_t byte = 0;
        if (!file_.ReadAt(at, &byte, 1)) return Fail(true);
        if ((byte & 0xC0) == 0x80) {
            uint8_t flags[3] = {};
            if (!file_.ReadAt(at, flags, 3)) return Fail(true);
            length = 3 + flags[2];
            return at + length <= end;
        }
        // MPEG-1: stuffing, the STD buffer field, then the time stamps.
        uint64_t skip = 0;
        while (byte == 0xFF && at + skip < end) {
            if (!file_.ReadAt(at + ++skip, &byte, 1)) return Fail(true);
        }
        if ((byte & 0xC0) == 0x40) {
            skip += 2;
            if (!file_.ReadAt(at + skip, &byte, 1)) return Fail(true);
        }
        skip += (byte & 0xF0) == 0x20 ? 5 : (byte & 0xF0) == 0x30 ? 10 : 1;
        length = skip;
        return at + length <= end;
    }

    bool Fail(bool readError) {
        readFailed_ = readFailed_ || readError;
        return false;
    }

    EsFile& file_;
    uint64_t cursor_ = 0;
    std::vector<uint8_t> payload_;
    uint64_t payloadOffset_ = 0;
    size_t used_ = 0;
    bool readFailed_ = false;
};

}  // namespace

std::array<uint8_t, 3> CdTimeAddress(uint32_t pack) {
    const uint32_t minutes = pack / 4500;
    const uint32_t seconds = (pack % 4500) / 75;
    const uint32_t sectors = pack % 75;
    return {static_cast<uint8_t>(minutes == 0 ? 0 : Bcd(minutes)),
            static_cast<uint8_t>(0x80 | Bcd(seconds)), static_cast<uint8_t>(0x80 | Bcd(sectors))};
}

int ScanOffsetSpan(int frameRateCode, bool pulldown, uint64_t pictures, uint64_t gops) {
    const int rate = PicturesPerSecond(frameRateCode);
    const int span = pulldown ? 168 : 7 * rate;
    const double averageGop =
        gops == 0 ? 1.0 : std::max(1.0, std::round(static_cast<double>(pictures) / gops));
    return static_cast<int>(std::ceil(span / averageGop));
}

Status WriteScanOffsets(const std::string& programPath, const std::string& packsPath, int span,
                        ProgressThrottle& progress) {
    const long long listBytes = FileSizeOf(packsPath);
    if (listBytes < 0) {
        return Status::Failed(
            FormatText("Unable to get the size of the SVCD temporary file %s.", packsPath.c_str()));
    }
    if (listBytes % 4 != 0) {
        return Status::Failed(
            FormatText("Unable to get size of SVCD temporary file %s", packsPath.c_str()));
    }
    EsFile list;
    if (!list.Open(packsPath)) {
        return Status::Failed(
            FormatText("Unable to open SVCD temporary file %s.", packsPath.c_str()));
    }
    std::vector<uint32_t> packs(static_cast<size_t>(listBytes / 4));
    for (size_t i = 0; i < packs.size(); ++i) {
        uint8_t bytes[4] = {};
        if (!list.ReadAt(i * 4, bytes, 4)) {
            return Status::Failed(
                FormatText("Unable to read from SVCD temporary file %s, offset = %u, size = %u",
                           packsPath.c_str(), static_cast<unsigned>(i * 4), 4u));
        }
        packs[i] =
            bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    }

    EsFile program;
    if (!program.Open(programPath, EsFile::Mode::kReadWrite)) {
        return Status::Failed(FormatText("Unable to open program file %s.", programPath.c_str()));
    }
    VideoPayloadWalker walker(program);
    const int count = static_cast<int>(packs.size());
    for (int k = 0; k < count; ++k) {
        // Find the block's start, then the twelve address bytes after it,
        // which may lie across a packet boundary.
        size_t matched = 0;
        uint8_t byte = 0;
        uint64_t offset = 0;
        while (matched < sizeof kBlockStart && walker.Next(byte, offset)) {
            if (byte == kBlockStart[matched]) {
                ++matched;
            } else {
                // After a mismatch only trailing zeros can begin the block again.
                matched = byte == 0 ? (matched == 2 ? 2 : 1) : 0;
            }
        }
        std::array<uint64_t, kAddressBytes> offsets{};
        size_t found = 0;
        while (matched == sizeof kBlockStart && found < kAddressBytes &&
               walker.Next(byte, offsets[found])) {
            ++found;
        }
        if (walker.ReadFailed()) {
            return Status::Failed(
                FormatText("Unable to read from program file %s.", programPath.c_str()));
        }
        if (found < kAddressBytes) {
            return Status::Failed(FormatText("Could not find User Data at I-frame %d in file %s.",
                                             k, programPath.c_str()));
        }
        const auto at = [&](int index) { return CdTimeAddress(packs[static_cast<size_t>(index)]); };
        const std::array<std::array<uint8_t, 3>, 4> addresses = {
            k > 0 ? at(k - 1) : kNoAddress,
            k + 1 < count ? at(k + 1) : kNoAddress,
            k >= span ? at(k - span) : CdTimeAddress(0),
            at(std::min(k + span, count - 1)),
        };
        for (size_t i = 0; i < kAddressBytes; ++i) {
            const uint8_t value = addresses[i / 3][i % 3];
            if (!program.WriteAt(offsets[i], &value, 1))
                return Status::Failed("Unable to write to output file.");
        }
        const int percent = static_cast<int>(static_cast<int64_t>(k) * 100 / count);
        if (progress.Due(percent)) {
            progress.Host().ReportProgress(
                FormatText("SVCD Scan Offsets: %d%% - %d of %d  I-Frames.", percent, k, count),
                percent);
        }
    }
    progress.Host().ReportProgress(
        FormatText("SVCD Scan Offsets: 100%% - %d of %d  I-Frames.", count, count), 100);
    return Status::Ok();
}

}  // namespace korvan::mux
