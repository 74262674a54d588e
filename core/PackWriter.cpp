// SPDX-License-Identifier: MIT
#include "core/PackWriter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "sys/Unicode.h"

namespace {
constexpr uint8_t kMagic[7] = {'_', 'P', 'A', 'C', 'K', '_', 0};
constexpr int32_t kChunk = 64 * 1024;
constexpr int64_t kMaxArchive = std::numeric_limits<int32_t>::max();
} // namespace

PackWriter::PackWriter(FileInterface& target) : target_(target) {
    if (!target_.isOpen) {
        fail(String(u"the archive is not open for writing"));
        return;
    }
    put(kMagic, sizeof kMagic) && putSize(0);
}

bool PackWriter::fail(const String& why) {
    if (!failed_) problem = why;
    failed_ = true;
    return false;
}

bool PackWriter::put(const void* data, int32_t size) {
    if (failed_) return false;
    if (written_ + size > kMaxArchive)
        return fail(String(u"the archive would exceed 2 GiB, the largest a stream can address"));
    // Encoded through a bounded buffer: the caller's bytes stay untouched.
    uint8_t buffer[4096];
    const uint8_t* from = static_cast<const uint8_t*>(data);
    for (int32_t done = 0; done < size;) {
        int32_t n = std::min<int32_t>(size - done, int32_t(sizeof buffer));
        std::memcpy(buffer, from + done, size_t(n));
        encode(buffer, size_t(n));
        if (target_.write(buffer, n) != n) return fail(String(u"cannot write the archive"));
        done += n;
    }
    written_ += size;
    return true;
}

bool PackWriter::putSize(uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                              uint8_t(value >> 24)};
    return put(bytes, 4);
}

bool PackWriter::begin(const String& name, int32_t size) {
    if (failed_) return false;
    String why;
    if (name.length == 0) return fail(String(u"an entry name is empty"));
    std::u16string key(name.view());
    // Readers and the file system end a name at its first NUL, so a name
    // holding one would open as another name.
    if (key.find(u'\0') != std::u16string::npos)
        return fail(String(u"an entry name holds a NUL character"));
    for (int32_t i = 0; i < name.length; ++i) {
        if (!sys::isAnsiRepresentable(name.p[i])) {
            why.format(u"'%s' has a character that Windows-1252 cannot hold", name);
            return fail(why);
        }
    }
    if (!names_.insert(key).second) {
        why.format(u"'%s' is in the archive twice", name);
        return fail(why);
    }
    if (size < 0) {
        why.format(u"'%s' has no readable size", name);
        return fail(why);
    }
    std::vector<uint8_t> narrow(size_t(name.length));
    for (int32_t i = 0; i < name.length; ++i) narrow[size_t(i)] = sys::wideToAnsi(name.p[i]);
    if (!putSize(uint32_t(name.length)) || !put(narrow.data(), name.length) ||
        !putSize(uint32_t(size)))
        return false;
    ++count_;
    return true;
}

bool PackWriter::add(const String& name, const void* data, int32_t size) {
    if (!data && size > 0) return fail(String(u"an entry has no data"));
    if (!begin(name, size)) return false;
    return size == 0 || put(data, size);
}

bool PackWriter::add(const String& name, FileInterface& source) {
    int32_t size = source.isOpen ? source.size() : -1;
    if (!begin(name, size)) return false;
    source.seek(0, 0);
    std::vector<uint8_t> chunk(size_t(std::min(size, kChunk)));
    for (int32_t done = 0; done < size;) {
        int32_t n = source.read(chunk.data(), std::min(size - done, kChunk));
        if (n <= 0) {
            String why;
            why.format(u"'%s' ended before its %i bytes", name, size);
            return fail(why);
        }
        if (!put(chunk.data(), n)) return false;
        done += n;
    }
    return true;
}

bool PackWriter::finish() {
    if (failed_) return false;
    if (target_.seek(int32_t(sizeof kMagic), 0) != int32_t(sizeof kMagic))
        return fail(String(u"cannot seek back in the archive to write its entry count"));
    // The count overwrites its placeholder, so the archive does not grow.
    const int64_t end = written_;
    written_ = int64_t(sizeof kMagic);
    if (!putSize(count_)) return false;
    written_ = end;
    target_.seek(int32_t(end), 0);
    return true;
}
