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

namespace korvan {

inline constexpr char kJobFileName[] = "Tobrin.ini";

// Sections and keys of the job file.
inline constexpr char kInputsSection[] = "infiles";
inline constexpr char kOutputSection[] = "outformat";
inline constexpr char kCommonSection[] = "common";
inline constexpr char kTemporaryInputsKey[] = "dvdmode";
inline constexpr char kInputCountKey[] = "number";
inline constexpr char kResultNameKey[] = "tempavifilename";
inline constexpr char kMergeKey[] = "merge";
inline constexpr char kMediaTypeKey[] = "mediatype";
inline constexpr char kCancelKey[] = "canceltbr";
inline constexpr char kTipKey[] = "strtip";
inline constexpr char kErrorCodeKey[] = "iErrorCode";
inline constexpr char kPercentKey[] = "ipercent";
inline constexpr char kStartTimeKey[] = "stime";
inline constexpr char kEndTimeKey[] = "etime";
inline constexpr char kOperationKey[] = "operationid";
inline constexpr char kReadableKey[] = "IsReadable";

// "ipercent" once the job has ended.
inline constexpr int kJobEnded = -1;
// "operationid" values.
inline constexpr int kConvertOperation = 1;
inline constexpr int kTestReadableOperation = 2;

// The job as the program described it.
struct JobDescription {
    int startSeconds = 0;  // "stime"
    int endSeconds = 0;    // "etime"
    int mediaType = 0;
    bool temporaryInputs = false;  // "dvdmode"
    int inputCount = 0;            // "number"
    std::vector<std::string> inputs;
    bool merge = false;  // off for fewer than two inputs
    int operation = kConvertOperation;
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

// The key of input `index`: "file000", "file001", ...
std::string InputKey(int index);

}  // namespace korvan
