// Render path shared by playback, export, the command-line renderer and the benchmarks:
// compile, synthesise into a buffer of exactly the rendering's length, and for an export
// convert in place and save. Runs on whichever thread calls it; allocates only from the
// pool it is given and, for the sample buffer, from malloc.
#include "sound/render.h"

#include <stdlib.h>
#include <string.h>

#include "platform/system.h"
#include "sound/midi_export.h"

// Rates that libsndfile and the time map handle without trouble.
static const i64 RENDER_RATE_MINIMUM = 1;
static const i64 RENDER_RATE_MAXIMUM = 1536000;

static void failure_append(RenderFailure* failure, Str text) {
    i64 room = (i64)sizeof(failure->text) - failure->length;
    i64 take = text.length < room ? text.length : room;
    if (take > 0) memcpy(failure->text + failure->length, text.data, (size_t)take);
    failure->length += take > 0 ? take : 0;
}

void render_failure_set(RenderFailure* failure, Str path, Str reason) {
    if (!failure) return;
    failure->length = 0;
    if (path.length > 0) {
        failure_append(failure, path);
        failure_append(failure, STR(" could not be written: "));
    }
    failure_append(failure, reason.length > 0 ? reason : STR("unknown reason"));
}

static void failure_append_count(RenderFailure* failure, i64 value) {
    u8 digits[24];
    i64 length = 0;
    do {
        digits[sizeof(digits) - 1 - length] = (u8)('0' + value % 10);
        value /= 10;
        length += 1;
    } while (value > 0 && length < (i64)sizeof(digits));
    failure_append(failure, Str{digits + sizeof(digits) - length, length});
}

bool render_complete(const Rendering* rendering, Str path, RenderFailure* failure) {
    if (!rendering->truncated && !rendering->incomplete) return true;
    if (!failure) return false;
    failure->length = 0;
    if (path.length > 0) {
        failure_append(failure, path);
        failure_append(failure, STR(" is incomplete: "));
    }
    if (rendering->incomplete) {
        failure_append(failure, STR("there was not enough memory for every note"));
        return false;
    }
    i64 frames_per_second = rendering->channels * rendering->sample_rate;
    i64 minutes = frames_per_second > 0 ? RENDER_MAX_SAMPLES / frames_per_second / 60 : 0;
    failure_append(failure, STR("the piece is longer than the longest rendering ("));
    failure_append_count(failure, minutes);
    failure_append(failure, STR(" minutes at this sample rate) and was cut there"));
    return false;
}

f32* render_buffer_resize(i64 length) {
    if (length <= 0) return 0;
    if ((u64)length > (u64)SIZE_MAX / sizeof(f32)) return 0;
    f32* samples = (f32*)calloc((size_t)length, sizeof(f32));
    memory_prefer_huge_pages(samples, length * (i64)sizeof(f32));
    return samples;
}

void rendering_free(Rendering* rendering) {
    free(rendering->samples);
    rendering->samples = 0;
    rendering->length = 0;
}

// The format checks and the compilation, without the sample buffer.
static bool render_compile(const Piece* piece, i64 sample_rate, i64 channels,
                           CompiledPiece* compiled, Rendering* rendering, RenderFailure* failure,
                           i64 track_blocks = -1) {
    *rendering = Rendering{};
    rendering->channels = channels;
    rendering->sample_rate = sample_rate;
    if (sample_rate < RENDER_RATE_MINIMUM || sample_rate > RENDER_RATE_MAXIMUM) {
        render_failure_set(failure, Str{0, 0}, STR("the sample rate is outside 1 to 1536000 Hz"));
        return false;
    }
    if (channels != 1 && channels != 2) {
        render_failure_set(failure, Str{0, 0}, STR("only one or two channels can be rendered"));
        return false;
    }
    compile_piece(piece, sample_rate, channels, compiled, track_blocks);
    rendering->truncated = compiled->truncated;
    rendering->incomplete = compiled->incomplete;
    rendering->length = compiled->compiled_length;
    return true;
}

