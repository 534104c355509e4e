// The piece model: folders and scopes, the queries by time and group, snapping to the
// key, the time shifts of the place mode, curve points, deep copies and the groups that
// start-up and the tree panel create.
#include <random>
#include <vector>

#include "app/app.h"
#include "gfx/theme.h"
#include "piece_support.h"
#include "test_support.h"

// Two sibling folders (10 and 11) at the top level, a folder (12) inside folder 11.
static void build_tree(Piece* piece) {
    array_push(&piece->tree, tree_row(0, "top"));
    array_push(&piece->tree, tree_row(10, "folder a", 1, 0));
    array_push(&piece->tree, tree_row(1, "one"));
    array_push(&piece->tree, tree_row(2, "two"));
    array_push(&piece->tree, tree_row(0, "", 0, 1));
    array_push(&piece->tree, tree_row(11, "folder b", 1, 0));
    array_push(&piece->tree, tree_row(3, "three"));
    array_push(&piece->tree, tree_row(12, "inner", 1, 0));
    array_push(&piece->tree, tree_row(4, "four"));
    array_push(&piece->tree, tree_row(0, "", 0, 1));
    array_push(&piece->tree, tree_row(5, "five"));
    array_push(&piece->tree, tree_row(0, "", 0, 1));
    array_push(&piece->tree, tree_row(6, "six"));
}

// The folder stack as a stack, for comparison on arbitrary (also unbalanced) trees.
static i64 reference_folder(const Piece* piece, i64 group) {
    std::vector<i64> stack = {-1};
    i64 found = -1;
    for (i64 i = 0; i < piece->tree.count; i += 1) {
        const GroupTreeEntry& entry = piece->tree.data[i];
        if (entry.folder_begin) stack.push_back(entry.id);
        if (!entry.folder_end) {
            if (entry.id == group) found = stack.back();
        } else if (stack.size() > 1) {
            stack.pop_back();
        }
    }
    return found;
}

// A piece in the main pool holding the tree above.
struct PieceModel : testing::Test {
    ScopedPools pools;
    Piece piece;
    void SetUp() override {
        piece_init(&piece, POOL_MAIN);
        build_tree(&piece);
    }
};

TEST_F(PieceModel, GroupsShareAFolderOnlyWithTheirInnermostFolder) {
    EXPECT_FALSE(same_folder(&piece, 1, 3));  // sibling folders
    EXPECT_TRUE(same_folder(&piece, 10, 1));  // a folder's own row is inside it
    EXPECT_TRUE(same_folder(&piece, 0, 99));  // absent ids are at the top level
    // Arbitrary trees (empty, unbalanced) against the folder stack.
    std::mt19937 random(7);
    for (i32 round = 0; round < 400; round += 1) {
        Piece tree;
        piece_init(&tree, POOL_MAIN);
        i32 rows = (i32)(random() % 14);
        for (i32 i = 0; i < rows; i += 1) {
            u32 what = random() % 4;  // group, folder begin, folder end, group
            array_push(&tree.tree, tree_row((i32)(random() % 6), "", what == 1, what == 2));
        }
        for (i64 a = 0; a < 7; a += 1)
            for (i64 b = 0; b < 7; b += 1)
                ASSERT_EQ(same_folder(&tree, a, b),
                          reference_folder(&tree, a) == reference_folder(&tree, b))
                    << "round " << round << " groups " << a << " " << b;
        pool_empty(POOL_MAIN);
    }
}

TEST_F(PieceModel, ReachOfGlobalMembersAndLocalObjects) {
    ObjectHeader global = header_make(OBJECT_NOTE, 1, 1, SCOPE_GLOBAL, frac(0), frac(1));
    ObjectHeader members = header_make(OBJECT_NOTE, 2, 1, SCOPE_MEMBERS, frac(0), frac(1));
    ObjectHeader local = header_make(OBJECT_NOTE, 3, 1, SCOPE_LOCAL, frac(0), frac(1));
    ObjectHeader odd = header_make(OBJECT_NOTE, 4, 1, 9, frac(0), frac(1));
    EXPECT_TRUE(scope_applies(&piece, &global, 4));
    EXPECT_TRUE(scope_applies(&piece, &members, 2));
    EXPECT_FALSE(scope_applies(&piece, &members, 3));
    EXPECT_TRUE(scope_applies(&piece, &local, 1));
    EXPECT_FALSE(scope_applies(&piece, &local, 2));
    EXPECT_TRUE(scope_applies(&piece, &odd, 1));  // unknown scopes act as local
    EXPECT_FALSE(scope_applies(&piece, &odd, 2));
}

