#include "private_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <functional>
#include <optional>

#include "file_names.h"
#include "ini_text.h"
#include "unique_fd.h"

namespace platform {
namespace {

// Settings and job files are a few kilobytes. A file far beyond that is not
// one of ours; reading it whole would only waste memory, and rewriting a cut
// copy would destroy it, so writes to it are refused.
constexpr off_t kLargestFileBytes = 64 * 1024 * 1024;

bool ReadAll(int fd, std::string& text) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || info.st_size > kLargestFileBytes) return false;
    text.clear();
    text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > static_cast<std::size_t>(kLargestFileBytes)) return false;
    }
}

// The file's text, or nothing when it is absent or unreadable.
std::optional<std::string> ReadText(const std::string& path) {
    UniqueFd fd(open(ResolveFileName(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    std::string text;
    if (!ReadAll(fd.get(), text)) return std::nullopt;
    return text;
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        ssize_t put = write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes the whole text to a new file beside `path` and renames it over
// `path`: readers see the old file or the new one, never a mixture.
bool ReplaceFile(const std::string& path, std::string_view text, mode_t mode) {
    std::string temporary = FolderOf(path) + "/.ini-XXXXXX";
    UniqueFd fd(mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd) return false;
    bool written = fchmod(fd.get(), mode) == 0 && WriteAll(fd.get(), text);
    written = fd.Close() && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Runs one read-modify-write of the file under an exclusive advisory lock.
// The lock is taken on the file itself; a writer that waited while another
// one renamed a new file into place finds its descriptor stale and locks the
// new file instead, so no update is made on an old copy.
bool UpdateFile(const std::string& requestedPath,
                const std::function<std::string(std::string_view)>& change) {
    // A link is followed so that the file it names is changed, not replaced
    // by a plain file.
    std::string path = ResolveFileName(requestedPath);
    if (char* real = realpath(path.c_str(), nullptr)) {
        path = real;
        free(real);
    }
    for (int attempt = 0; attempt < 1000; ++attempt) {
        bool created = false;
        UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd && errno == ENOENT) {
            fd.Reset(open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            created = static_cast<bool>(fd);
            if (!fd && errno == EEXIST) continue;
        }
        if (!fd) return false;
        if (flock(fd.get(), LOCK_EX) != 0) return false;

        struct stat locked {
        }, current{};
        if (fstat(fd.get(), &locked) != 0) return false;
        if (stat(path.c_str(), &current) != 0 || current.st_ino != locked.st_ino ||
            current.st_dev != locked.st_dev) {
            continue;
        }
        // A file without any write permission is read-only, also for root,
        // as a read-only file was for every user of the original program.
        if (!S_ISREG(locked.st_mode) || (locked.st_mode & 0222) == 0 ||
            access(path.c_str(), W_OK) != 0) {
            return false;
        }

        std::string text;
        if (!ReadAll(fd.get(), text)) return false;
        std::string changed = change(text);
        if (changed == text && !created) return true;
        if (ReplaceFile(path, changed, locked.st_mode & 07777)) return true;
        if (created) unlink(path.c_str());
        return false;
    }
    return false;
}

std::optional<std::string> ReadValue(std::string_view section, std::string_view key,
                                     const std::string& path) {
    std::optional<std::string> text = ReadText(path);
    if (!text) return std::nullopt;
    std::optional<ini::SectionSpan> span = ini::FindSection(*text, section);
    if (!span) return std::nullopt;
    std::optional<ini::KeySpan> found = ini::FindKey(*text, *span, key);
    if (!found) return std::nullopt;
    return std::string(ini::Unquote(found->value));
}

std::string CutToBuffer(std::string_view text, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    return std::string(text.substr(0, bufferSize - 1));
}

}  // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& path) {
    std::optional<std::string> value = ReadValue(section, key, path);
    return CutToBuffer(value ? std::string_view(*value) : defaultValue, bufferSize);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path) {
    std::optional<std::string> value = ReadValue(section, key, path);
    if (!value) return defaultValue;

    std::string_view digits = *value;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    long long number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') break;
        number = number * 10 + (c - '0');
        if (number > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) number = -number;
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    if (!ini::IsWritableSectionName(section) || !ini::IsWritableKeyName(key) ||
        ini::HasLineBreak(value)) {
        return false;
    }
    return UpdateFile(
        path, [&](std::string_view text) { return ini::WithValue(text, section, key, value); });
}

bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path) {
    if (!ReadText(path)) return true;
    return UpdateFile(path,
                      [&](std::string_view text) { return ini::WithoutKey(text, section, key); });
}

bool DeletePrivateProfileSection(std::string_view section, const std::string& path) {
    if (!ReadText(path)) return true;
    return UpdateFile(path,
                      [&](std::string_view text) { return ini::WithoutSection(text, section); });
}

std::vector<std::string> GetPrivateProfileSectionNames(const std::string& path) {
    std::optional<std::string> text = ReadText(path);
    return text ? ini::SectionNames(*text) : std::vector<std::string>{};
}

}  // namespace platform
