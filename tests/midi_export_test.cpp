// The MIDI export: its tuning messages byte by byte against values worked out here from the
// ratios, its tempo map against the render's onsets, and the file played by FluidSynth and
// measured against sorvane's own render.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

// smf.h includes glib.h inside extern "C", where glib's C++ templates cannot be.
#include <glib.h>
#include <smf.h>

#include "base/text.h"
#include "model/files.h"
#include "model/midi_import.h"
#include "platform/system.h"
#include "sound/midi_export.h"
#include "sound/render.h"
#include "sound_test_support.h"

namespace {

struct MidiExport : SoundTest {
    CompiledPiece compiled;
    MidiPlan plan;
    void plan_make(u8 tuning, i32 range = MIDI_BEND_RANGE_DEFAULT) {
        MidiExportOptions options = {tuning, range, -1};
        compiled = compiled_of(&piece, 48000, 2);
        midi_plan_build(&piece, &compiled, &options, POOL_MAIN, &plan);
    }
    std::vector<const MidiMessage*> of_track(i32 track, u8 status_high = 0) {
        std::vector<const MidiMessage*> out;
        for (i64 i = 0; i < plan.messages.count; i += 1) {
            const MidiMessage* m = &plan.messages.data[i];
            if (m->track == track && (status_high == 0 || (m->bytes[0] & 0xF0) == status_high))
                out.push_back(m);
        }
        return out;
    }
};

f64 cents_of(Fraction ratio, f64 reference) {
    return 6900.0 +
           1200.0 * log2((f64)ratio.numerator / (f64)ratio.denominator * reference / 440.0);
}

// Seconds at `tick` by the file's own tempo changes (track 0), as a player counts them.
f64 file_seconds(const MidiPlan* plan, i64 tick) {
    f64 seconds = 0.0, tempo = 500000.0;
    i64 at = 0;
    for (i64 i = 0; i < plan->messages.count; i += 1) {
        const MidiMessage* m = &plan->messages.data[i];
        if (m->track != 0 || m->bytes[0] != 0xFF || m->tick > tick) continue;
        seconds += (f64)(m->tick - at) * tempo * 1e-6 / MIDI_TICKS_PER_BEAT;
        at = m->tick;
        tempo = (f64)((m->bytes[3] << 16) | (m->bytes[4] << 8) | m->bytes[5]);
    }
    return seconds + (f64)(tick - at) * tempo * 1e-6 / MIDI_TICKS_PER_BEAT;
}

TEST_F(MidiExport, MtsRetunesAFreeKeyBeforeEachNoteOn) {
    add_key(&piece, group, frac(0), frac(8), 264.0);
    add_sine(&piece, group, frac(0), frac(8));
    add_volume(&piece, group, frac(0), frac(8), frac(1, 4), frac(-1));
    piece.settings.end_time = frac(8);
    // A chord of just intervals; 81/80 of 1/1 wants the same key as 1/1 and gets a neighbour.
    const Fraction chord[] = {frac(1), frac(81, 80), frac(3, 2), frac(7, 4), frac(11, 8)};
    for (Fraction r : chord) add_note(&piece, group, frac(0), frac(2), r);
    add_note(&piece, group, frac(2), frac(1), frac(5, 4));
    plan_make(MIDI_TUNING_MTS);

    EXPECT_EQ(of_track(0).size(), 1u) << "one tempo for a constant tempo";
    std::vector<const MidiMessage*> track = of_track(1);
    std::vector<i32> keys;
    i64 seen = 0;
    for (size_t i = 0; i < track.size(); i += 1) {
        const MidiMessage* m = track[i];
        if (m->bytes[0] == 0xB0 && m->bytes[1] == 11 && m->tick == 0)
            EXPECT_EQ(m->bytes[2], 64) << "expression of 1/4";
        if (m->bytes[0] == 0xB0 && m->bytes[1] == 10 && m->tick == 0)
            EXPECT_EQ(m->bytes[2], 0) << "pan hard left";
        if (m->bytes[0] != 0x90) continue;
        ASSERT_LT(seen, 6);
        ASSERT_GT(i, 0u);
        f64 cents = cents_of(seen < 5 ? chord[seen] : frac(5, 4), 264.0);
        i64 steps = (i64)floor(cents * 16384.0 / 100.0 + 0.5);
        u8 key = m->bytes[1];
        // A single note tuning change of one key: semitone, then 14 bits of fraction.
        const u8 expected[12] = {0xF0, 0x7F, 0x7F, 0x08, 0x02, 0, 1, key, (u8)(steps >> 14),
                                 (u8)((steps >> 7) & 0x7F), (u8)(steps & 0x7F), 0xF7};
        ASSERT_EQ(track[i - 1]->length, 12);
        EXPECT_EQ(memcmp(track[i - 1]->bytes, expected, 12), 0) << "note " << seen;
        EXPECT_EQ(track[i - 1]->tick, m->tick);
        EXPECT_LE(fabs(key - cents / 100.0), 1.5) << "a key near the note";
        keys.push_back(key);
        seen += 1;
    }
    EXPECT_EQ(seen, 6);
    for (size_t a = 0; a < 5; a += 1)
        for (size_t b = a + 1; b < 5; b += 1) EXPECT_NE(keys[a], keys[b]) << "sounding together";

    // The file as libsmf reads it: format 1, the division, the track names, and every
    // message of the plan at its tick, byte for byte.
    std::string path = ::testing::TempDir() + "mts.mid";
    RenderFailure failure = {};
    ASSERT_TRUE(midi_file_save(&plan, to_str(path), POOL_MAIN, &failure));
    smf_t* smf = smf_load(path.c_str());
    ASSERT_NE(smf, nullptr);
    EXPECT_EQ(smf->format, 1);
    EXPECT_EQ(smf->ppqn, MIDI_TICKS_PER_BEAT);
    ASSERT_EQ(smf->number_of_tracks, 2);
    i64 next = 0;
    for (int t = 1; t <= 2; t += 1) {
        smf_track_t* read = smf_get_track_by_number(smf, t);
        smf_event_t* event;
        while ((event = smf_track_get_next_event(read)) != nullptr) {
            if (smf_event_is_eot(event)) continue;
            if (event->midi_buffer[0] == 0xFF && event->midi_buffer[1] == 0x03) {
                char* name = smf_event_extract_text(event);
                EXPECT_EQ(std::string(name), to_string(plan.track_names.data[t - 1]));
                free(name);
                continue;
            }
            ASSERT_LT(next, plan.messages.count);
            const MidiMessage* m = &plan.messages.data[next++];
            EXPECT_EQ(m->track, t - 1);
            EXPECT_EQ(event->time_pulses, m->tick);
            ASSERT_EQ(event->midi_buffer_length, m->length);
            EXPECT_EQ(memcmp(event->midi_buffer, m->bytes, m->length), 0) << "message " << next - 1;
        }
    }
    EXPECT_EQ(next, plan.messages.count);
    smf_delete(smf);
    remove(path.c_str());
}

TEST_F(MidiExport, MpeGivesEachNoteAChannelAndABendAndMakesTheFifteenthWait) {
    add_key(&piece, group, frac(0), frac(8), 264.0);
    add_sine(&piece, group, frac(0), frac(8));
    for (i64 i = 0; i < 15; i += 1) add_note(&piece, group, frac(i, 8), frac(2), frac(7 + i, 4));
    for (i32 range : {48, 12}) {
        plan_make(MIDI_TUNING_MPE, range);
        // The zone and every member channel's bend range, in track 0.
        std::vector<const MidiMessage*> setup = of_track(0, 0xB0);
        for (u8 channel = 1; channel <= 15; channel += 1) {
            bool found = false;
            for (size_t i = 0; i + 1 < setup.size(); i += 1)
                found =
                    found || (setup[i]->bytes[0] == (0xB0 | channel) &&
                              setup[i]->bytes[1] == 0x64 && setup[i]->bytes[2] == 0 &&
                              setup[i + 1]->bytes[1] == 0x06 && setup[i + 1]->bytes[2] == range);
            EXPECT_TRUE(found) << "bend range of channel " << (int)channel;
        }
        std::vector<const MidiMessage*> track = of_track(1);
        i64 seen = 0;
        std::vector<u8> channels;
        for (size_t i = 0; i < track.size(); i += 1) {
            const MidiMessage* m = track[i];
            if ((m->bytes[0] & 0xF0) != 0x90) continue;
            const MidiMessage* bend = track[i - 1];
            u8 channel = m->bytes[0] & 0x0F;
            EXPECT_EQ(bend->bytes[0], 0xE0 | channel);
            f64 cents = cents_of(frac(7 + seen, 4), 264.0);
            i32 expected =
                (i32)floor(8192.0 + (cents - 100.0 * m->bytes[1]) / (100.0 * range) * 8192.0 + 0.5);
            EXPECT_EQ(bend->bytes[1] | (bend->bytes[2] << 7), expected) << "note " << seen;
            EXPECT_TRUE(channel >= 1 && channel != 9) << "a member channel, not the drums";
            if (seen < 14)
                for (u8 other : channels) EXPECT_NE(other, channel) << "sounding together";
            channels.push_back(channel);
            if (seen == 14)
                EXPECT_EQ(m->tick, 2 * MIDI_TICKS_PER_BEAT) << "waits for the first to end";
            seen += 1;
        }
        EXPECT_EQ(seen, 15);
        EXPECT_EQ(plan.report.waited, 1);
    }
}

TEST_F(MidiExport, TempoCurveOnsetsLandWithinAMillisecondOfTheRender) {
    add_sine(&piece, group, frac(0), frac(64));
    TempoObject* tempo = add_tempo(&piece, frac(4), frac(32), frac(60));
    curve_line(&tempo->tempo, frac(60), frac(32), frac(190));
    for (i64 i = 0; i < 120; i += 1) add_note(&piece, group, frac(i, 3), frac(1, 5));
    plan_make(MIDI_TUNING_MTS);
    EXPECT_GT(of_track(0).size(), 100u) << "the curve needs many tempo changes";
    std::vector<const MidiMessage*> ons = of_track(1, 0x90);
    ASSERT_EQ(ons.size(), 120u);
    f64 worst = 0.0;
    for (i64 i = 0; i < 120; i += 1) {
        f64 error = fabs(file_seconds(&plan, ons[i]->tick) - compiled.events[i].start_time);
        worst = error > worst ? error : worst;
    }
    EXPECT_LT(worst, 0.001);
}

// --- FluidSynth --------------------------------------------------------------------------

const char SOUNDFONT[] = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
const i32 REED_ORGAN = 20;  // General MIDI 21: a steady tone without vibrato in FluidR3

// The strongest partial within 1% of `near` over [from, from + seconds): a Hann-windowed
// Fourier sum searched on a grid, then narrowed.
f64 partial_near(const std::vector<f32>& x, f64 rate, f64 from, f64 seconds, f64 near) {
    i64 first = (i64)(from * rate), length = (i64)(seconds * rate);
    if (first < 0 || first + length > (i64)x.size()) return 0.0;
    std::vector<f64> windowed((size_t)length);
    for (i64 n = 0; n < length; n += 1)
        windowed[(size_t)n] =
            x[(size_t)(first + n)] * (0.5 - 0.5 * cos(2.0 * M_PI * n / (length - 1)));
    auto strength = [&](f64 f) {
        f64 re = 0.0, im = 0.0, c = cos(2.0 * M_PI * f / rate), s = sin(2.0 * M_PI * f / rate);
        f64 pr = 1.0, pi = 0.0;  // the phasor, turned by one sample each step
        for (i64 n = 0; n < length; n += 1) {
            re += windowed[(size_t)n] * pr;
            im += windowed[(size_t)n] * pi;
            f64 next = pr * c - pi * s;
            pi = pr * s + pi * c;
            pr = next;
        }
        return re * re + im * im;
    };
    f64 best = near, best_strength = -1.0, step = near * 0.02 / 80.0;
    for (i64 i = -40; i <= 40; i += 1) {
        f64 s = strength(near + step * i);
        if (s > best_strength) best_strength = s, best = near + step * i;
    }
    while (step > 1e-5) {
        f64 below = strength(best - step), above = strength(best + step);
        if (below > best_strength)
            best_strength = below, best -= step;
        else if (above > best_strength)
            best_strength = above, best += step;
        else
            step *= 0.5;
    }
    return best;
}

// First time after `from` at which the signal reaches a tenth of its peak over the next second.
f64 onset_after(const std::vector<f32>& x, f64 rate, f64 from) {
    i64 first = from > 0.0 ? (i64)(from * rate) : 0, end = first + (i64)rate;
    f64 peak = 0.0;
    for (i64 i = first; i < end && i < (i64)x.size(); i += 1) peak = fmax(peak, fabs(x[i]));
    for (i64 i = first; i < end && i < (i64)x.size(); i += 1)
        if (fabs(x[i]) >= 0.1 * peak) return (f64)i / rate;
    return -1.0;
}

std::vector<f32> first_channel(const WaveData& wave) {
    const f32* s = (const f32*)wave.data;
    i64 frames = wave.size / (i64)sizeof(f32) / wave.channels;
    std::vector<f32> out((size_t)frames);
    for (i64 i = 0; i < frames; i += 1) out[(size_t)i] = s[i * wave.channels];
    return out;
}

// FluidSynth 2.3 computes a voice's pitch in whole cents, dropping the fraction, and its
// samples carry tunings of their own. So each note is compared with a calibration note of
// the same key in plain equal temperament; in MTS it must sound within a quarter cent of
// sorvane's frequency brought down to the whole cent below it.
TEST_F(MidiExport, FluidSynthPlaysTheJustIntervalsAndTheOnsetsOfTheRender) {
    ASSERT_EQ(system("command -v fluidsynth >/dev/null"), 0) << "fluidsynth is not installed";
    ASSERT_NE(file_bytes(SOUNDFONT).size(), 0u) << SOUNDFONT << " is missing";
    const f64 reference = 264.0;
    const Fraction ratios[] = {frac(3, 2), frac(7, 4), frac(11, 8), frac(5, 3), frac(9, 7)};
    const i64 count = ARRAY_COUNT(ratios);
    add_key(&piece, group, frac(0), frac(200), reference);
    add_sine(&piece, group, frac(0), frac(200));
    // Two beats on, two off, at 60 a minute; then the same notes under an accelerando.
    TempoObject* tempo = add_tempo(&piece, frac(0), frac(200), frac(60));
    curve_line(&tempo->tempo, frac(60), frac(8 * count), frac(60));
    array_push(&tempo->tempo.points, point_at(frac(12 * count), frac(160)));
    std::vector<i32> keys;
    for (i64 i = 0; i < count; i += 1) {
        f64 cents = cents_of(ratios[i], reference);
        i32 key = (i32)floor(cents / 100.0 + 0.5);
        keys.push_back(key);
        // The same key in equal temperament, as a ratio a 2^-40 away from exact.
        f64 tempered = 440.0 * pow(2.0, (key - 69) / 12.0) / reference;
        add_note(&piece, group, frac(8 * i), frac(2), ratios[i]);
        add_note(&piece, group, frac(8 * i + 4), frac(2),
                 frac((i64)llround(tempered * (1ll << 40)), 1ll << 40));
        add_note(&piece, group, frac(8 * count + 4 * i), frac(2), ratios[i]);
    }
    piece.settings.end_time = frac(8 * count + 4 * count + 4);
    piece.settings.sample_rate = 48000;

    compiled_piece_init(&compiled, POOL_MAIN);
    Rendering own;
    RenderFailure failure = {};
    ASSERT_TRUE(render_piece(&piece, 48000, 1, &compiled, 0, &own, &failure));
    std::vector<f32> mine(own.samples, own.samples + own.length);
    rendering_free(&own);
    std::vector<f64> onsets;  // by the render, one per note in time order
    for (i64 e = 0; e < compiled.events.count; e += 1)
        onsets.push_back(compiled.events.data[e].start_time);
    ASSERT_EQ((i64)onsets.size(), 3 * count);

    WaveMemory memory{256 << 20};
    for (u8 tuning : {MIDI_TUNING_MTS, MIDI_TUNING_MPE}) {
        SCOPED_TRACE(tuning == MIDI_TUNING_MTS ? "MTS" : "MPE");
        std::string mid = ::testing::TempDir() + "fluid.mid",
                    wav = ::testing::TempDir() + "fluid.wav";
        MidiExportOptions options = {tuning, MIDI_BEND_RANGE_DEFAULT, REED_ORGAN};
        ASSERT_TRUE(midi_export(&piece, to_str(mid), &options, POOL_TMP, 0, &failure));
        std::string command = "fluidsynth -ni -R 0 -C 0 -F " + wav + " -r 48000 " + SOUNDFONT +
                              " " + mid + " >/dev/null 2>&1";
        ASSERT_EQ(system(command.c_str()), 0);
        WaveData wave;
        ASSERT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(wav)));
        std::vector<f32> played = first_channel(wave);
        // Onsets: FluidSynth's delay from the first note-on is the same for every note.
        f64 delay = onset_after(played, 48000.0, 0.0) - onsets[0];
        for (i64 n = 0; n < 3 * count; n += 1) {
            f64 at = onset_after(played, 48000.0, onsets[n] - 0.05) - delay;
            EXPECT_NEAR(at, onsets[n], 0.002) << "note " << n;
        }
        for (i64 i = 0; i < count; i += 1) {
            f64 own_hz = partial_near(mine, 48000.0, onsets[2 * i] + 0.3, 1.0,
                                      reference * ratios[i].numerator / ratios[i].denominator);
            f64 exact = reference * ratios[i].numerator / ratios[i].denominator;
            EXPECT_NEAR(1200.0 * log2(own_hz / exact), 0.0, 0.05) << "sorvane's render, note " << i;
            f64 tempered = 440.0 * pow(2.0, (keys[i] - 69) / 12.0);
            f64 note = partial_near(played, 48000.0, onsets[2 * i] + delay + 0.3, 1.0, own_hz);
            f64 calibration =
                partial_near(played, 48000.0, onsets[2 * i + 1] + delay + 0.3, 1.0, tempered);
            f64 offset = 1200.0 * log2(own_hz / tempered),
                heard = 1200.0 * log2(note / calibration);
            if (tuning == MIDI_TUNING_MTS) {
                f64 carried = floor(offset * 163.84 + 0.5) / 163.84;  // steps of 100/16384 cent
                EXPECT_NEAR(heard, floor(carried + 1e-6), 0.25) << "note " << i;
            } else {
                // Below the offset by up to a cent (the dropped fraction), give or take half a
                // bend step (0.29 cent) and FluidSynth's bend scale of 2/16383 (up to 0.29).
                EXPECT_NEAR(heard, offset - 0.5, 1.1) << "note " << i;
            }
        }
        if (!getenv("MIDI_KEEP")) remove(mid.c_str());
        if (!getenv("MIDI_KEEP")) remove(wav.c_str());
    }
}

