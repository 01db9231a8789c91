// Preloaded into a process (LD_PRELOAD) and the processes it starts, this
// makes one folder behave as a small file system of its own, for the
// full-disk tests of a process that may not mount one:
//   ZARVO_SMALL_DISK_FOLDER  the folder (it must exist when the process starts)
//   ZARVO_SMALL_DISK_BYTES   its size
// Writes into files in the folder take space as a tmpfs counts it (each
// file's size rounded up to whole pages); a write that does not fit writes
// what fits and the next one fails with ENOSPC, as on a full disk. A rename
// or hard link across the folder's edge fails with EXDEV, as between two
// file systems, so that a move into it must copy. C library streams opened
// for writing in it are routed through the same checks; a C++ file stream
// opened there is not supported (nothing under test writes one).
//
// Every interposed call runs where the real one would, possibly in a signal
// handler: the path of a descriptor that is not in the folder is found
// without allocating.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

constexpr long long kPageBytes = 4096;

char gFolder[PATH_MAX];  // with a trailing "/"; empty: nothing is watched
size_t gFolderLength = 0;
long long gCapacityBytes = 0;

template <typename Function>
Function Real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void ReadConfiguration() {
    const char* folder = getenv("ZARVO_SMALL_DISK_FOLDER");
    const char* bytes = getenv("ZARVO_SMALL_DISK_BYTES");
    if (!folder || !bytes || !realpath(folder, gFolder)) return;
    gFolderLength = strlen(gFolder);
    if (gFolderLength + 1 >= sizeof gFolder) {
        gFolder[0] = '\0';
        gFolderLength = 0;
        return;
    }
    gFolder[gFolderLength++] = '/';
    gFolder[gFolderLength] = '\0';
    gCapacityBytes = atoll(bytes);
}

bool InFolder(const char* path) {
    return gFolderLength > 0 && strncmp(path, gFolder, gFolderLength) == 0;
}

bool FdInFolder(int fd) {
    if (gFolderLength == 0) return false;
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = '\0';
    return InFolder(path);
}

// The absolute path of `path` with its folder resolved (the last part need
// not exist); false when its folder does not exist.
bool Resolve(int dirFd, const char* path, char* resolved) {
    char joined[PATH_MAX];
    int length = 0;
    if (path[0] == '/') {
        length = snprintf(joined, sizeof joined, "%s", path);
    } else {
        char base[PATH_MAX];
        if (dirFd == AT_FDCWD) {
            if (!getcwd(base, sizeof base)) return false;
        } else {
            char link[64];
            snprintf(link, sizeof link, "/proc/self/fd/%d", dirFd);
            const ssize_t got = readlink(link, base, sizeof base - 1);
            if (got <= 0) return false;
            base[got] = '\0';
        }
        length = snprintf(joined, sizeof joined, "%s/%s", base, path);
    }
    if (length < 0 || length >= static_cast<int>(sizeof joined)) return false;
    char* slash = strrchr(joined, '/');
    *slash = '\0';
    char folder[PATH_MAX];
    if (!realpath(joined[0] ? joined : "/", folder)) return false;
    length =
        snprintf(resolved, PATH_MAX, "%s/%s", strcmp(folder, "/") == 0 ? "" : folder, slash + 1);
    return length >= 0 && length < PATH_MAX;
}

bool PathInFolder(int dirFd, const char* path) {
    char resolved[PATH_MAX];
    return gFolderLength > 0 && Resolve(dirFd, path, resolved) && InFolder(resolved);
}

long long Pages(long long bytes) { return (bytes + kPageBytes - 1) / kPageBytes * kPageBytes; }

long long UsedBytes(int dirFd) {
    long long used = 0;
    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        close(dirFd);
        return 0;
    }
    while (const dirent* entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(info.st_mode)) used += Pages(info.st_size);
        if (S_ISDIR(info.st_mode)) {
            const int child = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0) used += UsedBytes(child);
        }
    }
    closedir(dir);
    return used;
}

