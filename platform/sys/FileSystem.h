// SPDX-License-Identifier: MIT
// Stands in for the C runtime's wide file calls (_wsopen_s, _lseek, _eof,
// _wfullpath) and the shell's folder query on POSIX.
//  [x] descriptors opened with the Windows open-mode bits, errors as errno
//  [x] only regular files open: folders, pipes, devices and sockets are refused
//  [x] a path that exists is used as written; otherwise '\' separates too
//  [x] paths reach the OS as UTF-8; a path holding a NUL character is refused
//  [x] full paths folded as text, as GetFullPathName does
//  [x] the per-user data folder (XDG data home) for the roaming app-data folder
//  [ ] sharing modes: POSIX has none; every open is "deny none"
//  [ ] files of 2 GiB and more: the engine's streams are 32-bit, so they are refused
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sys {

// The Windows _open flag values, so engine code reads as it would there.
enum OpenFlags : int {
    OpenReadOnly = 0x0000,
    OpenWriteOnly = 0x0001,
    OpenReadWrite = 0x0002,
    OpenAppend = 0x0008,
    OpenCreate = 0x0100,
    OpenTruncate = 0x0200,
    OpenExclusive = 0x0400,
    OpenText = 0x4000,
    OpenBinary = 0x8000,
    // Ours, not the platform's: a terminal, a device or a pipe that is being
    // read is accepted too (a developer's log). A pipe nobody reads still
    // fails at once, with ENXIO, rather than blocking.
    OpenStream = 0x10000,
};

// Error numbers the open can end in beyond the errno values: the file exists
// but cannot be addressed by 32-bit positions, or it is no regular file.
constexpr int kErrorFileTooLarge = 27; // EFBIG
constexpr int kErrorNotRegularFile = 1000;

// Turns engine path text into the UTF-8 path the OS sees. A path that exists
// as written is kept as written, so a file literally named "q\r.png" is that
// file. Otherwise the longest leading part that exists as written is kept
// and the backslashes after it separate folders: "pics\test.obj" is
// pics/test.obj, and "<folder>\test.obj" lands in <folder> even when the
// folder's own name holds a backslash.
std::string nativePath(std::u16string_view path);

// Returns the descriptor, or -1 with the errno in `error`. Folders are
// refused with EACCES, as the platform we mirror does; pipes, devices and
// sockets with kErrorNotRegularFile, decided on the open descriptor (opened
// non-blocking, so a pipe with no writer cannot stall the open).
int openFile(std::u16string_view path, int openFlags, int& error);
int32_t readFile(int descriptor, void* buffer, int32_t count);
int32_t writeFile(int descriptor, const void* buffer, int32_t count);
// origin 0: start, 1: current, 2: end. Returns the new position or -1.
int32_t seekFile(int descriptor, int32_t offset, int origin);
// Length of the open file, or -1.
int64_t fileLength(int descriptor);
bool atEndOfFile(int descriptor);
void closeFile(int descriptor);

// The absolute form of a path with "." and ".." folded, '/'-separated. Like
// the platform call it folds the text and the path need not exist; only
// which backslashes separate is read from the disk, as in nativePath.
std::u16string fullPath(std::u16string_view path);

// $XDG_DATA_HOME, else $HOME/.local/share; empty when neither is known.
std::u16string userDataFolder();

bool fileExists(std::u16string_view path);
bool isFolder(std::u16string_view path);

// Why an open of `path` ended in `error`, worded to follow the quoted path:
// "does not exist", "is a folder", "is not a regular file (...)", ...
std::string openFailureReason(std::u16string_view path, int error);

// The path as the OS sees it, quoted and with control characters escaped,
// for messages.
std::string quotedPath(std::u16string_view path);

} // namespace sys
