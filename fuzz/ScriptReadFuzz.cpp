// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the script reader, as `embossa script` would,
// and runs what it accepts against the command's engine values: no text may
// crash the reader, and no program it accepts may overrun, leak or recurse
// past its bounds when it runs.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "core/UserInput.h"
#include "render/D3D/SwapChain.h"
#include "script/Reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static D3D::Device::SwapChain camera{nullptr};
    static UserInput input;
    static const script::Predeclared globals[] = {
        {"camera", createObject(TypeCamera, &camera)},
        {"keyboard", createObject(TypeKeyboard, input.keyDown)},
        {"mouse", createObject(TypeMouse, &input)},
    };
    static std::FILE* const output = std::fopen("/dev/null", "w");

    script::ReadError error;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto program = script::readProgram(text, "fuzz.es", globals, error);
    if (!program) {
        // Every refusal is located inside the text.
        if (error.line < 1 || error.column < 1 || error.message.empty()) __builtin_trap();
        return 0;
    }
    // The reader admits runs of up to 50 million evaluations; a fuzzer
    // wants many short ones.
    if (program->evaluations > 200'000) return 0;
    setScriptOutput(output);
    program->run();
    return 0;
}
