// MIDI import: plain files retuned into a key octave by octave, the tonic from the key
// signature or the caller, the tempo map as tempo objects at exact times, files carrying
// their own tuning messages keeping their pitches, and damaged files refused with the
// reason while the open piece stays as it was.
#include <cmath>
#include <string>
#include <vector>

#include "app/document.h"
#include "base/text.h"
#include "model/files.h"
#include "model/midi_import.h"
#include "model/scene.h"
#include "piece_support.h"
#include "platform/headless.h"
#include "model_support.h"

typedef std::vector<u8> Bytes;

// One track's events, delta times as variable-length numbers.
struct TrackBytes {
    Bytes b;
    TrackBytes& event(u32 delta_ticks, Bytes bytes) {
        u8 delta[5];
        b.insert(b.end(), delta, delta + midi_varlen_encode(delta_ticks, delta));
        b.insert(b.end(), bytes.begin(), bytes.end());
        return *this;
    }
    TrackBytes& meta(u32 delta_ticks, u8 type, Bytes data) {
        Bytes bytes = {0xFF, type, (u8)data.size()};
        bytes.insert(bytes.end(), data.begin(), data.end());
        return event(delta_ticks, bytes);
    }
    TrackBytes& note(u32 delta_ticks, u8 channel, u8 key, u32 length) {
        event(delta_ticks, {(u8)(0x90 | channel), key, 100});
        return event(length, {(u8)(0x80 | channel), key, 0});
    }
    TrackBytes& tempo(u32 delta_ticks, u32 microseconds) {
        return meta(delta_ticks, 0x51,
                    {(u8)(microseconds >> 16), (u8)(microseconds >> 8), (u8)microseconds});
    }
};

static void put_be(Bytes* out, u32 value, i64 count) {
    for (i64 i = count - 1; i >= 0; i -= 1) out->push_back((u8)(value >> (8 * i)));
}

// A format 1 file of the tracks, each closed by its end marker.
static Bytes smf(u16 division, std::vector<TrackBytes> tracks) {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    put_be(&out, (u32)tracks.size(), 2);
    put_be(&out, division, 2);
    for (TrackBytes& track : tracks) {
        track.meta(0, 0x2F, {});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        put_be(&out, (u32)track.b.size(), 4);
        out.insert(out.end(), track.b.begin(), track.b.end());
    }
    return out;
}

static std::string ratio(Fraction f) {
    f = fraction_normalize(f);
    return std::to_string(f.numerator) + "/" + std::to_string(f.denominator);
}

struct MidiImport : testing::Test {
    ScopedPools pools{32 << 20, 16 << 20};
    Piece piece;
    MidiImportSummary summary = {};
    Str reason = {};
    void SetUp() override {
        headless_reset();
        keys_parse(read_entire_file(STR("keys.txt"), POOL_MAIN));
        piece_init(&piece, POOL_MAIN);
    }
    bool import(const Bytes& bytes, const char* key = "key", i64 tonic = -1) {
        piece_init(&piece, POOL_MAIN);
        MidiImportOptions options = {str_from_cstring(key), tonic};
        return midi_import(Str{(u8*)bytes.data(), (i64)bytes.size()}, &options, &piece, &summary,
                           &reason);
    }
};

TEST_F(MidiImport, PlainKeysBecomeTheScaleOfTheKeyOctaveByOctave) {
    TrackBytes track;
    track.meta(0, 0x03, {'p', 'i', 'a', 'n', 'o'});
    for (u8 key = 48; key < 84; key += 1) track.note(0, 0, key, 480);
    ASSERT_TRUE(import(smf(480, {track}))) << to_string(reason);

    const Fraction scale[12] = {{1, 1},   {16, 15}, {9, 8}, {6, 5}, {5, 4}, {4, 3},
                                {45, 32}, {3, 2},   {8, 5}, {5, 3}, {9, 5}, {15, 8}};
    const Fraction octave[3] = {{1, 2}, {1, 1}, {2, 1}};  // C3, C4 (the 1/1), C5
    ASSERT_EQ(piece.notes.count, 36);
    for (i64 i = 0; i < 36; i += 1) {
        Fraction expected = fraction_mul(scale[i % 12], octave[i / 12]);
        const ObjectHeader& h = piece.notes[i].header;
        EXPECT_EQ(ratio(h.pitch), ratio(expected)) << "MIDI key " << 48 + i;
        EXPECT_EQ(ratio(h.time), ratio(Fraction{i, 1}));
        EXPECT_EQ(ratio(h.duration), "1/1");
    }
    // What a piece needs to play: the key on C, a sound over it all, the default tempo.
    ASSERT_EQ(piece.groups.count, 1);
    EXPECT_EQ(to_string(piece.tree[0].name), "piano");
    ASSERT_EQ(piece.keys.count, 1);
    EXPECT_EQ(to_string(piece.keys[0].key_name), "key");
    EXPECT_NEAR(piece.keys[0].reference_frequency, 261.6256, 1e-4);
    ASSERT_EQ(piece.sounds.count, 1);
    EXPECT_EQ(ratio(piece.sounds[0].header.duration), "36/1");
    ASSERT_EQ(piece.tempos.count, 1);
    EXPECT_EQ(ratio(piece.tempos[0].tempo.points[0].y), "120/1");
    EXPECT_EQ(ratio(piece.settings.end_time), "36/1");
    EXPECT_FALSE(summary.tuned);
}

