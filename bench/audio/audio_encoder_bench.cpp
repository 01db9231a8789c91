// The audio encoder beside the free layer II encoders people already use:
// the same signal through this encoder (as a library call and through
// zarvo-mpegenc), twolame and ffmpeg's mp2 encoder at the same bitrate and
// mode. Prints for each the seconds taken (best of several runs, one
// thread), the multiple of real time, and the signal-to-noise ratio of what
// ffmpeg decodes against the input once the coder's delay is taken out.
//
//   audio_encoder_bench [--seconds 60] [--bitrate 224] [--mode stereo|joint|dual|mono]
//                       [--model 1|2] [--runs 3]

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/audio/audio_tables.h"
#include "korvan/mpegenc/settings/encoder_settings.h"
#include "platform/program_lookup.h"
#include "tests/support/pcm_compare.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::StatusCode;

struct BenchOptions {
    int seconds = 60;
    int bitrateKbps = 224;
    std::string mode = "stereo";
    int model = 2;
    int runs = 3;
};

bool ParseOptions(int argc, char** argv, BenchOptions& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--seconds") {
            o.seconds = std::atoi(value.c_str());
        } else if (name == "--bitrate") {
            o.bitrateKbps = std::atoi(value.c_str());
        } else if (name == "--mode") {
            o.mode = value;
        } else if (name == "--model") {
            o.model = std::atoi(value.c_str());
        } else if (name == "--runs") {
            o.runs = std::atoi(value.c_str());
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && o.seconds > 0 && o.runs > 0 && (o.model == 1 || o.model == 2) &&
           (o.mode == "stereo" || o.mode == "joint" || o.mode == "dual" || o.mode == "mono");
}

int ModeNumber(const std::string& mode) {
    return mode == "stereo" ? 0 : mode == "joint" ? 1 : mode == "dual" ? 2 : 3;
}

int BitrateIndex(int kbps) {
    for (int i = 1; i <= 14; ++i) {
        if (korvan::audio::BitrateKbps(2, i) == kbps) return i;
    }
    return -1;
}

bool Run(const std::vector<std::string>& args) {
    const test::ProgramRun run = test::RunProgram(args);
    if (run.exitCode != 0) {
        std::fprintf(stderr, "%s failed: %s%s\n", args[0].c_str(), run.out.c_str(),
                     run.err.c_str());
    }
    return run.exitCode == 0;
}

std::string Tool(const char* name) {
    const std::string path = platform::FindProgram(name, "");
    if (path.empty()) std::fprintf(stderr, "%s is not installed\n", name);
    return path;
}

// Music-like: three plucked chords over a sine bass, a pink noise bed and a
// noise hit every half second, different in the two channels.
bool MakeMusic(const test::TempDir& folder, int seconds, const std::string& out) {
    const std::string sox = Tool("sox");
    const char* chords[3][5] = {{"C3", "E3", "G3", "C4", "130.8"},
                                {"F3", "A3", "C4", "F4", "174.6"},
                                {"G2", "B3", "D4", "G4", "98"}};
    std::vector<std::string> joined = {sox};
    for (int c = 0; c < 3; ++c) {
        const std::string name = folder / ("chord" + std::to_string(c) + ".wav");
        if (!Run({sox,
                  "-n",
                  "-r",
                  "44100",
                  "-c",
                  "2",
                  "-b",
                  "16",
                  name,
                  "synth",
                  "2",
                  "pluck",
                  chords[c][0],
                  "pluck",
                  chords[c][1],
                  "pluck",
                  chords[c][2],
                  "pluck",
                  chords[c][3],
                  "sine",
                  chords[c][4],
                  "remix",
                  "1v0.3,3v0.3,5v0.2",
                  "2v0.3,4v0.3,5v0.2"})) {
            return false;
        }
        joined.push_back(name);
    }
    joined.push_back(folder / "chord0.wav");
    joined.push_back(folder / "chords.wav");
    const int bars = (seconds + 7) / 8;
    return Run(joined) &&
           Run({sox, "-n", "-r", "44100", "-c", "2", "-b", "16", folder / "hit.wav", "synth", "0.5",
                "whitenoise", "fade", "q", "0.002", "0.08", "0.078", "vol", "0.25"}) &&
           Run({sox, "-n", "-r", "44100", "-c", "2", "-b", "16", folder / "bed.wav", "synth", "8",
                "pinknoise", "vol", "0.03"}) &&
           Run({sox, folder / "hit.wav", folder / "hits.wav", "repeat", "15"}) &&
           Run({sox, "-m", folder / "chords.wav", folder / "bed.wav", folder / "hits.wav",
                folder / "bar.wav"}) &&
           Run({sox, folder / "bar.wav", out, "repeat", std::to_string(bars - 1), "trim", "0",
                std::to_string(seconds)});
}

