// The scene codec: the byte layout pinned by small worked examples, a round trip of a
// piece holding everything, what decoding rebuilds, memory reuse on repeated decodes, and
// damaged or hostile files, which must be refused without touching the piece.
#include <string.h>

#include <string>
#include <vector>

#include "model_support.h"
#include "piece_support.h"

static std::vector<u8> encode(const Piece* piece) {
    Str bytes = scene_encode(piece, POOL_TMP);
    return std::vector<u8>(bytes.data, bytes.data + bytes.length);
}

static SceneResult decode(const std::vector<u8>& bytes, Piece* piece, u8 pool = POOL_MAIN) {
    return scene_decode(Str{(u8*)bytes.data(), (i64)bytes.size()}, piece, pool);
}

static std::vector<u8> le(u64 value, int bytes) {
    std::vector<u8> out;
    for (int i = 0; i < bytes; i += 1) out.push_back((u8)(value >> (8 * i)));
    return out;
}

static void append(std::vector<u8>* to, const std::vector<u8>& more) {
    to->insert(to->end(), more.begin(), more.end());
}

static std::vector<u8> settings_bytes_default() {
    std::vector<u8> out;
    for (u64 value : {0ull, 1ull, 120ull, 1ull, 44100ull}) append(&out, le(value, 8));
    out.push_back(1);  // stereo
    out.push_back(0);  // sample type
    for (f32 component : {0.0f, 0.0f, 0.5f, 1.0f}) {
        u32 bits;
        memcpy(&bits, &component, 4);
        append(&out, le(bits, 4));
    }
    return out;
}

// An empty piece in the main pool, for the worked examples of the layout.
struct SceneLayout : testing::Test {
    ScopedPools pools;
    Piece piece;
    void SetUp() override { piece_init(&piece, POOL_MAIN); }
};

// An empty piece is magic, version, twelve zero counts and the settings; a note header is
// id, group, scope, then three fractions.
TEST_F(SceneLayout, AnEmptyPieceAndANoteHeaderAreLaidOutFieldByField) {
    std::vector<u8> expected = {0xB8, 0x4E, 0x40, 0x02, 0x00, 0x00};
    for (int i = 0; i < 12; i += 1) append(&expected, le(0, 4));
    append(&expected, settings_bytes_default());
    EXPECT_EQ(encode(&piece), expected);
    EXPECT_EQ(scene_encoded_size(&piece), 112);

    NoteObject note = {};
    note.header = header_make(OBJECT_NOTE, 5, 2, SCOPE_LOCAL, frac(1, 4), frac(1, 8), frac(3, 2));
    array_push(&piece.notes, note);
    std::vector<u8> bytes = encode(&piece);
    ASSERT_EQ(bytes.size(), 112u + SCENE_HEADER_BYTES);

    expected = le(1, 4);  // the note count, after magic, version and 2 lists
    append(&expected, le(5, 8));
    append(&expected, le(2, 8));
    expected.push_back(2);
    for (u64 value : {1, 4, 1, 8, 3, 2}) append(&expected, le(value, 8));
    std::vector<u8> got(bytes.begin() + 6 + 8, bytes.begin() + 6 + 8 + 4 + SCENE_HEADER_BYTES);
    EXPECT_EQ(got, expected);
}

