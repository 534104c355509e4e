// The musical keys of "keys.txt": each has a name, colour classes, and the scale pitches
// that key objects snap to. Written at start-up on the main thread, read-only afterwards
// (the render worker reads it too).
#pragma once

#include "core/pool.h"

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