// How many of `count` bytes written at `offset` of the file open as `fd`
// still fit on the small disk.
size_t BytesThatFit(int fd, long long offset, size_t count) {
    struct stat info {};
    if (count == 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return count;
    const long long end = offset + static_cast<long long>(count);
    if (end <= info.st_size) return count;
    const int folder = open(gFolder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return count;
    const long long free = gCapacityBytes - UsedBytes(folder);
    // The file may grow to the pages it has plus the free ones.
    const long long room = Pages(info.st_size) + (free > 0 ? free : 0) - offset;
    if (room >= static_cast<long long>(count)) return count;
    return room > 0 ? static_cast<size_t>(room) : 0;
}

long long CurrentOffset(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_APPEND)) {
        struct stat info {};
        return fstat(fd, &info) == 0 ? info.st_size : 0;
    }
    const off_t offset = lseek(fd, 0, SEEK_CUR);
    return offset < 0 ? 0 : offset;
}

// The part of a write that fits; sets ENOSPC and gives 0 when none does.
size_t Allowed(int fd, long long offset, size_t count) {
    const size_t fits = BytesThatFit(fd, offset, count);
    if (fits == 0 && count > 0) errno = ENOSPC;
    return fits;
}

ssize_t CheckedWrite(int fd, const void* buffer, size_t count) {
    static const auto write = Real<ssize_t (*)(int, const void*, size_t)>("write");
    if (!FdInFolder(fd)) return write(fd, buffer, count);
    const size_t fits = Allowed(fd, CurrentOffset(fd), count);
    if (fits == 0 && count > 0) return -1;
    return write(fd, buffer, fits);
}

// C library streams in the folder write through CheckedWrite.
struct StreamCookie {
    int fd;
};

ssize_t CookieRead(void* cookie, char* buffer, size_t size) {
    return read(static_cast<StreamCookie*>(cookie)->fd, buffer, size);
}

// Writes on after a short write, as the C library's own streams do, so that
// the error is the one the next write gets (ENOSPC). A stream's write
// function reports an error by writing less, never with a count below 0.
ssize_t CookieWrite(void* cookie, const char* buffer, size_t size) {
    const int fd = static_cast<StreamCookie*>(cookie)->fd;
    size_t done = 0;
    while (done < size) {
        const ssize_t written = CheckedWrite(fd, buffer + done, size - done);
        if (written <= 0) break;
        done += static_cast<size_t>(written);
    }
    return static_cast<ssize_t>(done);
}

int CookieSeek(void* cookie, off64_t* position, int whence) {
    const off64_t moved = lseek64(static_cast<StreamCookie*>(cookie)->fd, *position, whence);
    if (moved < 0) return -1;
    *position = moved;
    return 0;
}

int CookieClose(void* cookie) {
    const int result = close(static_cast<StreamCookie*>(cookie)->fd);
    free(cookie);
    return result;
}

