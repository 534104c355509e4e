// The MIDI export's content: the tempo map that reproduces the render's time map, and per
// group a track of tuned notes, expression and pan. Pure arithmetic on a compiled piece;
// the file itself is written by midi_export.cpp. Any thread, memory from the given pool.
//
// Layout, fixed so that a reader can rely on it: track 0 holds the tempo changes (and in
// MPE the zone's set-up: fifteen member channels and their bend range); then
// one track per group of the group list, in list order, named after the group (hidden
// groups keep an empty track), then one track "other" when notes belong to no listed group.
// MTS: track i plays on channel i modulo 15, skipping channel 10 (the General MIDI drums),
// whose tuning program is the channel number. MPE: channel 1 is the manager, every note
// takes one of channels 2 to 16 but 10 (a General MIDI player would play it on drums),
// the one released longest ago, and goes in its group's track.
#include "sound/midi_export.h"

#include "base/merge_sort.h"
#include "platform/system.h"

// At one tick: note-offs, then set-up, then each note's tuning just before its note-on.
static const u8 RANK_NOTE_OFF = 0, RANK_SETUP = 1, RANK_NOTE_ON = 2;
static const i32 MTS_CHANNELS = 15;
static const i32 MPE_MEMBERS = 15;  // channels 2 to 16, of which 10 is left unused
static const u8 DRUM_CHANNEL = 9;

f64 midi_cents_of(f64 frequency) {
    if (!(frequency > 0.0)) return -1.0;
    return 6900.0 + 1200.0 * math_log(frequency / 440.0) / math_log(2.0);
}

bool mts_pitch_of(f64 frequency, MtsPitch* pitch) {
    f64 cents = midi_cents_of(frequency);
    // In steps of 100/16384 cent from key 0; the top value 0x7F 7F 7F means "no change".
    f64 steps = math_floor(cents * 16384.0 / 100.0 + 0.5);
    f64 top = 128.0 * 16384.0 - 2.0;
    bool inside = cents >= 0.0 && steps <= top;
    if (!(steps >= 0.0)) steps = 0.0;
    if (steps > top) steps = top;
    i64 value = (i64)steps;
    pitch->key = (u8)(value >> 14);
    pitch->msb = (u8)((value >> 7) & 0x7F);
    pitch->lsb = (u8)(value & 0x7F);
    return inside;
}

bool midi_bend_of(f64 frequency, i32 key, i32 range, i32* bend) {
    f64 offset = (midi_cents_of(frequency) - 100.0 * key) / (100.0 * range);
    f64 value = math_floor(8192.0 + offset * 8192.0 + 0.5);
    bool inside = value >= 0.0 && value <= 16383.0;
    *bend = value < 0.0 ? 0 : value > 16383.0 ? 16383 : (i32)value;
    return inside;
}

bool midi_path_is(Str path) {
    if (path.length < 4) return false;
    const u8* end = path.data + path.length - 4;
    return end[0] == '.' && (end[1] | 0x20) == 'm' && (end[2] | 0x20) == 'i' &&
           (end[3] | 0x20) == 'd';
}

MidiExportOptions midi_export_defaults() {
    return MidiExportOptions{MIDI_TUNING_MTS, MIDI_BEND_RANGE_DEFAULT, -1};
}

// --- Messages -----------------------------------------------------------------------------

struct PlanWriter {
    MidiPlan* plan;
    i64 sequence;
};

static void message_add(PlanWriter* w, i32 track, i64 tick, u8 rank, const u8* bytes, u8 length) {
    MidiMessage m = {};
    m.tick = tick;
    m.sequence = w->sequence++;
    m.track = track;
    m.rank = rank;
    m.length = length;
    memcpy(m.bytes, bytes, length);
    array_push(&w->plan->messages, m);
}

static void channel_message(PlanWriter* w, i32 track, i64 tick, u8 rank, u8 status, u8 a, u8 b) {
    u8 bytes[3] = {status, a, b};
    message_add(w, track, tick, rank, bytes, 3);
}

