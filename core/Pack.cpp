// SPDX-License-Identifier: MIT
#include "core/Pack.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

#include "core/File.h"
#include "core/Log.h"
#include "sys/Unicode.h"

namespace {

constexpr uint8_t kMagic[7] = {'_', 'P', 'A', 'C', 'K', '_', 0};
// The smallest entry: a name length and a data size, both zero.
constexpr int64_t kMinEntryBytes = 8;

// Lives until the process ends; records are shared so that forgetting one
// never pulls a directory from under an open Pack.
std::vector<std::shared_ptr<const Pack::Directory>>& cache() {
    static std::vector<std::shared_ptr<const Pack::Directory>> directories;
    return directories;
}

std::shared_ptr<const Pack::Directory>* cached(const String& path) {
    for (auto& directory : cache())
        if (directory->path == path) return &directory;
    return nullptr;
}

void forget(const String& path) {
    std::erase_if(cache(), [&](const auto& directory) { return directory->path == path; });
}

} // namespace

Pack::Pack(const String& path, int32_t create) {
    (void)create; // see the header: an archive is only ever read
    if (path.find(String::borrow(u".pack")) < 0) {
        refuse(String(u"the path does not name a .pack archive"));
        return;
    }
    archive = std::make_unique<::File>(path, 0, 1, 1);
    load(path);
}

Pack::Pack(FileInterface* stream, const String& cacheKey) : archive(stream) {
    assert((!stream || !stream->autoDelete) &&
           "Pack owns its archive stream; close() must not delete it");
    load(cacheKey);
}

Pack::~Pack() {
    if (archive) archive->close();
}

void Pack::refuse(const String& why) {
    valid = 0;
    problem = why;
    log(u"Pack: %s", why);
}

void Pack::load(const String& cacheKey) {
    if (!archive || !archive->isOpen) {
        refuse(String(u"cannot open the archive"));
        return;
    }
    int32_t archiveSize = archive->size();
    if (cacheKey.length > 0) {
        if (auto* slot = cached(cacheKey)) {
            if ((*slot)->archiveSize == archiveSize) {
                directory = *slot;
                valid = 1;
                return;
            }
            // Same path, different file: read it again below.
            forget(cacheKey);
        }
    }
    auto parsed = std::make_shared<Directory>();
    parsed->path = cacheKey;
    parsed->archiveSize = archiveSize;
    log(u"Pack: reading the directory of %s", cacheKey.length ? cacheKey : String(u"(stream)"));
    if (!readDirectory(*parsed)) return;
    directory = parsed;
    if (cacheKey.length > 0) cache().push_back(parsed);
    valid = 1;
}

bool Pack::readDecoded(void* target, int32_t count) {
    if (archive->read(target, count) != count) return false;
    decode(static_cast<uint8_t*>(target), size_t(count));
    return true;
}

