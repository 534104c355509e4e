// The reader and writer of Scala scale files (.scl) and the reader of their keyboard
// mappings (.kbm), for sorvane-keys. Ratio lines become exact fractions; cents lines become
// the nearest fraction within SCALA_TOLERANCE_CENTS and a denominator of at most
// SCALA_MAX_DENOMINATOR. Everything the reader makes lives in the pool it is given.
// Any thread; nothing process-wide is kept.
#pragma once

#include "base/pool.h"
#include "model/keys.h"

enum : i64 {
    SCALA_MAX_DENOMINATOR = 1000,  // of a fraction made from cents
    SCALA_MAX_PITCHES = 4096,      // listed in one file
};
// How close a fraction made from cents must come to count as exact; a cents line that no
// fraction with a denominator up to SCALA_MAX_DENOMINATOR meets gets the nearest one.
constexpr f64 SCALA_TOLERANCE_CENTS = 0.01;
// Cents lines must lie within this many cents of 1/1 (twenty octaves either way).
constexpr f64 SCALA_MAX_CENTS = 24000.0;

struct ScalaPitch {
    Fraction ratio;     // reduced, both terms positive
    i64 line;           // 1-based line of the file
    u8 from_cents;      // the line gave cents
    f64 cents;          // as written (cents lines)
    f64 error_cents;    // the fraction's cents minus the written cents (cents lines)
    Str name;           // the first word after the value (empty when none)
};

struct ScalaScale {
    Str description;
    // The listed degrees in file order (1/1 is implicit and not listed); the last is the
    // period, 2/1 for a scale that repeats at the octave.
    PoolArray<ScalaPitch> pitches;
};

struct ScalaError {
    i64 line;     // 1-based; the line after the last when the file ends too early
    Str message;  // a constant
};

// Reads a .scl text: "!" lines are comments (anywhere), the first other line is the
// description (it may be blank), the next non-blank one the number of pitches, then that
// many pitch lines (blank lines between them are skipped). A pitch is a ratio "n/d" or
// "n" (spaces around "/" allowed) or, when it holds a period, cents; whatever follows the
// value after a space is ignored. False, with the line and the reason, for a broken file.
bool scala_parse(Str text, u8 pool, ScalaScale* scale, ScalaError* error);

// The fraction for a cents value (see SCALA_TOLERANCE_CENTS), and its error in cents.
Fraction scala_cents_to_ratio(f64 cents, f64* error_cents);
// Cents of a positive ratio.
f64 scala_ratio_cents(Fraction ratio);

// A .scl text of the key: its name as the description, every scale pitch other than 1/1
// as a ratio followed by its name, then the period 2/1 (keys repeat at the octave). Pitches
// without a positive ratio (keys.txt lines with no denominator) are left out and counted
// in `skipped`.
Str scala_write(const KeyDefinition* key, u8 pool, i64* skipped);

// The lines appended to keys.txt for a scale under a key name: "key", one class "scale",
// the pitch 1/1 named "unison", then every degree but an octave period, class 0. A degree
// without a usable name is named "degree<n>".
Str scala_key_lines(const ScalaScale* scale, Str key_name, u8 pool);

// A keyboard mapping: the numbers of a .kbm file, comments skipped.
struct KbmMapping {
    i64 size;            // entries of the mapping, 0 for a linear one
    i64 first_note, last_note;
    i64 middle_note;     // the key that plays degree 0 (the 1/1)
    i64 reference_note;  // the key tuned to the reference frequency
    f64 reference_frequency;
    i64 octave_degree;   // the degree the mapping repeats at
    PoolArray<i64> degrees;  // one per entry, -1 for an unmapped key ("x")
};

bool kbm_parse(Str text, u8 pool, KbmMapping* mapping, ScalaError* error);
// The frequency of the scale's 1/1 under the mapping: the reference frequency divided by
// the ratio the reference note plays. False (with a reason) when the reference note is
// unmapped or the scale cannot give its ratio.
bool kbm_unison_frequency(const KbmMapping* mapping, const ScalaScale* scale, f64* frequency,
                          ScalaError* error);