static void program_set(PlanWriter* w, i32 track, u8 channel, i32 program) {
    if (program < 0 || program > 127) return;
    u8 bytes[2] = {(u8)(0xC0 | channel), (u8)program};
    message_add(w, track, 0, RANK_SETUP, bytes, 2);
}

// A registered parameter set to a 14-bit-wide value (msb, lsb), then deselected.
static void rpn_set(PlanWriter* w, i32 track, u8 channel, u8 parameter, u8 msb, u8 lsb) {
    u8 status = (u8)(0xB0 | channel);
    channel_message(w, track, 0, RANK_SETUP, status, 0x65, 0);
    channel_message(w, track, 0, RANK_SETUP, status, 0x64, parameter);
    channel_message(w, track, 0, RANK_SETUP, status, 0x06, msb);
    channel_message(w, track, 0, RANK_SETUP, status, 0x26, lsb);
    channel_message(w, track, 0, RANK_SETUP, status, 0x65, 0x7F);
    channel_message(w, track, 0, RANK_SETUP, status, 0x64, 0x7F);
}

// --- Time ---------------------------------------------------------------------------------

static i64 tick_of_beat(f64 beat, f64 first_beat) {
    f64 t = math_floor((beat - first_beat) * MIDI_TICKS_PER_BEAT + 0.5);
    return t > 0.0 ? (i64)t : 0;
}

// How far the file's clock may stray from the render's between two tempo changes.
static const f64 TEMPO_TOLERANCE_SECONDS = 0.00025;

// Tempo changes where the render's time map bends: a run of blocks becomes one tempo while
// it stays within TEMPO_TOLERANCE_SECONDS of a straight line (the render's tempo curves are
// evaluated in single precision, so even a constant one wavers in the last digits). Each
// tempo is chosen so that the file's clock meets the render's exactly (to a microsecond
// per beat) at the next change, so rounding never accumulates. Players that count time in
// whole milliseconds lose a little at every change: the fewer, the better.
static void tempo_track_build(PlanWriter* w, const CompiledPiece* compiled) {
    const f64* times = compiled->block_times.data;
    i64 count = compiled->block_times.count;
    f64 block_seconds = (f64)compiled->block_size / (f64)compiled->sample_rate;
    f64 file_seconds = 0.0;
    i64 last_tempo = -1;
    i64 segment_start = 0;
    while (segment_start + 1 < count) {
        f64 beats = times[segment_start + 1] - times[segment_start];  // per block, never 0
        i64 end = segment_start + 1;
        while (end + 1 < count) {
            f64 straight = times[segment_start] + beats * (f64)(end + 1 - segment_start);
            if (math_abs(times[end + 1] - straight) / beats * block_seconds >
                TEMPO_TOLERANCE_SECONDS)
                break;
            end += 1;
        }
        i64 from = tick_of_beat(times[segment_start], times[0]);
        i64 to = tick_of_beat(times[end], times[0]);
        segment_start = end;
        if (to <= from) continue;  // less than a tick: the next change makes up for it
        f64 target = (f64)end * block_seconds;
        f64 ticks = (f64)(to - from);
        f64 micros = math_floor((target - file_seconds) * 1e6 * MIDI_TICKS_PER_BEAT / ticks + 0.5);
        i64 tempo = micros < 1.0 ? 1 : micros > 16777215.0 ? 16777215 : (i64)micros;
        file_seconds += (f64)tempo * ticks / MIDI_TICKS_PER_BEAT * 1e-6;
        if (tempo == last_tempo) continue;
        last_tempo = tempo;
        u8 bytes[6] = {0xFF, 0x51, 3, (u8)(tempo >> 16), (u8)(tempo >> 8), (u8)tempo};
        message_add(w, 0, from, RANK_SETUP, bytes, 6);
    }
}

// --- Expression and pan -------------------------------------------------------------------

struct ControlChange {
    i64 tick;
    u8 expression, pan;
};

// General MIDI's expression is 40 log10(value / 127) dB: the square root of the gain.
static u8 expression_of(f64 volume) {
    f64 v = volume > 1.0 ? 1.0 : volume > 0.0 ? volume : 0.0;
    return (u8)math_floor(127.0 * math_sqrt(v) + 0.5);
}