bool Pack::readDirectory(Directory& out) {
    String why;
    // Everything below is measured against what the file really holds, so a
    // count or length from the file can never drive a read or an allocation
    // past its end.
    int64_t remaining = out.archiveSize;
    if (remaining < 0) {
        refuse(String(u"the archive's size is unknown"));
        return false;
    }
    archive->seek(0, 0);
    uint8_t magic[sizeof kMagic];
    if (remaining < int64_t(sizeof kMagic) || !readDecoded(magic, sizeof kMagic) ||
        std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        log(u"This is no valid .pack File!");
        refuse(String(u"wrong magic: not a pack archive"));
        return false;
    }
    remaining -= int64_t(sizeof kMagic);

    auto readSize = [&](uint32_t& value) {
        uint8_t bytes[4];
        if (remaining < 4 || !readDecoded(bytes, 4)) return false;
        remaining -= 4;
        value = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                uint32_t(bytes[3]) << 24;
        return true;
    };

    uint32_t count = 0;
    if (!readSize(count)) {
        why.format(u"truncated archive: no entry count");
        refuse(why);
        return false;
    }
    if (int64_t(count) * kMinEntryBytes > remaining) {
        why.format(u"entry count %u does not fit in the %i bytes that follow", count,
                   int32_t(remaining));
        refuse(why);
        return false;
    }

    int64_t position = int64_t(sizeof kMagic) + 4;
    std::vector<uint8_t> narrow;
    std::u16string wide;
    for (uint32_t i = 0; i < count; ++i) {
        Entry& entry = out.entries.emplace_back();
        uint32_t nameLength = 0;
        if (!readSize(nameLength)) {
            why.format(u"truncated archive: entry %u has no name length", i);
            refuse(why);
            return false;
        }
        // The data size field must still follow the name.
        if (int64_t(nameLength) > remaining - 4) {
            why.format(u"entry %u: name length %u does not fit in the %i bytes left", i, nameLength,
                       int32_t(remaining));
            refuse(why);
            return false;
        }
        narrow.resize(nameLength);
        if (nameLength > 0 && !readDecoded(narrow.data(), int32_t(nameLength))) {
            why.format(u"truncated archive: entry %u's name is cut short", i);
            refuse(why);
            return false;
        }
        remaining -= nameLength;
        wide.resize(nameLength);
        for (uint32_t k = 0; k < nameLength; ++k) wide[k] = sys::ansiToWide(narrow[k]);
        entry.name.set(wide.data(), int32_t(nameLength));

        uint32_t dataSize = 0;
        if (!readSize(dataSize)) {
            why.format(u"truncated archive: entry %u has no data size", i);
            refuse(why);
            return false;
        }
        if (int64_t(dataSize) > remaining) {
            why.format(u"entry %u: data size %u does not fit in the %i bytes left", i, dataSize,
                       int32_t(remaining));
            refuse(why);
            return false;
        }
        position += 8 + int64_t(nameLength);
        entry.offset = uint32_t(position);
        entry.size = dataSize;
        position += dataSize;
        remaining -= dataSize;
        if (dataSize > 0 && archive->seek(int32_t(dataSize), 1) != int32_t(position)) {
            why.format(u"entry %u: cannot skip its data", i);
            refuse(why);
            return false;
        }
    }
    log(u"Pack: %u entries", count);
    return true;
}

const Pack::Entry* Pack::find(const String& name) const {
    if (!valid || !directory) return nullptr;
    for (const Entry& entry : directory->entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

Pack::File::File(Pack* owner, const String& entryName)
    : File(owner, owner ? owner->find(entryName) : nullptr) {}

Pack::File::File(Pack* owner, const Entry* record) : pack(owner) {
    if (!pack || !pack->valid || !record) return;
    archive = pack->archive.get();
    directory_ = pack->directory;
    entry = record;
    name = entry->name;
    fileSize = int32_t(entry->size);
    archive->seek(int32_t(entry->offset), 0);
    isOpen = 1;
}

Pack::File::~File() {
    if (ownsPack) delete pack;
}

int32_t Pack::File::read(void* buffer, int32_t count) {
    if (!buffer) return -1;
    if (!isOpen || count <= 0) return 0;
    // Clamped to the entry: the bytes after it belong to other entries.
    uint32_t wanted = std::min<uint32_t>(uint32_t(count), entry->size - position_);
    if (wanted == 0) return 0;
    if (archive->seek(int32_t(entry->offset + position_), 0) != int32_t(entry->offset + position_))
        return 0;
    int32_t got = archive->read(buffer, int32_t(wanted));
    if (got <= 0) return got;
    decode(static_cast<uint8_t*>(buffer), size_t(got));
    position_ += uint32_t(got);
    return got;
}

int32_t Pack::File::write(const void*, int32_t) {
    return -1;
}

int32_t Pack::File::seek(int32_t offset, int32_t origin) {
    if (!isOpen || origin < 0 || origin > 2) return 0;
    int64_t target = position_;
    if (origin == 0)
        target = offset;
    else if (origin == 1)
        target = int64_t(position_) + offset;
    else
        target = int64_t(entry->size) - offset - 1; // as FileArray counts from the end
    position_ = uint32_t(std::clamp<int64_t>(target, 0, entry->size));
    archive->seek(int32_t(entry->offset + position_), 0);
    return int32_t(position_);
}

int32_t Pack::File::tell() {
    return isOpen ? int32_t(position_) : 0;
}

int32_t Pack::File::size() {
    return isOpen ? int32_t(entry->size) : 0;
}

bool Pack::File::eof() {
    return !isOpen || position_ >= entry->size;
}

int32_t Pack::File::close() {
    isOpen = 0;
    if (ownsPack) {
        ownsPack = 0;
        delete pack;
    }
    pack = nullptr;
    archive = nullptr;
    if (autoDelete) delete this;
    return 0;
}