TEST_F(MidiImport, TonicComesFromTheKeySignatureOrTheCaller) {
    TrackBytes track;
    track.meta(0, 0x59, {0, 1});  // A minor
    track.note(0, 0, 69, 96).note(0, 0, 72, 96).note(0, 0, 70, 96);
    Bytes file = smf(96, {track});
    ASSERT_TRUE(import(file)) << to_string(reason);
    EXPECT_EQ(summary.tonic, 9);
    EXPECT_DOUBLE_EQ(piece.keys[0].reference_frequency, 440.0);
    EXPECT_EQ(ratio(piece.notes[0].header.pitch), "1/1");
    EXPECT_EQ(ratio(piece.notes[1].header.pitch), "6/5");
    EXPECT_EQ(ratio(piece.notes[2].header.pitch), "16/15");
    ASSERT_TRUE(import(file, "just major", midi_tonic_parse(STR("Eb")))) << to_string(reason);
    EXPECT_EQ(summary.tonic, 3);
    EXPECT_EQ(to_string(piece.keys[0].key_name), "just major");
    // Of the seven, C (nine steps above E flat) is nearest to la, B flat (seven) to sol.
    EXPECT_EQ(ratio(piece.notes[1].header.pitch), "5/3");
    EXPECT_EQ(ratio(piece.notes[2].header.pitch), "3/2");
    EXPECT_FALSE(import(file, "no such key"));
    EXPECT_EQ(to_string(reason), "keys.txt has no key \"no such key\"");
    EXPECT_EQ(midi_tonic_parse(STR("c#")), 1);  // "H" is refused by the import panel's test
}

TEST_F(MidiImport, TempoChangesBecomeTempoObjectsAtExactTimes) {
    TrackBytes tempo_track, notes;
    tempo_track.tempo(0, 500000).tempo(144, 400000).tempo(256, 333333);
    tempo_track.meta(0, 0x58, {3, 2, 24, 8});  // 3/4 from tick 400
    notes.note(100, 2, 60, 7).note(373, 2, 64, 96);
    ASSERT_TRUE(import(smf(96, {tempo_track, notes}))) << to_string(reason);
    ASSERT_EQ(piece.tempos.count, 3);
    const char* times[3] = {"0/1", "3/2", "25/6"};
    const char* bpm[3] = {"120/1", "150/1", "20000000/111111"};
    for (i64 i = 0; i < 3; i += 1) {
        EXPECT_EQ(ratio(piece.tempos[i].header.time), times[i]);
        EXPECT_EQ(ratio(piece.tempos[i].tempo.points[0].y), bpm[i]);
    }
    EXPECT_EQ(ratio(piece.tempos[1].header.duration), "8/3");
    EXPECT_EQ(ratio(piece.tempos[2].header.duration), "11/6");  // to the last note's end, 6
    ASSERT_EQ(piece.notes.count, 2);
    EXPECT_EQ(ratio(piece.notes[0].header.time), "25/24");
    EXPECT_EQ(ratio(piece.notes[0].header.duration), "7/96");
    EXPECT_EQ(ratio(piece.notes[1].header.time), "5/1");
    EXPECT_EQ(to_string(piece.tree[0].name), "track 2");
    ASSERT_EQ(piece.measures.count, 1);
    EXPECT_EQ(ratio(piece.measures[0].header.time), "25/6");
    EXPECT_EQ(ratio(piece.measures[0].bar_length), "3/1");
}

// Cents of a ratio above a MIDI key, as the sounding fractional key.
static f64 key_of(f64 reference_key, i64 n, i64 d) {
    return reference_key + 12.0 * std::log2((f64)n / (f64)d);
}

