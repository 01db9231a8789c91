#include "korvan/mpegenc/driver/stream_append.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "korvan/mpegenc/common/format_text.h"

namespace korvan {
namespace {

constexpr size_t kCopyBufferBytes = 10000;

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

}  // namespace

std::string AppendStream(const std::string& target, const std::string& appended) {
    File in(std::fopen(appended.c_str(), "rb"), std::fclose);
    if (!in) return FormatText("Input file %s was not found.", appended.c_str());
    File out(std::fopen(target.c_str(), "ab"), std::fclose);
    if (!out || std::fseek(out.get(), 0, SEEK_END) != 0) {
        return FormatText("Unable to open file %s for writing.", target.c_str());
    }
    const long kept = std::ftell(out.get());
    std::string problem;
    char buffer[kCopyBufferBytes];
    size_t got = 0;
    while (problem.empty() && (got = std::fread(buffer, 1, sizeof buffer, in.get())) > 0) {
        if (std::fwrite(buffer, 1, got, out.get()) != got)
            problem = "Unable to write to output file.";
    }
    if (problem.empty() && std::ferror(in.get())) problem = "Error reading from an input file.";
    if (std::fclose(out.release()) != 0 && problem.empty())
        problem = "Unable to write to output file.";
    if (!problem.empty()) {
        // The first stream stays as it was, without a part of the next one.
        if (kept >= 0 && ::truncate(target.c_str(), kept) != 0)
            problem += " " + target + " is damaged.";
        return problem;
    }
    in.reset();
    ::unlink(appended.c_str());
    return {};
}

}  // namespace korvan
