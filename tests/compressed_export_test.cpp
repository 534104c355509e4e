// Export by the name's extension: ".flac" writes FLAC (16-bit for 16-bit samples, 24-bit
// for 32-bit integer and float), ".ogg" writes Ogg Vorbis, in any letter case; anything
// else still writes WAV. Each file is checked in its header bytes and read back through
// the platform's reader (libsndfile): lossless ones sample for sample, Vorbis by its error.
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "sound_test_support.h"

struct CompressedExport : testing::Test {
    TempFolder folder;
    WaveMemory memory{16 << 20};
    static constexpr i32 RATE = 44100;
    static constexpr i32 FRAMES = 22050;

    void SetUp() override { headless_reset(); }
    // Half a second of a stereo chord (440 Hz left, 660 Hz right) at 0.5 of full scale.
    static std::vector<f32> chord() {
        std::vector<f32> samples((size_t)FRAMES * 2);
        for (i32 i = 0; i < FRAMES; i += 1) {
            samples[(size_t)i * 2] = 0.5f * (f32)std::sin(2 * M_PI * 440.0 * i / RATE);
            samples[(size_t)i * 2 + 1] = 0.5f * (f32)std::sin(2 * M_PI * 660.0 * i / RATE);
        }
        return samples;
    }
    // The chord converted to the sample format and saved under the name.
    std::string save(const char* name, i32 format, std::vector<f32> samples = chord()) {
        WaveData wave = {SAMPLE_FORMAT_F32, 2, RATE, (i64)samples.size() * 4, samples.data()};
        EXPECT_TRUE(audio_wave_convert(&wave, format));
        std::string path = folder / name;
        EXPECT_TRUE(audio_wave_save(&wave, to_str(path))) << to_string(system_last_error());
        return path;
    }
    // The file's first bytes as text.
    static std::string head(const std::string& path, size_t count) {
        std::vector<u8> bytes = file_bytes(path);
        return std::string(bytes.begin(), bytes.begin() + (ptrdiff_t)std::min(count, bytes.size()));
    }
    // Reads the file back: its length in frames must be the chord's; answers the largest
    // and the root-mean-square difference from the chord.
    static void errors(const std::string& path, f64* largest, f64* rms) {
        WaveData wave = {};
        *largest = *rms = 1.0;
        ASSERT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(path)));
        EXPECT_EQ(wave.channels, 2);
        EXPECT_EQ(wave.sample_rate, RATE);
        std::vector<f32> expected = chord();
        ASSERT_EQ(wave.size / 4, (i64)expected.size()) << path;
        f64 worst = 0, sum = 0;
        for (size_t i = 0; i < expected.size(); i += 1) {
            f64 d = std::fabs((f64)((f32*)wave.data)[i] - expected[i]);
            worst = std::max(worst, d);
            sum += d * d;
        }
        *largest = worst;
        *rms = std::sqrt(sum / (f64)expected.size());
    }
};

// FLAC keeps 16 bits and writes 32-bit integers and floats as 24 bits; it refuses what it
// cannot hold.
TEST_F(CompressedExport, FlacKeepsSixteenBitsWritesWiderAsTwentyFourAndRefusesTheRest) {
    struct Case {
        i32 format, bits;
        f64 error;
    } cases[] = {{SAMPLE_FORMAT_S16, 16, 1.0 / 32767.0 + 1e-6},
                 {SAMPLE_FORMAT_S32, 24, 4.0 / 8388607.0},  // far finer than 16 bits could be
                 {SAMPLE_FORMAT_F32, 24, 4.0 / 8388607.0}};
    for (const Case& c : cases) {
        std::string path = save("chord.Flac", c.format);  // the extension in any case
        std::vector<u8> bytes = file_bytes(path);
        ASSERT_GE(bytes.size(), 26u);
        ASSERT_EQ(head(path, 4), "fLaC");
        const u8* info = bytes.data() + 8;  // the stream information, after its block header
        EXPECT_EQ((((info[12] & 1) << 4) | (info[13] >> 4)) + 1, c.bits);  // bits per sample
        f64 largest, rms;
        errors(path, &largest, &rms);
        EXPECT_LE(largest, c.error) << c.format;
    }
    // Float beyond full scale clips instead of wrapping.
    std::vector<f32> loud((size_t)FRAMES * 2, 1.5f);
    for (size_t i = 1; i < loud.size(); i += 2) loud[i] = -1.5f;
    WaveData wave = {};
    ASSERT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(save("loud.flac", SAMPLE_FORMAT_F32, loud))));
    EXPECT_GT(((const f32*)wave.data)[100], 0.99f);
    EXPECT_LT(((const f32*)wave.data)[101], -0.99f);
    // A rate FLAC cannot hold is refused with a reason, and no file is left.
    WaveData fast = {SAMPLE_FORMAT_F32, 2, 1000000, 64 * 4, loud.data()};
    std::string path = folder / "fast.flac";
    EXPECT_FALSE(audio_wave_save(&fast, to_str(path)));
    EXPECT_GT(system_last_error().length, 0);
    EXPECT_NE(access(path.c_str(), F_OK), 0) << to_string(system_last_error());
}

// Vorbis whatever the sample type; names that do not end in either extension stay WAV.
TEST_F(CompressedExport, OggIsVorbisWhateverTheSampleTypeAndOtherNamesStayWave) {
    for (i32 format : {SAMPLE_FORMAT_S16, SAMPLE_FORMAT_S32, SAMPLE_FORMAT_F32}) {
        std::string path = save("chord.OGG", format);
        EXPECT_EQ(head(path, 4), "OggS");
        EXPECT_EQ(head(path, 35).substr(28), std::string("\x01vorbis", 7));
        // Lossy, and far smaller than the 88 KB of 16-bit samples, yet close to the chord.
        EXPECT_LT(file_bytes(path).size(), (size_t)FRAMES * 2 * 2 / 2);
        f64 largest, rms;
        errors(path, &largest, &rms);
        EXPECT_LT(rms, 0.02) << format;
    }
    for (const char* name : {"plain.wav", "noext", "flac", "song.flac.wav", "x.oggs"}) {
        std::string bytes = head(save(name, SAMPLE_FORMAT_S16), 12);
        EXPECT_EQ(bytes.substr(0, 4), "RIFF") << name;
        EXPECT_EQ(bytes.substr(8), "WAVE") << name;
    }
}
