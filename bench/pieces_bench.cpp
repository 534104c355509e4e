// The targets on large pieces: a 100 000-note piece through the scene codec, the
// unsaved-changes test on quit and the MIDI export; the per-note lookups of key, sound and
// shape on a piece of 10 000 notes and 2 000 objects of each kind, and how they grow when
// both double.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bench_table.h"
#include "model/scene.h"
#include "platform/system.h"
#include "sound/compile.h"
#include "sound/midi_export.h"
#include "workloads.h"

static void pools_setup() {
    pool_setup(POOL_MAIN, 64 << 20, true);
    pool_setup(POOL_TMP, 32 << 20, true);
    pool_setup(POOL_WORKER, 1 << 20, true);
    sounds_reset();
    sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
}

static void pools_release() {
    pool_release(POOL_WORKER);
    pool_release(POOL_TMP);
    pool_release(POOL_MAIN);
}

// W2 ten times over, one after the other: 100 000 notes in 6000 seconds.
static void hundred_thousand_notes(Piece* piece) {
    piece_init(piece, POOL_MAIN);
    workload_build(piece, WORKLOAD_W2, WORKLOAD_SEED);
    i64 count = piece->notes.count;
    for (i64 copy = 1; copy < 10; copy += 1) {
        for (i64 n = 0; n < count; n += 1) {
            NoteObject note = piece->notes[n];
            note.header.time = fraction_add(note.header.time, Fraction{1200 * copy, 1});
            note.header.id = piece->next_object_id++;
            array_push(&piece->notes, note);
        }
    }
    piece->settings.end_time = Fraction{12000, 1};
}

void bench_pieces(const BenchOptions* options) {
    pools_setup();
    Piece piece;
    hundred_thousand_notes(&piece);
    i32 runs = options->repetitions * 3 > 15 ? 15 : options->repetitions * 3;
    f64 encode[16], decode[16], unsaved[16];
    Str bytes = {};
    for (i32 i = 0; i < runs; i += 1) {
        pool_empty(POOL_TMP);
        f64 started = bench_seconds();
        bytes = scene_encode(&piece, POOL_TMP);
        encode[i] = bench_seconds() - started;
    }
    bool decoded = true;
    Piece copy;
    piece_init(&copy, POOL_WORKER);
    for (i32 i = 0; i < runs; i += 1) {
        f64 started = bench_seconds();
        decoded = scene_decode(bytes, &copy, POOL_WORKER) == SCENE_OK && decoded;
        decode[i] = bench_seconds() - started;
    }
    decoded = decoded && copy.notes.count == piece.notes.count;
    f64 encode_ms = bench_median(encode, runs) * 1000.0, decode_ms = bench_median(decode, runs) * 1000.0;
    bench_row("100 000-note piece: scene encode < 50 ms", encode_ms < 50.0 ? BENCH_PASS : BENCH_FAIL,
              "%.1f ms (%.1f MB)", encode_ms, (f64)bytes.length / 1e6);
    bench_row("100 000-note piece: scene decode < 50 ms",
              decoded && decode_ms < 50.0 ? BENCH_PASS : BENCH_FAIL, "%.1f ms%s", decode_ms,
              decoded ? "" : " (the decode failed)");

    // The quit test compares the piece with its file.
    char path[512];
    snprintf(path, sizeof(path), "%s/bench-100k.scene", options->work_folder);
    FILE* file = fopen(path, "wb");
    bool saved = file && fwrite(bytes.data, 1, (size_t)bytes.length, file) == (size_t)bytes.length;
    if (file) saved = fclose(file) == 0 && saved;
    g_piece = piece;
    g_piece.path = str_from_cstring(path);
    bool unchanged = saved;
    for (i32 i = 0; i < runs; i += 1) {
        pool_empty(POOL_TMP);
        f64 started = bench_seconds();
        unchanged = !piece_check_unsaved() && unchanged;
        unsaved[i] = bench_seconds() - started;
    }
    remove(path);
    f64 unsaved_ms = bench_median(unsaved, runs) * 1000.0;
    bench_row("100 000-note piece: unsaved-changes test on quit < 100 ms",
              unchanged && unsaved_ms < 100.0 ? BENCH_PASS : BENCH_FAIL, "%.1f ms%s", unsaved_ms,
              unchanged ? "" : " (wrong answer)");

    // The MIDI export, compilation and file included, in both tunings. The key, sound and
    // shape reach over all ten copies, so that every note sounds and is written.
    for (i64 i = 0; i < piece.keys.count; i += 1) piece.keys[i].header.duration = Fraction{12000, 1};
    for (i64 i = 0; i < piece.sounds.count; i += 1) piece.sounds[i].header.duration = Fraction{12000, 1};
    for (i64 i = 0; i < piece.shapes.count; i += 1) piece.shapes[i].header.duration = Fraction{12000, 1};
    snprintf(path, sizeof(path), "%s/bench-100k.mid", options->work_folder);
    const u8 tunings[2] = {MIDI_TUNING_MTS, MIDI_TUNING_MPE};
    for (u8 tuning : tunings) {
        MidiExportOptions midi = midi_export_defaults();
        midi.tuning = tuning;
        f64 seconds[16];
        bool written = true;
        MidiExportReport report = {};
        for (i32 i = 0; i < options->repetitions && i < 16; i += 1) {
            pool_empty(POOL_WORKER);
            f64 started = bench_seconds();
            written = midi_export(&piece, str_from_cstring(path), &midi, POOL_WORKER, &report, 0) && written;
            seconds[i] = bench_seconds() - started;
        }
        f64 median = bench_median(seconds, options->repetitions < 16 ? options->repetitions : 16);
        written = written && report.notes == piece.notes.count;
        bench_row(tuning == MIDI_TUNING_MTS ? "100 000-note piece: MIDI export (MTS) < 1 s"
                                            : "100 000-note piece: MIDI export (MPE) < 1 s",
                  written && median < 1.0 ? BENCH_PASS : BENCH_FAIL, "%.0f ms%s", median * 1000.0,
                  written ? "" : " (notes missing or not written)");
    }
    remove(path);
    piece_reset();
    pools_release();
}

