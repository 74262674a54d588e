// SPDX-License-Identifier: MIT
// `embossa play` end to end through --render: what comes out is the tone
// at its pitch, its volume and its distance, the same bytes every time,
// and every problem is one line with the right exit status.
#include "app/PlayCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/SoundFiles.h"
#include "support/TempFolder.h"

namespace {

using audio_test::sine;

class PlayCommandTest : public ::testing::Test {
protected:
    TempFolder temp;
    std::string errors;

    std::string path(const std::string& name) { return (temp / name).string(); }

    int play(std::vector<std::string> args) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        const int status = app::runPlayCommand(args, out, err);
        std::rewind(err);
        char line[512] = {};
        errors = std::fgets(line, sizeof line, err) ? line : "";
        std::fclose(out);
        std::fclose(err);
        return status;
    }

    // The rendered samples (interleaved stereo) after the 44-byte header.
    std::vector<int16_t> rendered(const std::string& file) {
        const std::string bytes = TempFolder::readBytes(file);
        std::vector<int16_t> samples(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
        std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
        return samples;
    }

    std::string tone(const std::string& name, double hertz, uint32_t rate = 44100) {
        const std::string file = path(name);
        TempFolder::writeBytes(file, audio_test::waveFile(sine(hertz, 1.0, rate, 1), rate, 1));
        return file;
    }
};

TEST_F(PlayCommandTest, RendersTheToneAtItsPitch) {
    const std::string sound = tone("a.wav", 440, 22050);
    ASSERT_EQ(play({sound, "--render", path("a.out.wav")}), 0) << errors;
    std::vector<int16_t> heard = rendered(path("a.out.wav"));
    EXPECT_NEAR(heard.size() / 2, 44100u, 441u) << "one second, to the nearest mix";
    EXPECT_NEAR(audio_test::measuredFrequency(heard, 2, 44100), 440.0, 1.0);

    ASSERT_EQ(play({sound, "--pitch", "2", "--render", path("b.out.wav")}), 0) << errors;
    heard = rendered(path("b.out.wav"));
    EXPECT_NEAR(audio_test::measuredFrequency(heard, 2, 44100), 880.0, 2.0);
    EXPECT_NEAR(heard.size() / 2, 22050u, 441u) << "twice as fast, half as long";
}

TEST_F(PlayCommandTest, VolumeAndDistanceAttenuateAsDirectSoundDoes) {
    const std::string sound = tone("t.wav", 500);
    auto level = [&](std::vector<std::string> options) {
        std::vector<std::string> args{sound, "--render", path("level.wav")};
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(play(args), 0) << errors;
        return audio_test::rms(rendered(path("level.wav")), 2, 4410, 22050);
    };
    const double full = level({});
    // 0.25 is -50 dB on the buffer: 10^(-50/20) of the amplitude.
    EXPECT_NEAR(level({"--volume", "0.25"}) / full, std::pow(10.0, -2.5), 0.0005);
    // At twice the minimum distance the inverse-distance rolloff halves it.
    const double minimum = std::pow(100.0, 0.1);
    const double near = level({"--at", "0,0," + std::to_string(minimum)});
    const double far = level({"--at", "0,0," + std::to_string(2 * minimum)});
    EXPECT_NEAR(20.0 * std::log10(far / near), -6.02, 0.1);
}

TEST_F(PlayCommandTest, TheSameInputGivesTheSameBytes) {
    const std::string sound = path("stream.ogg");
    TempFolder::writeBytes(sound, audio_test::vorbisFile(sine(330, 3.5, 32000, 2), 32000, 2));
    const std::vector<std::string> options{"--loop", "--seconds", "8",  "--pitch",
                                           "1.3",    "--volume",  "0.8"};
    std::vector<std::string> first{sound, "--render", path("1.wav")};
    std::vector<std::string> second{sound, "--render", path("2.wav")};
    first.insert(first.end(), options.begin(), options.end());
    second.insert(second.end(), options.begin(), options.end());
    ASSERT_EQ(play(first), 0) << errors;
    ASSERT_EQ(play(second), 0) << errors;
    const std::string bytes = TempFolder::readBytes(path("1.wav"));
    EXPECT_EQ(bytes.size(), 44u + 8u * 44100u * 4u);
    EXPECT_EQ(bytes, TempFolder::readBytes(path("2.wav")));
    EXPECT_GT(audio_test::rms(rendered(path("1.wav")), 2, 44100 * 7, 44100), 1000.0)
        << "still playing in its last second";
}

// SDL's dummy driver stands for a real audio device: the sound plays in
// real time and the command ends with it, or after --seconds.
TEST_F(PlayCommandTest, PlaysOnTheAudioDeviceUntilTheSoundEnds) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::string sound = path("short.wav");
    TempFolder::writeBytes(sound, audio_test::waveFile(sine(440, 0.3, 22050, 1), 22050, 1));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(play({sound}), 0) << errors;
    EXPECT_EQ(play({sound, "--loop", "--seconds", "0.2"}), 0) << errors;
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(took, 0.45);
    ::unsetenv("SDL_AUDIODRIVER");
}

TEST_F(PlayCommandTest, ProblemsAreOneLineWithTheirStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::string sound = tone("ok.wav", 440);
    const std::string stereo = path("stereo.wav");
    TempFolder::writeBytes(stereo, audio_test::waveFile(sine(440, 0.2, 8000, 2), 8000, 2));
    const std::string broken = path("broken.wav");
    TempFolder::writeBytes(broken, "RIFF\xff\xff\xff\x7fWAVE");
    const std::string out = path("x.wav");
    const Case cases[] = {
        {{}, 2, "needs a sound"},
        {{sound, "--volume", "2"}, 2, "from 0 to 1"},
        {{sound, "--pitch", "-1"}, 2, "--pitch"},
        {{sound, "--seconds", "nan"}, 2, "--seconds"},
        {{sound, "--at", "1,2"}, 2, "X,Y,Z"},
        {{sound, "--loop", "--render", out}, 2, "needs --seconds"},
        {{sound, "--wobble"}, 2, "unknown option"},
        {{broken, "--render", out}, 1, "runs past the end"},
        {{path("missing.wav"), "--render", out}, 1, "cannot play"},
        {{stereo, "--at", "1,0,0", "--render", out}, 1, "must be mono"},
        {{stereo, "--pitch", "0.01", "--render", out}, 1, "80 Hz is outside"},
        {{sound, "--render", path("no/such/folder/x.wav")}, 1, "x.wav"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(play(c.args), c.status) << errors;
        EXPECT_NE(errors.find(c.says), std::string::npos) << errors;
        EXPECT_EQ(errors.rfind("embossa: ", 0), 0u) << errors;
    }
}

} // namespace
