// SPDX-License-Identifier: MIT
// `embossa play`: plays a WAV or Ogg Vorbis sound through the DirectSound
// stand-in and the engine's sound objects, or mixes it offline into a
// 44,100 Hz 16-bit stereo WAV that holds exactly what the device would have
// played (the same input and options give the same bytes).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace app {

// `args` are the words after "play". 0 when the sound played (or was
// rendered), 1 when it could not be read, decoded or played or the output
// could not be written, 2 for a usage error; each error is one line on `err`.
int runPlayCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

} // namespace app