static u8 pan_of(f64 panning) {
    f64 p = panning > 1.0 ? 1.0 : panning < -1.0 ? -1.0 : panning;
    f64 value = math_floor(64.0 + (p < 0.0 ? 64.0 : 63.0) * p + 0.5);
    return (u8)value;
}

// The column's expression and pan at every block where either changes, from tick 0.
static void controls_of_column(const CompiledPiece* compiled, i64 column,
                               PoolArray<ControlChange>* out) {
    const f64* times = compiled->block_times.data;
    i64 rows = compiled->block_times.count, columns = compiled->columns;
    for (i64 k = 0; k < rows; k += 1) {
        u8 e = expression_of(compiled->volume[k * columns + column]);
        u8 p = pan_of(compiled->panning[k * columns + column]);
        if (out->count > 0 && out->data[out->count - 1].expression == e &&
            out->data[out->count - 1].pan == p)
            continue;
        i64 tick = tick_of_beat(times[k], times[0]);
        if (out->count > 0 && out->data[out->count - 1].tick == tick)
            out->data[out->count - 1] = ControlChange{tick, e, p};
        else
            array_push(out, ControlChange{tick, e, p});
    }
}

static void control_emit(PlanWriter* w, i32 track, u8 channel, i64 tick, const ControlChange* c,
                         const ControlChange* before) {
    u8 status = (u8)(0xB0 | channel);
    if (!before || before->expression != c->expression)
        channel_message(w, track, tick, RANK_SETUP, status, 11, c->expression);
    if (!before || before->pan != c->pan)
        channel_message(w, track, tick, RANK_SETUP, status, 10, c->pan);
}

// --- Notes --------------------------------------------------------------------------------

struct PlannedNote {
    i64 on, off;    // ticks
    f64 frequency;  // Hz, as rendered at the note's start
    i32 track;
    i64 column;
};

static u8 mts_channel_of(i32 track) {
    i32 c = (track - 1) % MTS_CHANNELS;
    return (u8)(c >= DRUM_CHANNEL ? c + 1 : c);
}

static i32 nearest_key(f64 frequency) {
    f64 key = math_floor(midi_cents_of(frequency) / 100.0 + 0.5);
    return key < 0.0 ? 0 : key > 127.0 ? 127 : (i32)key;
}

// MTS: the free key of the note's channel nearest to its pitch (the one below first on a
// tie), retuned just before the note-on. A key is busy until its note ends, so two notes
// sounding together never share one.
static void mts_notes_write(PlanWriter* w, const PlannedNote* notes, i64 count, i64* key_free) {
    MidiExportReport* report = &w->plan->report;
    for (i64 n = 0; n < count; n += 1) {
        const PlannedNote* note = &notes[n];
        u8 channel = mts_channel_of(note->track);
        MtsPitch pitch;
        if (!mts_pitch_of(note->frequency, &pitch)) report->out_of_range += 1;
        i32 wanted = nearest_key(note->frequency);
        i64* free_at = &key_free[channel * 128];
        i32 key = -1;
        for (i32 d = 0; d < 128 && key < 0; d += 1) {
            if (wanted - d >= 0 && free_at[wanted - d] <= note->on)
                key = wanted - d;
            else if (d > 0 && wanted + d < 128 && free_at[wanted + d] <= note->on)
                key = wanted + d;
        }
        if (key < 0) continue;  // 128 notes already sounding on this channel
        free_at[key] = note->off;
        u8 sysex[12] = {0xF0, 0x7F,    0x7F,      0x08,      0x02,      channel,
                        1,    (u8)key, pitch.key, pitch.msb, pitch.lsb, 0xF7};
        message_add(w, note->track, note->on, RANK_NOTE_ON, sysex, 12);
        channel_message(w, note->track, note->on, RANK_NOTE_ON, (u8)(0x90 | channel), (u8)key,
                        MIDI_VELOCITY);
        channel_message(w, note->track, note->off, RANK_NOTE_OFF, (u8)(0x80 | channel), (u8)key,
                        64);
        report->notes += 1;
    }
}

