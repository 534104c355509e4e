// Export by the name's extension: ".flac" writes FLAC (16-bit for 16-bit samples, 24-bit
// for 32-bit integer and float), ".ogg" writes Ogg Vorbis, in any letter case; anything
// else still writes WAV. Each file is checked in its header bytes and read back through
// the platform's reader (libsndfile): lossless ones sample for sample, Vorbis by its error.
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/system.h"
#include "sound/render.h"
#include "test_support.h"

struct CompressedExport : testing::Test {
    std::string folder;
    void* audio_memory = nullptr;
    static constexpr i32 RATE = 44100;
    static constexpr i32 FRAMES = 22050;

    void SetUp() override {
        headless_reset();
        char pattern[] = "/tmp/sorvane_compressed_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        audio_memory = malloc(16 << 20);
        audio_set_buffer(16 << 20, audio_memory);
    }
    void TearDown() override {
        audio_set_buffer(0, nullptr);
        free(audio_memory);
        std::string command = "rm -rf '" + folder + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }

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
        std::string path = folder + "/" + name;
        EXPECT_TRUE(audio_wave_save(&wave, to_str(path))) << to_string(system_last_error());
        return path;
    }
    static std::string bytes_of(const std::string& path) {
        std::string bytes;
        FILE* file = fopen(path.c_str(), "rb");
        if (!file) return bytes;
        int c;
        while ((c = fgetc(file)) != EOF) bytes.push_back((char)c);
        fclose(file);
        return bytes;
    }
    // FLAC's stream information: bits per sample, channels and rate.
    static void flac_info(const std::string& bytes, i32* bits, i32* channels, i32* rate) {
        ASSERT_GE(bytes.size(), 26u);
        ASSERT_EQ(bytes.substr(0, 4), "fLaC");
        const u8* info = (const u8*)bytes.data() + 8;  // after the block header
        *rate = (info[10] << 12) | (info[11] << 4) | (info[12] >> 4);
        *channels = ((info[12] >> 1) & 7) + 1;
        *bits = (((info[12] & 1) << 4) | (info[13] >> 4)) + 1;
    }
    // Reads the file back and answers the largest difference from the chord.
    static f64 largest_error(const std::string& path, i64* frames_read) {
        WaveData wave = {};
        EXPECT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(path)));
        EXPECT_EQ(wave.channels, 2);
        EXPECT_EQ(wave.sample_rate, RATE);
        std::vector<f32> expected = chord();
        i64 count = wave.size / 4;
        *frames_read = count / 2;
        f64 worst = 0;
        for (i64 i = 0; i < count && i < (i64)expected.size(); i += 1)
            worst = std::max(worst, std::fabs((f64)((f32*)wave.data)[i] - expected[(size_t)i]));
        return worst;
    }
    static f64 rms_error(const std::string& path) {
        WaveData wave = {};
        EXPECT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(path)));
        std::vector<f32> expected = chord();
        i64 count = std::min(wave.size / 4, (i64)expected.size());
        f64 sum = 0;
        for (i64 i = 0; i < count; i += 1) {
            f64 d = ((f32*)wave.data)[i] - expected[(size_t)i];
            sum += d * d;
        }
        return count > 0 ? std::sqrt(sum / (f64)count) : 1.0;
    }
};

TEST_F(CompressedExport, FlacKeepsSixteenBitSamplesExactly) {
    std::string path = save("chord.flac", SAMPLE_FORMAT_S16);
    i32 bits = 0, channels = 0, rate = 0;
    flac_info(bytes_of(path), &bits, &channels, &rate);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, RATE);
    i64 frames = 0;
    EXPECT_LE(largest_error(path, &frames), 1.0 / 32767.0 + 1e-6);
    EXPECT_EQ(frames, FRAMES);
}

TEST_F(CompressedExport, FlacWritesThirtyTwoBitIntegerAndFloatAsTwentyFourBit) {
    for (i32 format : {SAMPLE_FORMAT_S32, SAMPLE_FORMAT_F32}) {
        std::string path = save(format == SAMPLE_FORMAT_S32 ? "int.flac" : "float.flac", format);
        i32 bits = 0, channels = 0, rate = 0;
        flac_info(bytes_of(path), &bits, &channels, &rate);
        EXPECT_EQ(bits, 24) << format;
        i64 frames = 0;
        // 24 bits: far finer than 16 could be.
        EXPECT_LE(largest_error(path, &frames), 4.0 / 8388607.0) << format;
        EXPECT_EQ(frames, FRAMES);
    }
}