// Files retuned by pitch bends are exported and imported again by the MIDI export tests.
TEST_F(MidiImport, FilesCarryingTuningMessagesKeepTheirPitches) {
    // Single Note Tuning Changes above middle C: each note retunes key 60 + i first.
    const i64 ratios[5][2] = {{1, 1}, {5, 4}, {3, 2}, {7, 4}, {11, 8}};
    TrackBytes mts;
    for (i64 i = 0; i < 5; i += 1) {
        f64 target = key_of(60.0, ratios[i][0], ratios[i][1]);
        u32 semitone = (u32)std::floor(target);
        u32 fine = (u32)std::lround((target - semitone) * 16384.0);
        if (fine == 16384) semitone += 1, fine = 0;
        mts.event(0, {0xF0, 10, 0x7F, 0x7F, 0x08, 0x02, 0, 1, (u8)(60 + i), (u8)semitone,
                      (u8)(fine >> 7), (u8)(fine & 0x7F), 0xF7});
        mts.note(0, 0, (u8)(60 + i), 96);
    }
    ASSERT_TRUE(import(smf(96, {mts}))) << to_string(reason);
    EXPECT_TRUE(summary.tuned);
    EXPECT_NEAR(piece.keys[0].reference_frequency, 261.6256, 1e-4);
    ASSERT_EQ(piece.notes.count, 5);
    for (i64 i = 0; i < 5; i += 1)
        EXPECT_EQ(ratio(piece.notes[i].header.pitch), ratio(Fraction{ratios[i][0], ratios[i][1]}))
            << i;
    // A detuned key whose simplest ratio is far from anything just: still within half a cent.
    TrackBytes odd;
    odd.event(0, {0xF0, 10, 0x7F, 0x7F, 0x08, 0x02, 0, 1, 62, 62, 0x2A, 0x11, 0xF7})
        .note(0, 0, 62, 96);
    ASSERT_TRUE(import(smf(96, {odd})));
    f64 wanted = 100.0 * (62.0 + (f64)(0x2A << 7 | 0x11) / 16384.0 - 69.0) -
                 1200.0 * std::log2(piece.keys[0].reference_frequency / 440.0);
    EXPECT_NEAR(fraction_cents(piece.notes[0].header.pitch), wanted, 0.5);
}

TEST_F(MidiImport, DamagedFilesAreRefusedWithTheReasonAndThePieceStaysAsItWas) {
    TrackBytes track;
    track.tempo(0, 500000).note(0, 0, 60, 96);
    const Bytes good = smf(96, {track});
    struct Case {
        Bytes bytes;
        const char* reason;
    };
    Bytes cut(good.begin(), good.end() - 3), no_end = good, orphan = good, tracks = good,
                                             tempo = good, smpte = good;
    no_end.resize(no_end.size() - 4);
    no_end[21] -= 4;    // the track length without its end marker
    orphan[30] = 0x40;  // the note-on's status byte becomes a data byte
    tracks[11] = 2;     // two tracks promised
    tempo[25] = 2;      // a tempo of two bytes
    smpte[12] = 0xE7;
    const Case cases[] = {
        {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         "it is not a MIDI file (no header chunk)"},
        {cut, "a chunk runs past the end of the file (cut short)"},
        {no_end, "a track has no end marker"},
        {orphan, "a data byte comes without a status byte"},
        {tracks, "the file holds fewer tracks than its header says"},
        {tempo, "a tempo, time or key signature has the wrong length"},
        {smpte, "time in SMPTE frames is not supported"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(import(c.bytes));
        EXPECT_EQ(to_string(reason), c.reason);
    }

    // Through the editor's open: the piece, its path and its flag are untouched.
    piece_reset();
    piece_default_group_create();
    NoteObject note = {};
    note.header = header_make(OBJECT_NOTE, 1, 0, SCOPE_GLOBAL, frac(1), frac(2), frac(3, 2));
    array_push(&g_piece.notes, note);
    g_piece.path = STR("mine.scene");
    std::string before = scene_bytes(&g_piece);
    TempFolder folder;
    std::string path = folder / "damaged.mid";
    file_put(path, std::string(cut.begin(), cut.end()));
    EXPECT_FALSE(piece_import_midi(to_str(path), STR(""), -1));
    EXPECT_EQ(scene_bytes(&g_piece), before);
    EXPECT_EQ(to_string(g_piece.path), "mine.scene");
    EXPECT_EQ(headless_message_count(), 1);
    EXPECT_EQ(last_message(), "invalid MIDI file: " + path +
                                  " cannot be imported: a chunk runs past the end of the file "
                                  "(cut short)");

    // A good file replaces the piece with one never saved.
    file_put(path, std::string(good.begin(), good.end()));
    EXPECT_TRUE(piece_import_midi(to_str(path), STR(""), -1));
    EXPECT_EQ(g_piece.modified, 1);
}
