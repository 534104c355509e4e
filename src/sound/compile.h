// Compiling a piece into what synthesis plays: the time map (piece time at the start of
// every 256-frame block), per-block control tracks per group, and one voice event per
// sounding wave of every note. Pure functions of the piece and the arguments; any thread
// may compile, each into its own CompiledPiece and pool.
#pragma once

#include "base/pool.h"
#include "model/piece.h"
#include "sound/sounds.h"

static const i64 BLOCK_SIZE = 256;  // frames per block of the control tracks

// The longest rendering compiled, in samples (all channels): 4 GiB of float samples.
// Stereo at 48 kHz that is over three hours; a piece that reaches further is cut there.
static const i64 RENDER_MAX_SAMPLES = (i64)1 << 30;
// Slower tempos (zero, negative and undefined ones included) count as this, so the time
// map always moves forward.
static const f64 TEMPO_MINIMUM = 1.0;

// One sounding wave of one note.
struct VoiceEvent {
    i16 group_index;  // column of the control tracks (the neutral column for lost groups)
    i16 wave_index;   // below SOUND_MAX_WAVES, column of the wave mix track
    f64 frequency;    // Hz, before the pitch track and the wave's reference frequency
    f64 start_time;   // seconds from the start of the rendering: the note's own start
    f64 end_time;     // and end; lead and tail time are added by synthesis
    f64 phase_offset; // cycles
    f64 phase;        // cycles, advanced by synthesis
    const WaveDefinition* wave;    // never null
    const SoundDefinition* sound;  // never null
};

// Piece time at block boundaries, and the conversions between piece time and seconds.
struct TimeMap {
    const f64* times;
    i64 count;
    i64 block_size;
    i64 sample_rate;
};

struct CompiledPiece {
    i64 block_size;   // frames per block
    i64 sample_rate;  // what it was compiled for
    i64 channels;
    // Track columns: one per group of the group list, then one neutral column (volume 1,
    // panning 0, pitch 1, first wave only) for notes whose group is not in the list.
    i64 columns;
    PoolArray<f64> block_times;  // K entries
    PoolArray<f64> volume, panning, pitch;  // K x columns, index k * columns + column
    PoolArray<f64> wave_mix;                // K x columns x SOUND_MAX_WAVES
    PoolArray<VoiceEvent> events;
    i64 compiled_length;  // samples, all channels: (K - 1) x channels x block size
    u8 truncated;         // the piece reached beyond RENDER_MAX_SAMPLES and was cut
    u8 incomplete;        // memory ran short: some objects, tracks or events are missing
};

// Empty arrays in `pool`.
void compiled_piece_init(CompiledPiece* compiled, u8 pool);
// Fills `compiled` (its arrays keep their pool) from `piece` for the given output format.
// Scratch lists come from the same pool. The piece is not changed. With `track_blocks` >= 0
// the control tracks hold only the first `track_blocks` blocks, and the events only those
// of the notes that can sound by then, a beginning of the whole list (the time map and the
// length are whole): the frames before the last two blocks synthesise exactly as the
// whole compilation's, at a fraction of its work on a long piece.
void compile_piece(const Piece* piece, i64 sample_rate, i64 channels, CompiledPiece* compiled,
                   i64 track_blocks = -1);
// Appends the events of one note: one per wave of the sound in effect at the note's time,
// sounding from `start` to `end` seconds. Nothing for a note without a sound. False when
// memory ran short before every event was appended.
bool compile_note_events(const Piece* piece, const NoteObject* note, i16 group_index,
                         f64 start, f64 end, PoolArray<VoiceEvent>* events);

f64 curve_value(const Curve* curve, f64 x);
TimeMap compiled_time_map(const CompiledPiece* compiled);
// Seconds from the start of the rendering at piece time t (extrapolated outside).
f64 time_to_seconds(const TimeMap* map, f64 t);
// Piece time reached after s seconds (held at the ends); 0 without block times.
f64 seconds_to_time(const TimeMap* map, f64 s);