TEST_F(SceneLayout, CurvesAreThirtySevenBytesPlusNinetySixPerPoint) {
    TempoObject tempo = {};
    tempo.header = header_make(OBJECT_TEMPO, 1, 0, SCOPE_GLOBAL, frac(0), frac(4));
    curve_init(&tempo.tempo, POOL_MAIN);
    tempo.tempo.minimum = frac(2, 4);
    array_push(&piece.tempos, tempo);
    std::vector<u8> bytes = encode(&piece);
    ASSERT_EQ(bytes.size(), 112u + SCENE_HEADER_BYTES + SCENE_CURVE_BYTES);
    // Magic, version, five counts, the tempo count and its header come first.
    size_t curve_at = 6 + 5 * 4 + 4 + SCENE_HEADER_BYTES;
    EXPECT_EQ(bytes[curve_at], 0x06);  // visible and editable, not logarithmic
    std::vector<u8> minimum = le(2, 8);
    append(&minimum, le(4, 8));
    EXPECT_EQ(std::vector<u8>(&bytes[curve_at + 1], &bytes[curve_at + 17]), minimum);

    piece.tempos.data[0].tempo.logarithmic = 1;
    piece.tempos.data[0].tempo.visible = 0;
    curve_point_insert_with_handle(&piece.tempos.data[0].tempo, frac(0), frac(1), frac(1));
    bytes = encode(&piece);
    EXPECT_EQ(bytes.size(), 112u + SCENE_HEADER_BYTES + SCENE_CURVE_BYTES + SCENE_POINT_BYTES);
    EXPECT_EQ(bytes[curve_at], 0x05);
}

TEST_F(SceneLayout, SoundsWriteOneCurveFewerThanTheirWaves) {
    SoundObject sound = {};
    sound.header = header_make(OBJECT_SOUND, 1, 0, SCOPE_GLOBAL, frac(0), frac(4));
    sound.wave_count = 1;
    sound.wave_names[0] = STR("sine");
    for (Curve& curve : sound.blend) curve_init(&curve, POOL_MAIN);
    array_push(&piece.sounds, sound);
    const i64 one_wave = 112 + SCENE_HEADER_BYTES + 1 + 4 + 8 + 4;
    EXPECT_EQ(scene_encoded_size(&piece), one_wave);
    piece.sounds.data[0].wave_count = 2;
    piece.sounds.data[0].wave_names[1] = STR("saw");
    EXPECT_EQ(scene_encoded_size(&piece), one_wave + 8 + 3 + SCENE_CURVE_BYTES);
    piece.sounds.data[0].wave_count = 9;  // cut to four names (two of them empty), three curves
    EXPECT_EQ(scene_encoded_size(&piece), one_wave + 8 + 3 + 8 + 8 + 3 * SCENE_CURVE_BYTES);
}

// The full piece, its encoding, and an empty piece to decode into.
struct SceneRoundTrip : testing::Test {
    ScopedPools pools{64 << 20, 16 << 20};
    Piece original, loaded;
    std::vector<u8> bytes;
    void SetUp() override {
        piece_build_full(&original, POOL_MAIN);
        bytes = encode(&original);
        piece_init(&loaded, POOL_MAIN);
    }
};

TEST_F(SceneRoundTrip, EveryKindEveryCurveAndTheFolderTreeComeBackTheSame) {
    loaded.modified = 1;
    ASSERT_EQ(decode(bytes, &loaded), SCENE_OK);
    EXPECT_EQ(encode(&loaded), bytes);
    EXPECT_EQ(piece_listing(&loaded), piece_listing(&original));
    EXPECT_EQ(loaded.modified, 0);
    EXPECT_EQ(loaded.next_object_id, 26);  // one above the largest id
    EXPECT_EQ(loaded.next_group_id, 22);   // folder ids count too
    // Curves beyond the waves in use are not saved, and come back empty.
    EXPECT_EQ(loaded.sounds.data[0].blend[2].points.count, 0);
}

