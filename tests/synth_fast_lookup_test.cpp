// The compiler finds each note's key, sound and shape by a sweep over the objects instead
// of asking key_at, sound_at and shape_at for every note: its events must be exactly those
// the queries give, with overlapping objects of every scope, groups in folders, objects
// that start or end exactly at a note, and notes at equal times.
#include "sound_test_support.h"

struct SweepLookups : SoundTest {
    u64 state = 99;
    i64 next(i64 below) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (i64)((state >> 33) % (u64)below);
    }
    i64 groups[6];

    void build() {
        define_sounds("wave_sine sine\nwave_square square\nshape soft\nend\nshape hard\nend\n");
        groups[0] = group;
        // Groups 1 and 2 in one folder, 3 and 4 in another, 0 and 5 at the top level:
        // -1 begins a folder, -2 ends one.
        for (i64 g = 1; g < 6; g += 1) groups[g] = piece_group_add(&piece, STR("g"));
        const i64 layout[] = {0, -1, 1, 2, -2, -1, 3, 4, -2, 5};
        PoolArray<GroupTreeEntry> tree;
        array_init(&tree, POOL_MAIN);
        for (i64 row : layout) {
            GroupTreeEntry folder = {};
            folder.id = (i32)(100 + tree.count);
            folder.folder_begin = row == -1;
            folder.folder_end = row == -2;
            array_push(&tree, row >= 0 ? piece.tree[row] : folder);
        }
        piece.tree = tree;

        static const char* const sine[] = {"sine"};
        static const char* const both[] = {"sine", "square"};
        static const char* const shapes[] = {"soft", "hard"};
        for (i64 i = 0; i < 120; i += 1) {
            // Times on a grid of quarters so that starts, ends and notes often coincide.
            Fraction time = frac(next(160), 4), length = frac(next(40), 4);
            i64 owner = groups[next(6)];
            u8 scope = (u8)next(3);
            add_key(&piece, owner, time, length, 100.0 + (f64)i)->header.scope = scope;
            add_sound(&piece, owner, frac(next(160), 4), frac(next(40), 4),
                      i % 2 ? sine : both, 1 + i % 2, frac(1, 3), (u8)next(3));
            ShapeObject* shape = add_shape(&piece, owner, frac(next(160), 4), frac(next(40), 4),
                                           shapes[i % 2], (f64)i / 8.0);
            shape->header.scope = (u8)next(3);
        }
        // Notes in time order already (the compiler's sort keeps them so), several at once.
        for (i64 i = 0; i < 400; i += 1)
            add_note(&piece, groups[next(6)], frac(i / 3, 4), frac(1 + next(3), 8), frac(3, 2))
                ->header.id = i + 1;
        add_note(&piece, 777, frac(200, 4), frac(1, 4));  // a group that is not in the list
        piece.settings.end_time = frac(60);
    }

    // What the queries give for every note, with the compiled time map.
    void expect_query_events(const CompiledPiece* compiled, const char* what) {
        PoolArray<VoiceEvent> expected;
        array_init(&expected, POOL_MAIN);
        TimeMap map = compiled_time_map(compiled);
        for (i64 n = 0; n < piece.notes.count; n += 1) {
            const NoteObject* note = &piece.notes[n];
            i16 index = -1;
            for (i64 g = 0; g < piece.groups.count; g += 1)
                if (piece.groups[g].id == note->header.group_id) index = (i16)g;
            f64 start = time_to_seconds(&map, fraction_to_double(note->header.time));
            f64 end = time_to_seconds(
                &map, fraction_to_double(fraction_add(note->header.time, note->header.duration)));
            compile_note_events(&piece, note, index, start, end, &expected);
        }
        ASSERT_EQ(compiled->events.count, expected.count) << what;
        i64 keys = 0, locals = 0;
        for (i64 e = 0; e < expected.count; e += 1) {
            const VoiceEvent* got = &compiled->events[e];
            const VoiceEvent* want = &expected[e];
            EXPECT_EQ(got->frequency, want->frequency) << what << ", event " << e;
            EXPECT_EQ(got->sound, want->sound) << what << ", event " << e;
            EXPECT_EQ(got->wave, want->wave) << what << ", event " << e;
            EXPECT_EQ(got->wave_index, want->wave_index) << what << ", event " << e;
            EXPECT_EQ(got->phase_offset, want->phase_offset) << what << ", event " << e;
            EXPECT_EQ(got->group_index, want->group_index) << what << ", event " << e;
            EXPECT_EQ(got->start_time, want->start_time) << what << ", event " << e;
            keys += want->frequency != 1.5 * 440.0;
            locals += want->phase_offset != 0.0;
        }
        // The piece really exercises the choices: most notes find a key and a shape.
        EXPECT_GT(expected.count, 200) << what;
        EXPECT_GT(keys, expected.count / 2) << what;
        EXPECT_GT(locals, expected.count / 2) << what;
    }
};

TEST_F(SweepLookups, EventsAreThoseOfTheQueriesAndAnUnorderableFractionFallsBackToThem) {
    build();
    CompiledPiece compiled = compiled_of(&piece, 8000, 2);
    expect_query_events(&compiled, "sweep");
    piece.keys[5].header.duration = Fraction{1, 0};  // its end cannot be ordered
    compiled = compiled_of(&piece, 8000, 2);
    expect_query_events(&compiled, "queries");
}
