// Reading a Standard MIDI File into a piece. Our own bounded walk checks the whole chunk
// and event structure first, since the file library (libsmf, old C code that asserts on
// malformed input, and on escaped F7 events and format 2 files too) must only ever see a
// file it can take; the library then parses it and hands the events of every track back
// merged in time order, and the tuning arithmetic and the piece are ours. Runs on
// whichever thread owns the piece.
#include "model/midi_import.h"

#include <glib.h>
#include <smf.h>
#include <stdlib.h>

#include "base/format.h"
#include "platform/system.h"

// ---------------------------------------------------------------------------
// Structure check
// ---------------------------------------------------------------------------
struct ByteReader {
    const u8* data;
    i64 at, end;
};

static u32 read_be(const u8* data, i64 count) {
    u32 value = 0;
    for (i64 i = 0; i < count; i += 1) value = value << 8 | data[i];
    return value;
}

// A variable-length quantity of at most four bytes; false when it runs past the end or on.
static bool read_vlq(ByteReader* r, u32* value) {
    *value = 0;
    for (i64 i = 0; i < 4; i += 1) {
        if (r->at >= r->end) return false;
        u8 byte = r->data[r->at++];
        *value = *value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) return true;
    }
    return false;
}

i64 midi_varlen_encode(u32 value, u8* out) {
    u8 groups[5];
    i64 count = 0;
    do {
        groups[count++] = (u8)(value & 0x7F);
        value >>= 7;
    } while (value > 0);
    for (i64 i = 0; i < count; i += 1)
        out[i] = (u8)(groups[count - 1 - i] | (i + 1 < count ? 0x80 : 0));
    return count;
}

static bool refuse(Str* reason, const char* text) {
    *reason = str_from_cstring(text);
    return false;
}

// The events of one track chunk. Running status holds only after a channel message; meta
// events and SysEx cancel it, as the file format says.
static bool track_check(ByteReader r, Str* reason) {
    u8 running = 0;
    u64 ticks = 0;
    while (r.at < r.end) {
        u32 delta = 0;
        if (!read_vlq(&r, &delta)) return refuse(reason, "a delta time is cut short or too long");
        ticks += delta;
        if (ticks > 0x7FFFFFFF) return refuse(reason, "a track is longer than the format allows");
        if (r.at >= r.end) return refuse(reason, "a track ends inside an event");
        u8 status = r.data[r.at];
        if (status & 0x80) {
            r.at += 1;
        } else if (running) {
            status = running;
        } else {
            return refuse(reason, "a data byte comes without a status byte");
        }
        if (status < 0xF0) {
            running = status;
            i64 count = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
            if (r.end - r.at < count) return refuse(reason, "a track ends inside an event");
            for (i64 i = 0; i < count; i += 1)
                if (r.data[r.at + i] & 0x80)
                    return refuse(reason, "a status byte stands where a data byte belongs");
            r.at += count;
            continue;
        }
        running = 0;
        u8 type = 0;
        if (status == 0xFF) {
            if (r.at >= r.end) return refuse(reason, "a track ends inside an event");
            type = r.data[r.at++];
            if (type & 0x80) return refuse(reason, "a meta event has an impossible type");
        } else if (status == 0xF7) {
            return refuse(reason, "escaped (F7) events are not supported");
        } else if (status != 0xF0) {
            return refuse(reason, "a system message stands where only file events belong");
        }
        u32 length = 0;
        if (!read_vlq(&r, &length) || (i64)length > r.end - r.at)
            return refuse(reason, "an event's length runs past the end of its track");
        if (status == 0xFF) {
            // The library reads these at fixed sizes without looking.
            i64 wanted = type == 0x2F   ? 0
                         : type == 0x51 ? 3
                         : type == 0x58 ? 4
                         : type == 0x59 ? 2
                                        : -1;
            if (type == 0x59 && length == 2 && r.data[r.at + 1] > 1)
                return refuse(reason, "a key signature is neither major nor minor");
            if (wanted >= 0 && (i64)length != wanted)
                return refuse(reason, "a tempo, time or key signature has the wrong length");
            if (type == 0x51 && read_be(r.data + r.at, 3) == 0)
                return refuse(reason, "a tempo of zero microseconds per beat");
            if (type == 0x58 && (r.data[r.at] == 0 || r.data[r.at + 1] > 30))
                return refuse(reason, "a time signature is impossible");
            if (type == 0x2F) {
                if (r.at + (i64)length != r.end)
                    return refuse(reason, "events follow the end of a track");
                return true;
            }
        }
        r.at += length;
    }
    return refuse(reason, "a track has no end marker");
}

