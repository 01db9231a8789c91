// The job file "Tobrin.ini" in the host's folder, the library's only channel
// to the program: the job's description (written by the program before the
// host starts) and its progress, tip text and result (written here).
//
// The program reads the file while the job runs; every key is one whole
// locked write of the INI layer, so it never sees half a value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "contracts/real_media_job_file.h"

namespace korvan {

// The job as the program described it.
struct JobDescription {
    int startSeconds = 0;  // "stime"
    int endSeconds = 0;    // "etime"
    int mediaType = 0;
    bool temporaryInputs = false;  // "dvdmode"
    int inputCount = 0;            // "number"
    std::vector<std::string> inputs;
    bool merge = false;  // off for fewer than two inputs
    int operation = job_file::kConvertOperation;
    std::string plannedResult;  // "tempavifilename" as the program planned it
};

// One job file, every call going to the file.
class JobFile {
public:
    explicit JobFile(std::string path) : path_(std::move(path)) {}

    const std::string& Path() const { return path_; }

    // Reads the description. Inputs are "file000" onwards, as many as
    // "number" says; a count that is negative or beyond what the file can
    // hold reads only the keys that are there.
    JobDescription ReadDescription() const;

    int ReadCommonInt(std::string_view key, int defaultValue) const;
    void WriteCommonInt(std::string_view key, int value) const;
    // Line breaks in the text become blanks: a value is one line.
    void WriteCommonText(std::string_view key, std::string_view text) const;
    void WriteResultName(const std::string& path) const;

private:
    std::string path_;
};

}  // namespace korvan