bool render_prepare(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                    Rendering* rendering, RenderFailure* failure, i64 track_blocks) {
    if (!render_compile(piece, sample_rate, channels, compiled, rendering, failure, track_blocks))
        return false;
    i64 length = rendering->length;
    if (length > 0) {
        rendering->samples = render_buffer_resize(length);
        if (!rendering->samples) {
            render_failure_set(failure, Str{0, 0}, STR("not enough memory for the rendering"));
            return false;
        }
    }
    return true;
}

bool render_piece(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                  const SynthProgress* progress, Rendering* rendering, RenderFailure* failure,
                  i64 threads) {
    if (!render_prepare(piece, sample_rate, channels, compiled, rendering, failure)) return false;
    rendering->synthesis_seconds = synthesize(compiled, rendering->samples, rendering->length,
                                              progress, threads);
    return true;
}

// One part of a conversion, on a thread of its own.
struct ConvertPart {
    WaveData wave;
    i32 format;
    bool converted;
};

static i32 convert_part(void* argument) {
    ConvertPart* part = (ConvertPart*)argument;
    part->converted = audio_wave_convert(&part->wave, part->format);
    return 0;
}

// Below this many samples a conversion is not worth a thread.
static const i64 CONVERT_PART_MINIMUM = (i64)1 << 20;
static const i64 CONVERT_PARTS_MAXIMUM = 16;

bool render_convert(Rendering* rendering, i32 format, i64 threads, WaveData* wave) {
    *wave = WaveData{};
    wave->format = SAMPLE_FORMAT_F32;
    wave->channels = (i32)rendering->channels;
    wave->sample_rate = (i32)rendering->sample_rate;
    wave->size = rendering->length * 4;
    wave->data = rendering->samples;
    if (threads <= 0) threads = system_processor_count();
    i64 parts = rendering->length / CONVERT_PART_MINIMUM;
    if (parts > threads) parts = threads;
    if (parts > CONVERT_PARTS_MAXIMUM) parts = CONVERT_PARTS_MAXIMUM;
    if (format == SAMPLE_FORMAT_F32 || parts < 2) return audio_wave_convert(wave, format);
    // Each part is converted in place at the start of its own stretch of the buffer (a
    // sample depends on nothing but itself), then the parts are moved together in order:
    // a part never lands beyond where the next one's input begins.
    ConvertPart part[CONVERT_PARTS_MAXIMUM];
    Thread helpers[CONVERT_PARTS_MAXIMUM] = {};
    i64 step = rendering->length / parts / 2 * 2;
    for (i64 p = 0; p < parts; p += 1) {
        i64 first = p * step, count = p + 1 == parts ? rendering->length - first : step;
        part[p] = ConvertPart{*wave, format, false};
        part[p].wave.size = count * 4;
        part[p].wave.data = rendering->samples + first;
        if (p > 0) helpers[p] = thread_create(convert_part, &part[p]);
    }
    convert_part(&part[0]);
    bool converted = part[0].converted;
    for (i64 p = 1; p < parts; p += 1) {
        if (helpers[p])
            thread_wait(helpers[p], 0);
        else
            convert_part(&part[p]);  // no thread: done here
        converted = converted && part[p].converted;
    }
    if (!converted) return false;
    i64 bytes = format == SAMPLE_FORMAT_S16 ? 2 : 4;
    u8* out = (u8*)rendering->samples;
    for (i64 p = 1; p < parts; p += 1)
        memmove(out + p * step * bytes, part[p].wave.data, (size_t)part[p].wave.size);
    wave->format = format;
    wave->size = rendering->length * bytes;
    return true;
}

// The file's sample format: 0 16-bit, 1 32-bit, 2 float; any other 16-bit.
static i32 format_of_sample_type(u8 sample_type) {
    return sample_type == 1 ? SAMPLE_FORMAT_S32 : sample_type == 2 ? SAMPLE_FORMAT_F32 : SAMPLE_FORMAT_S16;
}

bool render_save(Rendering* rendering, u8 sample_type, Str path, RenderFailure* failure,
                 i64 threads) {
    i32 format = format_of_sample_type(sample_type);
    WaveData wave;
    if (!render_convert(rendering, format, threads, &wave) || !audio_wave_save(&wave, path)) {
        render_failure_set(failure, path, system_last_error());
        return false;
    }
    return true;
}