// Out and back in: a piece exported in either mode and imported again has the same notes,
// at the same times and lengths, with the same ratios of a key at A 440, in the same group.
TEST_F(MidiExport, ExportedAndImportedAgainGivesTheSameNotesTimesAndRatios) {
    keys_parse(read_entire_file(STR("keys.txt"), POOL_MAIN));
    add_key(&piece, group, frac(0), frac(6), 440.0);
    add_sine(&piece, group, frac(0), frac(6));
    piece.settings.end_time = frac(6);
    struct Placed {
        Fraction time, duration, pitch;
    };
    const Placed placed[] = {{frac(0), frac(2), frac(1)},         {frac(0), frac(2), frac(5, 4)},
                             {frac(0), frac(2), frac(3, 2)},      {frac(0), frac(2), frac(7, 4)},
                             {frac(2), frac(1, 3), frac(11, 8)},  {frac(7, 3), frac(2, 3), frac(9, 8)},
                             {frac(3), frac(3, 2), frac(15, 16)}, {frac(9, 2), frac(3, 2), frac(2)}};
    for (const Placed& p : placed) add_note(&piece, group, p.time, p.duration, p.pitch);

    for (u8 tuning : {(u8)MIDI_TUNING_MTS, (u8)MIDI_TUNING_MPE}) {
        std::string path = ::testing::TempDir() + "round_trip.mid";
        MidiExportOptions options = midi_export_defaults();
        options.tuning = tuning;
        MidiExportReport report = {};
        RenderFailure failure = {};
        ASSERT_TRUE(midi_export(&piece, to_str(path), &options, POOL_MAIN, &report, &failure));
        EXPECT_EQ(report.waited, 0);

        Piece back;
        piece_init(&back, POOL_MAIN);
        MidiImportOptions import = {STR("key"), -1};
        MidiImportSummary summary = {};
        Str reason = {};
        ASSERT_TRUE(midi_import(read_entire_file(to_str(path), POOL_MAIN), &import, &back,
                                &summary, &reason))
            << to_string(reason);
        EXPECT_TRUE(summary.tuned);
        ASSERT_EQ(back.keys.count, 1);
        EXPECT_DOUBLE_EQ(back.keys[0].reference_frequency, 440.0);
        ASSERT_EQ(back.groups.count, 1);
        EXPECT_EQ(to_string(back.tree[0].name), "group");
        ASSERT_EQ(back.notes.count, (i64)(sizeof(placed) / sizeof(placed[0])));
        // The import lists notes by onset; notes of one onset in any order. The notes
        // placed all differ, so with the counts equal each is found once.
        for (const Placed& p : placed) {
            bool match = false;
            for (i64 i = 0; i < back.notes.count; i += 1) {
                const ObjectHeader& h = back.notes[i].header;
                match = match || (fraction_equal(h.time, p.time) &&
                                  fraction_equal(h.duration, p.duration) &&
                                  fraction_equal(h.pitch, p.pitch));
            }
            EXPECT_TRUE(match) << (tuning == MIDI_TUNING_MTS ? "mts " : "mpe ") << p.time.numerator
                               << "/" << p.time.denominator << " pitch " << p.pitch.numerator
                               << "/" << p.pitch.denominator;
        }
    }
}

}  // namespace
