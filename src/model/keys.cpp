// Reads "keys.txt": "key NAME" opens a key, "class NAME R G B A" adds a colour class to
// it, "pitch NAME N/D C" adds a scale pitch of class C. Lines with any other first word
// (comments among them) are skipped. Runs once at start-up on the main thread; the list is
// read-only afterwards, so the render worker may look keys up by name.
#include "model/keys.h"

#include "base/fraction.h"
#include "base/text.h"
#include "model/files.h"
#include "platform/system.h"

PoolArray<KeyDefinition> g_keys;

static void key_line(Str line) {
    TextCursor cursor = text_cursor(line);
    Str word = text_read_until(&cursor, ' ');
    cursor.position += 1;
    if (str_equal(word, STR("key"))) {
        KeyDefinition key = {};
        key.reference_frequency = 440.0;
        key.name = str_copy(POOL_MAIN, text_read_until(&cursor, '\n'));
        array_init(&key.classes, POOL_MAIN);
        array_init(&key.pitches, POOL_MAIN);
        array_push(&g_keys, key);
        return;
    }
    if (g_keys.count == 0) return;
    KeyDefinition* key = &g_keys.data[g_keys.count - 1];
    if (str_equal(word, STR("class"))) {
        KeyClass key_class = {};
        key_class.name = str_copy(POOL_MAIN, text_read_until(&cursor, ' '));
        for (i32 i = 0; i < 4; i += 1) {
            cursor.position += 1;
            key_class.color[i] = (f32)text_parse_number(&cursor);
        }
        array_push(&key->classes, key_class);
    } else if (str_equal(word, STR("pitch"))) {
        KeyPitch pitch = {};
        pitch.name = str_copy(POOL_MAIN, text_read_until(&cursor, ' '));
        cursor.position += 1;
        pitch.numerator = text_parse_integer(&cursor);
        bool more = cursor.position < cursor.length;
        if (more && cursor.data[cursor.position] == '/') {
            cursor.position += 1;
            pitch.denominator = text_parse_integer(&cursor);
        }
        if (cursor.position < cursor.length && cursor.data[cursor.position] == ' ') {
            cursor.position += 1;
            pitch.class_number = text_parse_integer(&cursor);
        }
        array_push(&key->pitches, pitch);
    }
}

void keys_parse(Str contents) {
    array_init(&g_keys, POOL_MAIN);
    TextCursor file = text_cursor(contents);
    while (file.position < file.end) {
        Str line = text_read_line(&file);
        file.position += 1;
        if (line.length > 0) key_line(line);
    }
}

void keys_load() { keys_parse(read_entire_file(STR("keys.txt"), POOL_TMP)); }

KeyDefinition* key_by_name(Str name) {
    for (i64 i = 0; i < g_keys.count; i += 1)
        if (str_equal(g_keys[i].name, name)) return &g_keys[i];
    return 0;
}

static const f64 LN2 = 0.69314718055994530942;

f64 fraction_cents(Fraction ratio) {
    return 1200.0 * math_log((f64)ratio.numerator / (f64)ratio.denominator) / LN2;
}

Fraction fraction_from_cents(f64 cents, f64 tolerance_cents, i64 max_denominator,
                             f64* error_cents) {
    f64 x = math_pow(2.0, cents / 1200.0);
    Fraction nearest = {1, 1};
    f64 nearest_error = 1e300;
    for (i64 d = 1; d <= max_denominator; d += 1) {
        i64 n = (i64)math_floor(x * (f64)d + 0.5);
        if (n < 1) continue;
        Fraction candidate = {n, d};
        f64 error = fraction_cents(candidate) - cents;
        // The first denominator that comes close enough is the simplest such fraction.
        if (math_abs(error) <= tolerance_cents) {
            *error_cents = error;
            return fraction_normalize(candidate);
        }
        if (math_abs(error) < math_abs(nearest_error)) {
            nearest = candidate;
            nearest_error = error;
        }
    }
    *error_cents = nearest_error;
    return fraction_normalize(nearest);
}
