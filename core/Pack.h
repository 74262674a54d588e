// SPDX-License-Identifier: MIT
// Pack archives: one file holding many named entries, read through
// "archive.pack:entry" paths as read-only Pack::File streams. A directory is
// parsed once per archive path and shared through a process-wide cache.
// The reader trusts nothing in the file: every count, name length and data
// size is checked against the bytes that remain before anything is allocated
// or skipped, and an archive that fails a check is refused and not cached.
// Not synchronised: archives are opened on one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Coding.h"
#include "core/FileInterface.h"

class Pack : public FolderInterface, public Coding {
public:
    struct Entry {
        String name;
        uint32_t offset = 0; // of the entry's data, from the start of the archive
        uint32_t size = 0;
    };
    struct Directory {
        String path;
        std::vector<Entry> entries;
        // The archive's size when it was parsed: a cached directory is only
        // reused while the file still has that size, so an archive replaced
        // by another of a different size is read again.
        int32_t archiveSize = 0;
    };
    class File;

    int32_t valid = 0;
    // Why the archive was refused, one line for the user; empty when valid.
    String problem;
    std::unique_ptr<FileInterface> archive;
    std::shared_ptr<const Directory> directory;

    // Opens the archive at `path` read-only. `create` is accepted for the
    // factory's sake and ignored: entry streams never write, and creating or
    // truncating an archive in order to read it could only destroy it.
    Pack(const String& path, int32_t create);
    // Adopts an open stream (an archive in memory, tests, fuzzing). With a
    // non-empty cacheKey the directory is shared through the cache as if
    // opened from that path; with none it belongs to this Pack alone.
    explicit Pack(FileInterface* stream, const String& cacheKey = String());
    ~Pack() override;
    Pack(const Pack&) = delete;
    Pack& operator=(const Pack&) = delete;

    // The first entry with exactly this name, or null.
    const Entry* find(const String& name) const;

private:
    void load(const String& cacheKey);
    bool readDirectory(Directory& out);
    bool readDecoded(void* target, int32_t count);
    void refuse(const String& why);
};

// One entry of an archive as a read-only stream. Positions are relative to
// the entry and kept here rather than in the shared archive stream, so several
// entry streams of one Pack do not disturb each other; reads never pass the
// end of the entry.
class Pack::File : public FileInterface {
public:
    const Entry* entry = nullptr;
    Pack* pack = nullptr;
    FileInterface* archive = nullptr;
    int32_t ownsPack = 0;

    File(Pack* pack, const String& entryName);
    // For walking the whole directory without a lookup per entry; `entry`
    // must be one of `pack`'s own records.
    File(Pack* pack, const Entry* entry);
    ~File() override;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int32_t read(void* buffer, int32_t count) override;
    int32_t write(const void* buffer, int32_t count) override;
    int32_t seek(int32_t offset, int32_t origin) override;
    int32_t tell() override;
    int32_t size() override;
    bool eof() override;
    void* memory() override { return nullptr; }
    int32_t close() override;

private:
    uint32_t position_ = 0;
    // Keeps `entry` alive even if the cache drops the directory meanwhile.
    std::shared_ptr<const Directory> directory_;
};