TEST_F(SceneRoundTrip, DecodingRebuildsWhatTheFileDoesNotHold) {
    struct KeysForgotten {
        ~KeysForgotten() { array_init(&g_keys, POOL_MAIN); }
    } forget;
    KeyDefinition definition = {};
    definition.name = STR("just major");
    array_init(&definition.pitches, POOL_MAIN);
    array_push(&definition.pitches, KeyPitch{STR("do"), 0, 1, 1});
    array_push(&g_keys, definition);

    original.notes.data[0].header.selected = 1;
    original.notes.data[0].header.visible = 0;
    original.texts.data[0].size = 12.0;
    ASSERT_EQ(decode(encode(&original), &loaded), SCENE_OK);

    for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
        ObjectList list = piece_objects(&loaded, kind);
        for (i64 i = 0; i < list.count; i += 1) {
            const ObjectHeader* header = object_list_get(list, i);
            EXPECT_EQ(header->kind, kind);
            EXPECT_EQ(header->visible, 1);
            EXPECT_EQ(header->selected, 0);
        }
    }
    for (const TextObject& text : {loaded.texts.data[0], loaded.texts.data[1]}) {
        EXPECT_DOUBLE_EQ(text.size, 32.0);
        EXPECT_FLOAT_EQ(text.align_x, -1.0f);
        EXPECT_FLOAT_EQ(text.align_y, 0.0f);
    }
    EXPECT_EQ(loaded.keys.data[0].pitches.data, g_keys.data[0].pitches.data);  // shared
    EXPECT_EQ(loaded.keys.data[0].pitches.count, 1);
    EXPECT_EQ(loaded.keys.data[1].pitches.count, 0);  // a name not in keys.txt
    EXPECT_EQ(loaded.keys.data[1].pitches.data, nullptr);
    // Tree rows take their group's colour, half transparent when the group is hidden.
    EXPECT_FLOAT_EQ(loaded.tree.data[0].color[2], 0.75f);
    EXPECT_FLOAT_EQ(loaded.tree.data[0].color[3], 1.0f);
    EXPECT_FLOAT_EQ(loaded.tree.data[2].color[3], 0.5f);
    // Notes are drawn at their group's size, 1 when the group is missing.
    EXPECT_FLOAT_EQ(loaded.notes.data[1].draw_size, 0.5f);
    EXPECT_FLOAT_EQ(loaded.notes.data[0].draw_size, 1.0f);
}

TEST_F(SceneRoundTrip, RepeatedDecodesReuseTheirMemory) {
    std::vector<u8> small_bytes = bytes;
    NoteObject note = {};
    for (i64 i = 0; i < 10000; i += 1) {
        note.header = header_make(OBJECT_NOTE, 100 + i, 0, SCOPE_GLOBAL, frac(i, 4), frac(1, 4));
        array_push(&original.notes, note);
    }
    bytes = encode(&original);
    ASSERT_EQ(decode(bytes, &loaded), SCENE_OK);
    i64 used = g_pools[POOL_MAIN].used;
    for (i32 i = 0; i < 200; i += 1) ASSERT_EQ(decode(bytes, &loaded), SCENE_OK);
    EXPECT_EQ(g_pools[POOL_MAIN].used, used);
    EXPECT_EQ(loaded.notes.count, 10002);
    EXPECT_EQ(encode(&loaded), bytes);

    // A smaller file fits in the same room; the larger one again still takes nothing.
    used = g_pools[POOL_MAIN].used;
    ASSERT_EQ(decode(small_bytes, &loaded), SCENE_OK);
    EXPECT_EQ(encode(&loaded), small_bytes);
    ASSERT_EQ(decode(bytes, &loaded), SCENE_OK);
    EXPECT_EQ(g_pools[POOL_MAIN].used, used);
}

TEST_F(SceneRoundTrip, ThePieceLivesInThePoolItWasDecodedInto) {
    ASSERT_TRUE(pool_setup(POOL_WORKER, 1 << 16, true));
    Piece worker;
    piece_build_full(&worker, POOL_MAIN);  // arrays in the main pool to begin with
    ASSERT_EQ(decode(bytes, &worker, POOL_WORKER), SCENE_OK);
    EXPECT_EQ(worker.pool, POOL_WORKER);
    EXPECT_EQ(worker.notes.pool, POOL_WORKER);
    EXPECT_EQ(worker.groups.pool, POOL_WORKER);
    EXPECT_EQ(worker.tempos.data[0].tempo.points.pool, POOL_WORKER);
    i64 main_used = g_pools[POOL_MAIN].used;
    for (i32 i = 0; i < 5; i += 1) {
        pool_empty(POOL_WORKER);
        piece_init(&worker, POOL_WORKER);
        ASSERT_EQ(decode(bytes, &worker, POOL_WORKER), SCENE_OK);
    }
    EXPECT_EQ(g_pools[POOL_MAIN].used, main_used);  // nothing taken from the main pool
    EXPECT_EQ(encode(&worker), bytes);
    EXPECT_EQ(piece_listing(&worker), piece_listing(&original));
    pool_release(POOL_WORKER);
}

