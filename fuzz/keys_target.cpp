// Fuzz target of the keys reader: any text through keys_parse. Besides the sanitizers it
// checks the key list against a count of the text's own lines (one key per "key" line, one
// class or pitch per such line after the first key), that key_by_name finds the first key
// of every name, and that a second parse of the same text gives the same list.
#include <string.h>

#include "base/text.h"
#include "fuzz_support.h"
#include "model/keys.h"

static i64 keys_main_mark, keys_tmp_mark;

bool keys_fuzz_setup() {
    keys_main_mark = fuzz_pool_mark(POOL_MAIN);
    keys_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return true;
}

void keys_fuzz_teardown() { array_init(&g_keys, POOL_MAIN); }

struct KeyCounts {
    i64 keys, classes, pitches;
};

// What the lines say, counted without the reader: the first word of every non-empty line.
static KeyCounts keys_expected(Str text) {
    KeyCounts counts = {};
    TextCursor cursor = text_cursor(text);
    while (cursor.position < cursor.length) {
        Str line = text_read_line(&cursor);
        cursor.position += 1;
        i64 end = 0;
        while (end < line.length && line.data[end] != ' ') end += 1;
        Str word = {line.data, end};
        if (line.length == 0) continue;
        if (str_equal(word, STR("key"))) counts.keys += 1;
        else if (counts.keys > 0 && str_equal(word, STR("class"))) counts.classes += 1;
        else if (counts.keys > 0 && str_equal(word, STR("pitch"))) counts.pitches += 1;
    }
    return counts;
}

static bool same_str(Str a, Str b) { return str_equal(a, b); }

const char* keys_fuzz_one(const u8* data, size_t size) {
    fuzz_pool_rewind(POOL_MAIN, keys_main_mark);
    fuzz_pool_rewind(POOL_TMP, keys_tmp_mark);
    Str text = fuzz_copy(POOL_TMP, data, size);
    keys_parse(text);

    KeyCounts expected = keys_expected(text);
    KeyCounts got = {g_keys.count, 0, 0};
    for (i64 k = 0; k < g_keys.count; k += 1) {
        const KeyDefinition* key = &g_keys[k];
        got.classes += key->classes.count;
        got.pitches += key->pitches.count;
        if (key->reference_frequency != 440.0) return "a key's reference frequency is not 440";
        const KeyDefinition* found = key_by_name(key->name);
        if (!found || found > key || !same_str(found->name, key->name))
            return "key_by_name does not find the first key of a name";
    }
    if (got.keys != expected.keys) return "the number of keys differs from the \"key\" lines";
    if (got.classes != expected.classes) return "the number of classes differs from the lines";
    if (got.pitches != expected.pitches) return "the number of pitches differs from the lines";

    // The same text again: the list is emptied first and comes out the same.
    PoolArray<KeyDefinition> first = g_keys;
    keys_parse(text);
    if (g_keys.count != first.count) return "a second parse gave another number of keys";
    for (i64 k = 0; k < first.count; k += 1) {
        const KeyDefinition* a = &first[k];
        const KeyDefinition* b = &g_keys[k];
        if (!same_str(a->name, b->name) || a->classes.count != b->classes.count ||
            a->pitches.count != b->pitches.count)
            return "a second parse gave another key";
        for (i64 c = 0; c < a->classes.count; c += 1)
            if (!same_str(a->classes[c].name, b->classes[c].name) ||
                memcmp(a->classes[c].color, b->classes[c].color, sizeof(a->classes[c].color)) != 0)
                return "a second parse gave another class";
        for (i64 p = 0; p < a->pitches.count; p += 1) {
            const KeyPitch* x = &a->pitches[p];
            const KeyPitch* y = &b->pitches[p];
            if (!same_str(x->name, y->name) || x->numerator != y->numerator ||
                x->denominator != y->denominator || x->class_number != y->class_number)
                return "a second parse gave another pitch";
        }
    }
    return 0;
}
