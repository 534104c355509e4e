// The demo pieces of data/examples: the files are what the generator builds, open and
// round-trip through the scene codec and the --dump listing, name only keys, waves and
// sounds that ship, and render to sound that shows what each piece is there to show.
#include <math.h>

#include <string>
#include <vector>

#include "base/format.h"
#include "base/text.h"
#include "examples.h"
#include "model/files.h"
#include "model/scene.h"
#include "platform/system.h"
#include "sound/render.h"
#include "model_support.h"
#include "sound_test_support.h"

static std::string data_path(const std::string& name) { return std::string(SORVANE_DATA_DIR) + "/" + name; }

// The shipped keys and sound definitions, and the examples built and read from their files.
struct Examples : ::testing::Test {
    ScopedPools pools{96 << 20, 32 << 20};
    u8* wave_memory = nullptr;
    Piece built[EXAMPLE_COUNT];
    Piece opened[EXAMPLE_COUNT];
    Str bytes[EXAMPLE_COUNT] = {};

    void SetUp() override {
        keys_parse(read_entire_file(to_str(data_path("keys.txt")), POOL_MAIN));
        wave_memory = (u8*)malloc(32 << 20);
        audio_set_buffer(32 << 20, wave_memory);
        sounds_load_from(STR(SORVANE_DATA_DIR));
        for (u8 e = 0; e < EXAMPLE_COUNT; e += 1) {
            piece_init(&built[e], POOL_MAIN);
            piece_init(&opened[e], POOL_MAIN);
            ASSERT_TRUE(example_build(&built[e], e));
            std::string path = data_path("examples/" + to_string(example_file_name(e)));
            bytes[e] = read_entire_file(to_str(path), POOL_MAIN);
            ASSERT_GT(bytes[e].length, 0) << path << " is missing: the build makes it";
            ASSERT_EQ(scene_decode(bytes[e], &opened[e], POOL_MAIN), SCENE_OK) << path;
        }
    }
    void TearDown() override {
        sounds_reset();
        audio_set_buffer(0, nullptr);
        free(wave_memory);
    }

    // The piece rendered as its export would be, mono samples of the left and right mixed.
    std::vector<f32> render(u8 e, i64* channels) {
        CompiledPiece compiled;
        compiled_piece_init(&compiled, POOL_MAIN);
        Rendering rendering = {};
        RenderFailure failure = {};
        const Piece* piece = &opened[e];
        i64 wanted = piece->settings.stereo ? 2 : 1;
        EXPECT_TRUE(render_piece(piece, piece->settings.sample_rate, wanted, &compiled, nullptr,
                                 &rendering, &failure))
            << to_string(render_failure_text(&failure));
        *channels = rendering.channels;
        std::vector<f32> samples(rendering.samples, rendering.samples + rendering.length);
        rendering_free(&rendering);
        return samples;
    }
};

// Root mean square of the frames in [from, to) seconds, all channels together.
static f64 rms(const std::vector<f32>& samples, i64 channels, f64 from, f64 to) {
    i64 first = (i64)(from * 44100) * channels, last = (i64)(to * 44100) * channels;
    if (last > (i64)samples.size()) last = (i64)samples.size();
    f64 sum = 0;
    for (i64 i = first; i < last; i += 1) sum += (f64)samples[i] * samples[i];
    return last > first ? sqrt(sum / (f64)(last - first)) : 0.0;
}