// ---------------------------------------------------------------------------
// Damaged and hostile files
// ---------------------------------------------------------------------------
// A full piece, modified, that no refused file may change; an empty piece's encoding.
struct SceneHostile : testing::Test {
    ScopedPools pools;
    Piece piece;
    std::vector<u8> before, empty;
    void SetUp() override {
        piece_build_full(&piece, POOL_MAIN);
        piece.modified = 1;
        before = encode(&piece);
        Piece nothing;
        piece_init(&nothing, POOL_MAIN);
        empty = encode(&nothing);
    }
    // Decodes and checks the piece is exactly what it was.
    SceneResult refuse(const std::vector<u8>& bytes) {
        pool_empty(POOL_TMP);
        i64 used = g_pools[POOL_MAIN].used;
        SceneResult result = decode(bytes, &piece);
        EXPECT_EQ(encode(&piece), before);
        EXPECT_EQ(piece.modified, 1);
        EXPECT_EQ(g_pools[POOL_MAIN].used, used);  // nothing allocated either
        return result;
    }
};

static void put_at(std::vector<u8>* bytes, size_t at, u64 value, int size) {
    for (int i = 0; i < size; i += 1) (*bytes)[at + i] = (u8)(value >> (8 * i));
}

TEST_F(SceneHostile, WrongMagicAndVersionsAreTold) {
    EXPECT_EQ(refuse({}), SCENE_INVALID);
    EXPECT_EQ(refuse({0xB8, 0x4E, 0x40}), SCENE_INVALID);
    std::vector<u8> text(empty.size(), 'a');
    EXPECT_EQ(refuse(text), SCENE_INVALID);
    EXPECT_EQ(refuse({0xB8, 0x4E, 0x40, 0x02, 0x01, 0x00}), SCENE_INCOMPATIBLE);
    std::vector<u8> newer = empty;
    newer[5] = 0x01;
    EXPECT_EQ(refuse(newer), SCENE_INCOMPATIBLE);
    EXPECT_EQ(refuse({0xB8, 0x4E, 0x40, 0x02, 0x00}), SCENE_INVALID);

    std::vector<u8> longer = empty;  // bytes after the settings are ignored
    longer.push_back(0x55);
    ASSERT_EQ(decode(longer, &piece), SCENE_OK);
    EXPECT_EQ(encode(&piece), empty);  // over a full piece: every list emptied
    EXPECT_EQ(piece.next_object_id, 1);
}

TEST_F(SceneHostile, AFileCutAnywhereIsRefusedWholesale) {
    Piece other;
    piece_build_full(&other, POOL_MAIN);
    other.notes.data[0].header.id = 999;
    std::vector<u8> full = encode(&other);
    for (size_t length = 0; length < full.size(); length += 1) {
        std::vector<u8> cut(full.begin(), full.begin() + length);
        SceneResult result = refuse(cut);
        ASSERT_EQ(result, SCENE_INVALID) << "cut at " << length;
    }
}