TEST_F(CompressedExport, FloatBeyondFullScaleClipsInsteadOfWrapping) {
    std::vector<f32> loud((size_t)FRAMES * 2, 1.5f);
    for (size_t i = 1; i < loud.size(); i += 2) loud[i] = -1.5f;
    std::string path = save("loud.flac", SAMPLE_FORMAT_F32, loud);
    WaveData wave = {};
    ASSERT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(path)));
    const f32* read = (const f32*)wave.data;
    EXPECT_GT(read[100], 0.99f);
    EXPECT_LT(read[101], -0.99f);
}

TEST_F(CompressedExport, OggIsVorbisWhateverTheSampleType) {
    for (i32 format : {SAMPLE_FORMAT_S16, SAMPLE_FORMAT_S32, SAMPLE_FORMAT_F32}) {
        std::string path = save("chord.ogg", format);
        std::string bytes = bytes_of(path);
        ASSERT_GT(bytes.size(), 40u);
        EXPECT_EQ(bytes.substr(0, 4), "OggS");
        EXPECT_EQ(bytes.substr(28, 7), std::string("\x01vorbis", 7));
        // Lossy, and far smaller than the 88 KB of 16-bit samples, yet close to the chord.
        EXPECT_LT(bytes.size(), (size_t)FRAMES * 2 * 2 / 2);
        EXPECT_LT(rms_error(path), 0.02) << format;
        i64 frames = 0;
        largest_error(path, &frames);
        EXPECT_EQ(frames, FRAMES);
    }
}

TEST_F(CompressedExport, TheExtensionMatchesInAnyCaseAndOtherNamesStayWave) {
    EXPECT_EQ(bytes_of(save("upper.FLAC", SAMPLE_FORMAT_S16)).substr(0, 4), "fLaC");
    EXPECT_EQ(bytes_of(save("upper.Ogg", SAMPLE_FORMAT_S16)).substr(0, 4), "OggS");
    for (const char* name : {"plain.wav", "noext", "flac", "song.flac.wav", "x.oggs"}) {
        std::string bytes = bytes_of(save(name, SAMPLE_FORMAT_S16));
        ASSERT_GE(bytes.size(), 12u) << name;
        EXPECT_EQ(bytes.substr(0, 4), "RIFF") << name;
        EXPECT_EQ(bytes.substr(8, 4), "WAVE") << name;
    }
}

TEST_F(CompressedExport, TheExportPathChoosesTheContainerByTheName) {
    // The same call the worker's export makes, with the piece's sample type 1 (32-bit).
    for (const char* name : {"export.flac", "export.ogg"}) {
        std::vector<f32> samples = chord();
        Rendering rendering = {};
        rendering.samples = (f32*)malloc(samples.size() * 4);
        ASSERT_TRUE(rendering.samples);
        memcpy(rendering.samples, samples.data(), samples.size() * 4);
        rendering.length = (i64)samples.size();
        rendering.channels = 2;
        rendering.sample_rate = RATE;
        RenderFailure failure = {};
        std::string path = folder + "/" + name;
        EXPECT_TRUE(render_save(&rendering, 1, to_str(path), &failure));
        rendering_free(&rendering);
        std::string bytes = bytes_of(path);
        EXPECT_EQ(bytes.substr(0, 4), std::string(name[7] == 'f' ? "fLaC" : "OggS"));
        i64 frames = 0;
        largest_error(path, &frames);
        EXPECT_EQ(frames, FRAMES);
    }
}

TEST_F(CompressedExport, FlacRefusesWhatItCannotHoldWithAReason) {
    std::vector<f32> samples(64, 0.0f);
    WaveData wave = {SAMPLE_FORMAT_F32, 2, 1000000, (i64)samples.size() * 4, samples.data()};
    std::string path = folder + "/fast.flac";
    EXPECT_FALSE(audio_wave_save(&wave, to_str(path)));
    EXPECT_GT(system_last_error().length, 0);
    EXPECT_NE(access(path.c_str(), F_OK), 0) << to_string(system_last_error());
}
