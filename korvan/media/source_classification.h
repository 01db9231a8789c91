// How a job's input can be read: through the reader layer, through the
// RealMedia engine, or not at all. The job driver returns the code to the
// host and writes it into the job file.
#pragma once

#include <string>

namespace korvan::media {

// What the name and the first bytes of a file say.
struct RealMediaFlags {
    bool realMedia = false;  // ".rm", ".ram", ".rmvb", or the ".RMF" signature
    bool metafile = false;   // ".ram": a text file naming the presentation
};

// Sets `flags` from the extension and, when the file can be read, from its
// signature. False when the file cannot be opened or read (the flags the
// extension gave stay set).
bool IsRealMediaPath(const std::string& path, RealMediaFlags& flags);

// Either flag of IsRealMediaPath: what the exported test answers.
bool IsRealMediaFile(const std::string& path);

enum SourceClass : int {
    kSourceReadable = 0,    // the reader layer decodes a video and an audio stream
    kSourceUnopenable = 1,  // at least 1024 bytes, but it cannot be opened for reading
    kSourceTooShort = 2,    // shorter than 1024 bytes
    kSourceMissing = 3,     // no such file (a folder is not a file)
    kSourceUnreadable = 4,  // the reader layer cannot read it and it is not RealMedia
    kSourceRealMedia = 5,   // the reader layer cannot read it; the RealMedia engine plays it
};

inline constexpr long long kShortestSourceBytes = 1024;

// The library's own settings, from "zarvo.ini" in the folder of the writable
// files (the host's folder in a build tree, see platform/writable_files.h).
struct MediaLayerSettings {
    // "realmediareader" in section "korvan": 1 (the default) lets the reader
    // layer read RealMedia files; 0 refuses them, so that they go to the
    // RealMedia engine.
    bool readsRealMedia = true;
};

inline constexpr char kLibrarySection[] = "korvan";
inline constexpr char kRealMediaReaderKey[] = "realmediareader";

// `hostFolder` is the folder of the writable files; it ends in "/".
MediaLayerSettings ReadMediaLayerSettings(const std::string& hostFolder);

// The code of the table above; `flags` gets what IsRealMediaPath found.
int ClassifySource(const std::string& path, const MediaLayerSettings& settings,
                   RealMediaFlags& flags);

// True when the file has a video and an audio stream and one frame of each
// decodes. Never throws.
bool DecodesVideoAndAudio(const std::string& path);

}  // namespace korvan::media