// --- Lookups --------------------------------------------------------------------------------

struct Random {
    u64 state;
};

static f64 random_unit(Random* random) {
    random->state = random->state * 6364136223846793005ull + 1442695040888963407ull;
    return (f64)(random->state >> 11) / (f64)(1ull << 53);
}

// `notes` notes and `objects` key, sound and shape objects each over `beats`, in eight
// groups, their scopes mixed.
static void lookup_piece(Piece* piece, i64 notes, i64 objects, i64 beats) {
    piece_init(piece, POOL_MAIN);
    Random random = {77};
    i64 groups[8];
    for (i64 g = 0; g < 8; g += 1) groups[g] = piece_group_add(piece, STR("group"));
    for (i64 i = 0; i < notes; i += 1) {
        NoteObject note = {};
        note.header.kind = OBJECT_NOTE;
        note.header.id = piece->next_object_id++;
        note.header.group_id = groups[i % 8];
        note.header.time = Fraction{(i64)(random_unit(&random) * (f64)beats * 100.0), 100};
        note.header.duration = Fraction{1, 1};
        note.header.pitch = Fraction{3, 2};
        note.header.visible = 1;
        array_push(&piece->notes, note);
    }
    for (i64 i = 0; i < objects; i += 1) {
        ObjectHeader header = {};
        header.id = piece->next_object_id++;
        header.group_id = groups[(i * 5) % 8];
        header.time = Fraction{(i64)(random_unit(&random) * (f64)beats), 1};
        header.duration = Fraction{1 + (i64)(random_unit(&random) * 60.0), 1};
        header.pitch = Fraction{1, 1};
        header.scope = (u8)(i % 3);
        header.visible = 1;
        KeyObject key = {};
        key.header = header;
        key.header.kind = OBJECT_KEY;
        key.reference_frequency = 110.0 + (f64)(i % 7);
        array_push(&piece->keys, key);
        SoundObject sound = {};
        sound.header = header;
        sound.header.kind = OBJECT_SOUND;
        sound.header.id = piece->next_object_id++;
        sound.wave_count = 1;
        sound.wave_names[0] = STR("sine");
        for (i64 b = 0; b < SOUND_MAX_WAVES - 1; b += 1) curve_init(&sound.blend[b], POOL_MAIN);
        array_push(&piece->sounds, sound);
        ShapeObject shape = {};
        shape.header = header;
        shape.header.kind = OBJECT_SHAPE;
        shape.header.id = piece->next_object_id++;
        shape.shape_name = STR("plain");
        array_push(&piece->shapes, shape);
    }
    piece->settings.end_time = Fraction{beats, 1};
}

