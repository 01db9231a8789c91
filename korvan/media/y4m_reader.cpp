#include "korvan/media/y4m_reader.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace korvan {
namespace {

// Header and picture lines are short; anything longer is not a Y4M file.
constexpr size_t kMaxLine = 4096;

int ChromaWidth(const Y4mHeader& h) {
    return h.chromaFormat == kChroma444 ? h.width : (h.width + 1) / 2;
}
int ChromaHeight(const Y4mHeader& h) {
    return h.chromaFormat == kChroma420 ? (h.height + 1) / 2 : h.height;
}
long long PictureBytes(const Y4mHeader& h) {
    return static_cast<long long>(h.width) * h.height + 2LL * ChromaWidth(h) * ChromaHeight(h);
}

bool ParseInt(const std::string& text, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    value = std::atoi(text.c_str());
    return true;
}

}  // namespace

bool Y4mReader::ReadLine(std::string& line) {
    line.clear();
    for (;;) {
        const int c = std::fgetc(file_.get());
        if (c == EOF) return false;
        if (c == '\n') return true;
        if (line.size() >= kMaxLine) return false;
        line.push_back(static_cast<char>(c));
    }
}

Status Y4mReader::Open(const std::string& path) {
    const auto refused = [](std::string reason) {
        return Status::Failed(StatusCode::kSourceFailed, std::move(reason));
    };
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        return refused("Cannot open " + path + ".");
    }
    constexpr size_t kBufferBytes = 1 << 20;
    buffer_.resize(kBufferBytes);
    std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
    std::string line;
    if (!ReadLine(line) || line.rfind("YUV4MPEG2", 0) != 0) {
        return refused(path + " is not a YUV4MPEG2 file.");
    }
    header_ = Y4mHeader{};
    size_t position = 9;
    while (position < line.size()) {
        while (position < line.size() && line[position] == ' ') ++position;
        const size_t end = std::min(line.find(' ', position), line.size());
        const std::string token = line.substr(position, end - position);
        position = end;
        if (token.empty()) continue;
        const std::string value = token.substr(1);
        bool ok = true;
        switch (token[0]) {
            case 'W':
                ok = ParseInt(value, header_.width);
                break;
            case 'H':
                ok = ParseInt(value, header_.height);
                break;
            case 'F': {
                const size_t colon = value.find(':');
                ok = colon != std::string::npos &&
                     ParseInt(value.substr(0, colon), header_.rateNumerator) &&
                     ParseInt(value.substr(colon + 1), header_.rateDenominator) &&
                     header_.rateDenominator > 0;
                break;
            }
            case 'C':
                if (value.rfind("420", 0) == 0) {
                    header_.chromaFormat = kChroma420;
                } else if (value == "422") {
                    header_.chromaFormat = kChroma422;
                } else if (value == "444") {
                    header_.chromaFormat = kChroma444;
                } else {
                    return refused(path + ": the chroma layout " + value + " is not supported.");
                }
                break;
            default:
                break;  // interlacing, aspect and comments do not matter here
        }
        if (!ok) {
            return refused(path + ": damaged YUV4MPEG2 header.");
        }
    }
    if (header_.width < 1 || header_.height < 1 || header_.width > 16383 ||
        header_.height > 16383) {
        return refused(path + ": unusable picture size in the YUV4MPEG2 header.");
    }
    return {};
}

int Y4mReader::CountPictures() {
    FILE* f = file_.get();
    const long start = std::ftell(f);
    if (start < 0 || std::fseek(f, 0, SEEK_END) != 0) return -1;
    const long long size = std::ftell(f);
    if (size < 0 || std::fseek(f, start, SEEK_SET) != 0) return -1;
    // Only whole pictures count; a cut-off last one is left out.
    int count = 0;
    std::string line;
    while (ReadLine(line) && line.rfind("FRAME", 0) == 0) {
        const long long next = std::ftell(f) + PictureBytes(header_);
        if (next > size || std::fseek(f, static_cast<long>(next), SEEK_SET) != 0) break;
        ++count;
    }
    std::clearerr(f);
    std::fseek(f, start, SEEK_SET);
    return count;
}

int Y4mReader::ReadPicture(YuvFrame& frame) {
    std::string line;
    if (!ReadLine(line)) return line.empty() ? 0 : -1;
    if (line.rfind("FRAME", 0) != 0) return -1;
    const int widths[3] = {header_.width, ChromaWidth(header_), ChromaWidth(header_)};
    const int heights[3] = {header_.height, ChromaHeight(header_), ChromaHeight(header_)};
    for (int c = 0; c < 3; ++c) {
        const Plane& plane = frame.plane(c);
        if (plane.width < widths[c] || plane.height < heights[c]) return -1;
        for (int y = 0; y < heights[c]; ++y) {
            if (std::fread(plane.Row(y), 1, widths[c], file_.get()) !=
                static_cast<size_t>(widths[c])) {
                return -1;
            }
        }
    }
    return 1;
}

std::string MakeY4mHeaderLine(const Y4mHeader& h) {
    const char* chroma = h.chromaFormat == kChroma444   ? "444"
                         : h.chromaFormat == kChroma422 ? "422"
                                                        : "420mpeg2";
    return "YUV4MPEG2 W" + std::to_string(h.width) + " H" + std::to_string(h.height) + " F" +
           std::to_string(h.rateNumerator) + ":" + std::to_string(h.rateDenominator) +
           " Ip A1:1 C" + chroma + "\n";
}

bool Y4mWriter::Open(const std::string& path, const Y4mHeader& header) {
    header_ = header;
    failed_ = false;
    file_.reset(std::fopen(path.c_str(), "wb"));
    if (!file_) return false;
    const std::string line = MakeY4mHeaderLine(header);
    return std::fwrite(line.data(), 1, line.size(), file_.get()) == line.size();
}

bool Y4mWriter::WritePicture(const YuvFrame& frame) {
    if (!file_) return false;
    failed_ |= std::fwrite("FRAME\n", 1, 6, file_.get()) != 6;
    const int widths[3] = {header_.width, ChromaWidth(header_), ChromaWidth(header_)};
    const int heights[3] = {header_.height, ChromaHeight(header_), ChromaHeight(header_)};
    for (int c = 0; c < 3; ++c) {
        const Plane& plane = frame.plane(c);
        for (int y = 0; y < heights[c]; ++y) {
            failed_ |= std::fwrite(plane.Row(y), 1, widths[c], file_.get()) !=
                       static_cast<size_t>(widths[c]);
        }
    }
    return !failed_;
}

bool Y4mWriter::Close() {
    if (!file_) return false;
    const bool closed = std::fclose(file_.release()) == 0;
    return closed && !failed_;
}

}  // namespace korvan
