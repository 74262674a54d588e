// SPDX-License-Identifier: MIT
#include "core/ReplaceFile.h"

#include <cstdlib>
#include <sys/stat.h>

#include "core/FileInterface.h"
#include "sys/AtomicFile.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

bool replaceFile(const String& path, const void* data, size_t size, std::string& why) {
    const std::u16string_view text = path.view();
    std::string native = sys::nativePath(text);
    const std::string shown = sys::quotedPath(text);
    if (splitPackEntryPath(text).isEntry) {
        why = "cannot write " + shown + ": pack archive entries are read-only";
        return false;
    }
    if (text.find(u'\0') != std::u16string_view::npos) {
        why = "cannot write " + shown + ": the name holds a NUL character";
        return false;
    }
    // Replace what a link points at, not the link.
    std::u16string target(text);
    struct stat info {};
    if (::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(native.c_str(), nullptr)) {
            native = real;
            std::free(real);
            target = sys::utf8ToUtf16(native);
        }
    }
    const bool exists = ::stat(native.c_str(), &info) == 0;
    if (exists) {
        if (S_ISDIR(info.st_mode)) {
            why = "cannot write " + shown + ": it is a folder";
            return false;
        }
        // Only regular files are outputs: a pipe would stall the save, and
        // a device is no place for a relief.
        if (!S_ISREG(info.st_mode)) {
            why = "cannot write " + shown + ": it is not a regular file (a pipe, device or socket)";
            return false;
        }
        // The read-only mark is honoured even where the user could write anyway.
        if ((info.st_mode & 0222) == 0) {
            why = "cannot write " + shown + ": the file is read-only";
            return false;
        }
    }
    sys::AtomicFile file(target);
    if (file.open() && file.write(data, size) && file.commit()) return true;
    // A folder the user may not write into still holds a file they may:
    // rewriting it in place is the only way left to save there.
    if (exists && file.temporaryRefused()) return sys::rewriteInPlace(target, data, size, why);
    why = file.error();
    return false;
}