// The pitches of a major scale in just intonation, all that the tests here read of a key.
static KeyDefinition major_scale(u8 pool) {
    KeyDefinition key = {};
    array_init(&key.pitches, pool);
    const i64 ratios[7][2] = {{1, 1}, {9, 8}, {5, 4}, {4, 3}, {3, 2}, {5, 3}, {15, 8}};
    for (const auto& ratio : ratios)
        array_push(&key.pitches, KeyPitch{STR("p"), 0, ratio[0], ratio[1]});
    return key;
}

TEST_F(PieceModel, KeyAtTakesTheFirstCoveringKeyOrTheDefault) {
    EXPECT_DOUBLE_EQ(key_at(&piece, frac(0), 1)->reference_frequency, 440.0);  // no key yet

    KeyObject key = {};
    key.header = header_make(OBJECT_KEY, 1, 3, SCOPE_LOCAL, frac(1), frac(1));
    key.reference_frequency = 300.0;
    array_push(&piece.keys, key);
    key.header = header_make(OBJECT_KEY, 2, 0, SCOPE_GLOBAL, frac(0), frac(4));
    key.reference_frequency = 200.0;
    array_push(&piece.keys, key);
    key.header = header_make(OBJECT_KEY, 3, 0, SCOPE_GLOBAL, frac(1), frac(1));
    key.reference_frequency = 100.0;
    array_push(&piece.keys, key);

    EXPECT_DOUBLE_EQ(key_at(&piece, frac(1), 3)->reference_frequency, 300.0);
    EXPECT_DOUBLE_EQ(key_at(&piece, frac(3, 2), 3)->reference_frequency, 300.0);
    EXPECT_DOUBLE_EQ(key_at(&piece, frac(2), 3)->reference_frequency, 200.0);  // [1, 2) ends
    EXPECT_DOUBLE_EQ(key_at(&piece, frac(1), 4)->reference_frequency, 200.0);  // not local to 4
    EXPECT_DOUBLE_EQ(key_at(&piece, frac(4), 4)->reference_frequency, 440.0);
    EXPECT_DOUBLE_EQ(key_at(&piece, frac(-1, 2), 4)->reference_frequency, 440.0);
}

TEST_F(PieceModel, LocalSoundsAndShapesWinThenMembersThenTheLastGlobal) {
    ShapeObject shape = {};
    shape.header = header_make(OBJECT_SHAPE, 1, 0, SCOPE_GLOBAL, frac(0), frac(8));
    array_push(&piece.shapes, shape);
    shape.header = header_make(OBJECT_SHAPE, 2, 1, SCOPE_LOCAL, frac(0), frac(8));
    array_push(&piece.shapes, shape);
    shape.header = header_make(OBJECT_SHAPE, 3, 0, SCOPE_GLOBAL, frac(0), frac(8));
    array_push(&piece.shapes, shape);
    shape.header = header_make(OBJECT_SHAPE, 4, 2, SCOPE_MEMBERS, frac(4), frac(4));
    array_push(&piece.shapes, shape);

    EXPECT_EQ(shape_at(&piece, frac(1), 1)->header.id, 2);  // local, though listed early
    EXPECT_EQ(shape_at(&piece, frac(1), 2)->header.id, 3);  // the later of two globals
    EXPECT_EQ(shape_at(&piece, frac(5), 2)->header.id, 4);  // members beat globals
    EXPECT_EQ(shape_at(&piece, frac(5), 3)->header.id, 3);  // other folder: not reached
    EXPECT_EQ(shape_at(&piece, frac(8), 1), nullptr);

    SoundObject sound = {};
    sound.header = header_make(OBJECT_SOUND, 5, 3, SCOPE_LOCAL, frac(0), frac(2));
    array_push(&piece.sounds, sound);
    sound.header = header_make(OBJECT_SOUND, 6, 3, SCOPE_MEMBERS, frac(0), frac(2));
    array_push(&piece.sounds, sound);
    EXPECT_EQ(sound_at(&piece, frac(1), 3)->header.id, 5);
    EXPECT_EQ(sound_at(&piece, frac(1), 5)->header.id, 6);
    EXPECT_EQ(sound_at(&piece, frac(1), 4), nullptr);  // folder 12 is not folder 11
    EXPECT_EQ(sound_at(&piece, frac(2), 3), nullptr);
}

