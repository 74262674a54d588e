// SPDX-License-Identifier: MIT
// Turns script text into a Program: a Script whose global method holds the
// file's top-level declarations and statements, plus the methods the file
// defines. Hostile text is refused with one located message, never a crash:
// sizes, name lengths, nesting and the work a run would do are bounded
// before anything runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "script/Method.h"

namespace script {

inline constexpr size_t kMaxScriptBytes = size_t(16) << 20;
inline constexpr int32_t kMaxNesting = 256;
inline constexpr int32_t kMaxNameLength = 63;
inline constexpr int32_t kMaxStringLength = 511;
// Node evaluations one run may make, calls counted with their callees'.
// With no loops or conditionals the count is known before the run.
inline constexpr uint64_t kMaxEvaluations = 50'000'000;
// What one program may hold: its operators, values and calls, a declared
// vector counting ten and a matrix forty. Half a GiB at the most.
inline constexpr int64_t kMaxProgramParts = 2'000'000;

// Where reading stopped and why; text() is "FILE:LINE:COLUMN: message".
struct ReadError {
    std::string file;
    int32_t line = 0;
    int32_t column = 0;
    std::string message;

    std::string text() const;
};

// The error for a file too large to be a script, at its first byte.
ReadError fileTooLarge(std::string_view fileName, uint64_t size);

// A global value a program knows before its first line (the command
// line's camera, keyboard and mouse). One without a name or a value, or
// with a name given before, is left out.
struct Predeclared {
    const char* name;
    SharedPtr<Script::ObjectBase> value;
};

class Program {
public:
    Script script;
    // The methods the file defines, in the order written.
    DynArray<SharedPtr<Script::Method>> methods{1, 16};
    int32_t methodCount = 0;
    // Node evaluations one run makes, calls counted with their callees'.
    uint64_t evaluations = 0;

    // Runs the global method once: every statement in order, each exactly
    // once ("return" fills the return value and does not leave a method).
    void run();
};

// Null, with `error` filled, when the text is not a valid script.
// `maxParts` is there for tests, which cannot afford the memory of the
// real bound.
std::unique_ptr<Program> readProgram(std::string_view text, std::string_view fileName,
                                     std::span<const Predeclared> predeclared, ReadError& error,
                                     int64_t maxParts = kMaxProgramParts);

} // namespace script
