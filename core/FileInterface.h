// SPDX-License-Identifier: MIT
// The byte-stream interface all engine file contents go through: files on
// disk (File), entries of pack archives (Pack::File) and memory (FileArray).
// Sizes and positions are 32-bit, as the engine's stored formats are.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/String.h"

// "archive.pack:entry" split at its first ".pack:", the archive keeping its
// ".pack"; a path without the marker is no entry and has no archive part.
struct PackEntryPath {
    bool isEntry = false;
    std::u16string_view archive;
    std::u16string_view entry;
};
PackEntryPath splitPackEntryPath(std::u16string_view path);

class FileInfo {
public:
    String name;
    String
        comment; // no operation sets it; kept so FileInfo describes files as stored formats expect
    String folder;
    String absoluteFolder;
    int32_t fileSize = 0;
    int32_t reserved[3] = {};
    int32_t isOpen = 0;
    int32_t autoDelete = 0;

    virtual ~FileInfo() = default;
};

class FileInterface : public FileInfo {
public:
    virtual int32_t read(void* buffer, int32_t count) = 0;
    virtual int32_t write(const void* buffer, int32_t count) = 0;
    // origin 0: from the start, 1: from the current position, 2: from the end
    virtual int32_t seek(int32_t offset, int32_t origin) = 0;
    virtual int32_t tell() = 0;
    virtual int32_t size() = 0;
    virtual bool eof() = 0;
    virtual void* memory() = 0;
    // Ends the stream; objects made by open() also destroy themselves here.
    virtual int32_t close() = 0;

    // "archive.pack:entry" gives a read-only entry stream; anything else a File.
    // The result is never null; test isOpen. Release it with close().
    static FileInterface* open(String path, int32_t create, int32_t binary, int32_t readOnly);
};

class FolderInfo {
public:
    String name;
    String comment;
    String folder;
    String absoluteFolder;
    int32_t reserved = 0;

    virtual ~FolderInfo() = default;
};

class FolderInterface : public FolderInfo {
public:
    virtual void refresh() {}
};