TEST_F(SceneHostile, CountsAndLengthsBeyondTheFileAreRefused) {
    Piece one_group;
    piece_init(&one_group, POOL_MAIN);
    array_push(&one_group.groups, group_make(1, "circle", 1.0));
    const std::vector<u8> valid = encode(&one_group);
    const size_t group_count_at = 6, name_length_at = 6 + 4 + 8 + 1 + 8 + 16;

    // 2^31 reads as negative; 2^31 - 1 is positive but far past the file.
    for (u32 count : {0x80000000u, 0xFFFFFFFFu, 0x7FFFFFFFu, 3u}) {
        std::vector<u8> bytes = valid;
        put_at(&bytes, group_count_at, count, 4);
        EXPECT_EQ(refuse(bytes), SCENE_INVALID) << count;
    }
    // Strings longer than the bytes left, or of a negative length.
    for (u64 length : {(u64)1000, (u64)-1, (u64)0x7FFFFFFFFFFFFFFF}) {
        std::vector<u8> bytes = valid;
        put_at(&bytes, name_length_at, length, 8);
        EXPECT_EQ(refuse(bytes), SCENE_INVALID) << length;
    }

    // The group count of the note list of an otherwise empty file, set to 1: the header
    // would run into the settings and past the end.
    std::vector<u8> bytes = empty;
    put_at(&bytes, 6 + 8, 1, 4);
    EXPECT_EQ(refuse(bytes), SCENE_INVALID);
}

// The empty file `base` holding one sound whose wave count field says `count`, followed by
// `names` names and `curves` empty curves.
static std::vector<u8> sound_file(const std::vector<u8>& base, u32 count, int names, int curves) {
    std::vector<u8> bytes(base.begin(), base.begin() + 6 + 6 * 4);
    append(&bytes, le(1, 4));
    append(&bytes, std::vector<u8>(SCENE_HEADER_BYTES, 0));
    bytes.push_back(3);  // visible, editable
    append(&bytes, le(count, 4));
    for (int i = 0; i < names; i += 1) {
        append(&bytes, le(1, 8));
        bytes.push_back('w');
    }
    for (int i = 0; i < curves; i += 1) {
        bytes.push_back(6);
        for (u64 value : {0, 1, 1, 1}) append(&bytes, le(value, 8));
        append(&bytes, le(0, 4));
    }
    append(&bytes, std::vector<u8>(5 * 4, 0));  // shapes to texts: empty
    append(&bytes, std::vector<u8>(base.end() - 58, base.end()));  // the settings
    return bytes;
}

TEST_F(SceneHostile, SoundsWithMoreThanFourWavesAreRefused) {
    Piece loaded;
    piece_init(&loaded, POOL_MAIN);
    ASSERT_EQ(decode(sound_file(empty, 4, 4, 3), &loaded), SCENE_OK);  // four is the most it holds
    EXPECT_EQ(loaded.sounds.data[0].wave_count, 4);
    EXPECT_EQ(to_string(loaded.sounds.data[0].wave_names[3]), "w");
    ASSERT_EQ(decode(sound_file(empty, 0, 0, 0), &loaded), SCENE_OK);
    EXPECT_EQ(loaded.sounds.data[0].wave_count, 0);

    EXPECT_EQ(refuse(sound_file(empty, 5, 5, 4)), SCENE_INVALID);
    EXPECT_EQ(refuse(sound_file(empty, 5, 4, 3)), SCENE_INVALID);
    EXPECT_EQ(refuse(sound_file(empty, 0xFFFFFFFFu, 0, 0)), SCENE_INVALID);
    EXPECT_EQ(refuse(sound_file(empty, 0x80000000u, 4, 3)), SCENE_INVALID);
}

TEST(SceneMemory, APieceTooLargeForItsPoolIsRefusedUntouched) {
    ScopedPools pools(1 << 20);
    Piece big;
    piece_init(&big, POOL_TMP);
    ASSERT_TRUE(array_resize(&big.notes, 20000));  // 1.6 MB of records in memory
    std::vector<u8> bytes = encode(&big);
    ASSERT_FALSE(bytes.empty());

    Piece piece;
    piece_build_full(&piece, POOL_MAIN);
    std::vector<u8> before = encode(&piece);
    testing::internal::CaptureStdout();  // the pool says once that it is full
    EXPECT_EQ(decode(bytes, &piece), SCENE_NO_MEMORY);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(encode(&piece), before);
}
