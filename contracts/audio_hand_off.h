// The hand-off file between the conversion library and the audio converter
// "merrow": an INI file under a fixed name in the per-user temporary folder.
// The library fills it and starts the converter, which reads it and writes
// the MP3 of an intermediate AVI's sound; its exit code says how that went.
//
// Both sides include this header, so a key is spelled once.
#pragma once

namespace audio_hand_off {

inline constexpr char kFileName[] = "zarvo.ini";
// In the program folder.
inline constexpr char kConverterName[] = "merrow";

inline constexpr char kSection[] = "zarvo";
inline constexpr char kRunKey[] = "run";
// 1, with kToMp3Key 1: an MP3 of kSourceKey is asked for, written to
// kTargetKey.
inline constexpr char kActionKey[] = "action";
inline constexpr char kToMp3Key[] = "2mp3";
inline constexpr char kSourceKey[] = "source";
inline constexpr char kTargetKey[] = "target";
// The part of the sound to keep, in seconds; an end not after the start
// keeps the sound to its end.
inline constexpr char kStartTimeKey[] = "time1";
inline constexpr char kEndTimeKey[] = "time2";

// The converter's exit codes.
inline constexpr int kMp3Written = 0;
inline constexpr int kConversionFailed = 1;
inline constexpr int kNothingToDo = 2;

}  // namespace audio_hand_off