TEST_F(Examples, TheFilesAreWhatTheGeneratorBuildsAndNameOnlyWhatShipsInGroups) {
    for (u8 e = 0; e < EXAMPLE_COUNT; e += 1) {
        SCOPED_TRACE(to_string(example_file_name(e)));
        // Reproducible: today's generator writes exactly the bytes of the file.
        EXPECT_TRUE(str_equal(scene_encode(&built[e], POOL_MAIN), bytes[e]));
        // Opened and saved again, the bytes and the listing of --dump stay the same.
        EXPECT_TRUE(str_equal(scene_encode(&opened[e], POOL_MAIN), bytes[e]));
        EXPECT_EQ(piece_listing(&opened[e]), piece_listing(&built[e]));

        const Piece* piece = &opened[e];
        ASSERT_GE(piece->keys.count, 1);
        for (i64 i = 0; i < piece->keys.count; i += 1)  // the decoder found the key's scale
            EXPECT_GT(piece->keys[i].pitches.count, 0) << to_string(piece->keys[i].key_name);
        for (i64 i = 0; i < piece->sounds.count; i += 1)
            for (i64 w = 0; w < piece->sounds[i].wave_count; w += 1)
                EXPECT_NE(wave_find(piece->sounds[i].wave_names[w]), nullptr)
                    << to_string(piece->sounds[i].wave_names[w]);
        for (i64 i = 0; i < piece->shapes.count; i += 1)
            EXPECT_NE(sound_find(piece->shapes[i].shape_name), nullptr) << to_string(piece->shapes[i].shape_name);
        for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
            ObjectList list = piece_objects(piece, kind);
            for (i64 i = 0; i < list.count; i += 1)
                EXPECT_NE(group_find(piece, object_list_get(list, i)->group_id), nullptr);
        }
        // Every note is under a sound of its group, so none of them is silent.
        for (i64 i = 0; i < piece->notes.count; i += 1) {
            const ObjectHeader* note = &piece->notes[i].header;
            EXPECT_NE(sound_at(piece, note->time, note->group_id), nullptr) << i;
            EXPECT_NE(shape_at(piece, note->time, note->group_id), nullptr) << i;
        }
    }
}

TEST_F(Examples, JustChordsHasAKeyBarsAndTwoGroupsInDifferentSoundsOfPureTriads) {
    const Piece* piece = &opened[EXAMPLE_JUST_CHORDS];
    EXPECT_EQ(to_string(piece->keys[0].key_name), "just major");
    ASSERT_EQ(piece->measures.count, 1);
    EXPECT_TRUE(fraction_equal(piece->measures[0].bar_length, frac(4)));
    ASSERT_EQ(piece->groups.count, 2);
    const SoundObject* a = sound_at(piece, frac(0), piece->groups[0].id);
    const SoundObject* b = sound_at(piece, frac(0), piece->groups[1].id);
    ASSERT_TRUE(a && b);
    EXPECT_NE(to_string(a->wave_names[0]), to_string(b->wave_names[0]));
    // Each bar's chord, taken over the bass as its root, is 4:5:6 or 10:12:15 exactly: its
    // tones are, octaves aside, 1, 5/4 (or 6/5) and 3/2 times the root.
    i64 chords = piece->groups[0].id;
    for (i64 bar = 0; bar < 8; bar += 1) {
        std::vector<Fraction> tones;
        for (i64 i = 0; i < piece->notes.count; i += 1) {
            const ObjectHeader* h = &piece->notes[i].header;
            if (h->group_id == chords && fraction_equal(h->time, frac(4 * bar))) tones.push_back(h->pitch);
        }
        ASSERT_EQ(tones.size(), 4u) << bar;
        bool root = false, third = false, fifth = false, minor = false;
        for (size_t i = 1; i < tones.size(); i += 1) {
            Fraction interval = fraction_div(tones[i], tones[0]);
            fraction_octave_reduce(&interval);
            root = root || fraction_equal(interval, frac(1));
            third = third || fraction_equal(interval, frac(5, 4)) || fraction_equal(interval, frac(6, 5));
            minor = minor || fraction_equal(interval, frac(6, 5));
            fifth = fifth || fraction_equal(interval, frac(3, 2));
        }
        EXPECT_TRUE(root && third && fifth) << bar;
        EXPECT_EQ(minor, bar == 1) << bar;  // vi is the one minor chord
    }
    i64 channels = 0;
    std::vector<f32> samples = render(EXAMPLE_JUST_CHORDS, &channels);
    EXPECT_EQ(channels, 2);
    f32 peak = 0;
    for (f32 s : samples) peak = fmaxf(peak, fabsf(s));
    EXPECT_GT(peak, 0.2f);
    EXPECT_LT(peak, 1.0f);  // loud, and nowhere clipped
    // 34 beats at 100 a minute.
    EXPECT_NEAR((f64)samples.size() / (f64)channels / 44100.0, 34 * 0.6, 0.05);
}

