// Render path shared by playback, export, the command-line renderer and the benchmarks:
// compile, synthesise into a buffer of exactly the rendering's length, and for an export
// convert in place and save. Runs on whichever thread calls it; allocates only from the
// pool it is given and, for the sample buffer, from malloc.
#include "sound/render.h"

#include <stdlib.h>
#include <string.h>

#include "platform/system.h"

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

f32* render_buffer_resize(i64 length) {
    if (length <= 0) return 0;
    if ((u64)length > (u64)SIZE_MAX / sizeof(f32)) return 0;
    return (f32*)calloc((size_t)length, sizeof(f32));
}

void rendering_free(Rendering* rendering) {
    free(rendering->samples);
    rendering->samples = 0;
    rendering->length = 0;
}

bool render_piece(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                  const SynthProgress* progress, Rendering* rendering, RenderFailure* failure) {
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
    compile_piece(piece, sample_rate, channels, compiled);
    rendering->truncated = compiled->truncated;
    i64 length = compiled->compiled_length;
    if (length > 0) {
        rendering->samples = render_buffer_resize(length);
        if (!rendering->samples) {
            render_failure_set(failure, Str{0, 0}, STR("not enough memory for the rendering"));
            return false;
        }
    }
    rendering->length = length;
    rendering->synthesis_seconds = synthesize(compiled, rendering->samples, length, progress);
    return true;
}

bool render_save(Rendering* rendering, u8 sample_type, Str path, RenderFailure* failure) {
    WaveData wave = {};
    wave.format = SAMPLE_FORMAT_F32;
    wave.channels = (i32)rendering->channels;
    wave.sample_rate = (i32)rendering->sample_rate;
    wave.size = rendering->length * 4;
    wave.data = rendering->samples;
    i32 format = sample_type == 1 ? SAMPLE_FORMAT_S32
                 : sample_type == 2 ? SAMPLE_FORMAT_F32
                                    : SAMPLE_FORMAT_S16;
    if (!audio_wave_convert(&wave, format) || !audio_wave_save(&wave, path)) {
        render_failure_set(failure, path, system_last_error());
        return false;
    }
    return true;
}

bool render_export(const Piece* piece, Str path, u8 pool, const SynthProgress* progress,
                   RenderFailure* failure, f64* synthesis_seconds) {
    RenderFailure unreported;
    if (!failure) failure = &unreported;
    CompiledPiece compiled;
    compiled_piece_init(&compiled, pool);
    i64 channels = piece->settings.stereo ? 2 : 1;
    Rendering rendering;
    bool rendered = render_piece(piece, piece->settings.sample_rate, channels, &compiled,
                                 progress, &rendering, failure);
    if (synthesis_seconds) *synthesis_seconds = rendering.synthesis_seconds;
    if (!rendered) {
        // Say which file was not written, then why.
        RenderFailure reason = *failure;
        render_failure_set(failure, path, render_failure_text(&reason));
        return false;
    }
    bool saved = render_save(&rendering, piece->settings.sample_type, path, failure);
    rendering_free(&rendering);
    return saved;
}
