// The input record both back ends fill: which keys and buttons went down, came up or are
// held, the ordered list of this poll's key presses with the modifiers of each (and those
// deferred from the last poll), the typed text, the mouse and the wheel; and the input_*
// answers read from it. The back ends only translate their events into the calls of
// common_internal.h. Main thread only.
#include <string.h>

#include "platform/common_internal.h"

// Bits of one key's or button's state; all but HELD answer for the last poll only.
enum {
    INPUT_PRESSED = 1,
    INPUT_TYPED = 2,
    INPUT_HELD = 4,
    INPUT_RELEASED = 8,
};

// A frame stalled by a busy machine gathers as many presses as a fast typist makes in
// the stall; more than this in one poll still count in the flags, not in the list.
enum { PRESS_CAPACITY = 1024, TEXT_CAPACITY = 65536, BUTTON_COUNT = 8 };

struct InputRecord {
    u8 keys[KEY_COUNT];
    u8 buttons[BUTTON_COUNT];
    KeyPress presses[PRESS_CAPACITY];
    i64 press_count;
    u8 text[TEXT_CAPACITY];
    i64 text_length;
    // Handed out again at the start of the next poll (input_key_presses_defer).
    KeyPress deferred[PRESS_CAPACITY];
    i64 deferred_count;
    u8 deferred_text[TEXT_CAPACITY];
    i64 deferred_text_length;
    f32 mouse_x, mouse_y;
    i32 wheel;
    u32 lock_bits;  // caps and num lock, as the back end last saw them
};
static InputRecord record;

void input_record_reset(f32 mouse_x, f32 mouse_y) {
    memset(&record, 0, sizeof(record));
    record.mouse_x = mouse_x;
    record.mouse_y = mouse_y;
}

// The pressed and typed answers of the keys in the list (the flags say no more than it).
static void press_flags_set(const KeyPress* press) {
    u8 bits = press->repeat ? INPUT_TYPED : INPUT_PRESSED | INPUT_TYPED;
    record.keys[press->code] |= bits;
    record.keys[KEY_ANY] |= bits;
}

void input_record_begin_poll() {
    for (i32 code = 0; code < KEY_COUNT; code += 1) record.keys[code] &= INPUT_HELD;
    for (i32 button = 0; button < BUTTON_COUNT; button += 1) record.buttons[button] &= INPUT_HELD;
    record.press_count = record.deferred_count;
    record.text_length = record.deferred_text_length;
    memcpy(record.presses, record.deferred, sizeof(KeyPress) * (size_t)record.deferred_count);
    memcpy(record.text, record.deferred_text, (size_t)record.deferred_text_length);
    for (i64 i = 0; i < record.press_count; i += 1) press_flags_set(&record.presses[i]);
    record.deferred_count = 0;
    record.deferred_text_length = 0;
    record.wheel = 0;
}

void input_record_end_poll() {
    // KEY_ANY is held while any other key is.
    record.keys[KEY_ANY] &= (u8)~INPUT_HELD;
    for (i32 code = KEY_ANY + 1; code < KEY_COUNT; code += 1)
        if (record.keys[code] & INPUT_HELD) record.keys[KEY_ANY] |= INPUT_HELD;
}

static bool key_scriptable(i32 code) { return code > KEY_ANY && code < KEY_COUNT; }

static u32 held_modifiers() {
    u32 bits = record.lock_bits;
    if (record.keys[KEY_SHIFT] & INPUT_HELD) bits |= MODIFIER_SHIFT;
    if (record.keys[KEY_CONTROL] & INPUT_HELD) bits |= MODIFIER_CONTROL;
    if (record.keys[KEY_ALT] & INPUT_HELD) bits |= MODIFIER_ALT;
    return bits;
}

void input_record_key_down(i32 code, bool repeat) {
    // A second down of a held key is what the system sends as a repeat. A key outside the
    // table (code 0) still counts as "any key".
    bool known = key_scriptable(code);
    if (known && (record.keys[code] & INPUT_HELD)) repeat = true;
    u8 pressed = repeat ? 0 : INPUT_PRESSED;
    record.keys[KEY_ANY] |= (u8)(pressed | INPUT_TYPED);
    if (!known) return;
    record.keys[code] |= (u8)(pressed | INPUT_TYPED | INPUT_HELD);
    if (record.press_count < PRESS_CAPACITY)
        record.presses[record.press_count++] =
            KeyPress{code, held_modifiers(), repeat, record.text_length};
}

