// ffmpeg as an independent client of the encoder's output in tests: it
// makes the test clips and decodes the streams the encoder writes.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "korvan/media/y4m_reader.h"
#include "korvan/mpegenc/video/yuv_frame.h"

namespace test {

inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

// Runs a shell command; returns its exit status and what it printed on
// standard output and standard error.
inline int RunCommand(const std::string& command, std::string* output = nullptr) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) text.append(buffer, n);
    const int status = pclose(pipe);
    if (output) *output = text;
    return status;
}

// testsrc2: moving colour pattern with text; pan: a detailed, noisy still
// (a fractal with grain) panned 3 pels right and 2 down per picture;
// interlaced pan: the same panned per field, the two fields of a picture
// taken a field period apart (top field first).
enum class Clip { kTestPattern, kPan, kInterlacedPan };

inline bool MakeClip(const std::string& path, Clip clip, int width, int height, int pictures,
                     const std::string& pixelFormat = "yuv420p", const std::string& rate = "25") {
    std::string source;
    if (clip == Clip::kTestPattern) {
        source = "testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) +
                 ":rate=" + rate;
    } else if (clip == Clip::kInterlacedPan) {
        source = "mandelbrot=s=" + std::to_string(width + 6 * pictures + 8) + "x" +
                 std::to_string(height + 4 * pictures + 8) +
                 ":rate=50,trim=end_frame=1,noise=alls=20,gblur=sigma=0.7,loop=loop=-1:size=1,"
                 "setpts=N/50/TB,crop=" +
                 std::to_string(width) + ":" + std::to_string(height) +
                 ":x='n*3':y='n*2',interlace=scan=tff:lowpass=off";
    } else {
        source = "mandelbrot=s=" + std::to_string(width + 3 * pictures + 8) + "x" +
                 std::to_string(height + 2 * pictures + 8) + ":rate=" + rate +
                 ",trim=end_frame=1,noise=alls=20,gblur=sigma=0.7,loop=loop=-1:size=1,"
                 "setpts=N/25/TB,crop=" +
                 std::to_string(width) + ":" + std::to_string(height) + ":x='n*3':y='n*2'";
    }
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i \"" + source + ",format=" + pixelFormat + "\" -frames:v " +
        std::to_string(pictures) + " -f yuv4mpegpipe -strict -1 " + ShellQuote(path);
    return RunCommand(command) == 0;
}

// One picture's three planes, packed.
using Picture = std::vector<uint8_t>;

inline std::vector<Picture> ReadY4mPictures(const std::string& path) {
    std::vector<Picture> pictures;
    korvan::Y4mReader reader;
    if (!reader.Open(path).IsOk()) return pictures;
    const korvan::Y4mHeader h = reader.Header();
    korvan::YuvFrame frame;
    frame.Allocate(korvan::MakeCodingGeometry(h.width, h.height, h.chromaFormat, false));
    const int cw = h.chromaFormat == 3 ? h.width : (h.width + 1) / 2;
    const int ch = h.chromaFormat == 1 ? (h.height + 1) / 2 : h.height;
    while (reader.ReadPicture(frame) == 1) {
        Picture p;
        for (int c = 0; c < 3; ++c) {
            const int w = c ? cw : h.width;
            const int hh = c ? ch : h.height;
            for (int y = 0; y < hh; ++y) {
                const uint8_t* row = frame.plane(c).Row(y);
                p.insert(p.end(), row, row + w);
            }
        }
        pictures.push_back(std::move(p));
    }
    return pictures;
}

struct Decoded {
    std::string messages;  // what ffmpeg printed at -v error
    int status = -1;
    std::vector<Picture> pictures;
};

// Decodes every picture of an elementary stream in display order, one
// output picture per coded picture.
inline Decoded DecodeWithFfmpeg(const std::string& stream, const std::string& scratchY4m,
                                const std::string& pixelFormat = "yuv420p") {
    Decoded d;
    d.status =
        RunCommand("ffmpeg -v error -y -i " + ShellQuote(stream) + " -vsync passthrough -pix_fmt " +
                       pixelFormat + " -f yuv4mpegpipe -strict -1 " + ShellQuote(scratchY4m),
                   &d.messages);
    d.pictures = ReadY4mPictures(scratchY4m);
    return d;
}

// The lowest PSNR (dB) of any picture pair; 99 for identical pictures.
inline double WorstPsnr(const std::vector<Picture>& a, const std::vector<Picture>& b) {
    double worst = 99;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        double sum = 0;
        const size_t n = std::min(a[i].size(), b[i].size());
        for (size_t k = 0; k < n; ++k) {
            const double d = static_cast<double>(a[i][k]) - b[i][k];
            sum += d * d;
        }
        const double mse = n ? sum / n : 0;
        if (mse > 0) worst = std::min(worst, 10 * std::log10(255.0 * 255.0 / mse));
    }
    return worst;
}

// Mean PSNR of the luminance over all pictures.
inline double MeanLumaPsnr(const std::vector<Picture>& a, const std::vector<Picture>& b,
                           size_t lumaSize) {
    double total = 0;
    size_t count = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        double sum = 0;
        for (size_t k = 0; k < lumaSize; ++k) {
            const double d = static_cast<double>(a[i][k]) - b[i][k];
            sum += d * d;
        }
        const double mse = std::max(sum / lumaSize, 1e-3);
        total += 10 * std::log10(255.0 * 255.0 / mse);
        ++count;
    }
    return count ? total / count : 0;
}

}  // namespace test
