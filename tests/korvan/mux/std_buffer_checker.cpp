#include "tests/korvan/mux/std_buffer_checker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace test {

namespace {

constexpr double kTicks = 27000000.0;
// Time stamps are written in 90 kHz units; a decoding time may come out up
// to one of them earlier than the multiplexer planned.
constexpr double kStampTolerance = 300.0;
constexpr double kLongestWait = kTicks;
constexpr double kLargestStampGap = 0.7 * kTicks;
constexpr size_t kMaxNotes = 8;

struct Packet {
    uint64_t esOffset = 0;    // first payload byte within the stream's data
    uint64_t fileOffset = 0;  // and within the file
    uint64_t bytes = 0;
    double scr = 0;  // of its pack
    double bytesPerTick = 0;
    uint64_t scrReference = 0;  // file offset of the byte the SCR belongs to
    bool hasPts = false;
    bool hasDts = false;
    double pts = 0;
    double dts = 0;
    int ac3Frames = -1;  // from an AC-3 sub-header
    int ac3Pointer = 0;

    double Arrival(uint64_t es) const {
        const uint64_t file = fileOffset + (es - esOffset);
        return scr + (static_cast<double>(file) - static_cast<double>(scrReference)) / bytesPerTick;
    }
};

struct Unit {
    uint64_t start = 0;
    uint64_t end = 0;
    uint64_t stampAt = 0;  // picture start code or frame header
    double duration = 0;   // ticks it is shown
    double pts = std::numeric_limits<double>::quiet_NaN();
    double dts = std::numeric_limits<double>::quiet_NaN();
};

struct StreamData {
    StdStreamReport report;
    std::vector<Packet> packets;
    bool video = false;
    bool ac3 = false;
};

uint64_t Clock33(const uint8_t* p) {
    return (uint64_t{static_cast<uint8_t>(p[0] >> 1) & 7u} << 30) | (uint64_t{p[1]} << 22) |
           (uint64_t{static_cast<uint8_t>(p[2] >> 1)} << 15) | (uint64_t{p[3]} << 7) | (p[4] >> 1);
}

class Checker {
public:
    explicit Checker(std::vector<uint8_t> file) : file_(std::move(file)) {}

    StdReport Run() {
        ParsePacks();
        if (report_.error.empty()) {
            for (auto& [key, stream] : streams_) {
                if (stream.video) {
                    AnalyseVideo(stream);
                } else {
                    AnalyseAudio(stream);
                }
                report_.streams[key] = std::move(stream.report);
            }
        }
        return std::move(report_);
    }

private:
    void Note(const std::string& text) {
        if (report_.notes.size() < kMaxNotes) report_.notes.push_back(text);
    }
    void Fail(const std::string& text) {
        if (report_.error.empty()) report_.error = text;
    }
    bool Have(uint64_t at, uint64_t count) const { return at + count <= file_.size(); }