// Speech: espeak-ng's voice, brought to 44.1 kHz stereo and repeated.
bool MakeSpeech(const test::TempDir& folder, int seconds, const std::string& out) {
    const std::string sox = Tool("sox");
    const std::string voice = folder / "voice.wav";
    const std::string text =
        "The quick brown fox jumps over the lazy dog. Every player decodes the stream at a "
        "quality and speed that hold up beside the free layer two encoders people already use. "
        "Speech is a hard case for the model, with pauses, fricatives and voiced sounds.";
    if (!Run({Tool("espeak-ng"), "-w", voice, text})) return false;
    if (!Run({sox, voice, "-r", "44100", "-c", "2", "-b", "16", folder / "voice44.wav"})) {
        return false;
    }
    const test::Pcm once = test::ReadWav(folder / "voice44.wav");
    if (once.Frames() == 0) return false;
    const int repeats = static_cast<int>(seconds * 44100.0 / once.Frames()) + 1;
    return Run({sox, folder / "voice44.wav", out, "repeat", std::to_string(repeats), "trim", "0",
                std::to_string(seconds)});
}

struct Row {
    std::string encoder;
    double seconds = 0;
    test::AlignedSnr snr;
    bool ok = false;
};

// Best wall time of `runs` runs of `encode`.
double Time(int runs, const std::function<bool()>& encode, bool& ok) {
    double best = 1e30;
    ok = true;
    for (int r = 0; r < runs && ok; ++r) {
        const auto start = std::chrono::steady_clock::now();
        ok = encode();
        const double taken =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (taken < best) best = taken;
    }
    return best;
}

test::Pcm Downmix(const test::Pcm& stereo) {
    test::Pcm mono = stereo;
    mono.channels = 1;
    mono.samples.resize(stereo.Frames());
    for (size_t i = 0; i < stereo.Frames(); ++i) {
        mono.samples[i] =
            static_cast<int16_t>((stereo.samples[2 * i] + stereo.samples[2 * i + 1]) / 2);
    }
    return mono;
}