// The open() flags of an fopen() mode; -1 for a stream that only reads.
int WriteFlags(const char* mode) {
    const bool plus = strchr(mode, '+') != nullptr;
    int flags = 0;
    switch (mode[0]) {
        case 'w':
            flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
            break;
        case 'a':
            flags = (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
            break;
        case 'r':
            if (!plus) return -1;
            flags = O_RDWR;
            break;
        default:
            return -1;
    }
    if (strchr(mode, 'x')) flags |= O_EXCL;
    if (strchr(mode, 'e')) flags |= O_CLOEXEC;
    return flags;
}

using OpenFunction = FILE* (*)(const char*, const char*);

FILE* OpenStream(const char* path, const char* mode, OpenFunction realOpen) {
    const int flags = path && mode ? WriteFlags(mode) : -1;
    if (flags < 0 || !PathInFolder(AT_FDCWD, path)) return realOpen(path, mode);
    const int fd = open(path, flags, 0666);
    if (fd < 0) return nullptr;
    auto* cookie = static_cast<StreamCookie*>(malloc(sizeof(StreamCookie)));
    if (!cookie) {
        close(fd);
        errno = ENOMEM;
        return nullptr;
    }
    cookie->fd = fd;
    FILE* stream = fopencookie(
        cookie, mode, cookie_io_functions_t{CookieRead, CookieWrite, CookieSeek, CookieClose});
    if (!stream) CookieClose(cookie);
    return stream;
}

// EXDEV when exactly one of the two names lies in the folder.
bool CrossesEdge(int fromDir, const char* from, int toDir, const char* to) {
    if (gFolderLength == 0) return false;
    if (PathInFolder(fromDir, from) == PathInFolder(toDir, to)) return false;
    errno = EXDEV;
    return true;
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buffer, size_t count) { return CheckedWrite(fd, buffer, count); }

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    static const auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    if (!FdInFolder(fd)) return real(fd, buffer, count, offset);
    const size_t fits = Allowed(fd, offset, count);
    if (fits == 0 && count > 0) return -1;
    return real(fd, buffer, fits, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off64_t offset) {
    return pwrite(fd, buffer, count, offset);
}

ssize_t writev(int fd, const iovec* vectors, int count) {
    static const auto real = Real<ssize_t (*)(int, const iovec*, int)>("writev");
    if (!FdInFolder(fd) || count <= 0 || count > IOV_MAX) return real(fd, vectors, count);
    size_t total = 0;
    for (int i = 0; i < count; ++i) total += vectors[i].iov_len;
    size_t fits = Allowed(fd, CurrentOffset(fd), total);
    if (fits == 0 && total > 0) return -1;
    iovec cut[IOV_MAX];
    int used = 0;
    for (; used < count && fits > 0; ++used) {
        cut[used] = vectors[used];
        if (cut[used].iov_len > fits) cut[used].iov_len = fits;
        fits -= cut[used].iov_len;
    }
    return real(fd, cut, used);
}

ssize_t sendfile(int out, int in, off_t* offset, size_t count) noexcept {
    static const auto real = Real<ssize_t (*)(int, int, off_t*, size_t)>("sendfile");
    if (!FdInFolder(out)) return real(out, in, offset, count);
    const size_t fits = Allowed(out, CurrentOffset(out), count);
    if (fits == 0 && count > 0) return -1;
    return real(out, in, offset, fits);
}

ssize_t sendfile64(int out, int in, off64_t* offset, size_t count) noexcept {
    static_assert(sizeof(off64_t) == sizeof(off_t));
    return sendfile(out, in, reinterpret_cast<off_t*>(offset), count);
}

ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t count,
                        unsigned flags) {
    static const auto real =
        Real<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");
    if (!FdInFolder(out)) return real(in, inOffset, out, outOffset, count, flags);
    const size_t fits = Allowed(out, outOffset ? *outOffset : CurrentOffset(out), count);
    if (fits == 0 && count > 0) return -1;
    return real(in, inOffset, out, outOffset, fits, flags);
}

FILE* fopen(const char* path, const char* mode) {
    static const auto real = Real<OpenFunction>("fopen");
    return OpenStream(path, mode, real);
}

FILE* fopen64(const char* path, const char* mode) {
    static const auto real = Real<OpenFunction>("fopen64");
    return OpenStream(path, mode, real);
}

int rename(const char* from, const char* to) noexcept {
    static const auto real = Real<int (*)(const char*, const char*)>("rename");
    return CrossesEdge(AT_FDCWD, from, AT_FDCWD, to) ? -1 : real(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
    static const auto real = Real<int (*)(int, const char*, int, const char*)>("renameat");
    return CrossesEdge(fromDir, from, toDir, to) ? -1 : real(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) noexcept {
    static const auto real =
        Real<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return CrossesEdge(fromDir, from, toDir, to) ? -1 : real(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) noexcept {
    static const auto real = Real<int (*)(const char*, const char*)>("link");
    return CrossesEdge(AT_FDCWD, from, AT_FDCWD, to) ? -1 : real(from, to);
}

int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) noexcept {
    static const auto real = Real<int (*)(int, const char*, int, const char*, int)>("linkat");
    return CrossesEdge(fromDir, from, toDir, to) ? -1 : real(fromDir, from, toDir, to, flags);
}

}  // extern "C"