    void ParsePacks() {
        uint64_t at = 0;
        uint64_t packStart = 0;
        bool inPack = false;
        bool packHasData = false;
        bool packHasPadding = false;
        bool packHasNavigation = false;
        double scr = 0;
        double lastScr = -1;
        uint64_t lastPackBytes = 0;
        double bytesPerTick = 0;
        uint64_t scrReference = 0;
        const auto closePack = [&](uint64_t end) {
            if (!inPack) return;
            const uint64_t bytes = end - packStart;
            report_.smallestPack =
                report_.packs == 1 ? bytes : std::min(report_.smallestPack, bytes);
            report_.largestPack = std::max(report_.largestPack, bytes);
            if (!packHasData && packHasPadding && !packHasNavigation) ++report_.paddingPacks;
            if (packHasNavigation) ++report_.navigationPacks;
            lastPackBytes = bytes;
        };
        while (at < file_.size()) {
            // VideoCD authoring tools leave zero bytes after some packs.
            while (Have(at, 4) && file_[at] == 0 && file_[at + 1] == 0 && file_[at + 2] == 0) ++at;
            if (!Have(at, 4) || file_[at] != 0 || file_[at + 1] != 0 || file_[at + 2] != 1)
                return Fail("no start code at byte " + std::to_string(at));
            const uint8_t code = file_[at + 3];
            if (code == 0xB9) {
                closePack(at + 4);
                report_.endsWithEndCode = at + 4 == file_.size();
                if (!report_.endsWithEndCode) Fail("bytes after the program end code");
                return;
            }
            if (code == 0xBA) {
                closePack(at);
                if (!Have(at, 14)) return Fail("cut pack header");
                packStart = at;
                inPack = true;
                packHasData = packHasPadding = packHasNavigation = false;
                ++report_.packs;
                const uint8_t* p = &file_[at + 4];
                uint32_t rate = 0;
                if ((p[0] & 0xC0) == 0x40) {
                    report_.mpeg2 = true;
                    const uint64_t base = (uint64_t{static_cast<uint8_t>(p[0] >> 3) & 7u} << 30) |
                                          (uint64_t{static_cast<uint8_t>(p[0] & 3)} << 28) |
                                          (uint64_t{p[1]} << 20) |
                                          (uint64_t{static_cast<uint8_t>(p[2] >> 3)} << 15) |
                                          (uint64_t{static_cast<uint8_t>(p[2] & 3)} << 13) |
                                          (uint64_t{p[3]} << 5) | (p[4] >> 3);
                    const uint32_t extension = ((p[4] & 3u) << 7) | (p[5] >> 1);
                    scr = static_cast<double>(base) * 300 + extension;
                    rate = (uint32_t{p[6]} << 14) | (uint32_t{p[7]} << 6) | (p[8] >> 2);
                    scrReference = at + 9;
                    at += 14 + (p[9] & 7);
                } else {
                    scr = static_cast<double>(Clock33(p)) * 300;
                    rate = ((uint32_t{p[5]} & 0x7F) << 15) | (uint32_t{p[6]} << 7) | (p[7] >> 1);
                    scrReference = at + 8;
                    at += 12;
                }
                if (rate == 0) return Fail("mux rate 0");
                report_.muxRate = rate;
                bytesPerTick = rate * 50.0 / kTicks;
                if (lastScr >= 0) {
                    const double needed = static_cast<double>(lastPackBytes) / bytesPerTick;
                    if (scr < lastScr || scr - lastScr < needed - 600) {
                        ++report_.scrProblems;
                        Note("SCR of pack " + std::to_string(report_.packs) + " comes too soon");
                    }
                }
                lastScr = scr;
                continue;
            }
            if (!inPack) return Fail("packet outside a pack");
            if (!Have(at, 6)) return Fail("cut packet header");
            const uint64_t length = (uint64_t{file_[at + 4]} << 8) | file_[at + 5];
            const uint64_t end = at + 6 + length;
            if (end > file_.size()) return Fail("packet runs past the end of the file");
            if (code == 0xBB) {
                ++report_.systemHeaders;
            } else if (code == 0xBE) {
                packHasPadding = true;
            } else if (code == 0xBF) {
                packHasNavigation = true;
            } else if (code == 0xBD || (code >= 0xC0 && code <= 0xEF)) {
                packHasData = true;
                if (!ParsePacket(at, end, code, scr, bytesPerTick, scrReference)) return;
            } else {
                return Fail("unexpected stream id at byte " + std::to_string(at));
            }
            at = end;
        }
        closePack(at);
    }

