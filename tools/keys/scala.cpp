// Scala files for sorvane-keys: the .scl reader and writer, cents to fractions, and the
// .kbm reader. Numbers are read digit by digit with their own overflow checks, so a value
// that does not fit is refused with its line instead of wrapping. Any thread.
#include "scala.h"

#include <string.h>

#include "base/format.h"
#include "base/fraction.h"
#include "model/keys.h"
#include "platform/system.h"

// ---------------------------------------------------------------------------
// Lines
// ---------------------------------------------------------------------------
struct LineReader {
    Str text;
    i64 position;
    i64 number;  // of the line last read, 1-based
};

// The next line without its newline (and a carriage return before it); false at the end.
static bool line_next(LineReader* reader, Str* line) {
    if (reader->position >= reader->text.length) return false;
    i64 start = reader->position, end = start;
    while (end < reader->text.length && reader->text.data[end] != '\n') end += 1;
    reader->position = end + 1;
    reader->number += 1;
    i64 length = end - start;
    if (length > 0 && reader->text.data[start + length - 1] == '\r') length -= 1;
    *line = Str{reader->text.data + start, length};
    return true;
}

static bool is_space(u8 c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
static bool is_digit(u8 c) { return c >= '0' && c <= '9'; }

static i64 skip_spaces(Str line, i64 at) {
    while (at < line.length && is_space(line.data[at])) at += 1;
    return at;
}

static bool is_comment(Str line) {
    i64 at = skip_spaces(line, 0);
    return at < line.length && line.data[at] == '!';
}

static bool is_blank(Str line) { return skip_spaces(line, 0) == line.length; }

// Decimal digits at `*at` as a non-negative integer; false when there are none or the value
// does not fit in 63 bits (the position is then left where the digits end).
static bool read_integer(Str line, i64* at, i64* value, bool* too_large) {
    i64 start = *at;
    u64 result = 0;
    *too_large = false;
    while (*at < line.length && is_digit(line.data[*at])) {
        u64 digit = (u64)(line.data[*at] - '0');
        if (result > (9223372036854775807ull - digit) / 10) *too_large = true;
        if (!*too_large) result = result * 10 + digit;
        *at += 1;
    }
    *value = (i64)result;
    return *at > start && !*too_large;
}

// ---------------------------------------------------------------------------
// Cents and ratios
// ---------------------------------------------------------------------------
f64 scala_ratio_cents(Fraction ratio) { return fraction_cents(ratio); }

Fraction scala_cents_to_ratio(f64 cents, f64* error_cents) {
    return fraction_from_cents(cents, SCALA_TOLERANCE_CENTS, SCALA_MAX_DENOMINATOR, error_cents);
}

// Cents as written: optional sign, digits, a period, digits (at least one digit in all).
// The digits beyond the seventeenth significant one cannot change a double and are read
// over. False when no digit is there.
static bool read_cents(Str line, i64* at, f64* cents) {
    bool negative = false;
    if (*at < line.length && (line.data[*at] == '-' || line.data[*at] == '+')) {
        negative = line.data[*at] == '-';
        *at += 1;
    }
    f64 value = 0, scale = 1;
    i64 digits = 0, significant = 0;
    bool period = false;
    while (*at < line.length) {
        u8 c = line.data[*at];
        if (c == '.' && !period) {
            period = true;
        } else if (is_digit(c)) {
            digits += 1;
            if (significant < 17) {
                if (period) scale *= 10;
                value = value * 10 + (c - '0');
                if (value > 0) significant += 1;
            } else if (!period) {
                value *= 10;  // an integer digit beyond the precision still counts
            }
        } else {
            break;
        }
        *at += 1;
    }
    *cents = (negative ? -value : value) / scale;
    return digits > 0;
}

// Whether the line's value is cents: a period before the value ends (at a space).
static bool value_is_cents(Str line, i64 at) {
    for (; at < line.length && !is_space(line.data[at]); at += 1)
        if (line.data[at] == '.') return true;
    return false;
}

// After the value: nothing, a space and then anything, or text that cannot be read as more
// of a number (a name right after "3/2" is left alone, but "3/2/5" or "1.5.2" is broken).
static bool value_ends(Str line, i64 at) {
    if (at >= line.length || is_space(line.data[at])) return true;
    u8 c = line.data[at];
    return !is_digit(c) && c != '.' && c != '/' && c != '-' && c != '+';
}

static void name_after(Str line, i64 at, ScalaPitch* pitch) {
    at = skip_spaces(line, at);
    i64 end = at;
    while (end < line.length && !is_space(line.data[end])) end += 1;
    pitch->name = Str{line.data + at, end - at};
}

static bool fail(ScalaError* error, i64 line, const char* message) {
    error->line = line;
    error->message = str_from_cstring(message);
    return false;
}

static bool read_pitch(Str line, i64 number, ScalaPitch* pitch, ScalaError* error) {
    *pitch = ScalaPitch{};
    pitch->line = number;
    i64 at = skip_spaces(line, 0);
    if (value_is_cents(line, at)) {
        f64 cents = 0;
        if (!read_cents(line, &at, &cents)) return fail(error, number, "cents without digits");
        if (!value_ends(line, at)) return fail(error, number, "text run into the cents value");
        if (!(cents >= -SCALA_MAX_CENTS && cents <= SCALA_MAX_CENTS))
            return fail(error, number, "cents beyond twenty octaves");
        pitch->from_cents = 1;
        pitch->cents = cents;
        pitch->ratio = scala_cents_to_ratio(cents, &pitch->error_cents);
        name_after(line, at, pitch);
        return true;
    }
    if (at < line.length && line.data[at] == '-')
        return fail(error, number, "a ratio must be positive");
    if (at < line.length && line.data[at] == '+') at += 1;
    i64 numerator = 0, denominator = 1;
    bool too_large = false;
    if (!read_integer(line, &at, &numerator, &too_large))
        return fail(error, number, too_large ? "a number too large" : "no pitch value");
    // "9 / 8": spaces may stand around the slash; "9 8" is 9 followed by a name.
    i64 after = skip_spaces(line, at);
    if (after < line.length && line.data[after] == '/') {
        at = skip_spaces(line, after + 1);
        if (at < line.length && line.data[at] == '-')
            return fail(error, number, "a ratio must be positive");
        if (!read_integer(line, &at, &denominator, &too_large))
            return fail(error, number,
                        too_large ? "a number too large" : "a slash without a denominator");
    }
    if (!value_ends(line, at)) return fail(error, number, "text run into the ratio");
    if (numerator == 0) return fail(error, number, "a ratio of zero");
    if (denominator == 0) return fail(error, number, "a denominator of zero");
    pitch->ratio = fraction_normalize(Fraction{numerator, denominator});
    name_after(line, at, pitch);
    return true;
}

bool scala_parse(Str text, u8 pool, ScalaScale* scale, ScalaError* error) {
    *scale = ScalaScale{};
    array_init(&scale->pitches, pool);
    *error = ScalaError{};
    LineReader reader = {text, 0, 0};
    Str line;
    bool described = false, counted = false;
    i64 count = 0;
    while (line_next(&reader, &line)) {
        if (is_comment(line)) continue;
        if (!described) {
            scale->description = line;
            described = true;
            continue;
        }
        if (is_blank(line)) continue;
        if (!counted) {
            i64 at = skip_spaces(line, 0);
            bool too_large = false;
            if (!read_integer(line, &at, &count, &too_large))
                return fail(error, reader.number,
                            too_large ? "too many pitches" : "no number of pitches");
            if (!value_ends(line, at))
                return fail(error, reader.number, "text run into the number of pitches");
            if (count > SCALA_MAX_PITCHES) return fail(error, reader.number, "too many pitches");
            counted = true;
            if (count == 0) return true;
            continue;
        }
        ScalaPitch pitch;
        if (!read_pitch(line, reader.number, &pitch, error)) return false;
        if (!array_push(&scale->pitches, pitch))
            return fail(error, reader.number, "not enough memory");
        if (scale->pitches.count == count) return true;  // what follows is not read
    }
    if (!described) return fail(error, reader.number + 1, "no description line");
    if (!counted) return fail(error, reader.number + 1, "no number of pitches");
    return fail(error, reader.number + 1, "fewer pitches than the file says");
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------
static bool is_unison(Fraction ratio) { return ratio.numerator == ratio.denominator; }
// Without forming 2 x denominator, which overflows for the largest denominators.
static bool is_octave(Fraction ratio) {
    return ratio.numerator % 2 == 0 && ratio.numerator / 2 == ratio.denominator;
}

static void put_ratio(StrBuilder* out, Fraction ratio) {
    const FormatArg args[] = {fa_i64(ratio.numerator), fa_i64(ratio.denominator)};
    format_append(out, STR("%a/%b"), args, 2);
}

// A key's pitch as a reduced positive fraction; false for a malformed one.
static bool key_ratio(const KeyPitch* pitch, Fraction* ratio) {
    if (pitch->numerator <= 0 || pitch->denominator <= 0) return false;
    *ratio = fraction_normalize(Fraction{pitch->numerator, pitch->denominator});
    return true;
}

Str scala_write(const KeyDefinition* key, u8 pool, i64* skipped) {
    StrBuilder out;
    str_builder_init(&out, pool);
    *skipped = 0;
    i64 degrees = 0;
    for (i64 i = 0; i < key->pitches.count; i += 1) {
        Fraction ratio;
        if (!key_ratio(&key->pitches[i], &ratio)) *skipped += 1;
        else if (!is_unison(ratio)) degrees += 1;
    }
    const FormatArg head[] = {fa_str(key->name), fa_i64(degrees + 1)};
    format_append(&out, STR("! %a.scl, written by sorvane-keys from keys.txt\n!\n%a\n %b\n!\n"),
                  head, 2);
    for (i64 i = 0; i < key->pitches.count; i += 1) {
        Fraction ratio;
        if (!key_ratio(&key->pitches[i], &ratio) || is_unison(ratio)) continue;
        str_builder_put(&out, ' ');
        put_ratio(&out, ratio);
        if (key->pitches[i].name.length > 0) {
            str_builder_put(&out, ' ');
            str_builder_append(&out, key->pitches[i].name);
        }
        str_builder_put(&out, '\n');
    }
    str_builder_append(&out, STR(" 2/1\n"));
    return str_builder_text(&out);
}

// A pitch name keys.txt can hold: visible bytes without a space, not a comment marker.
static bool usable_name(Str name) {
    if (name.length == 0 || name.length > 64 || name.data[0] == '!') return false;
    for (i64 i = 0; i < name.length; i += 1)
        if (name.data[i] <= ' ' || name.data[i] == 127) return false;
    return true;
}

Str scala_key_lines(const ScalaScale* scale, Str key_name, u8 pool) {
    StrBuilder out;
    str_builder_init(&out, pool);
    const FormatArg head[] = {fa_str(key_name)};
    format_append(&out, STR("key %a\nclass scale 1 0.76 0.32 1\npitch unison 1/1 0\n"), head, 1);
    i64 count = scale->pitches.count;
    for (i64 i = 0; i < count; i += 1) {
        const ScalaPitch* pitch = &scale->pitches[i];
        // The octave period is where every keys.txt key repeats already; a 1/1 is there.
        if (is_unison(pitch->ratio) || (i == count - 1 && is_octave(pitch->ratio))) continue;
        str_builder_append(&out, STR("pitch "));
        if (usable_name(pitch->name)) {
            str_builder_append(&out, pitch->name);
        } else {
            const FormatArg args[] = {fa_i64(i + 1)};
            format_append(&out, STR("degree%a"), args, 1);
        }
        str_builder_put(&out, ' ');
        put_ratio(&out, pitch->ratio);
        str_builder_append(&out, STR(" 0\n"));
    }
    return str_builder_text(&out);
}

// ---------------------------------------------------------------------------
// Keyboard mappings
// ---------------------------------------------------------------------------
// The next line that is neither a comment nor blank, its value's start in `at`.
static bool value_line(LineReader* reader, Str* line, i64* at) {
    while (line_next(reader, line)) {
        if (is_comment(*line) || is_blank(*line)) continue;
        *at = skip_spaces(*line, 0);
        return true;
    }
    return false;
}

static bool kbm_integer(LineReader* reader, i64* value, ScalaError* error, const char* missing) {
    Str line;
    i64 at = 0;
    if (!value_line(reader, &line, &at)) return fail(error, reader->number + 1, missing);
    bool negative = at < line.length && line.data[at] == '-';
    if (negative) at += 1;
    bool too_large = false;
    if (!read_integer(line, &at, value, &too_large) || !value_ends(line, at))
        return fail(error, reader->number, too_large ? "a number too large" : missing);
    if (negative) *value = -*value;
    return true;
}

bool kbm_parse(Str text, u8 pool, KbmMapping* mapping, ScalaError* error) {
    *mapping = KbmMapping{};
    array_init(&mapping->degrees, pool);
    *error = ScalaError{};
    LineReader reader = {text, 0, 0};
    if (!kbm_integer(&reader, &mapping->size, error, "no map size")) return false;
    if (mapping->size < 0 || mapping->size > SCALA_MAX_PITCHES)
        return fail(error, reader.number, "a map size out of range");
    if (!kbm_integer(&reader, &mapping->first_note, error, "no first note") ||
        !kbm_integer(&reader, &mapping->last_note, error, "no last note") ||
        !kbm_integer(&reader, &mapping->middle_note, error, "no middle note") ||
        !kbm_integer(&reader, &mapping->reference_note, error, "no reference note"))
        return false;
    Str line;
    i64 at = 0;
    if (!value_line(&reader, &line, &at))
        return fail(error, reader.number + 1, "no reference frequency");
    f64 frequency = 0;
    if (!read_cents(line, &at, &frequency) || !value_ends(line, at))
        return fail(error, reader.number, "no reference frequency");
    if (!(frequency > 0 && frequency < 1e9))
        return fail(error, reader.number, "a reference frequency that is not positive");
    mapping->reference_frequency = frequency;
    if (!kbm_integer(&reader, &mapping->octave_degree, error, "no octave degree")) return false;
    // Keys and degrees far beyond any keyboard would only overflow the arithmetic below.
    const i64 reach = 1000000;
    if (mapping->octave_degree < 0 || mapping->octave_degree > reach)
        return fail(error, reader.number, "an octave degree out of range");
    const i64 notes[] = {mapping->first_note, mapping->last_note, mapping->middle_note,
                         mapping->reference_note};
    for (i64 note : notes)
        if (note < -reach || note > reach) return fail(error, 0, "a note number out of range");
    for (i64 i = 0; i < mapping->size; i += 1) {
        if (!value_line(&reader, &line, &at)) {
            // Entries left out at the end are unmapped keys.
            array_push(&mapping->degrees, (i64)-1);
            continue;
        }
        i64 degree = -1;
        if (line.data[at] == 'x' || line.data[at] == 'X') {
            at += 1;
            if (!value_ends(line, at)) return fail(error, reader.number, "text run into an x");
        } else {
            bool too_large = false;
            if (!read_integer(line, &at, &degree, &too_large) || !value_ends(line, at))
                return fail(error, reader.number, "a mapping entry that is neither a degree nor x");
        }
        if (!array_push(&mapping->degrees, degree))
            return fail(error, reader.number, "not enough memory");
    }
    return true;
}

static i64 floor_div(i64 a, i64 b) {
    i64 q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

bool kbm_unison_frequency(const KbmMapping* mapping, const ScalaScale* scale, f64* frequency,
                          ScalaError* error) {
    i64 count = scale->pitches.count;
    *frequency = 0;
    i64 offset = mapping->reference_note - mapping->middle_note;
    if (offset < -100000 || offset > 100000)
        return fail(error, 0, "the reference note is out of reach");
    i64 degree = offset;
    if (mapping->size > 0) {
        i64 octaves = floor_div(offset, mapping->size);
        i64 entry = mapping->degrees[offset - octaves * mapping->size];
        if (entry < 0) return fail(error, 0, "the reference note is unmapped");
        degree = entry + octaves * mapping->octave_degree;
    }
    if (degree == 0) {
        *frequency = mapping->reference_frequency;
        return true;
    }
    if (count == 0) return fail(error, 0, "the scale has no period");
    i64 periods = floor_div(degree, count);
    i64 step = degree - periods * count;
    f64 period = (f64)scale->pitches[count - 1].ratio.numerator /
                 (f64)scale->pitches[count - 1].ratio.denominator;
    f64 ratio = step == 0 ? 1.0
                          : (f64)scale->pitches[step - 1].ratio.numerator /
                                (f64)scale->pitches[step - 1].ratio.denominator;
    ratio *= math_pow(period, (f64)periods);
    if (!(ratio > 0)) return fail(error, 0, "the reference note's ratio is out of range");
    *frequency = mapping->reference_frequency / ratio;
    return true;
}
