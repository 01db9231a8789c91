// The job file "Tobrin.ini" between the program and the conversion host: the
// program writes the job's description before it starts the host; the
// library writes the progress, the tip text and the result back, and reads
// the stop request, while the program polls the file.
//
// Both sides include this header, so a key is spelled once.
#pragma once

#include <cstdio>
#include <string>

namespace job_file {

// In the folder of the writable files, beside the program's "zarvo.ini".
inline constexpr char kFileName[] = "Tobrin.ini";

// The inputs.
inline constexpr char kInputsSection[] = "infiles";
inline constexpr char kTemporaryInputsKey[] = "dvdmode";  // 1: the host deletes the inputs
inline constexpr char kInputCountKey[] = "number";
// The inputs themselves are "file000", "file001", ... (InputKey).

// The output.
inline constexpr char kOutputSection[] = "outformat";
inline constexpr char kResultNameKey[] = "tempavifilename";
inline constexpr char kMergeKey[] = "merge";
inline constexpr char kMediaTypeKey[] = "mediatype";

// The job's course, in both directions.
inline constexpr char kCommonSection[] = "common";
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

// "iErrorCode" values: what became of the job's first input, or of its
// outputs. They are also the host's exit code.
inline constexpr int kConverted = 0;
inline constexpr int kCannotOpen = 1;
inline constexpr int kTooShort = 2;  // shown as a text file
inline constexpr int kMissing = 3;
inline constexpr int kUnreadable = 4;
// Played by the RealMedia engine into an intermediate AVI, the result.
inline constexpr int kRealMedia = 5;
// The inputs were readable but not every output was made (a full disk, an
// export folder gone): the program shows no message of its own.
inline constexpr int kOutputFailed = 6;

// A RealMedia input the library could only play through the RealMedia
// engine comes back as an intermediate AVI named after it: the input's path
// and this.
inline constexpr char kIntermediateAviSuffix[] = "tmp.avi";

// The key of input `index`: "file000", "file001", ...
inline std::string InputKey(int index) {
    char key[32];
    std::snprintf(key, sizeof key, "file%03d", index);
    return key;
}

}  // namespace job_file