// The last change at or before `tick` (the first when none is).
static i64 control_at(const PoolArray<ControlChange>* changes, i64 tick) {
    i64 low = 0, high = changes->count;
    while (high - low > 1) {
        i64 mid = (low + high) / 2;
        if (changes->data[mid].tick <= tick)
            low = mid;
        else
            high = mid;
    }
    return low;
}

// MPE: the member channel free longest; when all are busy the note waits for the first to
// be freed and keeps its length. Expression and pan follow the group on the note's channel.
static void mpe_notes_write(PlanWriter* w, const PlannedNote* notes, i64 count, i32 range,
                            const PoolArray<ControlChange>* controls) {
    MidiExportReport* report = &w->plan->report;
    i64 free_at[MPE_MEMBERS] = {};
    free_at[DRUM_CHANNEL - 1] = INT64_MAX;
    for (i64 n = 0; n < count; n += 1) {
        const PlannedNote* note = &notes[n];
        i32 best = 0;
        for (i32 c = 1; c < MPE_MEMBERS; c += 1)
            if (free_at[c] < free_at[best]) best = c;
        i64 on = note->on, off = note->off;
        if (free_at[best] > on) {
            report->waited += 1;
            off += free_at[best] - on;
            on = free_at[best];
        }
        free_at[best] = off;
        u8 channel = (u8)(best + 1);
        i32 key = nearest_key(note->frequency), bend;
        if (!midi_bend_of(note->frequency, key, range, &bend)) report->out_of_range += 1;
        const PoolArray<ControlChange>* changes = &controls[note->column];
        i64 c = control_at(changes, on);
        control_emit(w, note->track, channel, on, &changes->data[c], 0);
        for (i64 next = c + 1; next < changes->count && changes->data[next].tick < off; next += 1)
            control_emit(w, note->track, channel, changes->data[next].tick, &changes->data[next],
                         &changes->data[next - 1]);
        channel_message(w, note->track, on, RANK_NOTE_ON, (u8)(0xE0 | channel), (u8)(bend & 0x7F),
                        (u8)(bend >> 7));
        channel_message(w, note->track, on, RANK_NOTE_ON, (u8)(0x90 | channel), (u8)key,
                        MIDI_VELOCITY);
        channel_message(w, note->track, off, RANK_NOTE_OFF, (u8)(0x80 | channel), (u8)key, 64);
        report->notes += 1;
    }
}

// --- Sorting ------------------------------------------------------------------------------

static bool message_before(const MidiMessage* a, const MidiMessage* b) {
    if (a->track != b->track) return a->track < b->track;
    if (a->tick != b->tick) return a->tick < b->tick;
    if (a->rank != b->rank) return a->rank < b->rank;
    return a->sequence < b->sequence;
}

static void messages_sort(PoolArray<MidiMessage>* messages) {
    i64 n = messages->count;
    MidiMessage* buffer =
        n > 1 ? (MidiMessage*)pool_alloc(messages->pool, n * (i64)sizeof(MidiMessage)) : 0;
    if (buffer) merge_sort(messages->data, n, buffer, message_before);
}

// --- The plan -----------------------------------------------------------------------------

static Str group_name_of(const Piece* piece, i64 id) {
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        if (entry->id == id && !entry->folder_begin && !entry->folder_end) return entry->name;
    }
    return STR("group");
}