TEST_F(PieceModel, TempoAtIgnoresScopeAndUsesDoubles) {
    EXPECT_EQ(tempo_at(&piece, 0.0), nullptr);
    TempoObject tempo = {};
    tempo.header = header_make(OBJECT_TEMPO, 1, 5, SCOPE_LOCAL, frac(1, 3), frac(1, 3));
    array_push(&piece.tempos, tempo);
    tempo.header = header_make(OBJECT_TEMPO, 2, 5, SCOPE_LOCAL, frac(0), frac(4));
    array_push(&piece.tempos, tempo);
    EXPECT_EQ(tempo_at(&piece, 0.5)->header.id, 1);
    EXPECT_EQ(tempo_at(&piece, 2.0 / 3.0)->header.id, 2);
    EXPECT_EQ(tempo_at(&piece, 0.0)->header.id, 2);
    EXPECT_EQ(tempo_at(&piece, 4.0), nullptr);
}

TEST_F(PieceModel, SnappingFindsTheNearestScalePitchInFiveOctaves) {
    EXPECT_EQ(key_snap_pitch(&piece, frac(7, 5), frac(0), 0).numerator, 1);  // no scale

    KeyDefinition scale = major_scale(POOL_MAIN);
    KeyObject key = {};
    key.header = header_make(OBJECT_KEY, 1, 0, SCOPE_GLOBAL, frac(0), frac(4));
    key.pitches = scale.pitches;
    array_push(&piece.keys, key);

    auto snap = [&](Fraction pitch) { return key_snap_pitch(&piece, pitch, frac(1), 0); };
    EXPECT_TRUE(fraction_equal(snap(frac(3, 1)), frac(3, 1)));      // 2 x 3/2
    EXPECT_TRUE(fraction_equal(snap(frac(13, 10)), frac(4, 3)));    // 1.3 is nearer 4/3 than 5/4
    EXPECT_TRUE(fraction_equal(snap(frac(12, 10)), frac(5, 4)));
    EXPECT_TRUE(fraction_equal(snap(frac(13, 5)), frac(8, 3)));     // 2.6: 2 x 4/3
    EXPECT_TRUE(fraction_equal(snap(frac(1, 5)), frac(1, 4)));      // below the lowest octave
    EXPECT_TRUE(fraction_equal(snap(frac(100)), frac(15, 2)));      // 4 x 15/8 is the highest
    EXPECT_TRUE(fraction_equal(snap(frac(0)), frac(1)));            // no logarithm: 1/1
    EXPECT_TRUE(fraction_equal(key_snap_pitch(&piece, frac(13, 10), frac(5), 0), frac(1)));
}

