// The program's settings file, which the conversion library reads too: it
// lies in the folder of the writable files, and the library takes the
// export folder from it.
//
// Both sides include this header, so a key is spelled once.
#pragma once

namespace program_settings {

inline constexpr char kFileName[] = "zarvo.ini";
inline constexpr char kCommonSection[] = "common";
// Where converted files go; "" for the default.
inline constexpr char kExportFolderKey[] = "exportfolder";

}  // namespace program_settings