void input_record_key_up(i32 code) {
    if (!key_scriptable(code) || !(record.keys[code] & INPUT_HELD)) return;
    record.keys[code] = (u8)((record.keys[code] & ~INPUT_HELD) | INPUT_RELEASED);
}

void input_record_release_all() {
    for (i32 code = KEY_ANY + 1; code < KEY_COUNT; code += 1) input_record_key_up(code);
    for (i32 button = 0; button < BUTTON_COUNT; button += 1) input_record_mouse_up(button);
}

void input_key_presses_defer(i64 first) {
    if (first < 0 || first >= record.press_count) return;
    i64 text_start = record.presses[first].text_offset;
    record.deferred_count = record.press_count - first;
    for (i64 i = 0; i < record.deferred_count; i += 1) {
        record.deferred[i] = record.presses[first + i];
        record.deferred[i].text_offset -= text_start;
    }
    record.deferred_text_length = record.text_length - text_start;
    memcpy(record.deferred_text, record.text + text_start, (size_t)record.deferred_text_length);
    // This frame keeps what came before: its list, text and flags.
    record.press_count = first;
    record.text_length = text_start;
    for (i32 code = 0; code < KEY_COUNT; code += 1)
        record.keys[code] &= (u8)~(INPUT_PRESSED | INPUT_TYPED);
    for (i64 i = 0; i < first; i += 1) press_flags_set(&record.presses[i]);
}

void input_record_lock_bits(u32 bits) {
    record.lock_bits = bits & (MODIFIER_CAPS_LOCK | MODIFIER_NUM_LOCK | MODIFIER_GUI);
}

// Appends whole UTF-8 characters only, so a full buffer never ends inside one.
void input_record_text(Str text) {
    i64 length = text.length;
    i64 room = TEXT_CAPACITY - record.text_length;
    if (length > room) {
        length = room;
        while (length > 0 && (text.data[length] & 0xC0) == 0x80) length -= 1;
    }
    if (length <= 0) return;
    memcpy(record.text + record.text_length, text.data, (size_t)length);
    record.text_length += length;
}

void input_record_mouse_move(f32 x, f32 y) {
    record.mouse_x = x;
    record.mouse_y = y;
}

static bool button_valid(i32 button) { return button >= 0 && button < BUTTON_COUNT; }

void input_record_mouse_down(i32 button) {
    if (button_valid(button)) record.buttons[button] |= INPUT_PRESSED | INPUT_HELD;
}

// An up releases only what was held, so a click (down and up in one poll) is pressed and
// released but not held afterwards.
void input_record_mouse_up(i32 button) {
    if (!button_valid(button) || !(record.buttons[button] & INPUT_HELD)) return;
    record.buttons[button] = (u8)((record.buttons[button] & ~INPUT_HELD) | INPUT_RELEASED);
}

void input_record_wheel(i32 notches) { record.wheel += notches; }

// ---------------------------------------------------------------------------
// The answers of system.h
// ---------------------------------------------------------------------------
static bool key_has(i32 code, u8 bit) {
    return code > 0 && code < KEY_COUNT && (record.keys[code] & bit) != 0;
}

bool input_key_is_pressed(i32 code) { return key_has(code, INPUT_PRESSED); }
bool input_key_is_typed(i32 code) { return key_has(code, INPUT_TYPED); }
bool input_key_is_held(i32 code) { return key_has(code, INPUT_HELD); }
bool input_key_is_released(i32 code) { return key_has(code, INPUT_RELEASED); }
u32 input_key_modifiers() { return held_modifiers(); }

i64 input_key_press_count() { return record.press_count; }

KeyPress input_key_press(i64 index) {
    if (index < 0 || index >= record.press_count) return KeyPress{};
    return record.presses[index];
}

Str input_text_typed() { return Str{record.text, record.text_length}; }

void input_mouse_position(f32* x, f32* y) {
    if (x) *x = record.mouse_x;
    if (y) *y = record.mouse_y;
}

static bool button_has(i32 button, u8 bit) {
    return button_valid(button) && (record.buttons[button] & bit) != 0;
}

bool input_mouse_is_pressed(i32 button) { return button_has(button, INPUT_PRESSED); }
bool input_mouse_is_held(i32 button) { return button_has(button, INPUT_HELD); }
bool input_mouse_is_released(i32 button) { return button_has(button, INPUT_RELEASED); }
i32 input_mouse_wheel() { return record.wheel; }
