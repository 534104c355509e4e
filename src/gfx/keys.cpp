// Reads "keys.txt": "key NAME" opens a key, "class NAME R G B A" adds a colour class to
// it, "pitch NAME N/D C" adds a scale pitch of class C. Lines with any other first word
// (comments among them) are skipped. Runs once at start-up on the main thread; the list is
// read-only afterwards, so the render worker may look keys up by name.
#include "gfx/keys.h"

#include "core/text.h"

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