TEST_F(Examples, CurvesSpeedUpSweepBendAndFadeOut) {
    const Piece* piece = &opened[EXAMPLE_CURVES];
    ASSERT_EQ(piece->tempos.count, 1);
    const Curve* tempo = &piece->tempos[0].tempo;
    EXPECT_LT(fraction_to_double(tempo->points[0].y) * 2,
              fraction_to_double(tempo->points[tempo->points.count - 1].y));
    ASSERT_EQ(piece->pitches.count, 1);
    EXPECT_TRUE(piece->pitches[0].pitch.logarithmic);
    i64 channels = 0;
    std::vector<f32> samples = render(EXAMPLE_CURVES, &channels);
    ASSERT_EQ(channels, 2);
    f64 seconds = (f64)samples.size() / 2 / 44100.0;
    // Faster than 48 beats at the opening 72 a minute, slower than at the closing 168.
    EXPECT_LT(seconds, 49 * 60.0 / 72.0);
    EXPECT_GT(seconds, 49 * 60.0 / 168.0);
    // The fade: loud in the middle, silent at the very end.
    f64 middle = rms(samples, 2, 4.0, 8.0);
    EXPECT_GT(middle, 0.05);
    EXPECT_LT(rms(samples, 2, seconds - 0.5, seconds), middle / 20);
    // The pan sweep: the left channel leads at the start, the right one at the turn.
    auto side = [&](f64 from, f64 to, i64 channel) {
        f64 sum = 0;
        for (i64 i = (i64)(from * 44100); i < (i64)(to * 44100); i += 1) sum += fabs(samples[i * 2 + channel]);
        return sum;
    };
    EXPECT_GT(side(0.5, 2.5, 0), side(0.5, 2.5, 1));
    // Beat 24, the far right, comes at about 14 s under the accelerando.
    EXPECT_GT(side(13.0, 15.0, 1), side(13.0, 15.0, 0));
}

TEST_F(Examples, RecordedWavesBlendThreeWavesAndRepeatThePhrase) {
    const Piece* piece = &opened[EXAMPLE_RECORDED_WAVES];
    bool recorded = false, three = false;
    for (i64 i = 0; i < piece->sounds.count; i += 1) {
        const SoundObject* sound = &piece->sounds[i];
        if (sound->wave_count == 3) three = true;
        for (i64 w = 0; w < sound->wave_count; w += 1) {
            const WaveDefinition* wave = wave_find(sound->wave_names[w]);
            if (wave && wave->kind == WAVE_SAMPLED && wave->data.size > 0) recorded = true;
        }
    }
    EXPECT_TRUE(recorded);
    EXPECT_TRUE(three);
    ASSERT_EQ(piece->repeats.count, 1);
    EXPECT_GE(piece->repeats[0].count, 1);

    // The repeat makes the phrase's notes sound in every eight-beat section: compiled, the
    // piece has the phrase's voices four times over.
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_MAIN);
    compile_piece(piece, 44100, 2, &compiled);
    i64 voices_per_note = 0;
    for (i64 i = 0; i < piece->notes.count; i += 1) {
        const SoundObject* sound = sound_at(piece, piece->notes[i].header.time, piece->notes[i].header.group_id);
        voices_per_note += sound ? sound->wave_count : 0;
    }
    EXPECT_EQ(compiled.events.count, voices_per_note * (1 + piece->repeats[0].count));

    i64 channels = 0;
    std::vector<f32> samples = render(EXAMPLE_RECORDED_WAVES, &channels);
    f64 section = 8 * 60.0 / 96.0;  // eight beats at 96 a minute
    for (i64 k = 0; k < 4; k += 1) EXPECT_GT(rms(samples, channels, k * section, (k + 1) * section), 0.03) << k;
}