TEST(PieceTime, InsertStretchesOrMovesAndRemoveMarksObjectsThatVanish) {
    struct Case {
        Fraction time, duration;
        bool insert;  // half a beat inserted at 2, else one beat removed at 2
        Fraction time_after, duration_after;
        bool removed;
    };
    const Case cases[] = {
        {frac(0), frac(1), true, frac(0), frac(1), false},  // before: untouched
        {frac(1), frac(2), true, frac(1), frac(5, 2), false},  // spanning: stretched
        {frac(2), frac(1), true, frac(5, 2), frac(1), false},  // at the position: moved
        {frac(5, 2), frac(1), false, frac(0), frac(0), true},  // would start before 2
        {frac(3), frac(1), false, frac(2), frac(1), false},
        {frac(3, 2), frac(3, 4), false, frac(0), frac(0), true},  // duration below zero
        {frac(1), frac(3), false, frac(1), frac(2), false},
    };
    for (const Case& c : cases) {
        ObjectHeader header = header_make(OBJECT_NOTE, 1, 0, 0, c.time, c.duration);
        if (c.insert) time_insert(&header, frac(2), frac(1, 2));
        else time_remove(&header, frac(2), frac(1));
        SCOPED_TRACE(fraction_to_double(c.time));
        EXPECT_EQ(header.removed != 0, c.removed);
        if (c.removed) continue;
        EXPECT_TRUE(fraction_equal(header.time, c.time_after));
        EXPECT_TRUE(fraction_equal(header.duration, c.duration_after));
        if (!c.insert) continue;
        time_remove(&header, frac(2), frac(1, 2));  // the same amount removed restores it
        EXPECT_TRUE(fraction_equal(header.time, c.time) && !header.removed);
        EXPECT_TRUE(fraction_equal(header.duration, c.duration));
    }
}

TEST_F(PieceModel, PieceWideShiftsReachEveryKind) {
    piece_build_full(&piece, POOL_MAIN);
    // Every object's time, kind by kind, plus `shift` (equal fractions give equal doubles).
    auto times = [&](Fraction shift) {
        std::vector<f64> out;
        for (u8 kind = 0; kind < OBJECT_KIND_COUNT; kind += 1) {
            ObjectList list = piece_objects(&piece, kind);
            EXPECT_EQ(list.count, 2) << "kind " << (int)kind;
            for (i64 i = 0; i < list.count; i += 1) {
                Fraction time = fraction_add(object_list_get(list, i)->time, shift);
                out.push_back(fraction_to_double(time));
            }
        }
        return out;
    };
    std::vector<f64> before = times(frac(0)), later = times(frac(1, 3));
    piece_time_insert(&piece, frac(-100), frac(1, 3));
    EXPECT_EQ(times(frac(0)), later);
    piece_time_remove(&piece, frac(-100), frac(1, 3));
    EXPECT_EQ(times(frac(0)), before);
}

TEST(PieceCurves, PointsGoAfterEqualXWithHandlesFromTheZoom) {
    ScopedPools pools;
    EXPECT_TRUE(fraction_equal(curve_handle_length(10.0f), frac(1)));
    EXPECT_TRUE(fraction_equal(curve_handle_length(0.5f), frac(1, 20)));
    EXPECT_TRUE(same(curve_handle_length(12.345f), frac(123, 100)));  // in hundredths

    Curve curve;
    curve_init(&curve, POOL_MAIN);

    g_camera.zoom = 10.0f;
    EXPECT_EQ(curve_point_insert(&curve, frac(2), frac(5), 10.0f), 0);
    EXPECT_EQ(curve_point_insert(&curve, frac(0), frac(1), 10.0f), 0);
    EXPECT_EQ(curve_point_insert(&curve, frac(2), frac(7), 10.0f), 2);  // after the equal x
    EXPECT_EQ(curve_point_insert(&curve, frac(1), frac(3), 10.0f), 1);
    ASSERT_EQ(curve.points.count, 4);
    const i64 ys[4] = {1, 3, 5, 7};
    for (i64 i = 0; i < 4; i += 1) EXPECT_EQ(curve.points.data[i].y.numerator, ys[i]);
    CurvePoint point = curve.points.data[1];
    EXPECT_TRUE(fraction_equal(point.in_x, frac(0)));
    EXPECT_TRUE(fraction_equal(point.out_x, frac(2)));
    EXPECT_TRUE(fraction_equal(point.in_y, frac(3)) && fraction_equal(point.out_y, frac(3)));
}

