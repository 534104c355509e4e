// The compiler evaluates the curves of volume, pitch and sound objects several blocks at a
// time: the values must be curve_value's, bit for bit, block by block.
#include <string.h>

#include "sound_test_support.h"

// A curve through (0, y0), (x1, y1), (x2, y2) whose handles bend it.
static void curve_bent(Curve* curve, Fraction y0, Fraction x1, Fraction y1, Fraction x2, Fraction y2) {
    curve_init(curve, POOL_MAIN);
    array_push(&curve->points, CurvePoint{frac(0), y0, frac(0), y0, frac(1, 7), fraction_add(y0, frac(1, 3))});
    array_push(&curve->points, CurvePoint{x1, y1, fraction_sub(x1, frac(2, 3)), fraction_sub(y1, frac(1, 5)),
                                          fraction_add(x1, frac(1, 9)), y0});
    array_push(&curve->points, CurvePoint{x2, y2, fraction_sub(x2, frac(3)), y1, x2, y2});
}

TEST(CurveBatch, SideBySideBisectionsAreTheSingleOnes) {
    u64 state = 5;
    auto next = [&](f32 lo, f32 hi) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return lo + (hi - lo) * (f32)((state >> 40) & 0xffffff) / (f32)0x1000000;
    };
    for (i64 count : {1, 7, 8, 9, 64}) {
        CurveSegment segments[64];
        f64 x[64], values[64];
        for (i64 i = 0; i < count; i += 1) {
            segments[i] = CurveSegment{{next(-1, 1), next(-5, 5)}, {next(-1, 2), next(-5, 5)},
                                       {next(-1, 2), next(-5, 5)}, {next(0, 3), next(-5, 5)}};
            x[i] = i % 5 == 0 ? (f64)segments[i].p0.x : (f64)next(-1, 3);
        }
        x[0] = count > 3 ? 0.0 / 0.0 : x[0];  // not a number: the midpoint's y
        curve_point_values(x, segments, count, values);
        for (i64 i = 0; i < count; i += 1) {
            const CurveSegment& c = segments[i];
            f64 single = curve_point_value(x[i], c.p0, c.p1, c.p2, c.p3);
            EXPECT_EQ(memcmp(&values[i], &single, sizeof(f64)), 0)
                << "lane " << i << " of " << count << ": " << values[i] << " against " << single;
        }
    }
}

struct CompiledCurves : SoundTest {};

TEST_F(CompiledCurves, EveryBlockHoldsTheCurvesValueThere) {
    define_sounds("wave_sine sine\nwave_square square\nwave_triangle triangle\n");
    static const char* const three[] = {"sine", "square", "triangle"};
    VolumeObject* volume = add_volume(&piece, group, frac(1, 2), frac(9), frac(1), frac(0));
    curve_bent(&volume->volume, frac(1, 4), frac(3), frac(3, 2), frac(9), frac(1, 2));
    curve_bent(&volume->pan, frac(-1), frac(5), frac(1, 3), frac(9), frac(1));
    PitchObject* pitch = add_pitch(&piece, group, frac(1), frac(8), frac(1));
    curve_bent(&pitch->pitch, frac(1), frac(2), frac(3, 2), frac(8), frac(2, 3));
    SoundObject* sound = add_sound(&piece, group, frac(0), frac(10), three, 3);
    curve_bent(&sound->blend[0], frac(0), frac(4), frac(1, 2), frac(10), frac(1, 4));
    curve_bent(&sound->blend[1], frac(1, 3), frac(6), frac(0), frac(10), frac(1, 5));
    piece.settings.end_time = frac(10);

    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_MAIN);
    // At 96 kHz the piece has some 1 900 blocks: the tracks are filled in more than one tile.
    compile_piece(&piece, 96000, 2, &compiled);
    TimeMap map = compiled_time_map(&compiled);
    f64 blocks_per_second = 96000.0 / (f64)BLOCK_SIZE;
    i64 columns = compiled.columns, checked = 0;
    // Blocks well inside each object (its first and last block depend on rounding).
    auto inside = [&](const ObjectHeader* header, i64 k) {
        f64 s = time_to_seconds(&map, fraction_to_double(header->time)) * blocks_per_second;
        f64 e = time_to_seconds(&map, fraction_to_double(fraction_add(header->time, header->duration))) *
                blocks_per_second;
        return (f64)k > s + 1.0 && (f64)k + 1.0 < e;
    };
    for (i64 k = 0; k + 1 < compiled.block_times.count; k += 1) {
        f64 t = seconds_to_time(&map, (f64)k / blocks_per_second);
        if (inside(&volume->header, k)) {
            f64 x = t - fraction_to_double(volume->header.time);
            EXPECT_EQ(compiled.volume[k * columns], curve_value(&volume->volume, x)) << "block " << k;
            EXPECT_EQ(compiled.panning[k * columns], curve_value(&volume->pan, x)) << "block " << k;
            checked += 1;
        }
        if (inside(&pitch->header, k))
            EXPECT_EQ(compiled.pitch[k * columns], curve_value(&pitch->pitch, t - fraction_to_double(pitch->header.time)))
                << "block " << k;
        if (inside(&sound->header, k)) {
            f64 b1 = curve_value(&sound->blend[0], t), b2 = curve_value(&sound->blend[1], t);
            EXPECT_EQ(compiled.wave_mix[k * columns * 4 + 1], b1) << "block " << k;
            EXPECT_EQ(compiled.wave_mix[k * columns * 4 + 2], b2) << "block " << k;
            EXPECT_EQ(compiled.wave_mix[k * columns * 4 + 0], 1.0 - (0.0 + b1 + b2)) << "block " << k;
        }
    }
    EXPECT_GT(checked, 1500);  // 4.5 seconds of 256-frame blocks at 96 kHz
}
