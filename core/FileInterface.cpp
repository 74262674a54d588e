// SPDX-License-Identifier: MIT
// The stream factory: the one place that decides between a file on disk and
// an entry inside a pack archive, so every reader gets archives for free.
#include "core/FileInterface.h"

#include "core/File.h"
#include "core/Log.h"
#include "core/Pack.h"
#include "core/Report.h"

PackEntryPath splitPackEntryPath(std::u16string_view path) {
    constexpr std::u16string_view kMarker = u".pack:";
    const size_t marker = path.find(kMarker);
    if (marker == std::u16string_view::npos) return {};
    return {true, path.substr(0, marker + 5), path.substr(marker + kMarker.size())};
}

FileInterface* FileInterface::open(String path, int32_t create, int32_t binary, int32_t readOnly) {
    (void)binary; // every stream is binary
    setReportContext(u"FileInterface", u"open");
    log(u"Filename: %s", path.text());

    FileInterface* stream = nullptr;
    const PackEntryPath split = splitPackEntryPath(path.view());
    if (!split.isEntry) {
        stream = new File(path, create, 1, readOnly);
    } else {
        String archivePath, entryName;
        archivePath.set(split.archive.data(), int32_t(split.archive.size()));
        entryName.set(split.entry.data(), int32_t(split.entry.size()));
        auto* pack = new Pack(archivePath, create);
        if (pack->valid) {
            auto* entry = new Pack::File(pack, entryName);
            entry->ownsPack = 1;
            stream = entry;
        } else {
            delete pack;
            stream = new File(String(u""), 0, 1, 0);
        }
    }
    stream->autoDelete = 1;
    return stream;
}