    bool ParsePacket(uint64_t at, uint64_t end, uint8_t code, double scr, double bytesPerTick,
                     uint64_t scrReference) {
        Packet packet;
        packet.scr = scr;
        packet.bytesPerTick = bytesPerTick;
        packet.scrReference = scrReference;
        int64_t stdBytes = -1;
        uint64_t p = at + 6;
        if (report_.mpeg2) {
            if (p + 3 > end || (file_[p] & 0xC0) != 0x80) return Fail("bad PES header"), false;
            const uint8_t flags = file_[p + 1];
            const uint64_t headerEnd = p + 3 + file_[p + 2];
            if (headerEnd > end) return Fail("PES header past its packet"), false;
            uint64_t q = p + 3;
            if ((flags & 0xC0) == 0x80 || (flags & 0xC0) == 0xC0) {
                packet.hasPts = true;
                packet.pts = static_cast<double>(Clock33(&file_[q])) * 300;
                q += 5;
                if ((flags & 0xC0) == 0xC0) {
                    packet.hasDts = true;
                    packet.dts = static_cast<double>(Clock33(&file_[q])) * 300;
                    q += 5;
                }
            }
            if (flags & 1) {
                const uint8_t extension = file_[q++];
                if (extension & 0x10) {
                    const int scale = (file_[q] >> 5) & 1;
                    const int size = ((file_[q] & 0x1F) << 8) | file_[q + 1];
                    stdBytes = static_cast<int64_t>(size) * (scale ? 1024 : 128);
                }
            }
            p = headerEnd;
        } else {
            while (p < end && file_[p] == 0xFF) ++p;
            if (p < end && (file_[p] & 0xC0) == 0x40) {
                const int scale = (file_[p] >> 5) & 1;
                const int size = ((file_[p] & 0x1F) << 8) | file_[p + 1];
                stdBytes = static_cast<int64_t>(size) * (scale ? 1024 : 128);
                p += 2;
            }
            if (p >= end) return Fail("cut MPEG-1 packet header"), false;
            if ((file_[p] & 0xF0) == 0x20) {
                packet.hasPts = true;
                packet.pts = static_cast<double>(Clock33(&file_[p])) * 300;
                p += 5;
            } else if ((file_[p] & 0xF0) == 0x30) {
                packet.hasPts = packet.hasDts = true;
                packet.pts = static_cast<double>(Clock33(&file_[p])) * 300;
                packet.dts = static_cast<double>(Clock33(&file_[p + 5])) * 300;
                p += 10;
            } else if (file_[p] == 0x0F) {
                p += 1;
            } else {
                return Fail("bad MPEG-1 packet header"), false;
            }
        }
        int key = code;
        bool ac3 = false;
        if (code == 0xBD) {
            if (p + 4 > end) return Fail("cut private stream 1 sub-header"), false;
            key = 0x100 + file_[p];
            ac3 = file_[p] >= 0x80 && file_[p] <= 0x87;
            packet.ac3Frames = file_[p + 1];
            packet.ac3Pointer = (file_[p + 2] << 8) | file_[p + 3];
            p += 4;
        }
        if (p > end) return Fail("packet header past its packet"), false;
        StreamData& stream = streams_[key];
        stream.report.key = key;
        stream.video = code >= 0xE0;
        stream.ac3 = ac3;
        if (stdBytes >= 0 && stream.report.bufferBytes == 0)
            stream.report.bufferBytes = static_cast<uint64_t>(stdBytes);
        packet.esOffset = stream.report.elementaryStream.size();
        packet.fileOffset = p;
        packet.bytes = end - p;
        stream.report.elementaryStream.insert(stream.report.elementaryStream.end(),
                                              file_.begin() + static_cast<long>(p),
                                              file_.begin() + static_cast<long>(end));
        ++stream.report.packets;
        stream.report.payloadBytes += packet.bytes;
        stream.packets.push_back(packet);
        return true;
    }

    const Packet* PacketAt(const StreamData& stream, uint64_t es) const {
        auto after = std::upper_bound(
            stream.packets.begin(), stream.packets.end(), es,
            [](uint64_t value, const Packet& packet) { return value < packet.esOffset; });
        if (after == stream.packets.begin()) return nullptr;
        return &*(after - 1);
    }

