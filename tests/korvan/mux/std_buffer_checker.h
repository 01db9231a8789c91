// A test tool that replays a program stream through the system target
// decoder model of ISO/IEC 11172-1 and 13818-1: every byte enters its
// stream's buffer when the pack's SCR and the mux rate say it arrives, and
// every access unit leaves at its decoding time (the DTS or PTS of the packet
// it starts in, or the previous unit's time plus one picture or frame). It
// counts buffers that run over, units that are not complete when they are
// due, bytes that wait longer than a second and time stamps further apart
// than 0.7 s. It shares no code with the multiplexer it checks.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace test {

struct StdStreamReport {
    int key = 0;  // stream id, or 0x100 + sub-stream id in private stream 1
    uint64_t bufferBytes = 0;
    uint64_t packets = 0;
    uint64_t payloadBytes = 0;
    uint64_t units = 0;
    uint64_t stampedUnits = 0;
    uint64_t overflows = 0;
    uint64_t underflows = 0;
    uint64_t longWaits = 0;
    uint64_t stampGaps = 0;
    uint64_t badSubHeaders = 0;      // AC-3 sub-headers whose counts do not match the data
    double smallestMarginTicks = 0;  // least time between a unit's last byte and its removal
    double firstPtsSeconds = 0;
    double endSeconds = 0;  // presentation end of the last unit
    std::vector<uint8_t> elementaryStream;
};

struct StdReport {
    std::string error;  // set when the file is not a well-formed program stream
    bool mpeg2 = false;
    uint64_t packs = 0;
    uint64_t paddingPacks = 0;     // packs with nothing but padding
    uint64_t navigationPacks = 0;  // packs holding private stream 2
    uint64_t systemHeaders = 0;
    uint64_t smallestPack = 0;
    uint64_t largestPack = 0;
    uint32_t muxRate = 0;
    uint64_t scrProblems = 0;  // an SCR that goes back or comes sooner than the bytes allow
    bool endsWithEndCode = false;
    std::map<int, StdStreamReport> streams;
    std::vector<std::string> notes;  // the first problems found, for test output

    uint64_t Overflows() const;
    uint64_t Underflows() const;
    std::string Summary() const;
};

StdReport CheckProgramStream(const std::string& path);

}  // namespace test