// An export is rendered, converted and written a window at a time, so its memory does not
// grow with the piece: 2^20 frames, 8 MiB of stereo floats.
static const i64 EXPORT_WINDOW_FRAMES = (i64)1 << 20;

// Progress of one window, told as frames of the whole export.
struct WindowProgress {
    const SynthProgress* outer;
    i64 first, frames, total;
};

static void window_report(void* user, i64 done, i64 total) {
    WindowProgress* window = (WindowProgress*)user;
    i64 at = window->first + (total > 0 ? (i64)((f64)window->frames * (f64)done / (f64)total) : 0);
    window->outer->report(window->outer->user, at, window->total);
}

// Renders, converts and writes every window; false (failure set) when memory is short or
// a part cannot be written.
static bool windows_write(CompiledPiece* compiled, Rendering* whole, i32 format, WaveWriter* writer,
                          Str path, const SynthProgress* progress, RenderFailure* failure,
                          i64 threads) {
    SynthWindows windows;
    f32* buffer = whole->length > 0 ? render_buffer_resize(EXPORT_WINDOW_FRAMES * whole->channels)
                                    : 0;
    bool ready = synth_windows_begin(&windows, compiled, whole->length);
    if (!ready || (whole->length > 0 && !buffer)) {
        synth_windows_end(&windows);
        free(buffer);
        render_failure_set(failure, path, STR("not enough memory for the rendering"));
        return false;
    }
    bool written = true;
    while (written && windows.next < windows.frames) {
        i64 first = windows.next;
        i64 frames = windows.frames - first < EXPORT_WINDOW_FRAMES ? windows.frames - first
                                                                     : EXPORT_WINDOW_FRAMES;
        memset(buffer, 0, (size_t)(frames * whole->channels) * sizeof(f32));
        WindowProgress window = {progress, first, frames, windows.frames};
        SynthProgress told = {window_report, &window, 0, 0};
        whole->synthesis_seconds +=
            synth_window_render(&windows, buffer, first + frames,
                                progress && progress->report ? &told : 0, threads);
        Rendering part = *whole;
        part.samples = buffer;
        part.length = (windows.next - first) * whole->channels;
        WaveData wave;
        written = render_convert(&part, format, threads, &wave) &&
                  audio_wave_write_part(writer, wave.data, wave.size);
    }
    if (!written) render_failure_set(failure, path, system_last_error());
    synth_windows_end(&windows);
    free(buffer);
    return written;
}

bool render_export(const Piece* piece, Str path, u8 pool, const SynthProgress* progress,
                   RenderFailure* failure, f64* synthesis_seconds, i64 threads, u8 midi_tuning,
                   i64* midi_waited) {
    RenderFailure unreported;
    if (!failure) failure = &unreported;
    if (midi_path_is(path)) {
        MidiExportOptions options = midi_export_defaults();
        options.tuning = midi_tuning;
        MidiExportReport report = {};
        bool written = midi_export(piece, path, &options, pool, &report, failure);
        if (midi_waited) *midi_waited = report.waited;
        return written;
    }
    if (synthesis_seconds) *synthesis_seconds = 0.0;
    CompiledPiece compiled;
    compiled_piece_init(&compiled, pool);
    i64 channels = piece->settings.stereo ? 2 : 1;
    Rendering whole;
    if (!render_compile(piece, piece->settings.sample_rate, channels, &compiled, &whole, failure)) {
        // Say which file was not written, then why.
        RenderFailure reason = *failure;
        render_failure_set(failure, path, render_failure_text(&reason));
        return false;
    }
    i32 format = format_of_sample_type(piece->settings.sample_type);
    WaveWriter writer;
    if (!audio_wave_write_begin(&writer, format, (i32)channels, (i32)whole.sample_rate, path)) {
        render_failure_set(failure, path, system_last_error());
        return false;
    }
    bool written = windows_write(&compiled, &whole, format, &writer, path, progress, failure,
                                 threads);
    if (synthesis_seconds) *synthesis_seconds = whole.synthesis_seconds;
    if (!audio_wave_write_end(&writer, written) && written) {
        render_failure_set(failure, path, system_last_error());
        written = false;
    }
    // What was made is kept in the file, but an export cut short is not a success.
    return written && render_complete(&whole, path, failure);
}
