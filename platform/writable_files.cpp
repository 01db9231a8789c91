#include "writable_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_names.h"
#include "program_folder.h"
#include "unique_fd.h"
#include "user_profile.h"

namespace platform {
namespace {

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool MakeFolder(const std::string& folder) {
    return mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Writes `from`'s bytes to a new file `to` (which must not exist).
bool CopyToNewFile(const std::string& from, const std::string& to) {
    UniqueFd in(open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) return false;
    UniqueFd out(open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (!out) return false;
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(in.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return false;
        if (count == 0) break;
        for (ssize_t done = 0; done < count;) {
            const ssize_t written =
                write(out.get(), buffer + done, static_cast<size_t>(count - done));
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            done += written;
        }
    }
    return fsync(out.get()) == 0 && out.Close();
}

}  // namespace

std::string ChooseWritableFolder(const std::string& programFolder, const std::string& userFolder) {
    if (!Exists(programFolder + kSystemInstallMark) && access(programFolder.c_str(), W_OK) == 0) {
        return programFolder;
    }
    // The parent ($XDG_CONFIG_HOME or ~/.config) may not exist on a new account.
    const std::string folder = userFolder.substr(0, userFolder.size() - 1);
    MakeFolder(folder.substr(0, folder.rfind('/')));
    MakeFolder(folder);
    return userFolder;
}

const std::string& WritableFolder() {
    static const std::string folder = ChooseWritableFolder(ProgramFolder(), UserProfileFolder());
    return folder;
}

std::string WritableFilePath(std::string_view name) { return WritableFolder() + std::string(name); }

bool SeedFile(const std::string& shipped, const std::string& target) {
    if (Exists(ResolveFileName(target))) return true;
    // Copied under a name of its own and then linked to the target: link()
    // never replaces a file, so a user's file that appeared meanwhile (another
    // process seeding at the same moment) stays as it is.
    const std::string temporary = target + ".seed-" + std::to_string(getpid());
    unlink(temporary.c_str());
    bool seeded = CopyToNewFile(shipped, temporary) && link(temporary.c_str(), target.c_str()) == 0;
    unlink(temporary.c_str());
    return seeded || Exists(target);
}

}  // namespace platform
