// Writing a planned MIDI export as a Standard MIDI File, format 1: the header chunk, then a
// track chunk per track, each event a variable-length delta time and the message's bytes
// (no running status), ended by an end-of-track. The whole file is built in the pool and
// replaces the file at the path atomically. Any thread.
//
// Not libsmf: Debian's build of it reads every file it saves back to check it, and frees
// that copy's events one by one from the front of an array, which takes minutes for a
// 100 000-note piece. The tests read our files with libsmf instead.
#include "sound/midi_export.h"

#include "model/files.h"
#include "model/midi_import.h"
#include "platform/system.h"

struct ByteWriter {
    u8* data;
    i64 count, capacity;  // writing past the capacity only counts, so a first pass measures
};

static void byte_put(ByteWriter* w, u8 byte) {
    if (w->count < w->capacity) w->data[w->count] = byte;
    w->count += 1;
}

static void bytes_put(ByteWriter* w, const u8* bytes, i64 count) {
    for (i64 i = 0; i < count; i += 1) byte_put(w, bytes[i]);
}

static void u32_put(ByteWriter* w, u32 value) {
    for (i32 shift = 24; shift >= 0; shift -= 8) byte_put(w, (u8)(value >> shift));
}

static void varlen_put(ByteWriter* w, u32 value) {
    u8 bytes[5];
    bytes_put(w, bytes, midi_varlen_encode(value, bytes));
}

static void event_put(ByteWriter* w, i64 delta, const MidiMessage* m) {
    varlen_put(w, (u32)delta);
    if (m->bytes[0] == 0xF0) {
        // A system exclusive event stores its length after the F0.
        byte_put(w, 0xF0);
        varlen_put(w, (u32)(m->length - 1));
        bytes_put(w, m->bytes + 1, m->length - 1);
    } else {
        bytes_put(w, m->bytes, m->length);
    }
}

// The whole file; `w` only counts when it has no room.
static void file_put(ByteWriter* w, const MidiPlan* plan) {
    const u8 header[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    bytes_put(w, header, ARRAY_COUNT(header));
    byte_put(w, (u8)(plan->track_names.count >> 8));
    byte_put(w, (u8)plan->track_names.count);
    byte_put(w, (u8)(MIDI_TICKS_PER_BEAT >> 8));
    byte_put(w, (u8)MIDI_TICKS_PER_BEAT);
    i64 next = 0;
    for (i64 t = 0; t < plan->track_names.count; t += 1) {
        const u8 chunk[] = {'M', 'T', 'r', 'k'};
        bytes_put(w, chunk, 4);
        i64 length_at = w->count;
        u32_put(w, 0);  // the length, filled in below
        Str name = plan->track_names.data[t];
        if (name.length > 0) {
            const u8 meta[] = {0, 0xFF, 0x03};
            bytes_put(w, meta, 3);
            varlen_put(w, (u32)name.length);
            bytes_put(w, name.data, name.length);
        }
        // Sorted by track, then tick: each track is a run of the list.
        i64 tick = 0;
        for (; next < plan->messages.count && plan->messages.data[next].track == t; next += 1) {
            const MidiMessage* m = &plan->messages.data[next];
            event_put(w, m->tick - tick, m);
            tick = m->tick;
        }
        const u8 end[] = {0, 0xFF, 0x2F, 0};
        bytes_put(w, end, 4);
        u32 length = (u32)(w->count - length_at - 4);
        if (length_at + 4 <= w->capacity)
            for (i32 i = 0; i < 4; i += 1) w->data[length_at + i] = (u8)(length >> (24 - 8 * i));
    }
}

bool midi_file_save(const MidiPlan* plan, Str path, u8 pool, RenderFailure* failure) {
    ByteWriter measure = {};
    file_put(&measure, plan);
    ByteWriter w = {(u8*)pool_alloc(pool, measure.count), 0, measure.count};
    if (!w.data) {
        render_failure_set(failure, path, STR("not enough memory for the MIDI file"));
        return false;
    }
    file_put(&w, plan);
    Str reason = {};
    if (!file_replace_atomically(path, Str{w.data, w.count}, pool, &reason)) {
        render_failure_set(failure, path, reason);
        return false;
    }
    return true;
}
