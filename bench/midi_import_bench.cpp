// The MIDI import target: a file of 100 000 notes (16 tracks of 6 250 notes each, running
// status, a tempo change every 64 beats) made in memory, imported into a piece retuned into
// "key" and encoded as a scene file, as `sorvane-render --import` does without the disk.
#include <string.h>

#include "base/format.h"
#include "base/text.h"
#include "bench_table.h"
#include "model/files.h"
#include "model/keys.h"
#include "model/midi_import.h"
#include "model/scene.h"

struct MidiBytes {
    u8* data;
    i64 length;
};

static void put(MidiBytes* out, u32 value, i64 count) {
    for (i64 i = count - 1; i >= 0; i -= 1) out->data[out->length++] = (u8)(value >> (8 * i));
}

static void put_delta(MidiBytes* out, u32 value) {
    out->length += midi_varlen_encode(value, out->data + out->length);
}

static MidiBytes hundred_thousand_note_file(u8 pool) {
    const i64 tracks = 16, notes_per_track = 6250, division = 480;
    MidiBytes out = {(u8*)pool_alloc(pool, 4 << 20), 0};
    if (!out.data) return out;
    memcpy(out.data, "MThd\0\0\0\x06\0\x01", 10);
    out.length = 10;
    put(&out, (u32)tracks + 1, 2);
    put(&out, division, 2);
    // The tempo track: from 100 to 160 beats a minute and back, every 64 beats.
    memcpy(out.data + out.length, "MTrk", 4);
    out.length += 8;
    i64 start = out.length;
    for (i64 i = 0; i < 200; i += 1) {
        put_delta(&out, i == 0 ? 0 : 64 * division);
        u32 microseconds = (u32)(60000000 / (100 + (i * 7) % 61));
        out.data[out.length++] = 0xFF, out.data[out.length++] = 0x51, out.data[out.length++] = 3;
        put(&out, microseconds, 3);
    }
    put(&out, 0x00FF2F00, 4);
    i64 end = out.length;
    out.length = start - 4;
    put(&out, (u32)(end - start), 4);
    out.length = end;
    for (i64 t = 0; t < tracks; t += 1) {
        memcpy(out.data + out.length, "MTrk", 4);
        out.length += 8;
        start = out.length;
        put_delta(&out, (u32)(t * 30));
        out.data[out.length++] = (u8)(0x90 | (t % 16));
        for (i64 n = 0; n < notes_per_track; n += 1) {
            u8 key = (u8)(36 + (n * 7 + t * 5) % 60);
            if (n > 0) put_delta(&out, 0);
            out.data[out.length++] = key, out.data[out.length++] = 90;
            put_delta(&out, (u32)(division / 2 + (n % 3) * 40));
            out.data[out.length++] = key, out.data[out.length++] = 0;  // running status
        }
        put(&out, 0x00FF2F00, 4);
        end = out.length;
        out.length = start - 4;
        put(&out, (u32)(end - start), 4);
        out.length = end;
    }
    return out;
}

void bench_midi_import(const BenchOptions* options) {
    pool_setup(POOL_MAIN, 64 << 20, true);
    pool_setup(POOL_TMP, 32 << 20, true);
    array_init(&g_keys, POOL_MAIN);
    const FormatArg args[] = {fa_str(str_from_cstring(options->data_folder))};
    keys_parse(read_entire_file(format_tmp(STR("%a/keys.txt"), args, 1), POOL_MAIN));
    MidiBytes file = hundred_thousand_note_file(POOL_MAIN);
    f64 times[16];
    i32 runs = options->repetitions > 16 ? 16 : options->repetitions;
    i64 notes = 0;
    bool ok = file.data != 0;
    for (i32 i = 0; i < runs && ok; i += 1) {
        pool_empty(POOL_TMP);
        f64 started = bench_seconds();
        Piece piece;
        piece_init(&piece, POOL_TMP);
        MidiImportOptions import = {STR("key"), -1};
        MidiImportSummary summary = {};
        Str reason = {};
        ok = midi_import(Str{file.data, file.length}, &import, &piece, &summary, &reason) &&
             scene_encode(&piece, POOL_TMP).length > 0;
        times[i] = bench_seconds() - started;
        notes = piece.notes.count;
    }
    if (!ok || notes != 100000) {
        bench_row("MIDI file of 100 000 notes: import < 1 s", BENCH_MISSING, "the import failed");
    } else {
        f64 seconds = bench_median(times, runs);
        bench_row("MIDI file of 100 000 notes: import < 1 s",
                  seconds < 1.0 ? BENCH_PASS : BENCH_FAIL, "%.0f ms", seconds * 1000.0);
    }
    pool_release(POOL_TMP);
    pool_release(POOL_MAIN);
}
