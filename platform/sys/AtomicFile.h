// SPDX-License-Identifier: MIT
// Replaces a file only once its new contents are complete on disk: bytes go
// to a temporary file in the target's folder, which is synced and renamed
// over the target, then the folder is synced. A full disk, a size limit or a
// crash mid-write leaves the old file as it was. Only regular files are
// targets: a folder, pipe, device or socket in the way is refused up front.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace sys {

class AtomicFile {
public:
    enum class IfTargetExists { Replace, Fail };

    // `target` is engine path text; separators are handled as everywhere else.
    explicit AtomicFile(std::u16string_view target);
    ~AtomicFile(); // discards an uncommitted temporary file
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Each step returns false with a one-line reason in error(); later steps
    // then fail too, so a caller may check only commit().
    bool open();
    bool write(const void* data, size_t size);
    // Syncs and closes the temporary file without putting it in place, so
    // that many files can wait for their commits without holding descriptors.
    // commit() seals first when nobody has.
    bool seal();
    // With Fail, a target that exists by then is left alone and the commit
    // fails with EEXIST.
    bool commit(IfTargetExists existing = IfTargetExists::Replace);

    int descriptor() const { return descriptor_; }
    const std::string& error() const { return error_; }
    // The errno of the failed step, 0 while nothing failed.
    int errorNumber() const { return errorNumber_; }
    // True when open() failed only because the folder refuses new files.
    bool temporaryRefused() const { return temporaryRefused_; }
    const std::string& targetPath() const { return target_; }

private:
    bool fail(const char* step);
    bool fail(const char* step, const char* reason, int error);

    std::string target_;
    std::string temporary_;
    std::string error_;
    int errorNumber_ = 0;
    int descriptor_ = -1;
    bool failed_ = false;
    bool sealed_ = false;
    bool nulInPath_ = false;
    bool temporaryRefused_ = false;
};

// The fallback for a target whose folder refuses new files (so no temporary
// can be made beside it): overwrites the existing regular file in place.
// Space for the new size is reserved before any old byte changes, so a full
// disk or a size limit leaves the file as it was; only a failure after that
// (an I/O error) can leave it cut short. `why` says which, and that the file
// was being rewritten in place.
bool rewriteInPlace(std::u16string_view target, const void* data, size_t size, std::string& why);

} // namespace sys
