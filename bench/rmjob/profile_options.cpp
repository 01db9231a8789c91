// Prints the ffmpeg options the program builds for a target's profile, so
// that a benchmark can run ffmpeg exactly as the program would.
//
//   profile-options PROGRAM_FOLDER TARGET PROFILE
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/profiles/encoder_options.h"
#include "app/profiles/profile_files.h"
#include "platform/file_names.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: profile-options PROGRAM_FOLDER TARGET PROFILE\n");
        return 2;
    }
    const ProfileFiles files(platform::WithTrailingSlash(argv[1]));
    std::printf("%s\n", BuildEncoderOptions(files, std::atoi(argv[2]), std::atoi(argv[3])).c_str());
    return 0;
}
