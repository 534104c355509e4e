// Rendering on several threads: the samples and the running phases are the same bit for
// bit whatever the thread count, through synthesize, render_piece and render_export,
// including voices that cross many time ranges and ranges that cut a note.
#include <stdio.h>

#include <algorithm>
#include <string>

#include "sound/render.h"
#include "synth_fast_support.h"
#include "workloads.h"

struct RenderThreads : SoundTest {
    // W3's first 12 seconds (over half a million frames, so every count of threads gets
    // several ranges), with a drone over the whole of it whose pitch glides, so one voice
    // crosses every range boundary and its phase has to be carried through all of them.
    void build() {
        sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
        ASSERT_TRUE(workload_build(&piece, WORKLOAD_W3, WORKLOAD_SEED));
        piece.settings.end_time = frac(24);
        add_note(&piece, piece.groups[0].id, frac(0), frac(24), frac(7, 3));
        PitchObject* glide = add_pitch(&piece, piece.groups[0].id, frac(0), frac(24), frac(1));
        curve_line(&glide->pitch, frac(1), frac(24), frac(3, 2));
    }
};

// On any count of threads, windowed (as an export writes) and streamed (as playback starts)
// the rendering is the same bits and phases; a stream makes its first samples final early
// and in order.
TEST_F(RenderThreads, EveryThreadCountWindowAndStreamGivesTheSameBits) {
    build();
    CompiledPiece compiled = compiled_of(&piece, 44100, 2);
    ASSERT_GT(compiled.compiled_length, 2 * 500000);
    SynthOutcome one = synth_outcome(&compiled, 1);
    ASSERT_GT(loudest(one), 0.05);
    for (i64 threads : {2, 3, 4, 7})
        EXPECT_TRUE(same_bits(synth_outcome(&compiled, threads), one)) << threads << " threads";
    // The drone's phase carried across the ranges as the reference carries it.
    expect_reference(&compiled, "W3 and a gliding drone");

    std::vector<VoiceEvent> saved(compiled.events.data, compiled.events.data + compiled.events.count);
    auto phases_restored = [&]() {
        std::vector<f64> phases;
        for (i64 e = 0; e < compiled.events.count; e += 1) {
            phases.push_back(compiled.events[e].phase);
            compiled.events[e] = saved[(size_t)e];
        }
        return phases;
    };
    for (i64 threads : {1, 3}) {
        SynthWindows windows;
        ASSERT_TRUE(synth_windows_begin(&windows, &compiled, compiled.compiled_length));
        std::vector<f32> samples;
        while (windows.next < windows.frames) {
            i64 first = windows.next;
            std::vector<f32> part((size_t)(100000 * 2), 0.0f);  // cut to whole blocks
            synth_window_render(&windows, part.data(), first + 100000, nullptr, threads);
            ASSERT_GT(windows.next, first);
            samples.insert(samples.end(), part.begin(), part.begin() + (windows.next - first) * 2);
        }
        synth_windows_end(&windows);
        EXPECT_TRUE(same_bits({samples, phases_restored()}, one)) << threads << " threads";
    }
    // Streamed: the first range is small. On one thread the ranges end in order, so the
    // first report is that range; on more, a helper may finish later ranges first and the
    // report waits for the earlier one, so only the order and the end are certain.
    for (i64 threads : {1, 2}) {
        std::vector<i64> finals;
        SynthProgress stream = {nullptr, &finals, [](void* user, i64 frames) {
                                    ((std::vector<i64>*)user)->push_back(frames);
                                },
                                nullptr};
        std::vector<f32> streamed(one.samples.size(), 0.0f);
        synthesize(&compiled, streamed.data(), (i64)streamed.size(), &stream, threads);
        EXPECT_TRUE(same_bits({streamed, phases_restored()}, one)) << threads << " threads";
        ASSERT_FALSE(finals.empty());
        if (threads == 1) {
            EXPECT_GE(finals.size(), 4u);
            EXPECT_LE(finals[0], 16384);
        }
        EXPECT_TRUE(std::is_sorted(finals.begin(), finals.end())) << threads << " threads";
        EXPECT_EQ(finals.back(), (i64)streamed.size() / 2) << threads << " threads";
    }

    // Mono at a rate that makes the range bounds fall inside blocks of the control tracks;
    // then shorter than two ranges, done on the calling thread.
    for (i64 end : {24, 2}) {
        piece.settings.end_time = frac(end);
        compiled = compiled_of(&piece, 32001, 1);
        EXPECT_TRUE(same_bits(synth_outcome(&compiled, 8), synth_outcome(&compiled, 1))) << end;
    }
}