    void AnalyseVideo(StreamData& stream) {
        const std::vector<uint8_t>& es = stream.report.elementaryStream;
        std::vector<Unit> units;
        double period = 0.04 * kTicks;
        int64_t headerStart = -1;
        bool secondFieldPending = false;
        bool inSecondField = false;
        bool progressiveSequence = true;
        for (uint64_t i = 0; i + 3 < es.size(); ++i) {
            if (es[i] != 0 || es[i + 1] != 0 || es[i + 2] != 1) continue;
            const uint8_t code = es[i + 3];
            if (code == 0xB3 || code == 0xB8) {
                if (headerStart < 0) headerStart = static_cast<int64_t>(i);
                if (code == 0xB3 && units.empty() && i + 7 < es.size()) {
                    static const double kPeriods[9] = {0.04,     1001 / 24000.0, 1 / 24.0,
                                                       1 / 25.0, 1001 / 30000.0, 1 / 30.0,
                                                       1 / 50.0, 1001 / 60000.0, 1 / 60.0};
                    const int rateCode = es[i + 7] & 0x0F;
                    period = kPeriods[rateCode <= 8 ? rateCode : 0] * kTicks;
                }
            } else if (code == 0xB5 && i + 8 < es.size()) {
                const int id = es[i + 4] >> 4;
                if (id == 1) {
                    progressiveSequence = (es[i + 5] & 0x08) != 0;
                } else if (id == 8) {
                    const int structure = es[i + 6] & 3;
                    const bool repeatFirstField = (es[i + 7] & 0x02) != 0;
                    const bool topFieldFirst = (es[i + 7] & 0x80) != 0;
                    if (!inSecondField && !units.empty()) {
                        if (structure != 3) {
                            secondFieldPending = true;
                        } else if (repeatFirstField) {
                            units.back().duration = progressiveSequence
                                                        ? period * (topFieldFirst ? 3 : 2)
                                                        : period * 1.5;
                        }
                    }
                }
            } else if (code == 0x00) {
                if (secondFieldPending) {
                    secondFieldPending = false;
                    inSecondField = true;
                    continue;
                }
                inSecondField = false;
                const uint64_t start =
                    units.empty() ? 0 : (headerStart >= 0 ? static_cast<uint64_t>(headerStart) : i);
                if (!units.empty()) units.back().end = start;
                Unit unit;
                unit.start = start;
                unit.stampAt = i;
                unit.duration = period;
                units.push_back(unit);
                headerStart = -1;
            }
        }
        if (units.empty()) {
            Note("video stream without pictures");
            return;
        }
        units.back().end = es.size();
        AssignTimes(stream, units, period, true);
        Replay(stream, units);
    }

    void AnalyseAudio(StreamData& stream) {
        const std::vector<uint8_t>& es = stream.report.elementaryStream;
        std::vector<Unit> units;
        uint64_t at = 0;
        while (at + 6 <= es.size()) {
            int bytes = 0;
            double duration = 0;
            if (es[at] == 0xFF && (es[at + 1] & 0xF0) == 0xF0) {
                static const int kLayer2[14] = {32,  48,  56,  64,  80,  96,  112,
                                                128, 160, 192, 224, 256, 320, 384};
                static const int kLayer1[14] = {32,  64,  96,  128, 160, 192, 224,
                                                256, 288, 320, 352, 384, 416, 448};
                static const int kRates[3] = {44100, 48000, 32000};
                const int layer = 4 - ((es[at + 1] >> 1) & 3);
                const int index = es[at + 2] >> 4;
                const int rateIndex = (es[at + 2] >> 2) & 3;
                const int padding = (es[at + 2] >> 1) & 1;
                if (index == 0 || index == 15 || rateIndex == 3 || layer > 2 ||
                    !(es[at + 1] & 0x08)) {
                    Note("audio frame header this checker does not know");
                    return;
                }
                const int rate = kRates[rateIndex];
                if (layer == 1) {
                    bytes = (12 * kLayer1[index - 1] * 1000 / rate + padding) * 4;
                    duration = 384.0 / rate * kTicks;
                } else {
                    bytes = 144 * kLayer2[index - 1] * 1000 / rate + padding;
                    duration = 1152.0 / rate * kTicks;
                }
            } else if (es[at] == 0x0B && es[at + 1] == 0x77) {
                static const int kKbps[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                              192, 224, 256, 320, 384, 448, 512, 576, 640};
                const int sampling = es[at + 4] >> 6;
                const int code = es[at + 4] & 0x3F;
                if (sampling == 3 || code >= 38) {
                    Note("bad AC-3 frame header");
                    return;
                }
                const int rate = sampling == 0 ? 48000 : sampling == 1 ? 44100 : 32000;
                const int words =
                    kKbps[code / 2] * 1000 * 1536 / rate / 16 + (sampling == 1 ? (code & 1) : 0);
                bytes = 2 * words;
                duration = 1536.0 / rate * kTicks;
            } else {
                Note("audio stream loses frame sync at byte " + std::to_string(at));
                return;
            }
            Unit unit;
            unit.start = unit.stampAt = at;
            unit.end = at + static_cast<uint64_t>(bytes);
            unit.duration = duration;
            units.push_back(unit);
            at += static_cast<uint64_t>(bytes);
        }
        if (units.empty()) return;
        units.back().end = std::min<uint64_t>(units.back().end, es.size());
        if (stream.ac3) CheckSubHeaders(stream, units);
        AssignTimes(stream, units, units.front().duration, false);
        Replay(stream, units);
    }

