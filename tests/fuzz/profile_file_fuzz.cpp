// A profile file of any content for any target: the tables load, and every
// profile in them (and beyond them) gives encoder options, its codec and the
// device check without reading outside the program's value lists.
#include "app/profiles/encoder_options.h"
#include "app/profiles/profile_files.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const int target = fields.Byte() % kTargetCount;
    const std::string_view fileName = ProfileFileName(target);
    if (fileName.empty()) return;
    fuzz::WriteScratchFile(std::string(fileName), fields.Rest());

    const ProfileFiles files(fuzz::ScratchFolder());
    ProfileTables tables;
    files.LoadAll(tables);
    FUZZ_CHECK(tables[target].count >= 0 && tables[target].count <= kMaxProfiles);
    for (int index = 0; index <= tables[target].count; ++index) {
        BuildEncoderOptions(files, target, index);
        ProfileVideoCodec(files, target, index);
        DeviceLimitWarning(files, target, index);
    }
}
