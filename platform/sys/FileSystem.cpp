// SPDX-License-Identifier: MIT
#include "sys/FileSystem.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "sys/Unicode.h"

namespace sys {

namespace {

bool existsAsWritten(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

bool isFolderAsWritten(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string slashed(std::string text) {
    for (char& c : text)
        if (c == '\\') c = '/';
    return text;
}

bool holdsNul(std::u16string_view path) {
    return path.find(u'\0') != std::u16string_view::npos;
}

} // namespace

std::string nativePath(std::u16string_view path) {
    const std::string text = utf16ToUtf8(path);
    // A NUL cannot reach the OS; such a path is refused where it is opened.
    if (text.find('\\') == std::string::npos || text.find('\0') != std::string::npos ||
        existsAsWritten(text))
        return text;
    // Left to right, one '/'-separated piece at a time: within a piece, the
    // longest part up to a backslash that exists as written is kept, and the
    // walk goes on after it. Once nothing exists, the rest is new and every
    // backslash in it separates.
    std::string resolved;
    size_t pos = 0;
    for (;;) {
        const size_t slash = text.find('/', pos);
        const size_t end = slash == std::string::npos ? text.size() : slash;
        while (pos < end) {
            if (text.find('\\', pos) >= end) {
                resolved.append(text, pos, end - pos);
                pos = end;
                break;
            }
            size_t cut = end;
            bool found = false;
            while (!found) {
                if (cut > pos) {
                    const std::string candidate = resolved + text.substr(pos, cut - pos);
                    found = cut == end ? existsAsWritten(candidate) : isFolderAsWritten(candidate);
                    if (found) break;
                }
                const size_t previous = cut > pos ? text.rfind('\\', cut - 1) : std::string::npos;
                if (previous == std::string::npos || previous < pos) break;
                cut = previous;
            }
            if (!found) return resolved + slashed(text.substr(pos));
            resolved.append(text, pos, cut - pos);
            if (cut < end) resolved += '/';
            pos = cut < end ? cut + 1 : end;
        }
        if (end == text.size()) return resolved;
        resolved += '/';
        pos = end + 1;
    }
}

int openFile(std::u16string_view path, int openFlags, int& error) {
    error = 0;
    int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    switch (openFlags & 0x3) {
    case OpenReadOnly: flags |= O_RDONLY; break;
    case OpenWriteOnly: flags |= O_WRONLY; break;
    case OpenReadWrite: flags |= O_RDWR; break;
    default: error = EINVAL; return -1;
    }
    if (openFlags & OpenAppend) flags |= O_APPEND;
    if (openFlags & OpenCreate) flags |= O_CREAT;
    if (openFlags & OpenTruncate) flags |= O_TRUNC;
    if (openFlags & OpenExclusive) flags |= O_EXCL;

    if (holdsNul(path)) {
        error = EINVAL;
        return -1;
    }
    const std::string native = nativePath(path);
    if (native.empty()) {
        error = ENOENT;
        return -1;
    }
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) {
        // ENXIO: a pipe nobody reads, opened for writing without blocking.
        error = errno == EISDIR                               ? EACCES
                : errno == ENXIO && !(openFlags & OpenStream) ? kErrorNotRegularFile
                                                              : errno;
        return -1;
    }
    // Decided on the descriptor, not on an earlier look at the path, so a
    // pipe swapped in between is still refused.
    struct stat info {};
    const bool described = ::fstat(fd, &info) == 0;
    const bool stream = (openFlags & OpenStream) && !S_ISDIR(info.st_mode);
    if (!described || (!S_ISREG(info.st_mode) && !stream)) {
        error = S_ISDIR(info.st_mode) ? EACCES : kErrorNotRegularFile;
        ::close(fd);
        return -1;
    }
    if (info.st_size > INT32_MAX) {
        ::close(fd);
        error = kErrorFileTooLarge;
        return -1;
    }
    // Regular files ignore the flag, but reads and writes should not see it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int32_t readFile(int descriptor, void* buffer, int32_t count) {
    if (descriptor < 0 || !buffer || count <= 0) return 0;
    size_t done = 0;
    while (done < size_t(count)) {
        ssize_t n = ::read(descriptor, static_cast<char*>(buffer) + done, size_t(count) - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return int32_t(done);
}

int32_t writeFile(int descriptor, const void* buffer, int32_t count) {
    if (descriptor < 0 || !buffer || count <= 0) return 0;
    size_t done = 0;
    while (done < size_t(count)) {
        ssize_t n =
            ::write(descriptor, static_cast<const char*>(buffer) + done, size_t(count) - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += size_t(n);
    }
    return int32_t(done);
}

int32_t seekFile(int descriptor, int32_t offset, int origin) {
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (descriptor < 0 || origin < 0 || origin > 2) return -1;
    off_t position = ::lseek(descriptor, offset, whence[origin]);
    if (position < 0 || position > INT32_MAX) return -1;
    return int32_t(position);
}

int64_t fileLength(int descriptor) {
    struct stat info {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0) return -1;
    return info.st_size;
}

bool atEndOfFile(int descriptor) {
    off_t position = ::lseek(descriptor, 0, SEEK_CUR);
    int64_t length = fileLength(descriptor);
    return position < 0 || length < 0 || position >= length;
}

void closeFile(int descriptor) {
    if (descriptor >= 0) ::close(descriptor);
}

std::u16string fullPath(std::u16string_view path) {
    std::string native = nativePath(path);
    if (native.empty() || native[0] != '/') {
        std::vector<char> cwd(PATH_MAX);
        if (::getcwd(cwd.data(), cwd.size())) native = std::string(cwd.data()) + "/" + native;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= native.size()) {
        size_t end = native.find('/', start);
        if (end == std::string::npos) end = native.size();
        std::string part = native.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string joined;
    for (const std::string& part : parts) joined += "/" + part;
    // A trailing separator names a folder; keep it so the last-separator
    // rule still finds the folder part.
    if (!native.empty() && native.back() == '/' && !joined.empty()) joined += '/';
    if (joined.empty()) joined.push_back('/');
    return utf8ToUtf16(joined);
}

std::u16string userDataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') return utf8ToUtf16(dataHome);
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return utf8ToUtf16(std::string(home) + "/.local/share");
    return {};
}

bool fileExists(std::u16string_view path) {
    struct stat info {};
    return !holdsNul(path) && ::stat(nativePath(path).c_str(), &info) == 0;
}

bool isFolder(std::u16string_view path) {
    return !holdsNul(path) && isFolderAsWritten(nativePath(path));
}

std::string openFailureReason(std::u16string_view path, int error) {
    switch (error) {
    case ENOENT: return "does not exist";
    case ENOTDIR: return "does not exist (a part of its path is a file, not a folder)";
    case EACCES:
        // The platform's open gives EACCES for folders too.
        if (isFolder(path)) return "is a folder";
        return "cannot be opened: permission denied";
    case ELOOP: return "cannot be opened: too many levels of symbolic links (a link loop?)";
    case ENAMETOOLONG: return "cannot be opened: the name is too long";
    case EINVAL:
        if (holdsNul(path)) return "cannot be opened: the name holds a NUL character";
        break;
    case kErrorNotRegularFile: return "is not a regular file (a pipe, device or socket)";
    case kErrorFileTooLarge: return "is 2 GiB or larger, more than a 32-bit stream can address";
    default: break;
    }
    return std::string("cannot be opened: ") + std::strerror(error);
}

std::string quotedPath(std::u16string_view path) {
    return "'" + printable(nativePath(path)) + "'";
}

} // namespace sys
