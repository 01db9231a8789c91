// The multiplexer's run: its state and its phases. Each phase is defined in
// a file of its own: checks and set-up (multiplexer_setup.cpp), timing
// (multiplexer_timing.cpp), files and splitting (multiplexer_files.cpp),
// packet choice and output (multiplexer_packets.cpp).
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/mux/multiplexer.h"
#include "korvan/mpegenc/mux/mux_stream.h"
#include "korvan/mpegenc/mux/pack_syntax.h"
#include "korvan/mpegenc/mux/program_file.h"
#include "platform/unique_fd.h"

namespace korvan::mux {

inline constexpr double kTicksPerMs = kTicksPerSecond / 1000;
inline constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Removes the temporary files however the multiplex ends.
class TemporaryFiles {
public:
    ~TemporaryFiles() {
        for (const std::string& path : paths_) ::unlink(path.c_str());
    }
    void Add(std::string path) { paths_.push_back(std::move(path)); }

private:
    std::vector<std::string> paths_;
};

struct Candidate {
    MuxStream* stream = nullptr;
    int index = 0;
    PacketPlan plan;
    bool canSend = false;
};

class Multiplexer {
public:
    Multiplexer(const EncoderSettings& settings, const MuxRequest& request, MuxHost& host)
        : settings_(settings), request_(request), host_(host), progress_(host) {}

    MuxReport Run();

private:
    Status CheckInput(const std::string& path, const char* openMessage);
    Status ScanStreams();
    Status SetUp();
    Status CreateStreams();
    Status PlaceStartAndStop();
    void ComputeDelays();
    Status WriteAll();

    Status OpenFile(const std::string& path);
    Status StartNextFile();
    Status EndFile(bool last);
    bool FileDone();
    bool AllDone() const;
    Status ArmSplit();
    Status WriteNextPack();
    Status Choose(size_t roomBytes, double scr, Candidate& chosen);
    Status WritePacket(BitWriter& out, Candidate& chosen, size_t roomBytes, double scr);
    Status WritePaddingPack(double scr, bool systemHeader);
    Status WriteNavigationPack(double scr);
    // Packs go out one behind, so that the program end code can still go
    // into the last pack's padding.
    Status WriteOut(BitWriter& out);
    Status FlushPendingPack();
    Status WriteEndCode();
    uint64_t FileBytes() const { return file_.Bytes() + pendingPack_.size(); }
    void Jump(double scr);
    // Sets the stream clocks of a file whose first units have source time
    // `base`: each stream starts at its delay, all of them later together
    // when the video could not arrive in time otherwise.
    Status StartClocks(double base);
    // The time the video needs ahead of its first decoding time so that no
    // later picture comes late, at the share of the mux rate it gets.
    Status VideoRunIn(uint64_t first, double& ticks);

    // Unit records of the video stream, by index.
    Status VideoUnitAt(uint64_t index, VideoUnit& unit);
    // The display time that begins the GOP of the I picture at `index`:
    // the I picture or a B picture that is shown before it.
    Status GroupStart(uint64_t index, double& ticks);
    Status FindI(uint64_t from, uint64_t to, double notBefore, uint64_t& found);
    Status FindAudio(MuxStream& stream, uint64_t from, double notBefore, uint64_t& found);
    Status EndsWithSequenceEnd(uint64_t unit, bool& ends);
    Status UnitReadFailed(const MuxStream& stream) const;

    double Scr() const { return scrOrigin_ + static_cast<double>(scrSlot_) * scrStep_; }
    bool IsVcd() const { return type_ == kStreamVcd; }
    bool IsSvcd() const { return type_ == kStreamSvcd; }
    bool IsDvd() const { return type_ == kStreamDvd; }
    SystemHeaderFields SystemHeader() const;
    Status InvalidSettings(const char* reason) const {
        return Status::Failed(FormatText("Invalid program stream settings: %s.", reason));
    }

    const EncoderSettings& settings_;
    const MuxRequest& request_;
    MuxHost& host_;
    ProgressThrottle progress_;
    MuxReport report_;
    TemporaryFiles temporary_;

    bool wantVideo_ = false;
    int audioCount_ = 0;
    std::string audioPaths_[2];
    std::string videoUnitsPath_;
    std::string audioUnitsPaths_[2];
    std::string scanPacksPath_;

    int type_ = 0;
    SystemSyntax syntax_ = SystemSyntax::kMpeg1;
    size_t sectorBytes_ = 0;
    int packetsPerPack_ = 1;
    uint32_t muxRate_ = 0;
    double scrStep_ = 0;
    double sectorDelayTicks_ = 0;
    double clockBase_ = 0;   // source time that the start-up delays count from
    double runInShift_ = 0;  // added to every delay of the current file
    bool scanOffsets_ = false;

    std::vector<std::unique_ptr<MuxStream>> streams_;
    std::vector<double> streamDelays_;
    std::vector<uint64_t> finalLimits_;
    MuxStream* video_ = nullptr;
    std::vector<uint8_t> firstSequenceHeader_;
    uint64_t totalUnits_ = 0;

    ProgramFile file_;
    std::string firstPath_;
    int fileNumber_ = 1;
    uint64_t packInFile_ = 0;
    int64_t scrSlot_ = 0;
    double scrOrigin_ = 0;
    std::vector<bool> stdSent_;
    bool splitArmed_ = false;
    bool audioCut_ = false;
    bool noMoreSplits_ = false;
    uint64_t navigationUnit_ = ~uint64_t{0};
    platform::UniqueFd scanPacks_;
    std::vector<Candidate> candidates_;
    std::vector<uint8_t> data_;
    std::vector<uint8_t> pendingPack_;
    size_t pendingPadding_ = 0;  // bytes of the padding packet that ends the pending pack
    size_t lastPadding_ = 0;     // the same for the pack being built
};

}  // namespace korvan::mux
