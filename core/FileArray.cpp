// SPDX-License-Identifier: MIT
#include "core/FileArray.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "core/Log.h"

FileArray::~FileArray() {
    freeBuffer();
}

void FileArray::freeBuffer() {
    if (ownsBuffer) delete[] buffer;
    buffer = nullptr;
    used = position = capacity = 0;
}

int32_t FileArray::read(void* target, int32_t count) {
    if (!target || count <= 0 || position >= used) return 0;
    uint32_t n = std::min<uint32_t>(uint32_t(count), used - position);
    std::memcpy(target, buffer + position, n);
    position += n;
    return int32_t(n);
}

bool FileArray::grow(uint64_t needed) {
    if (needed <= capacity) return true;
    // Sizes are 32-bit signed throughout the stream interface.
    if (needed > uint64_t(std::numeric_limits<int32_t>::max()) || step <= 0) return false;
    uint64_t rounded = (needed + uint64_t(step) - 1) / uint64_t(step) * uint64_t(step);
    rounded = std::min<uint64_t>(rounded, uint64_t(std::numeric_limits<int32_t>::max()));
    // The stream interface never throws: refused memory is a short write.
    uint8_t* grown = new (std::nothrow) uint8_t[rounded];
    if (!grown) {
        log(u"Error in FileArray::write(): cannot grow to %u bytes", uint32_t(rounded));
        return false;
    }
    if (buffer) std::memcpy(grown, buffer, std::min<uint64_t>(capacity, rounded));
    if (ownsBuffer) delete[] buffer;
    buffer = grown;
    capacity = uint32_t(rounded);
    ownsBuffer = 1;
    return true;
}

int32_t FileArray::write(const void* source, int32_t count) {
    if (!source || count <= 0) return 0;
    uint32_t n;
    if (growable) {
        if (!grow(uint64_t(position) + uint64_t(count))) return 0;
        n = uint32_t(count);
    } else {
        n = position < used ? std::min<uint32_t>(uint32_t(count), used - position) : 0;
    }
    if (n == 0) return 0;
    std::memcpy(buffer + position, source, n);
    position += n;
    if (growable && position > used) used = position;
    return int32_t(n);
}

int32_t FileArray::seek(int32_t offset, int32_t origin) {
    int64_t target = position;
    if (origin == 0)
        target = offset;
    else if (origin == 1)
        target = int64_t(position) + offset;
    else if (origin == 2)
        target = int64_t(used) - offset - 1;
    // Positions before the start clamp to it rather than wrapping round.
    position = uint32_t(std::clamp<int64_t>(target, 0, used));
    return int32_t(position);
}

int32_t FileArray::close() {
    if (ownsBuffer) freeBuffer();
    if (autoDelete) delete this;
    return 0;
}

bool FileArray::load(FileInterface& source) {
    freeBuffer();
    ownsBuffer = 1;
    int32_t total = source.size();
    if (total <= 0) return total == 0;
    buffer = new (std::nothrow) uint8_t[size_t(total)];
    if (!buffer) {
        log(u"Error in FileArray::load(): cannot hold %i bytes", total);
        return false;
    }
    // Keeping the capacity lets a later write extend the loaded bytes instead
    // of growing into an empty buffer.
    capacity = uint32_t(total);
    source.seek(0, 0);
    int32_t got = 0;
    while (got < total) {
        int32_t n = source.read(buffer + got, total - got);
        if (n <= 0) break;
        got += n;
    }
    used = uint32_t(got);
    return got == total;
}