// The bytes of a file apart from the time of writing in a float WAV's PEAK chunk, which
// differs between any two saves.
static std::string export_bytes(const std::string& path) {
    std::string bytes = to_string(read_entire_file(to_str(path), POOL_WORKER));
    size_t peak = bytes.find("PEAK");
    if (peak != std::string::npos && peak + 16 <= bytes.size()) bytes.replace(peak + 12, 4, 4, '\0');
    return bytes;
}

// Ogg gets a random stream serial on every save, and Vorbis's block decisions depend a
// little on how the samples arrive: decoded, the files agree far within its coding error.
static f64 ogg_difference(const std::string& a, const std::string& b) {
    WaveData first, second;
    if (!audio_wave_load(&first, SAMPLE_FORMAT_F32, to_str(a)) ||
        !audio_wave_load(&second, SAMPLE_FORMAT_F32, to_str(b)) || first.size != second.size)
        return 1.0;
    f64 largest = 0.0;
    for (i64 i = 0; i < first.size / 4; i += 1)
        largest = fmax(largest, fabs((f64)((f32*)first.data)[i] - (f64)((f32*)second.data)[i]));
    return largest;
}

// An export written a window at a time is one whole rendering saved at once: WAV and FLAC
// byte for byte. The name's extension chooses the container; the rendering reports its
// progress to the end.
TEST_F(RenderThreads, ExportsWrittenInPartsAreTheFilesOfOneWholeSave) {
    build();
    // 25 seconds, more than one window of 2^20 frames: the gliding drone, a few of W3's
    // notes, and a chord across the windows' border (about 47.6 beats in).
    piece.settings.end_time = frac(50);
    NoteObject drone = piece.notes[piece.notes.count - 1];
    drone.header.duration = frac(50);
    piece.notes.count = 24;
    array_push(&piece.notes, drone);
    for (i64 n = 0; n < 3; n += 1)
        add_note(&piece, piece.groups[0].id, frac(47), frac(1), frac(3 + n, 2));
    piece.pitches[piece.pitches.count - 1].header.duration = frac(50);
    pool_setup(POOL_WORKER, 1 << 20, true);
    WaveMemory memory;
    TempFolder folder;
    // The progress callback runs on the calling thread only, and ends at the total.
    struct Reports {
        i64 count, done, total;
    };
    SynthProgress progress = {[](void* user, i64 done, i64 total) {
                                  Reports* r = (Reports*)user;
                                  r->count += 1;
                                  r->done = done;
                                  r->total = total;
                              },
                              nullptr};
    struct Case {
        const char *name, *magic;
        u8 sample_type, stereo;
    } cases[] = {{"a.wav", "RIFF", 0, 1}, {"b.wav", "RIFF", 2, 0}, {"c.FLAC", "fLaC", 1, 1}, {"d.ogg", "OggS", 0, 1}};
    for (const Case& c : cases) {
        piece.settings.sample_type = c.sample_type;
        piece.settings.stereo = c.stereo;
        std::string whole_path = folder / (std::string("whole_") + c.name);
        std::string parts_path = folder / (std::string("parts_") + c.name);
        CompiledPiece compiled;
        compiled_piece_init(&compiled, POOL_WORKER);
        Rendering rendering;
        RenderFailure failure;
        Reports reports = {};
        progress.user = &reports;
        ASSERT_TRUE(render_piece(&piece, piece.settings.sample_rate, c.stereo ? 2 : 1, &compiled,
                                 &progress, &rendering, &failure, 2));
        EXPECT_GE(reports.count, 2) << c.name;
        EXPECT_GT(reports.total, 0) << c.name;
        EXPECT_EQ(reports.done, reports.total) << c.name;
        ASSERT_GT(rendering.length, (i64)(c.stereo ? 2 : 1) << 20);
        ASSERT_TRUE(render_save(&rendering, c.sample_type, to_str(whole_path), &failure, 2));
        rendering_free(&rendering);
        ASSERT_TRUE(render_export(&piece, to_str(parts_path), POOL_WORKER, nullptr, &failure,
                                  nullptr, 2));
        std::string whole = export_bytes(whole_path), parts = export_bytes(parts_path);
        EXPECT_EQ(whole.substr(0, 4), c.magic) << c.name;
        EXPECT_EQ(parts.substr(0, 4), c.magic) << c.name;
        EXPECT_GT(whole.size(), 1000u) << c.name;
        if (c.magic[0] == 'O')
            EXPECT_LT(ogg_difference(whole_path, parts_path), 1e-3);
        else
            EXPECT_TRUE(whole == parts) << c.name;
        pool_empty(POOL_WORKER);
    }
    pool_release(POOL_WORKER);
}
