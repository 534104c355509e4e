// The musical keys of "keys.txt": each has a name, colour classes, and the scale pitches
// that key objects snap to. Written at start-up on the main thread, read-only afterwards
// (the render worker reads it too).
#pragma once

#include "base/pool.h"

struct KeyClass {
    Str name;
    f32 color[4];
};

struct KeyPitch {
    Str name;
    i64 class_number;  // the third number of the pitch line, 0 when absent
    i64 numerator;
    i64 denominator;   // 0 when absent
};

struct KeyDefinition {
    f64 reference_frequency;  // 440 for every key
    Str name;
    PoolArray<KeyClass> classes;
    PoolArray<KeyPitch> pitches;
};

extern PoolArray<KeyDefinition> g_keys;

void keys_load();
// The same from text in memory: the list is emptied, then filled from the lines. Names are
// copied, so the text may go once this returns.
void keys_parse(Str contents);
// The first key of that name in file order, or null.
KeyDefinition* key_by_name(Str name);

// Cents of a ratio with positive terms.
f64 fraction_cents(Fraction ratio);
// The simplest fraction within `tolerance_cents` of `cents`: the one with the smallest
// denominator up to `max_denominator`, reduced; when none comes that close, the nearest
// one found. Its error in cents (fraction minus cents) goes to `error_cents`.
Fraction fraction_from_cents(f64 cents, f64 tolerance_cents, i64 max_denominator,
                             f64* error_cents);