    void CheckSubHeaders(StreamData& stream, const std::vector<Unit>& units) {
        size_t next = 0;
        for (const Packet& packet : stream.packets) {
            int frames = 0;
            int pointer = 0;
            while (next < units.size() && units[next].start < packet.esOffset) ++next;
            for (size_t u = next;
                 u < units.size() && units[u].start < packet.esOffset + packet.bytes; ++u) {
                if (frames++ == 0) pointer = static_cast<int>(units[u].start - packet.esOffset) + 1;
            }
            if (frames != packet.ac3Frames || pointer != packet.ac3Pointer) {
                ++stream.report.badSubHeaders;
                Note("AC-3 sub-header says " + std::to_string(packet.ac3Frames) + " frames at " +
                     std::to_string(packet.ac3Pointer) + ", data has " + std::to_string(frames) +
                     " at " + std::to_string(pointer));
            }
        }
    }

    // A packet's time stamps belong to the first unit that starts in it;
    // other units, and later units starting in the same packet, count on
    // from the one before.
    void AssignTimes(StreamData& stream, std::vector<Unit>& units, double period, bool video) {
        const Packet* lastUsed = nullptr;
        for (size_t i = 0; i < units.size(); ++i) {
            Unit& unit = units[i];
            const Packet* packet = PacketAt(stream, unit.stampAt);
            if (packet && packet != lastUsed && packet->hasPts) {
                lastUsed = packet;
                unit.pts = packet->pts;
                unit.dts = packet->hasDts ? packet->dts : packet->pts;
                ++stream.report.stampedUnits;
            }
            if (std::isnan(unit.dts)) {
                if (i == 0) {
                    Note("first unit of a stream has no time stamp");
                    unit.dts = 0;
                } else {
                    unit.dts = units[i - 1].dts + (video ? period : units[i - 1].duration);
                }
                unit.pts = video ? std::numeric_limits<double>::quiet_NaN() : unit.dts;
            }
        }
        double lastStamp = -1;
        for (const Unit& unit : units) {
            if (std::isnan(unit.pts)) continue;
            if (lastStamp >= 0 && unit.pts - lastStamp > kLargestStampGap)
                ++stream.report.stampGaps;
            lastStamp = std::max(lastStamp, unit.pts);
        }
        double first = std::numeric_limits<double>::infinity();
        double end = 0;
        for (const Unit& unit : units) {
            // A video unit without its own PTS is shown in display order
            // somewhere between its neighbours; its decoding time bounds it.
            const double shown = std::isnan(unit.pts) ? unit.dts : unit.pts;
            first = std::min(first, shown);
            end = std::max(end, shown + unit.duration);
        }
        stream.report.firstPtsSeconds = first / kTicks;
        stream.report.endSeconds = end / kTicks;
    }

