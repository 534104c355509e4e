// Fuzz target of recorded waves through the platform's loader: the bytes are written to a
// file in the private folder, as a user's recording would be, and read with
// audio_wave_load. Besides the sanitizers it checks that a refused file leaves the record
// zeroed; that a loaded one is 32-bit float in whole frames inside the audio working memory;
// that the synthesiser's wave function can read it at any phase and channel; and that what
// the export path makes of it (16-bit conversion, audio_wave_save) loads back as the same
// samples within the rounding of 16 bits. libsndfile itself is not instrumented: coverage
// steers through our side of the loader only.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "fuzz_support.h"
#include "sound/sounds.h"
#include "sound/synth.h"

static const i64 WAVE_AUDIO_BYTES = 8 << 20;
static u8* wave_audio_memory;
static char wave_input_path[4096], wave_output_path[4096];

bool wave_fuzz_setup() {
    Str folder = fuzz_folder();
    if (folder.length == 0) return false;
    snprintf(wave_input_path, sizeof(wave_input_path), "%.*s/input.wav", (int)folder.length,
             (const char*)folder.data);
    snprintf(wave_output_path, sizeof(wave_output_path), "%.*s/output.wav", (int)folder.length,
             (const char*)folder.data);
    wave_audio_memory = (u8*)malloc((size_t)WAVE_AUDIO_BYTES);
    return wave_audio_memory != 0;
}

void wave_fuzz_teardown() {
    audio_set_buffer(0, 0);
    free(wave_audio_memory);
    wave_audio_memory = 0;
    remove(wave_input_path);
    remove(wave_output_path);
}

static bool record_zero(const WaveData* wave) {
    return wave->format == 0 && wave->channels == 0 && wave->sample_rate == 0 && wave->size == 0 &&
           wave->data == 0;
}

static const char* loaded_check(const WaveData* wave) {
    if (wave->format != SAMPLE_FORMAT_F32 || wave->channels <= 0 || wave->size < 0 || !wave->data)
        return "a loaded wave has an impossible format";
    if (wave->size % ((i64)wave->channels * 4) != 0) return "a loaded wave is not whole frames";
    const u8* begin = (const u8*)wave->data;
    if (begin < wave_audio_memory || begin + wave->size > wave_audio_memory + WAVE_AUDIO_BYTES)
        return "a loaded wave lies outside the audio working memory";
    return 0;
}

// What 16-bit export keeps of a sample: clipped to [-1, 1], not-a-number silenced.
static f64 sample_kept(f32 sample) {
    if (sample != sample) return 0.0;
    return sample > 1.0f ? 1.0 : sample < -1.0f ? -1.0 : (f64)sample;
}

const char* wave_fuzz_one(const u8* data, size_t size) {
    FILE* file = fopen(wave_input_path, "wb");
    if (!file) return "the input file could not be written";
    bool written = size == 0 || fwrite(data, 1, size, file) == size;
    if (fclose(file) != 0 || !written) return "the input file could not be written";
    audio_set_buffer(WAVE_AUDIO_BYTES, wave_audio_memory);

    WaveData wave;
    memset(&wave, 0x5A, sizeof(wave));
    if (!audio_wave_load(&wave, SAMPLE_FORMAT_F32, str_from_cstring(wave_input_path)))
        return record_zero(&wave) ? 0 : "a refused wave left the record filled";
    const char* failure = loaded_check(&wave);
    if (failure) return failure;

    WaveDefinition recording = {WAVE_SAMPLED, 440.0, wave};
    static const f64 phases[] = {0.0, 0.001, 0.5, 1.0, 77.25, -2.5, 4.0e15, -1.0e300};
    for (f64 phase : phases)
        for (i64 channel = 0; channel < 3; channel += 1)
            (void)wave_value(&recording, phase, channel);

    // The export path: convert to 16-bit in place, save, and read the file back.
    i64 count = wave.size / 4;
    f32* original = count > 0 ? (f32*)malloc((size_t)wave.size) : 0;
    if (count > 0 && !original) return "no memory for a copy of the samples";
    if (original) memcpy(original, wave.data, (size_t)wave.size);
    WaveData narrow = wave;
    if (!audio_wave_convert(&narrow, SAMPLE_FORMAT_S16))
        failure = "16-bit conversion refused a loaded wave";
    else if (narrow.size != count * 2) failure = "16-bit conversion gave the wrong size";
    else if (wave.sample_rate > 0 && audio_wave_save(&narrow, str_from_cstring(wave_output_path))) {
        WaveData back;
        if (!audio_wave_load(&back, SAMPLE_FORMAT_F32, str_from_cstring(wave_output_path)))
            failure = "a saved wave could not be loaded again";
        else if (back.channels != wave.channels || back.sample_rate != wave.sample_rate ||
                 back.size != wave.size)
            failure = "a saved wave came back in another format";
        else
            for (i64 i = 0; i < count && !failure; i += 1)
                if (fabs(((const f32*)back.data)[i] - sample_kept(original[i])) > 1.0e-4)
                    failure = "a saved sample came back changed beyond 16-bit rounding";
    }
    free(original);
    return failure;
}