std::vector<Row> BenchSignal(const BenchOptions& o, const test::TempDir& folder,
                             const std::string& wav) {
    const test::Pcm input = test::ReadWav(wav);
    const int mode = ModeNumber(o.mode);
    const int index = BitrateIndex(o.bitrateKbps);
    const std::string kbps = std::to_string(o.bitrateKbps);
    korvan::EncoderSettings settings;
    settings.audioLayer = 2;
    settings.audioMode = mode;
    settings.audioBitrate = index;
    settings.psychModel = o.model;
    const std::string ini = folder / "bench.ini";
    test::WriteFile(ini, "[audio]\naudioLayer=2\naudioMode=" + std::to_string(mode) +
                             "\naudioBitrate=" + std::to_string(index) +
                             "\npsychModel=" + std::to_string(o.model) + "\n");
    const std::string twolame = Tool("twolame");
    const std::string ffmpeg = Tool("ffmpeg");
    const std::string twolameMode = o.mode.substr(0, 1);

    struct Encoder {
        std::string name;
        std::function<bool(const std::string& out)> encode;
    };
    const std::vector<Encoder> encoders = {
        {"zarvo (library call)",
         [&](const std::string& out) {
             size_t offset = 0;
             const auto* bytes = reinterpret_cast<const uint8_t*>(input.samples.data());
             const size_t total = input.samples.size() * 2;
             korvan::audio::AudioCallbacks callbacks;
             callbacks.fetch = [&](korvan::audio::PcmBlock& block) {
                 if (offset >= total) return korvan::audio::FetchResult::kEnd;
                 block.bytes = bytes + offset;
                 block.byteCount = std::min<size_t>(65536, total - offset);
                 offset += block.byteCount;
                 return korvan::audio::FetchResult::kBlock;
             };
             return korvan::audio::EncodeAudioStream(settings, {input.sampleRateHz, input.channels},
                                                     out, callbacks)
                        .status.code == StatusCode::kOk;
         }},
        {"zarvo-mpegenc",
         [&](const std::string& out) {
             return Run({std::string(ZARVO_PROGRAM_FOLDER) + "zarvo-mpegenc", "--target", "mpeg1",
                         "--settings", ini, "--audio", wav, "--audio-es", out});
         }},
        {"twolame",
         [&](const std::string& out) {
             return Run({twolame, "--quiet", "-b", kbps, "-m", twolameMode, wav, out});
         }},
        {"twolame -P 2",
         [&](const std::string& out) {
             return Run({twolame, "--quiet", "-P", "2", "-b", kbps, "-m", twolameMode, wav, out});
         }},
        {"ffmpeg mp2",
         [&](const std::string& out) {
             std::vector<std::string> args = {ffmpeg,     "-nostdin", "-v", "error", "-y",
                                              "-threads", "1",        "-i", wav};
             if (mode == 3) args.insert(args.end(), {"-ac", "1"});
             args.insert(args.end(), {"-c:a", "mp2", "-b:a", kbps + "k", out});
             return Run(args);
         }},
    };

    const test::Pcm reference = mode == 3 ? Downmix(input) : input;
    std::vector<Row> rows;
    for (const Encoder& encoder : encoders) {
        Row row;
        row.encoder = encoder.name;
        const std::string out = folder / "out.mp2";
        row.seconds = Time(
            o.runs, [&] { return encoder.encode(out); }, row.ok);
        if (row.ok) {
            std::string errors;
            const test::Pcm decoded = test::DecodeWithFfmpeg(out, reference.channels, &errors);
            row.ok = errors.empty();
            if (!row.ok)
                std::fprintf(stderr, "ffmpeg decoding %s: %s", encoder.name.c_str(),
                             errors.c_str());
            row.snr = test::CompareAligned(reference, decoded, 2000);
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

int main(int argc, char** argv) {
    BenchOptions o;
    if (!ParseOptions(argc, argv, o) || BitrateIndex(o.bitrateKbps) < 0) {
        std::fprintf(stderr,
                     "usage: audio_encoder_bench [--seconds 60] [--bitrate 224] "
                     "[--mode stereo|joint|dual|mono] [--model 1|2] [--runs 3]\n");
        return 2;
    }
    test::TempDir folder("zarvo audio bench");
    const std::string music = folder / "music.wav";
    const std::string speech = folder / "speech.wav";
    if (!MakeMusic(folder, o.seconds, music) || !MakeSpeech(folder, o.seconds, speech)) return 1;

    std::printf(
        "Layer II, %d kbit/s, %s, psychoacoustic model %d; %d s at 44.1 kHz, best of %d\n\n",
        o.bitrateKbps, o.mode.c_str(), o.model, o.seconds, o.runs);
    std::printf("%-8s %-22s %8s %11s %8s %6s\n", "signal", "encoder", "seconds", "x realtime",
                "SNR dB", "delay");
    bool allOk = true;
    for (const auto& [name, wav] : {std::pair{"music", music}, std::pair{"speech", speech}}) {
        const std::vector<Row> rows = BenchSignal(o, folder, wav);
        double bestPeerSnr = -1e9;
        double twolameSeconds = 0;
        for (const Row& r : rows) {
            std::printf("%-8s %-22s %8.3f %11.1f %8.2f %6d%s\n", name, r.encoder.c_str(), r.seconds,
                        o.seconds / r.seconds, r.snr.snrDb, r.snr.delay, r.ok ? "" : "  FAILED");
            allOk = allOk && r.ok;
            if (r.encoder.rfind("zarvo", 0) != 0) bestPeerSnr = std::max(bestPeerSnr, r.snr.snrDb);
            if (r.encoder == "twolame") twolameSeconds = r.seconds;
        }
        std::printf(
            "%-8s SNR against the best peer: %+.2f dB; speed against twolame: %.2fx "
            "(library), %.2fx (zarvo-mpegenc)\n\n",
            name, rows[0].snr.snrDb - bestPeerSnr, twolameSeconds / rows[0].seconds,
            twolameSeconds / rows[1].seconds);
    }
    return allOk ? 0 : 1;
}
