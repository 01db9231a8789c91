// FoxBurner, the disc-burning SDK: writes a DVD-Video folder, or VideoCD or
// SuperVCD tracks, to a disc in an optical drive, or into a disc image file
// through its image recorder device (an ISO for DVD-Video, BIN/CUE for
// VideoCD and SuperVCD).
//
// Clients load libFoxBurner.so and look its functions up by name. Every
// function is called on one thread, the caller's; the SDK does its long work
// (scanning a video, burning) while that thread runs its GLib main context
// (which is what a Qt event loop or QCoreApplication::processEvents does on
// Linux), and calls the event callbacks there, never from inside another SDK
// call.
//
// Functions that return an int give 0 for success and otherwise an error
// code that GetText turns into an English text.
#pragma once

#include <stdint.h>

#if defined(FOXBURNER_EXPORTS)
#define FOXBURNER_API __attribute__((visibility("default")))
#else
#define FOXBURNER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Project types of CreateProject.
enum {
    FOXBURNER_PROJECT_VIDEO_CD = 3,
    FOXBURNER_PROJECT_SUPER_VCD = 4,
    FOXBURNER_PROJECT_DVD_VIDEO = 5
};

enum {
    // One entry of GetDevices: a NUL-terminated text whose first character
    // is the device's letter, the value SetDevice takes.
    FOXBURNER_DEVICE_ENTRY_BYTES = 50,
    FOXBURNER_TEXT_FIELD_BYTES = 128,
    FOXBURNER_OPTIONS_BYTES = 412
};

// The options, read whole with GetOptions and written whole with SetOptions.
// In SetOptions a text field holding FOXBURNER_UNDEFINED_TEXT, a flag of 255
// and a number of -1 mean "not defined": that option keeps its value.
#define FOXBURNER_UNDEFINED_TEXT "BS_NDEF"
typedef struct FoxBurnerOptions {
    char volumeLabel[FOXBURNER_TEXT_FIELD_BYTES];  // the disc's name
    char publisher[FOXBURNER_TEXT_FIELD_BYTES];
    char applicationId[FOXBURNER_TEXT_FIELD_BYTES];
    uint8_t ejectAfterBurn;  // 0 or 1
    uint8_t finalize;        // 1: the disc is closed; 0: it stays appendable
    uint8_t reserved0[2];
    int32_t writeSpeed;  // drive speed factor; 0 lets the drive choose
    int32_t reserved1[5];
} FoxBurnerOptions;

// Error codes.
enum {
    FOXBURNER_OK = 0,
    FOXBURNER_ERROR_NOT_INITIALIZED = 1,
    FOXBURNER_ERROR_NO_PROJECT = 2,
    FOXBURNER_ERROR_BAD_PROJECT_TYPE = 3,
    FOXBURNER_ERROR_BAD_ARGUMENT = 4,
    FOXBURNER_ERROR_NO_SUCH_DEVICE = 5,
    FOXBURNER_ERROR_DEVICE_GONE = 6,
    FOXBURNER_ERROR_NO_WRITABLE_DISC = 7,
    FOXBURNER_ERROR_FOLDER_UNREADABLE = 8,
    FOXBURNER_ERROR_FILE_UNREADABLE = 9,
    FOXBURNER_ERROR_WRONG_PROJECT_TYPE = 10,
    FOXBURNER_ERROR_NOTHING_TO_BURN = 11,
    FOXBURNER_ERROR_NO_DVD_VIDEO = 12,
    FOXBURNER_ERROR_BUSY = 13,
    FOXBURNER_ERROR_NOT_PREPARED = 14,
    FOXBURNER_ERROR_NOT_BURNING = 15,
    FOXBURNER_ERROR_NO_IMAGE_FOLDER = 16,
    FOXBURNER_ERROR_IMAGE_FOLDER_NOT_WRITABLE = 17,
    FOXBURNER_ERROR_NO_ROOM = 18,
    FOXBURNER_ERROR_TOOL_MISSING = 19,
    FOXBURNER_ERROR_TOOL_FAILED = 20,
    FOXBURNER_ERROR_WRITE_FAILED = 21,
    FOXBURNER_ERROR_REFUSED_VIDEO = 22,
    FOXBURNER_ERROR_BUFFER_TOO_SMALL = 23
};

// Event callbacks; `context` is the value given when the callback was set.
typedef void (*FinalizeEventCallback)(void* context);
// `errorCode` is 0 when the burn succeeded.
typedef void (*BurnDoneEventCallback)(void* context, int errorCode);
// Percent done, the drive's buffer fill in percent, bytes written so far.
typedef void (*ProcessEventCallback)(void* context, float percent, float bufferPercent,
                                     double bytesWritten);
