// Reads YUV4MPEG2 files: the stream header (size, rate, chroma layout) and
// the pictures one by one into a YuvFrame's picture area.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/video/yuv_frame.h"

namespace korvan {

struct Y4mHeader {
    int width = 0;
    int height = 0;
    int chromaFormat = kChroma420;
    int rateNumerator = 25;
    int rateDenominator = 1;
};

class Y4mReader {
public:
    // kSourceFailed, with the reason, when the file cannot be opened or its
    // header is not a YUV4MPEG2 header this reader understands.
    Status Open(const std::string& path);

    const Y4mHeader& Header() const { return header_; }

    // Counts the whole pictures from the current position to the end
    // without reading them, then returns to where it was (-1 when the file
    // cannot be measured).
    int CountPictures();

    // Reads the next picture into `frame` (allocated for at least the
    // picture size): 1 read, 0 at the end, -1 on a damaged file.
    int ReadPicture(YuvFrame& frame);

private:
    bool ReadLine(std::string& line);

    // The stream's buffer: pictures are read a row at a time, and a buffer
    // of a few rows would cost a system call every few rows. It outlives
    // the stream.
    std::vector<char> buffer_;
    std::unique_ptr<FILE, int (*)(FILE*)> file_{nullptr, std::fclose};
    Y4mHeader header_;
};

// The Y4M header line of a picture size, rate and chroma layout.
std::string MakeY4mHeaderLine(const Y4mHeader& header);

// Writes pictures (the picture area of each frame) to a YUV4MPEG2 file.
class Y4mWriter {
public:
    bool Open(const std::string& path, const Y4mHeader& header);
    bool WritePicture(const YuvFrame& frame);
    bool Close();

private:
    std::unique_ptr<FILE, int (*)(FILE*)> file_{nullptr, std::fclose};
    Y4mHeader header_;
    bool failed_ = false;
};

}  // namespace korvan
