// SPDX-License-Identifier: MIT
#include "app/PlayCommand.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/Sound2D.h"
#include "audio/SoundEventHandler.h"
#include "audio/SoundLoader.h"
#include "audio/WaveFile.h"
#include "core/ReplaceFile.h"
#include "sys/FileSystem.h"
#include "sys/Unicode.h"

namespace app {
namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;
constexpr double kLongestRender = 3600.0; // seconds held in memory at most
// One mix of the offline device: what an audio callback asks for in 10 ms.
constexpr size_t kChunkFrames = 441;

struct PlayOptions {
    std::string sound;
    bool loop = false;
    float volume = 1.0f;
    float pitch = 1.0f;
    bool positioned = false;
    float at[3] = {0.0f, 0.0f, 0.0f};
    double seconds = -1.0; // until the sound ends
    std::string render;
};

bool parseNumber(const std::string& text, double low, double high, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value) && value >= low &&
           value <= high;
}

// Usage problems as one line; empty when the options are good.
std::string parseOptions(const std::vector<std::string>& args, PlayOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* name, std::string& text) -> std::string {
            if (i + 1 >= args.size()) return std::string(name) + " needs a value";
            text = args[++i];
            return {};
        };
        std::string text, problem;
        double number = 0.0;
        if (arg == "--loop") {
            options.loop = true;
        } else if (arg == "--volume") {
            if (!(problem = value("--volume", text)).empty()) return problem;
            if (!parseNumber(text, 0.0, 1.0, number))
                return "--volume takes a number from 0 to 1, not '" + sys::printable(text) + "'";
            options.volume = float(number);
        } else if (arg == "--pitch") {
            if (!(problem = value("--pitch", text)).empty()) return problem;
            if (!parseNumber(text, 0.01, 4.0, number))
                return "--pitch takes a number from 0.01 to 4, not '" + sys::printable(text) + "'";
            options.pitch = float(number);
        } else if (arg == "--seconds") {
            if (!(problem = value("--seconds", text)).empty()) return problem;
            if (!parseNumber(text, 0.001, kLongestRender, number))
                return "--seconds takes a number from 0.001 to 3600, not '" + sys::printable(text) +
                       "'";
            options.seconds = number;
        } else if (arg == "--at") {
            if (!(problem = value("--at", text)).empty()) return problem;
            float xyz[3];
            char tail = 0;
            if (std::sscanf(text.c_str(), "%f,%f,%f%c", &xyz[0], &xyz[1], &xyz[2], &tail) != 3 ||
                !std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2]))
                return "--at takes X,Y,Z, three numbers, not '" + sys::printable(text) + "'";
            options.positioned = true;
            for (int k = 0; k < 3; ++k) options.at[k] = xyz[k];
        } else if (arg == "--render") {
            if (!(problem = value("--render", text)).empty()) return problem;
            options.render = text;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return "unknown option '" + sys::printable(arg) + "'";
        } else if (options.sound.empty()) {
            options.sound = arg;
        } else {
            return "play takes one sound, not also '" + sys::printable(arg) + "'";
        }
    }
    if (options.sound.empty()) return "play needs a sound file";
    if (!options.render.empty() && options.loop && options.seconds < 0.0)
        return "--render with --loop needs --seconds";
    return {};
}

// Everything a play sets up, torn down in the right order.
struct Session {
    IDirectSound8* device = nullptr;
    SoundData* data = nullptr;
    Audio::SoundInterface* sound = nullptr;

    ~Session() {
        if (sound) sound->release();
        delete data;
        Audio::device = nullptr;
        Audio::enabled = false;
        Audio::SoundEventHandler::instance().setManual(false);
        if (device) device->Release();
    }
};

// Playing, with a buffer that still plays (a sound that ended has stopped).
bool stillPlaying(const Audio::SoundInterface& sound) {
    if (sound.state != Audio::SoundInterface::Playing || !sound.buffer) return false;
    DWORD status = 0;
    if (FAILED(sound.buffer->GetStatus(&status))) return false;
    return (status & DSBSTATUS_PLAYING) != 0;
}

} // namespace

int runPlayCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    PlayOptions options;
    const std::string problem = parseOptions(args, options);
    if (!problem.empty()) {
        std::fprintf(err, "embossa: %s (see --help)\n", problem.c_str());
        return kUsageError;
    }
    const std::string shown = sys::quotedPath(sys::utf8ToUtf16(options.sound));
    const bool offline = !options.render.empty();

    Session session;
    const HRESULT created = offline ? dsound::createOfflineDevice(&session.device)
                                    : DirectSoundCreate8(nullptr, &session.device, nullptr);
    if (FAILED(created) || !session.device) {
        std::fputs("embossa: no audio device to play on; 'embossa play SOUND --render OUT.wav' "
                   "works without one\n",
                   err);
        return kFailed;
    }
    session.device->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
    Audio::device = session.device;
    Audio::enabled = true;
    Audio::SoundEventHandler::instance().setManual(offline);

    std::string why;
    Audio::LoadOptions load;
    load.positioned = options.positioned;
    session.data = Audio::loadSound(String(sys::utf8ToUtf16(options.sound)), load, why);
    if (!session.data) {
        std::fprintf(err, "embossa: cannot play %s: %s\n", shown.c_str(), why.c_str());
        return kFailed;
    }
    const double rate = double(session.data->format.nSamplesPerSec) * options.pitch;
    if (rate < DSBFREQUENCY_MIN || rate > DSBFREQUENCY_MAX) {
        std::fprintf(err, "embossa: cannot play %s at pitch %g: %.0f Hz is outside 100 to 200000\n",
                     shown.c_str(), double(options.pitch), rate);
        return kFailed;
    }
    if (options.positioned && session.data->format.nChannels != 1) {
        std::fprintf(err,
                     "embossa: cannot play %s: it is stereo, and a sound placed with --at "
                     "must be mono\n",
                     shown.c_str());
        return kFailed;
    }

    if (options.positioned) {
        Audio::Sound3D* sound = Audio::Sound3D::create();
        session.sound = sound;
        sound->init(session.data);
        for (int k = 0; k < 3; ++k) sound->position[k] = options.at[k];
    } else {
        session.sound = Audio::Sound2D::create();
        session.sound->init(session.data);
    }
    Audio::SoundInterface& sound = *session.sound;
    sound.setPitch(options.pitch);
    sound.setVolume(options.volume);
    sound.play(options.loop ? 1 : 0);
    const bool silent = options.volume <= Audio::kAudibleVolume;
    if (!silent && sound.state != Audio::SoundInterface::Playing) {
        std::fprintf(err, "embossa: cannot play %s: the audio device gave it no buffer\n",
                     shown.c_str());
        return kFailed;
    }

    if (!offline) {
        const auto start = std::chrono::steady_clock::now();
        while (true) {
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (options.seconds >= 0.0 ? elapsed >= options.seconds
                                       : silent || !stillPlaying(sound))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 0;
    }

    // Offline: mix in the device's own steps and serve the streams between
    // them, as the event thread would between two callbacks.
    const size_t limitFrames = size_t((options.seconds >= 0.0 ? options.seconds : kLongestRender) *
                                      double(dsound::kOutputRate));
    std::vector<int16_t> samples;
    while (true) {
        const size_t done = samples.size() / dsound::kOutputChannels;
        if (done >= limitFrames) break;
        if (options.seconds < 0.0 && (silent || !stillPlaying(sound))) break;
        const size_t frames = std::min(kChunkFrames, limitFrames - done);
        samples.resize((done + frames) * dsound::kOutputChannels);
        dsound::render(session.device, samples.data() + done * dsound::kOutputChannels, frames);
        Audio::SoundEventHandler::instance().pump();
    }
    if (options.seconds < 0.0 && stillPlaying(sound)) {
        std::fprintf(err, "embossa: cannot render %s: it plays longer than an hour\n",
                     shown.c_str());
        return kFailed;
    }
    const std::string bytes = waveFileBytes(samples.data(), samples.size(), dsound::kOutputRate,
                                            uint16_t(dsound::kOutputChannels));
    if (!replaceFile(String(sys::utf8ToUtf16(options.render)), bytes.data(), bytes.size(), why)) {
        std::fprintf(err, "embossa: %s\n", why.c_str());
        return kFailed;
    }
    std::fprintf(out, "%s\n", sys::printable(options.render).c_str());
    return 0;
}

} // namespace app
