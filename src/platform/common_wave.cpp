// Wave files for both back ends through libsndfile: decoding into the audio working
// memory (audio_set_buffer), sample format conversion in place, and writing WAV, FLAC or
// Ogg Vorbis by the name's extension. Owns
// the working memory's position. Loading runs on the main thread at start-up;
// conversion and saving on the render worker during an export.
#include <limits.h>
#include <math.h>
#include <sndfile.h>
#include <stdio.h>
#include <unistd.h>
#include <string.h>

#include "platform/common_internal.h"

static BumpArena audio_arena;

void audio_set_buffer(i64 size, void* block) {
    audio_arena = BumpArena{(u8*)block, block ? size : 0, 0};
}

bool audio_wave_load(WaveData* wave, i32 format, Str path) {
    platform_call_note(PLATFORM_CALL_WAVE_FILE);
    *wave = WaveData{};
    if (format != SAMPLE_FORMAT_F32) {
        platform_error_set("wave files load as 32-bit float only");
        return false;
    }
    if (!audio_arena.base) {
        platform_error_set("no audio buffer");
        return false;
    }
    char name[PATH_MAX];
    if (!platform_path_copy(path, name, sizeof(name))) return false;
    SF_INFO info = {};
    SNDFILE* file = sf_open(name, SFM_READ, &info);
    if (!file) {
        platform_error_set(sf_strerror(nullptr));
        return false;
    }
    if (info.channels <= 0 || info.frames < 0 ||
        info.frames > INT64_MAX / ((i64)info.channels * (i64)sizeof(f32))) {
        sf_close(file);
        platform_error_set("wave file has no usable length");
        return false;
    }
    i64 start = audio_arena.used;
    i64 bytes = info.frames * info.channels * (i64)sizeof(f32);
    f32* samples = (f32*)bump_alloc(&audio_arena, bytes);
    if (!samples) {
        sf_close(file);
        platform_error_set("audio buffer too small");
        return false;
    }
    // Some containers only estimate their length up front: keep what was really read.
    sf_count_t frames = sf_readf_float(file, samples, info.frames);
    sf_close(file);
    if (frames < 0) frames = 0;
    i64 bytes_read = (i64)frames * info.channels * (i64)sizeof(f32);
    audio_arena.used = (i64)((u8*)samples - audio_arena.base) + bytes_read;
    if (frames == 0 && info.frames > 0) {
        audio_arena.used = start;
        platform_error_set("wave file could not be decoded");
        return false;
    }
    *wave = WaveData{SAMPLE_FORMAT_F32, info.channels, info.samplerate, bytes_read, samples};
    return true;
}

// Clip to [-1, 1], scale to the largest positive value and round to nearest, so that
// both full-scale signs stay symmetric. Not a number becomes silence.
static f64 sample_quantize(f32 sample, f64 full_scale) {
    f64 value = sample;
    if (value != value) return 0.0;
    if (value > 1.0) value = 1.0;
    if (value < -1.0) value = -1.0;
    return nearbyint(value * full_scale);
}

bool audio_wave_convert(WaveData* wave, i32 format) {
    if (!wave || wave->format != SAMPLE_FORMAT_F32 || wave->size < 0) return false;
    if (format == SAMPLE_FORMAT_F32) return true;
    if (format != SAMPLE_FORMAT_S16 && format != SAMPLE_FORMAT_S32) return false;
    i64 count = wave->size / (i64)sizeof(f32);
    if (count > 0 && !wave->data) return false;
    const f32* from = (const f32*)wave->data;
    // Each output sample is no wider than its input and lies at or before it, so a
    // forward pass reads every input before anything overwrites it.
    if (format == SAMPLE_FORMAT_S16) {
        i16* to = (i16*)wave->data;
        for (i64 i = 0; i < count; i += 1) to[i] = (i16)sample_quantize(from[i], 32767.0);
        wave->size = count * (i64)sizeof(i16);
    } else {
        i32* to = (i32*)wave->data;
        for (i64 i = 0; i < count; i += 1)
            to[i] = (i32)sample_quantize(from[i], 2147483647.0);
        wave->size = count * (i64)sizeof(i32);
    }
    wave->format = format;
    return true;
}

// Whether the path ends in the extension (given in lower case), in any letter case.
static bool path_has_extension(Str path, const char* extension) {
    i64 length = (i64)strlen(extension);
    if (path.length < length) return false;
    const u8* end = path.data + path.length - length;
    for (i64 i = 0; i < length; i += 1) {
        u8 c = end[i];
        if (c >= 'A' && c <= 'Z') c = (u8)(c - 'A' + 'a');
        if (c != (u8)extension[i]) return false;
    }
    return true;
}

enum WaveContainer { CONTAINER_WAV, CONTAINER_FLAC, CONTAINER_OGG };

