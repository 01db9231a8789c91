#include "ui/jpeg_file.h"

// libjpeg's header needs the standard C declarations before it.
#include <csetjmp>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <cstdlib>

#include "platform/file_bytes.h"

namespace {

constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back to the call that set `recovery`. Nothing between
// the two frames owns a resource (libjpeg's are freed by jpeg_destroy).
struct ErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf recovery;
};

void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->recovery, 1);
}

// Warnings (a picture cut short, say) are not worth a line on the console.
void IgnoreMessage(j_common_ptr) {}

void InstallErrorManager(j_common_ptr info, ErrorManager& errors) {
    info->err = jpeg_std_error(&errors.standard);
    errors.standard.error_exit = JumpBack;
    errors.standard.output_message = IgnoreMessage;
}

std::uint8_t Ink(int component, int black) {
    // Adobe writes CMYK inverted: 255 means no ink.
    return static_cast<std::uint8_t>(component * black / 255);
}

// Reads the scan lines into the picture; may leave by JumpBack.
void ReadLines(jpeg_decompress_struct& info, Picture& picture, std::vector<JSAMPLE>& line) {
    jpeg_start_decompress(&info);
    const int components = info.output_components;
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        JSAMPROW row = components == 3 ? picture.Row(y) : line.data();
        jpeg_read_scanlines(&info, &row, 1);
        if (components == 3) continue;
        for (int x = 0; x < picture.Width(); ++x) {
            const JSAMPLE* p = line.data() + static_cast<std::size_t>(x * components);
            if (components == 1) {
                picture.SetPixel(x, y, {p[0], p[0], p[0]});
            } else {
                picture.SetPixel(x, y, {Ink(p[0], p[3]), Ink(p[1], p[3]), Ink(p[2], p[3])});
            }
        }
    }
    jpeg_finish_decompress(&info);
}

// The libjpeg part of decoding. Its frame holds only what libjpeg works on;
// the picture and the line buffer belong to the caller, so nothing whose
// value a jump back could leave unknown is used after it.
bool DecodeInto(std::span<const std::uint8_t> bytes, Picture& picture, std::vector<JSAMPLE>& line) {
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&info), errors);
    if (setjmp(errors.recovery) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK ||
        !IsPictureSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    info.out_color_space = cmyk ? JCS_CMYK : (grey ? JCS_GRAYSCALE : JCS_RGB);
    picture = Picture(static_cast<int>(info.image_width), static_cast<int>(info.image_height));
    line.resize(static_cast<std::size_t>(info.image_width) * 4);
    ReadLines(info, picture, line);
    jpeg_destroy_decompress(&info);
    return true;
}

// Compresses the rows; may leave by JumpBack.
void WriteLines(jpeg_compress_struct& info, const Picture& picture, int quality) {
    info.image_width = static_cast<JDIMENSION>(picture.Width());
    info.image_height = static_cast<JDIMENSION>(picture.Height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg's row type is not const, but it only reads input rows.
        JSAMPROW row = const_cast<JSAMPROW>(picture.Row(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
}

// The libjpeg part of encoding, kept apart from the caller's objects as in
// DecodeInto. `buffer` is libjpeg's (malloc'd); the caller frees it.
bool EncodeInto(const Picture& picture, int quality, unsigned char** buffer, unsigned long* size) {
    jpeg_compress_struct info{};
    ErrorManager errors{};
    InstallErrorManager(reinterpret_cast<j_common_ptr>(&info), errors);
    if (setjmp(errors.recovery) != 0) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, size);
    WriteLines(info, picture, quality);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::optional<Picture> DecodeJpeg(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    Picture picture;
    std::vector<JSAMPLE> line;
    if (!DecodeInto(bytes, picture, line) || picture.Empty()) return std::nullopt;
    return picture;
}

std::optional<Picture> LoadJpeg(const std::string& path) {
    const auto bytes = platform::ReadFileBytes(path, kMaxFileBytes);
    if (!bytes) return std::nullopt;
    return DecodeJpeg(*bytes);
}

std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality) {
    if (picture.Empty()) return {};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    std::vector<std::uint8_t> bytes;
    if (EncodeInto(picture, quality, &buffer, &size) && buffer) bytes.assign(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

bool SaveJpeg(const std::string& path, const Picture& picture, int quality) {
    const std::vector<std::uint8_t> bytes = EncodeJpeg(picture, quality);
    return !bytes.empty() && platform::WriteFileBytes(path, bytes);
}