    void Replay(StreamData& stream, const std::vector<Unit>& units) {
        StdStreamReport& report = stream.report;
        report.units = units.size();
        if (report.bufferBytes == 0) {
            Note("stream " + std::to_string(report.key) + " never states its buffer size");
            report.bufferBytes = std::numeric_limits<uint64_t>::max() / 2;
        }
        // Events: packets add bytes when they begin to arrive, units leave at
        // their decoding time; a removal at the same time comes first.
        struct Event {
            double time;
            int order;  // 0 removal, 1 arrival
            int64_t bytes;
        };
        std::vector<Event> events;
        for (const Packet& packet : stream.packets) {
            events.push_back(
                {packet.Arrival(packet.esOffset), 1, static_cast<int64_t>(packet.bytes)});
        }
        report.smallestMarginTicks = std::numeric_limits<double>::infinity();
        for (const Unit& unit : units) {
            if (unit.end <= unit.start) continue;
            const Packet* first = PacketAt(stream, unit.start);
            const Packet* last = PacketAt(stream, unit.end - 1);
            if (!first || !last) continue;
            const double firstArrival = first->Arrival(unit.start);
            const double lastArrival = last->Arrival(unit.end - 1);
            const double margin = unit.dts - lastArrival;
            report.smallestMarginTicks = std::min(report.smallestMarginTicks, margin);
            if (margin < -kStampTolerance) {
                ++report.underflows;
                Note("stream " + std::to_string(report.key) + ": unit at byte " +
                     std::to_string(unit.start) + " complete " + std::to_string(-margin / 27000.0) +
                     " ms after its decoding time");
            }
            if (unit.dts - firstArrival > kLongestWait + kStampTolerance) ++report.longWaits;
            events.push_back({unit.dts, 0, -static_cast<int64_t>(unit.end - unit.start)});
        }
        // Data before the first unit never leaves; it stays in the count.
        std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
            return a.time < b.time || (a.time == b.time && a.order < b.order);
        });
        int64_t occupancy = 0;
        for (const Event& event : events) {
            occupancy += event.bytes;
            if (event.bytes > 0 && occupancy > static_cast<int64_t>(report.bufferBytes)) {
                ++report.overflows;
                Note("stream " + std::to_string(report.key) + ": buffer holds " +
                     std::to_string(occupancy) + " of " + std::to_string(report.bufferBytes) +
                     " bytes at " + std::to_string(event.time / kTicks) + " s");
            }
        }
    }

    std::vector<uint8_t> file_;
    StdReport report_;
    std::map<int, StreamData> streams_;
};

}  // namespace

uint64_t StdReport::Overflows() const {
    uint64_t total = 0;
    for (const auto& [key, stream] : streams) total += stream.overflows;
    return total;
}

uint64_t StdReport::Underflows() const {
    uint64_t total = 0;
    for (const auto& [key, stream] : streams) total += stream.underflows;
    return total;
}

std::string StdReport::Summary() const {
    std::ostringstream text;
    text << (error.empty() ? "" : "error: " + error + "; ") << packs << " packs (" << smallestPack
         << ".." << largestPack << " bytes, " << paddingPacks << " padding, " << navigationPacks
         << " navigation), mux rate " << muxRate << ", SCR problems " << scrProblems;
    for (const auto& [key, stream] : streams) {
        char margin[32];
        std::snprintf(margin, sizeof margin, "%.1f", stream.smallestMarginTicks / 27000.0);
        text << "; stream 0x" << std::hex << key << std::dec << ": " << stream.units << " units ("
             << stream.stampedUnits << " stamped), buffer " << stream.bufferBytes << ", overflows "
             << stream.overflows << ", underflows " << stream.underflows << ", least margin "
             << margin << " ms, long waits " << stream.longWaits << ", stamp gaps "
             << stream.stampGaps << ", bad sub-headers " << stream.badSubHeaders;
    }
    for (const std::string& note : notes) text << "\n  " << note;
    return text.str();
}

StdReport CheckProgramStream(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        StdReport report;
        report.error = "cannot open " + path;
        return report;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return Checker(std::move(bytes)).Run();
}

}  // namespace test
