// The one render path: compile and synthesise a piece into a buffer of its own, and
// convert and save such a buffer as a wave file. The worker's playback and export, the
// command-line renderer and the benchmarks all go through these. Any thread; nothing
// process-wide is written.
#pragma once

#include "sound/synth.h"

// What a failed render or save reports: "<path> could not be written: <reason>", or the
// reason alone when no file is involved. Fixed storage, so it can be copied anywhere.
struct RenderFailure {
    u8 text[640];
    i64 length;
};

struct Rendering {
    f32* samples;  // malloc'd, exactly `length` samples; the owner frees it
    i64 length;    // samples, all channels
    i64 channels;
    i64 sample_rate;
    f64 synthesis_seconds;
    u8 truncated;  // the piece reached beyond the longest rendering and was cut there
    u8 incomplete;  // memory ran short: some notes are missing
};

// A zeroed buffer of exactly `length` samples (malloc), or null when length is 0 or
// memory is short.
f32* render_buffer_resize(i64 length);
// Compiles `piece` into `compiled` (its tracks limited to `track_blocks` as compile_piece
// takes them) and gives `rendering` a zeroed buffer of its length, not yet synthesised.
// False (and `failure` says why) as render_piece.
bool render_prepare(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                    Rendering* rendering, RenderFailure* failure, i64 track_blocks = -1);
// Compiles `piece` into `compiled` (arrays in its own pool) and synthesises it into a new
// buffer on `threads` threads (0: every core). False (and `failure` says why) for an
// unusable format or too little memory.
bool render_piece(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                  const SynthProgress* progress, Rendering* rendering, RenderFailure* failure,
                  i64 threads = 0);
// Converts the samples in place to `format` (SAMPLE_FORMAT_*) on up to `threads` threads
// (0: every core), the same bytes as one audio_wave_convert; `wave` describes the result.
bool render_convert(Rendering* rendering, i32 format, i64 threads, WaveData* wave);
// Converts the samples in place to the sample type (0 16-bit, 1 32-bit, 2 float; any other
// 16-bit) and writes them to `path`. The buffer is left converted: free it afterwards.
bool render_save(Rendering* rendering, u8 sample_type, Str path, RenderFailure* failure,
                 i64 threads = 0);
// The export: renders the piece at its own sample rate, channel count and sample type over
// its start and end time, saves it to `path` and frees the buffer. Scratch from `pool`;
// `threads` as for render_piece. A path ending in ".mid" gets a MIDI file instead, tuned
// by `midi_tuning` (MidiTuning) with the other MIDI options at their defaults; then
// `midi_waited` (when given) counts the notes that waited for a free channel.
bool render_export(const Piece* piece, Str path, u8 pool, const SynthProgress* progress,
                   RenderFailure* failure, f64* synthesis_seconds, i64 threads = 0,
                   u8 midi_tuning = 0, i64* midi_waited = 0);
void rendering_free(Rendering* rendering);
// True for a rendering that holds the whole piece; otherwise false, and `failure` says
// what is missing ("<path> is incomplete: <reason>" with a path, the reason alone without).
bool render_complete(const Rendering* rendering, Str path, RenderFailure* failure);

void render_failure_set(RenderFailure* failure, Str path, Str reason);
inline Str render_failure_text(const RenderFailure* failure) {
    return Str{(u8*)failure->text, failure->length};
}