// Median seconds of looking up the key, sound and shape of every note; `found` counts the
// notes that found all three (so the work cannot be skipped).
static f64 lookup_seconds(const Piece* piece, i32 runs, i64* found) {
    f64 times[16];
    for (i32 r = 0; r < runs; r += 1) {
        *found = 0;
        f64 started = bench_seconds();
        for (i64 n = 0; n < piece->notes.count; n += 1) {
            const ObjectHeader* header = &piece->notes[n].header;
            const KeyObject* key = key_at(piece, header->time, header->group_id);
            const SoundObject* sound = sound_at(piece, header->time, header->group_id);
            const ShapeObject* shape = shape_at(piece, header->time, header->group_id);
            *found += key && key->reference_frequency != 440.0 && sound && shape;
        }
        times[r] = bench_seconds() - started;
    }
    return bench_median(times, runs);
}

static f64 compile_seconds(const Piece* piece, i32 runs) {
    f64 times[16];
    for (i32 r = 0; r < runs; r += 1) {
        pool_empty(POOL_WORKER);
        CompiledPiece compiled;
        compiled_piece_init(&compiled, POOL_WORKER);
        f64 started = bench_seconds();
        compile_piece(piece, 44100, 2, &compiled);
        times[r] = bench_seconds() - started;
    }
    return bench_median(times, runs);
}

void bench_lookups(const BenchOptions* options) {
    pools_setup();
    i32 runs = options->repetitions > 5 ? 5 : options->repetitions;
    // A compile takes a tenth of a second: more runs steady the ratio below.
    i32 compile_runs = 9;
    Piece piece;
    lookup_piece(&piece, 10000, 2000, 1200);
    i64 found = 0;
    f64 lookups = lookup_seconds(&piece, runs, &found);
    f64 compile = compile_seconds(&piece, compile_runs);
    pool_empty(POOL_MAIN);
    sounds_reset();
    sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
    Piece doubled;
    lookup_piece(&doubled, 20000, 4000, 2400);
    i64 found_doubled = 0;
    f64 lookups_doubled = lookup_seconds(&doubled, runs, &found_doubled);
    f64 compile_doubled = compile_seconds(&doubled, compile_runs);
    bench_row("10 000 notes, 2 000 key, sound, shape objects each: key_at + sound_at + shape_at (figure)",
              BENCH_FIGURE, "%.2f us a note, %.1f ms in all; compile %.1f ms", lookups / 10000.0 * 1e6,
              lookups * 1000.0, compile * 1000.0);
    f64 growth = compile_doubled / compile;
    // Linear growth doubles the time, quadratic growth (every note against every object)
    // quadruples it; the bound lies between the two on a log scale.
    bench_row("compile of a piece twice as long with twice the notes and objects: < 2.8x the time "
              "(linear 2x, quadratic 4x)",
              growth < 2.8 ? BENCH_PASS : BENCH_FAIL,
              "%.2fx (compile %.1f ms; lookups alone %.2fx)", growth, compile_doubled * 1000.0,
              lookups_doubled / lookups);
    (void)found;
    (void)found_doubled;
    pools_release();
}