typedef void (*VideoScannerEventCallback)(void* context, float percent);
// The end of the scan of one file added to a VideoCD or SuperVCD project:
// `refused` is 1 when the file is not of the project's format; the rest
// describe its video (bit rate in bit/s, the aspect ratio code of its
// sequence header, picture size in pixels).
typedef void (*VideoScanDoneEventCallback)(void* context, const char* fileName, int refused,
                                           double frameRate, int bitRate, int aspectRatio,
                                           int width, int height);

FOXBURNER_API int Initialize(void);
// Kept for clients of the SDK's Windows form; there is no ASPI layer here.
FOXBURNER_API int SetASPI(int useAspi);
FOXBURNER_API void SetFinalizeEventCallback(FinalizeEventCallback callback, void* context);
FOXBURNER_API void SetBurnDoneEventCallback(BurnDoneEventCallback callback, void* context);
FOXBURNER_API void SetProcessEventCallback(ProcessEventCallback callback, void* context);
FOXBURNER_API void SetVideoScannerEventCallback(VideoScannerEventCallback callback, void* context);
FOXBURNER_API void SetVideoScanDoneEventCallback(VideoScanDoneEventCallback callback,
                                                 void* context);

// Starts an empty project of a type above (a former one is deleted).
FOXBURNER_API int CreateProject(int projectType);
FOXBURNER_API int GetOptions(FoxBurnerOptions* options);
FOXBURNER_API int SetOptions(const FoxBurnerOptions* options);
// Where the image recorder writes its image files (the client's export
// folder). Without it the image recorder is not ready.
FOXBURNER_API int SetImageFolder(const char* folder);

// Fills `entries` (room for *count entries of FOXBURNER_DEVICE_ENTRY_BYTES)
// with the optical drives Linux sees, then the image recorder, and sets
// *count to the number filled. `writersOnly` is accepted for compatibility:
// every drive listed can be tried for writing.
FOXBURNER_API int GetDevices(char* entries, int* count, int writersOnly);
// How the image recorder's entry ends (after its letter).
#define FOXBURNER_IMAGE_RECORDER_TEXT ": Image Recorder (ISO or BIN/CUE file)"
// Chooses the device by the first character of its entry.
FOXBURNER_API int SetDevice(char letter);

// Empties the project.
FOXBURNER_API int ClearAll(void);
// DVD-Video projects: adds the files of `folder` that match `pattern`
// (Windows wildcards: "*.*" is every file) at `discPath` ("\VIDEO_TS\",
// either slash). A folder path ending in a slash gives its contents; without
// one, the folder itself is placed inside `discPath`. `attributeMask` bit 2
// takes hidden (dot) files too; `recursive` 1 takes sub-folders.
FOXBURNER_API int AddDir(const char* folder, const char* discPath, const char* pattern,
                         int attributeMask, int recursive);
// VideoCD and SuperVCD projects: adds one MPEG file as the next track and
// scans it; the video scanner events report progress and the video scan done
// event the verdict. The file counts only once it is accepted.
FOXBURNER_API int AddFile(const char* path);

// 0 when the chosen device can take the project now (a writable disc in the
// drive; for the image recorder a writable image folder with room for at
// least the project's bytes), else the reason as an error code.
FOXBURNER_API int IsDeviceReady(void);
FOXBURNER_API int SetBurnSpeed(int speed);
// Checks the project against the chosen device and plans the burn.
FOXBURNER_API int Prepare(void);
// Starts the burn planned by Prepare and returns; process, finalize and burn
// done events follow. When it returns an error, a burn done event with that
// error follows as well.
FOXBURNER_API int Burn(void);
// Stops a running burn: the tools end, partly written image files are
// removed, and no further event of that burn arrives.
FOXBURNER_API int Abort(void);

// The text of an error code, NUL-terminated and cut to `size` bytes; for the
// error of the last burn or scan it names the tool's own complaint too.
FOXBURNER_API int GetText(int errorCode, char* text, int size);
// The image file the last successful burn of the image recorder wrote
// (its name made unique in the image folder), NUL-terminated; empty after
// a burn to a drive or before any burn. FOXBURNER_ERROR_BUFFER_TOO_SMALL
// (and an empty text) when the path does not fit in `size` bytes.
FOXBURNER_API int GetImageFile(char* path, int size);

// Ends the project: a running burn or scan is aborted, and no event arrives
// afterwards.
FOXBURNER_API int DeleteProject(void);

#ifdef __cplusplus
}
#endif