void midi_plan_build(const Piece* piece, const CompiledPiece* compiled,
                     const MidiExportOptions* options, u8 pool, MidiPlan* plan) {
    *plan = MidiPlan{};
    array_init(&plan->messages, pool);
    array_init(&plan->track_names, pool);
    PlanWriter w = {plan, 0};
    i64 groups = piece->groups.count, columns = compiled->columns;
    i64 rows = compiled->block_times.count;
    if (rows < 2 || compiled->sample_rate <= 0) return;
    const f64* times = compiled->block_times.data;
    TimeMap map = compiled_time_map(compiled);
    f64 length_seconds = (f64)(rows - 1) * (f64)compiled->block_size / (f64)compiled->sample_rate;

    // Notes: one per first wave, in the compiled (time) order.
    PoolArray<PlannedNote> notes;
    array_init(&notes, pool);
    bool lost = false;
    for (i64 e = 0; e < compiled->events.count; e += 1) {
        const VoiceEvent* event = &compiled->events.data[e];
        if (event->wave_index != 0) continue;
        if (event->start_time < 0.0 || event->start_time >= length_seconds) continue;
        PlannedNote note = {};
        note.column = event->group_index >= 0 && event->group_index < groups ? event->group_index
                                                                             : columns - 1;
        note.track = note.column == columns - 1 ? (i32)groups + 1 : (i32)note.column + 1;
        lost = lost || note.column == columns - 1;
        i64 row = (i64)(event->start_time * (f64)compiled->sample_rate / (f64)compiled->block_size);
        row = row < rows ? row : rows - 1;
        note.frequency = event->frequency * compiled->pitch[row * columns + note.column];
        note.on = tick_of_beat(seconds_to_time(&map, event->start_time), times[0]);
        note.off = tick_of_beat(seconds_to_time(&map, event->end_time), times[0]);
        if (note.off <= note.on) note.off = note.on + 1;
        array_push(&notes, note);
    }

    array_push(&plan->track_names, Str{});
    for (i64 g = 0; g < groups; g += 1)
        array_push(&plan->track_names, group_name_of(piece, piece->groups.data[g].id));
    if (lost) array_push(&plan->track_names, STR("other"));
    i32 tracks = (i32)plan->track_names.count;
    plan->report.tracks = tracks;

    tempo_track_build(&w, compiled);
    PoolArray<ControlChange>* controls = (PoolArray<ControlChange>*)pool_alloc(
        pool, columns * (i64)sizeof(PoolArray<ControlChange>));
    if (!controls) return;
    for (i64 c = 0; c < columns; c += 1) {
        array_init(&controls[c], pool);
        controls_of_column(compiled, c, &controls[c]);
    }

    if (options->tuning == MIDI_TUNING_MPE) {
        i32 range = options->bend_range >= 1 && options->bend_range <= MIDI_BEND_RANGE_MAXIMUM
                        ? options->bend_range
                        : MIDI_BEND_RANGE_DEFAULT;
        // The zone: fifteen member channels, each bending `range` semitones.
        rpn_set(&w, 0, 0, 6, MPE_MEMBERS, 0);
        for (u8 channel = 1; channel <= MPE_MEMBERS; channel += 1) {
            rpn_set(&w, 0, channel, 0, (u8)range, 0);
            program_set(&w, 0, channel, options->program);
        }
        mpe_notes_write(&w, notes.data, notes.count, range, controls);
    } else {
        i64* key_free = (i64*)pool_alloc_zero(pool, 16 * 128 * (i64)sizeof(i64));
        if (!key_free) return;
        for (i32 track = 1; track < tracks; track += 1) {
            u8 channel = mts_channel_of(track);
            i64 column = track - 1 < groups ? track - 1 : columns - 1;
            if (track - 1 < MTS_CHANNELS) {
                rpn_set(&w, track, channel, 4, 0, 0);        // tuning bank 0
                rpn_set(&w, track, channel, 3, channel, 0);  // tuning program: the channel's own
                program_set(&w, track, channel, options->program);
            }
            for (i64 i = 0; i < controls[column].count; i += 1)
                control_emit(&w, track, channel, controls[column].data[i].tick,
                             &controls[column].data[i], i > 0 ? &controls[column].data[i - 1] : 0);
        }
        mts_notes_write(&w, notes.data, notes.count, key_free);
    }
    messages_sort(&plan->messages);
}

bool midi_export(const Piece* piece, Str path, const MidiExportOptions* options, u8 pool,
                 MidiExportReport* report, RenderFailure* failure) {
    CompiledPiece compiled;
    compiled_piece_init(&compiled, pool);
    compile_piece(piece, piece->settings.sample_rate, piece->settings.stereo ? 2 : 1, &compiled);
    if (compiled.block_times.count < 2) {
        render_failure_set(failure, path, STR("the piece has no length to export"));
        return false;
    }
    MidiPlan plan;
    midi_plan_build(piece, &compiled, options, pool, &plan);
    if (report) *report = plan.report;
    return midi_file_save(&plan, path, pool, failure);
}