// The libsndfile format for the container and sample format. FLAC has no 32-bit samples:
// 32-bit integer and float both become 24-bit. Vorbis has no bit depth at all.
static int wave_file_format(i32 container, i32 sample_format) {
    if (container == CONTAINER_OGG) return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    if (container == CONTAINER_FLAC)
        return SF_FORMAT_FLAC |
               (sample_format == SAMPLE_FORMAT_S16 ? SF_FORMAT_PCM_16 : SF_FORMAT_PCM_24);
    switch (sample_format) {
    case SAMPLE_FORMAT_S16: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    case SAMPLE_FORMAT_S32: return SF_FORMAT_WAV | SF_FORMAT_PCM_32;
    default: return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    }
}

static i64 sample_bytes_of(i32 format) {
    switch (format) {
    case SAMPLE_FORMAT_S16: return 2;
    case SAMPLE_FORMAT_S32: return 4;
    case SAMPLE_FORMAT_F32: return 4;
    default: return 0;
    }
}

bool audio_wave_write_begin(WaveWriter* writer, i32 format, i32 channels, i32 sample_rate,
                            Str path) {
    platform_call_note(PLATFORM_CALL_WAVE_FILE);
    *writer = WaveWriter{};
    if (sample_bytes_of(format) == 0) {
        platform_error_set("unknown sample format");
        return false;
    }
    i32 container = CONTAINER_WAV;
    if (path_has_extension(path, ".flac")) container = CONTAINER_FLAC;
    if (path_has_extension(path, ".ogg")) container = CONTAINER_OGG;
    if (channels <= 0 || sample_rate <= 0) {
        platform_error_set("invalid wave data");
        return false;
    }
    if (!platform_path_copy(path, writer->name, sizeof(writer->name))) return false;
    SF_INFO info = {};
    info.samplerate = sample_rate;
    info.channels = channels;
    info.format = wave_file_format(container, format);
    if (!sf_format_check(&info)) {
        platform_error_set(container == CONTAINER_FLAC
                               ? "FLAC cannot hold this sample rate or channel count"
                               : "this sample rate or channel count cannot be written");
        return false;
    }
    // What a refused or failed write leaves is removed, unless it was there before.
    bool existed = access(writer->name, F_OK) == 0;
    SNDFILE* file = sf_open(writer->name, SFM_WRITE, &info);
    if (!file) {
        platform_error_set(sf_strerror(nullptr));
        if (!existed) remove(writer->name);
        return false;
    }
    // Float samples narrowed to FLAC's integers clip at full scale instead of wrapping.
    if (container != CONTAINER_WAV) sf_command(file, SFC_SET_CLIPPING, 0, SF_TRUE);
    writer->file = file;
    writer->format = format;
    writer->channels = channels;
    return true;
}

bool audio_wave_write_part(WaveWriter* writer, const void* samples, i64 size) {
    platform_call_note(PLATFORM_CALL_WAVE_FILE);
    if (!writer->file || writer->failed) return false;
    if (size < 0 || (size > 0 && !samples)) {
        platform_error_set("invalid wave data");
        writer->failed = 1;
        return false;
    }
    SNDFILE* file = (SNDFILE*)writer->file;
    // A trailing partial frame cannot be written and is dropped.
    sf_count_t frames = size / (sample_bytes_of(writer->format) * writer->channels);
    sf_count_t written = 0;
    switch (writer->format) {
    case SAMPLE_FORMAT_S16: written = sf_writef_short(file, (const short*)samples, frames); break;
    case SAMPLE_FORMAT_S32: written = sf_writef_int(file, (const int*)samples, frames); break;
    default: written = sf_writef_float(file, (const f32*)samples, frames); break;
    }
    if (written != frames) {
        platform_error_set(sf_strerror(file));
        writer->failed = 1;
        return false;
    }
    return true;
}

bool audio_wave_write_end(WaveWriter* writer, bool keep) {
    platform_call_note(PLATFORM_CALL_WAVE_FILE);
    if (!writer->file) return false;
    bool saved = keep && !writer->failed;
    if (sf_close((SNDFILE*)writer->file) != 0 && saved) {
        platform_error_set(sf_strerror(nullptr));
        saved = false;
    }
    writer->file = 0;
    // A file cut short is not left behind to be taken for the export.
    if (!saved) remove(writer->name);
    return saved;
}

bool audio_wave_save(const WaveData* wave, Str path) {
    if (!wave) {
        platform_call_note(PLATFORM_CALL_WAVE_FILE);
        return false;
    }
    if (wave->size < 0 || (wave->size > 0 && !wave->data)) {
        platform_call_note(PLATFORM_CALL_WAVE_FILE);
        platform_error_set(sample_bytes_of(wave->format) ? "invalid wave data" : "unknown sample format");
        return false;
    }
    WaveWriter writer;
    if (!audio_wave_write_begin(&writer, wave->format, wave->channels, wave->sample_rate, path))
        return false;
    bool written = audio_wave_write_part(&writer, wave->data, wave->size);
    return audio_wave_write_end(&writer, written) && written;
}