bool midi_structure_check(Str bytes, Str* reason) {
    if (bytes.length < 14 || memcmp(bytes.data, "MThd", 4) != 0)
        return refuse(reason, "it is not a MIDI file (no header chunk)");
    u32 header_length = read_be(bytes.data + 4, 4);
    if (header_length < 6) return refuse(reason, "the header chunk is cut short");
    if (header_length != 6)
        return refuse(reason, "header chunks longer than six bytes are not supported");
    u32 format = read_be(bytes.data + 8, 2);
    u32 track_count = read_be(bytes.data + 10, 2);
    u32 division = read_be(bytes.data + 12, 2);
    if (format > 2) return refuse(reason, "the MIDI format is unknown");
    if (format == 2)
        return refuse(reason, "format 2 files (independent patterns) are not supported");
    if (track_count == 0) return refuse(reason, "the file has no tracks");
    if (format == 0 && track_count != 1)
        return refuse(reason, "a format 0 file holds one track only");
    if (division & 0x8000) return refuse(reason, "time in SMPTE frames is not supported");
    if (division == 0) return refuse(reason, "the header gives zero ticks per beat");
    i64 at = 8 + (i64)header_length;
    u32 tracks_found = 0;
    while (at < bytes.length) {
        if (bytes.length - at < 8)
            return refuse(reason, "the file is cut short inside a chunk header");
        for (i64 i = 0; i < 4; i += 1) {
            u8 c = bytes.data[at + i];
            if (!((c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')))
                return refuse(reason, "a chunk's name is not made of letters and digits");
        }
        u32 length = read_be(bytes.data + at + 4, 4);
        if ((i64)length > bytes.length - at - 8)
            return refuse(reason, "a chunk runs past the end of the file (cut short)");
        if (memcmp(bytes.data + at, "MTrk", 4) == 0) {
            tracks_found += 1;
            if (tracks_found > track_count)
                return refuse(reason, "the file holds more tracks than its header says");
            ByteReader r = {bytes.data, at + 8, at + 8 + (i64)length};
            if (!track_check(r, reason)) return false;
        }
        at += 8 + (i64)length;
    }
    if (tracks_found < track_count)
        return refuse(reason, "the file holds fewer tracks than its header says");
    return true;
}

// ---------------------------------------------------------------------------
// Tonics
// ---------------------------------------------------------------------------
static const char* const TONIC_NAMES[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                            "F#", "G",  "G#", "A",  "A#", "B"};

i64 midi_tonic_parse(Str name) {
    static const i64 letter_classes[7] = {9, 11, 0, 2, 4, 5, 7};  // A .. G
    if (name.length < 1 || name.length > 2) return -1;
    u8 letter = name.data[0] | 0x20;
    if (letter < 'a' || letter > 'g') return -1;
    i64 tonic = letter_classes[letter - 'a'];
    if (name.length == 2) {
        if (name.data[1] == '#')
            tonic += 1;
        else if (name.data[1] == 'b')
            tonic += 11;
        else
            return -1;
    }
    return tonic % 12;
}

Str midi_tonic_name(i64 tonic) { return str_from_cstring(TONIC_NAMES[((tonic % 12) + 12) % 12]); }

// ---------------------------------------------------------------------------
// Events into notes
// ---------------------------------------------------------------------------
struct MidiNote {
    i64 on, off;    // ticks
    i64 track;      // 0-based
    i64 key;        // the MIDI key
    f64 semitones;  // the sounding pitch as a fractional MIDI key
    i64 next_open;  // the next open note of the same channel and key, -1 at the end
    u8 channel;
};

struct ChannelState {
    i32 bend;        // -8192 .. 8191
    f64 bend_range;  // semitones at full bend
    u8 rpn_msb, rpn_lsb;
    i64 sounding;
};

struct TempoChange {
    i64 tick;
    u32 microseconds;  // per beat
};

struct MeterChange {
    i64 tick;
    Fraction bar;  // beats per bar
};

struct MidiRead {
    PoolArray<MidiNote> notes;
    PoolArray<TempoChange> tempos;
    PoolArray<MeterChange> meters;
    PoolArray<Str> track_names;
    ChannelState channels[16];
    f64 tuning[128];  // what each key sounds, as a fractional MIDI key
    i64 open_head[16 * 128], open_tail[16 * 128];
    i64 end_tick;
    i64 key_signature;   // tonic of the first key signature, -1 when none
    u8 tuning_messages;  // a Single Note Tuning Change came
    u8 shared_bend;      // a bent note began beside another on its channel
    i64 bent_notes;
};

// A Single Note Tuning Change, real-time (7F .. 08 02) or not (7E .. 08 07, with a bank),
// its bytes after F0: every listed key takes its semitone and 14-bit fraction; 7F 7F 7F
// leaves a key alone.
static void tuning_change(MidiRead* m, const u8* data, i64 length) {
    i64 at;
    if (length >= 6 && data[0] == 0x7F && data[2] == 0x08 && data[3] == 0x02)
        at = 5;
    else if (length >= 7 && data[0] == 0x7E && data[2] == 0x08 && data[3] == 0x07)
        at = 6;
    else
        return;
    i64 count = data[at];
    at += 1;
    for (i64 i = 0; i < count && at + 4 <= length; i += 1, at += 4) {
        u8 key = data[at] & 0x7F, semitone = data[at + 1] & 0x7F;
        u32 fine = (u32)(data[at + 2] & 0x7F) << 7 | (data[at + 3] & 0x7F);
        if (semitone == 0x7F && fine == 0x3FFF) continue;
        m->tuning[key] = (f64)semitone + (f64)fine / 16384.0;
        m->tuning_messages = 1;
    }
}

static void controller(ChannelState* c, u8 number, u8 value) {
    if (number == 101)
        c->rpn_msb = value;
    else if (number == 100)
        c->rpn_lsb = value;
    else if (number == 98 || number == 99)
        c->rpn_msb = c->rpn_lsb = 127;
    else if (c->rpn_msb == 0 && c->rpn_lsb == 0 && number == 6)
        c->bend_range = (f64)value + (c->bend_range - math_floor(c->bend_range));
    else if (c->rpn_msb == 0 && c->rpn_lsb == 0 && number == 38)
        c->bend_range = math_floor(c->bend_range) + (f64)value / 100.0;
}

static bool note_on(MidiRead* m, i64 tick, i64 track, u8 channel, u8 key) {
    ChannelState* c = &m->channels[channel];
    MidiNote note = {};
    note.on = tick;
    note.off = -1;
    note.track = track;
    note.key = key;
    note.channel = channel;
    note.semitones = m->tuning[key] + (f64)c->bend / 8192.0 * c->bend_range;
    note.next_open = -1;
    if (c->bend != 0) {
        m->bent_notes += 1;
        if (c->sounding > 0) m->shared_bend = 1;
    }
    c->sounding += 1;
    if (!array_push(&m->notes, note)) return false;
    i64 slot = channel * 128 + key, index = m->notes.count - 1;
    if (m->open_head[slot] < 0)
        m->open_head[slot] = index;
    else
        m->notes[m->open_tail[slot]].next_open = index;
    m->open_tail[slot] = index;
    return true;
}

// Ends the earliest open note of the track on that channel and key.
static void note_off(MidiRead* m, i64 tick, i64 track, u8 channel, u8 key) {
    i64 slot = channel * 128 + key, previous = -1;
    for (i64 i = m->open_head[slot]; i >= 0; previous = i, i = m->notes[i].next_open) {
        MidiNote* note = &m->notes[i];
        if (note->track != track) continue;
        note->off = tick;
        if (previous < 0)
            m->open_head[slot] = note->next_open;
        else
            m->notes[previous].next_open = note->next_open;
        if (m->open_tail[slot] == i) m->open_tail[slot] = previous;
        m->channels[channel].sounding -= 1;
        return;
    }
}

static bool meta_event(MidiRead* m, i64 tick, i64 track, const u8* data, i64 length) {
    // data[0] is FF, data[1] the type, then the length and the contents.
    ByteReader r = {data, 2, length};
    u32 size = 0;
    if (length < 3 || !read_vlq(&r, &size) || (i64)size > length - r.at) return true;
    const u8* body = data + r.at;
    if (data[1] == 0x51 && size == 3) {
        TempoChange change = {tick, read_be(body, 3)};
        if (m->tempos.count > 0 && m->tempos[m->tempos.count - 1].tick == tick)
            m->tempos[m->tempos.count - 1] = change;
        else if (!array_push(&m->tempos, change))
            return false;
    } else if (data[1] == 0x58 && size == 4) {
        // Numerator over 2^denominator of a whole note, in quarter-note beats.
        MeterChange change = {tick,
                              fraction_normalize(Fraction{(i64)body[0] * 4, (i64)1 << body[1]})};
        if (m->meters.count > 0 && m->meters[m->meters.count - 1].tick == tick)
            m->meters[m->meters.count - 1] = change;
        else if (!array_push(&m->meters, change))
            return false;
    } else if (data[1] == 0x59 && size == 2 && m->key_signature < 0) {
        i64 fifths = (i64)(i8)body[0];
        m->key_signature = ((fifths * 7 + (body[1] ? 9 : 0)) % 12 + 12) % 12;
    } else if (data[1] == 0x03 && track < m->track_names.count &&
               m->track_names[track].length == 0) {
        m->track_names[track] = Str{(u8*)body, size};
    }
    return true;
}

static bool events_read(smf_t* smf, MidiRead* m) {
    for (smf_event_t* event = smf_get_next_event(smf); event; event = smf_get_next_event(smf)) {
        const u8* data = event->midi_buffer;
        i64 length = event->midi_buffer_length;
        i64 tick = event->time_pulses, track = event->track_number - 1;
        if (length < 1 || track < 0) continue;
        if (tick > m->end_tick) m->end_tick = tick;
        u8 status = data[0];
        if (status == 0xFF) {
            if (!meta_event(m, tick, track, data, length)) return false;
            continue;
        }
        if (status == 0xF0) {
            tuning_change(m, data + 1, length - 1);
            continue;
        }
        if (status >= 0xF0 || length < 2) continue;
        u8 channel = status & 0x0F, kind = status & 0xF0;
        u8 first = data[1] & 0x7F, second = length > 2 ? data[2] & 0x7F : 0;
        if (kind == 0x90 && second > 0) {
            if (!note_on(m, tick, track, channel, first)) return false;
        } else if (kind == 0x80 || kind == 0x90) {
            note_off(m, tick, track, channel, first);
        } else if (kind == 0xB0) {
            controller(&m->channels[channel], first, second);
        } else if (kind == 0xE0) {
            m->channels[channel].bend = (i32)((u32)second << 7 | first) - 8192;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------
// Pitches
// ---------------------------------------------------------------------------

static Fraction octaves_times(Fraction ratio, i64 octaves) {
    if (octaves >= 0)
        return fraction_normalize(Fraction{ratio.numerator << octaves, ratio.denominator});
    return fraction_normalize(Fraction{ratio.numerator, ratio.denominator << -octaves});
}

static i64 floor_div(i64 a, i64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// For each of the twelve equal-tempered steps above the tonic, the key's scale pitch (or
// its octave) nearest to it in cents. False when the key has no usable pitch.
static bool key_steps(const KeyDefinition* key, Fraction steps[12]) {
    bool any = false;
    for (i64 s = 0; s < 12; s += 1) {
        f64 best = 1e300;
        for (i64 i = 0; i < key->pitches.count; i += 1) {
            const KeyPitch* pitch = &key->pitches[i];
            if (pitch->numerator <= 0 || pitch->denominator <= 0) continue;
            Fraction ratio = fraction_normalize(Fraction{pitch->numerator, pitch->denominator});
            fraction_octave_reduce(&ratio);
            for (i64 octave = 0; octave < 2; octave += 1) {
                Fraction candidate = octaves_times(ratio, octave);
                f64 distance = math_abs(fraction_cents(candidate) - 100.0 * (f64)s);
                if (distance < best) {
                    best = distance;
                    steps[s] = candidate;
                    any = true;
                }
            }
        }
    }
    return any;
}

// A sounding pitch (fractional MIDI key) as the simplest ratio within half a cent of it
// above the reference, found in the octave [1, 2) and moved back by whole octaves.
static Fraction tuned_ratio(f64 semitones, f64 reference_key) {
    f64 cents = 100.0 * (semitones - reference_key);
    i64 octaves = (i64)math_floor(cents / 1200.0);
    f64 error = 0;
    Fraction ratio = fraction_from_cents(cents - 1200.0 * (f64)octaves, 0.5, 4096, &error);
    return octaves_times(ratio, octaves);
}

static f64 ratio_complexity(Fraction ratio) {
    return math_log((f64)ratio.numerator) + math_log((f64)ratio.denominator);
}

// ---------------------------------------------------------------------------
// The piece
// ---------------------------------------------------------------------------

static bool flat_curve(Curve* curve, u8 pool, Fraction value, Fraction minimum, Fraction maximum) {
    curve_init(curve, pool);
    curve->minimum = fraction_less(value, minimum) ? value : minimum;
    curve->maximum = fraction_less(maximum, value) ? value : maximum;
    CurvePoint point = {Fraction{0, 1}, value, Fraction{0, 1}, value, Fraction{0, 1}, value};
    return array_push(&curve->points, point) != 0;
}

// Group names from track names: control bytes become spaces, at most 64 bytes.
static Str group_name(Str name, i64 track) {
    if (name.length == 0) {
        const FormatArg args[] = {fa_i64(track + 1)};
        return format_tmp(STR("track %a"), args, ARRAY_COUNT(args));
    }
    Str copy = str_copy(POOL_TMP, Str{name.data, name.length < 64 ? name.length : 64});
    for (i64 i = 0; i < copy.length; i += 1)
        if (copy.data[i] < 0x20 || copy.data[i] == 0x7F) copy.data[i] = ' ';
    return copy;
}

static bool no_memory(Str* reason) {
    *reason = STR("the file is too large to import");
    return false;
}

static bool piece_build(const MidiRead* m, const Fraction steps[12],
                        const MidiImportOptions* options, i64 tonic, Fraction division,
                        Piece* piece, MidiImportSummary* summary, Str* reason) {
    u8 pool = piece->pool;
    // A note's pitch, and the key object's frequency: plain files put the tonic at its
    // equal-tempered place in the octave of middle C; tuned files take that or A 440,
    // whichever makes the simpler ratios of the first notes.
    f64 reference_key = 60.0 + (f64)tonic;
    bool tuned = m->tuning_messages || (m->bent_notes > 0 && !m->shared_bend);
    if (tuned) {
        f64 complexity[2] = {0, 0};
        const f64 candidates[2] = {reference_key, 69.0};
        for (i64 c = 0; c < 2; c += 1)
            for (i64 i = 0; i < m->notes.count && i < 256; i += 1)
                complexity[c] +=
                    ratio_complexity(tuned_ratio(m->notes[i].semitones, candidates[c]));
        if (complexity[1] < complexity[0]) reference_key = 69.0;
    }
    f64 reference = 440.0 * math_pow(2.0, (reference_key - 69.0) / 12.0);

    i64* group_of_track = (i64*)pool_alloc(pool, (m->track_names.count + 1) * (i64)sizeof(i64));
    if (!group_of_track) return no_memory(reason);
    for (i64 t = 0; t < m->track_names.count; t += 1) group_of_track[t] = -1;
    if (!array_reserve(&piece->notes, m->notes.count)) return no_memory(reason);
    Fraction end = Fraction{m->end_tick, 1};
    Fraction lowest = {1, 1};
    for (i64 i = 0; i < m->notes.count; i += 1) {
        const MidiNote* source = &m->notes[i];
        i64* group = &group_of_track[source->track];
        if (*group < 0) {
            *group =
                piece_group_add(piece, group_name(m->track_names[source->track], source->track));
            if (*group < 0) return no_memory(reason);
        }
        Fraction pitch;
        if (tuned) {
            pitch = tuned_ratio(source->semitones, reference_key);
        } else {
            i64 above = source->key - (60 + tonic);
            i64 octaves = floor_div(above, 12);
            pitch = octaves_times(steps[above - 12 * octaves], octaves);
        }
        if (fraction_less(pitch, lowest)) lowest = pitch;
        i64 off = source->off >= 0 ? source->off : m->end_tick;
        NoteObject note = {};
        note.header = object_header_make(
            piece, OBJECT_NOTE, *group, fraction_div(Fraction{source->on, 1}, division),
            fraction_div(Fraction{off - source->on, 1}, division), pitch, SCOPE_GLOBAL);
        note.draw_size = 1.0f;
        array_push(&piece->notes, note);
    }
    end = fraction_div(end, division);
    if (fraction_equal(end, Fraction{0, 1})) end = Fraction{1, 1};

    // The objects that make it play lie in rows below the lowest note, an octave apart.
    Fraction row = octaves_times(fraction_normalize(lowest), -1);
    if (fraction_less(Fraction{1, 2}, row)) row = Fraction{1, 2};
    KeyObject key = {};
    key.header = object_header_make(piece, OBJECT_KEY, 0, Fraction{0, 1}, end, row, SCOPE_GLOBAL);
    key.reference_frequency = reference;
    key.key_name = str_copy(pool, options->key_name.length ? options->key_name : STR("key"));
    const KeyDefinition* definition = key_by_name(key.key_name);
    if (definition) {
        key.classes = definition->classes;
        key.pitches = definition->pitches;
    } else {
        array_init(&key.classes, pool);
        array_init(&key.pitches, pool);
    }
    if (key.key_name.length == 0 || !array_push(&piece->keys, key)) return no_memory(reason);

    row = octaves_times(row, -1);
    SoundObject sound = {};
    sound.header =
        object_header_make(piece, OBJECT_SOUND, 0, Fraction{0, 1}, end, row, SCOPE_GLOBAL);
    sound.visible = sound.editable = 1;
    sound.wave_count = 1;
    sound.wave_names[0] = str_copy(pool, STR("sine"));
    for (i64 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) curve_init(&sound.blend[i], pool);
    if (sound.wave_names[0].length == 0 || !array_push(&piece->sounds, sound))
        return no_memory(reason);

    // The tempo map: one flat tempo object per stretch, 120 beats a minute before the first
    // change (the file format's default).
    row = octaves_times(row, -1);
    i64 tempo_count = m->tempos.count;
    for (i64 i = -1; i < tempo_count; i += 1) {
        i64 from = i < 0 ? 0 : m->tempos[i].tick;
        if (i < 0 && tempo_count > 0 && m->tempos[0].tick == 0) continue;
        Fraction start = fraction_div(Fraction{from, 1}, division);
        Fraction stop =
            i + 1 < tempo_count ? fraction_div(Fraction{m->tempos[i + 1].tick, 1}, division) : end;
        if (!fraction_less(start, stop)) continue;
        Fraction bpm = i < 0
                           ? Fraction{120, 1}
                           : fraction_normalize(Fraction{60000000, (i64)m->tempos[i].microseconds});
        TempoObject tempo = {};
        tempo.header = object_header_make(piece, OBJECT_TEMPO, 0, start, fraction_sub(stop, start),
                                          row, SCOPE_GLOBAL);
        if (!flat_curve(&tempo.tempo, pool, bpm, Fraction{30, 1}, Fraction{240, 1}) ||
            !array_push(&piece->tempos, tempo))
            return no_memory(reason);
    }

    // Bar lines from the time signatures.
    row = octaves_times(row, -3);
    for (i64 i = 0; i < m->meters.count; i += 1) {
        Fraction start = fraction_div(Fraction{m->meters[i].tick, 1}, division);
        Fraction stop = i + 1 < m->meters.count
                            ? fraction_div(Fraction{m->meters[i + 1].tick, 1}, division)
                            : end;
        if (!fraction_less(start, stop)) continue;
        MeasureObject measure = {};
        measure.header = object_header_make(piece, OBJECT_MEASURE, 0, start,
                                            fraction_sub(stop, start), row, SCOPE_GLOBAL);
        measure.bar_length = m->meters[i].bar;
        const f32 color[4] = {0.55f, 0.6f, 0.98f, 0.3f};
        memcpy(measure.bar_color, color, sizeof(color));
        if (!array_push(&piece->measures, measure)) return no_memory(reason);
    }

    piece->settings.start_time = Fraction{0, 1};
    piece->settings.end_time = end;
    summary->tracks = piece->groups.count;
    summary->notes = piece->notes.count;
    summary->tempos = piece->tempos.count;
    summary->tuned = tuned ? 1 : 0;
    summary->tonic = tonic;
    summary->reference_frequency = reference;
    return true;
}

// smf_delete takes each event out of the front of its track's array, which moves all the
// others: quadratic, minutes for a large file. The events (a malloc'd record and its
// malloc'd bytes, the library's documented layout) are freed here in one pass, and the
// tracks emptied, so that smf_delete finds nothing left to take out one by one.
static void library_file_delete(smf_t* smf) {
    for (int t = 1; t <= smf->number_of_tracks; t += 1) {
        smf_track_t* track = smf_get_track_by_number(smf, t);
        if (!track) continue;
        for (guint i = 0; i < track->events_array->len; i += 1) {
            smf_event_t* event = (smf_event_t*)g_ptr_array_index(track->events_array, i);
            free(event->midi_buffer);
            free(event);
        }
        g_ptr_array_set_size(track->events_array, 0);
        track->number_of_events = 0;
    }
    smf_delete(smf);
}

// The library's own warnings are not the user's: the structure check already said what
// matters, and the reader reports in its own words.
static void library_log_quiet(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

bool midi_import(Str bytes, const MidiImportOptions* options, Piece* piece,
                 MidiImportSummary* summary, Str* reason) {
    *summary = MidiImportSummary{};
    if (!midi_structure_check(bytes, reason)) return false;
    Str key_name = options->key_name.length ? options->key_name : STR("key");
    const KeyDefinition* key = key_by_name(key_name);
    Fraction steps[12] = {};
    if (!key || !key_steps(key, steps)) {
        const FormatArg args[] = {fa_str(key_name)};
        *reason = format_tmp(
            key ? STR("the key \"%a\" has no pitches") : STR("keys.txt has no key \"%a\""), args,
            ARRAY_COUNT(args));
        return false;
    }

    // Once per process: glib keeps every handler set, and the domain is the library's alone.
    static bool library_quiet = false;
    if (!library_quiet) {
        g_log_set_handler("libsmf", (GLogLevelFlags)(G_LOG_LEVEL_MASK & ~G_LOG_LEVEL_ERROR),
                          library_log_quiet, 0);
        library_quiet = true;
    }
    smf_t* smf = smf_load_from_memory(bytes.data, (int)bytes.length);
    if (!smf) {
        *reason = STR("the MIDI library could not read it");
        return false;
    }
    MidiRead* m = (MidiRead*)pool_alloc_zero(piece->pool, sizeof(MidiRead));
    bool ok = m != 0;
    if (ok) {
        array_init(&m->notes, piece->pool);
        array_init(&m->tempos, piece->pool);
        array_init(&m->meters, piece->pool);
        array_init(&m->track_names, piece->pool);
        ok = array_resize(&m->track_names, smf->number_of_tracks);
        for (i64 c = 0; c < 16; c += 1) {
            m->channels[c].bend_range = 2.0;
            m->channels[c].rpn_msb = m->channels[c].rpn_lsb = 127;
        }
        for (i64 k = 0; k < 128; k += 1) m->tuning[k] = (f64)k;
        for (i64 s = 0; s < 16 * 128; s += 1) m->open_head[s] = m->open_tail[s] = -1;
        m->key_signature = -1;
        ok = ok && events_read(smf, m);
    }
    Fraction division = {(i64)smf->ppqn, 1};
    bool built = false;
    if (!ok) {
        no_memory(reason);
    } else {
        i64 tonic = options->tonic >= 0     ? options->tonic % 12
                    : m->key_signature >= 0 ? m->key_signature
                                            : 0;
        built = piece_build(m, steps, options, tonic, division, piece, summary, reason);
    }
    library_file_delete(smf);
    return built;
}