TEST_F(PieceModel, CopiesOwnTheirStringsAndPointsAndAnAddedCopyGetsAFreshId) {
    piece_build_full(&piece, POOL_MAIN);

    // A text whose bytes live in the pool, so that changing them would show in a copy.
    TextObject* text = &piece.texts.data[0];
    text->text = str_copy(POOL_MAIN, STR("forte"));
    TextObject text_copy;
    ASSERT_TRUE(object_clone(&text_copy, &text->header, POOL_MAIN));
    text->text.data[0] = 'F';
    EXPECT_EQ(to_string(text_copy.text), "forte");

    SoundObject sound_copy;
    const SoundObject* sound = &piece.sounds.data[0];
    ASSERT_TRUE(object_clone(&sound_copy, &sound->header, POOL_MAIN));
    EXPECT_EQ(sound_copy.wave_count, 3);
    for (i32 i = 0; i < 3; i += 1) {
        EXPECT_NE(sound_copy.wave_names[i].data, sound->wave_names[i].data);
        EXPECT_TRUE(str_equal(sound_copy.wave_names[i], sound->wave_names[i]));
    }
    for (i32 i = 0; i < 2; i += 1) {
        EXPECT_NE(sound_copy.blend[i].points.data, sound->blend[i].points.data);
        EXPECT_EQ(sound_copy.blend[i].points.count, 1);
        EXPECT_EQ(sound_copy.blend[i].points.capacity, 1);  // exactly the count
    }
    EXPECT_EQ(sound_copy.blend[2].points.data, nullptr);  // beyond wave count - 1
    sound_copy.blend[0].points.data[0].y = frac(9);
    EXPECT_TRUE(fraction_equal(sound->blend[0].points.data[0].y, frac(0)));

    // A key shares its definition's lists.
    KeyDefinition scale = major_scale(POOL_MAIN);
    piece.keys.data[0].pitches = scale.pitches;
    KeyObject key_copy;
    ASSERT_TRUE(object_clone(&key_copy, &piece.keys.data[0].header, POOL_MAIN));
    EXPECT_EQ(key_copy.pitches.data, scale.pitches.data);
    EXPECT_NE(key_copy.key_name.data, piece.keys.data[0].key_name.data);

    VolumeObject volume_copy;
    ASSERT_TRUE(object_clone(&volume_copy, &piece.volumes.data[0].header, POOL_MAIN));
    EXPECT_NE(volume_copy.pan.points.data, piece.volumes.data[0].pan.points.data);
    EXPECT_EQ(volume_copy.volume.points.count, 2);

    // A copy of an object added to its own list.
    piece.tempos.capacity = piece.tempos.count;  // the push must move the list
    i64 next = piece.next_object_id;
    ObjectHeader* added = piece_object_add(&piece, &piece.tempos.data[0].header);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->id, next);
    EXPECT_EQ(piece.next_object_id, next + 1);
    ASSERT_EQ(piece.tempos.count, 3);
    const TempoObject* copy = &piece.tempos.data[2];
    EXPECT_EQ(copy->tempo.points.count, 2);
    EXPECT_NE(copy->tempo.points.data, piece.tempos.data[0].tempo.points.data);
    EXPECT_TRUE(fraction_equal(copy->tempo.points.data[1].y, frac(90)));
    EXPECT_EQ(object_find(&piece, OBJECT_TEMPO, next), added);
    EXPECT_EQ(object_find(&piece, OBJECT_NOTE, next), nullptr);
    EXPECT_EQ(piece_object_total(&piece), 21);
}

TEST(PieceGroups, TheDefaultGroupFollowsTheTheme) {
    ScopedPools pools;
    theme_set_defaults();
    piece_reset();
    g_piece.next_group_id = 4;
    piece_default_group_create();
    ASSERT_EQ(g_piece.groups.count, 1);
    ASSERT_EQ(g_piece.tree.count, 1);
    const Group& group = g_piece.groups.data[0];
    EXPECT_EQ(group.id, 4);
    EXPECT_EQ(to_string(group.texture_name), "circle");
    EXPECT_DOUBLE_EQ(group.size, 1.0);
    for (i32 i = 0; i < 4; i += 1) {
        EXPECT_EQ(group.color[i], g_theme.note_object_color[i]);
        EXPECT_EQ(g_piece.tree.data[0].color[i], g_theme.group_color[i]);
    }
    EXPECT_EQ(g_piece.tree.data[0].id, 4);
    EXPECT_EQ(to_string(g_piece.tree.data[0].name), "group");
    EXPECT_EQ(g_piece.next_group_id, 5);
    piece_reset();
}
