// Headless back end, display and input: a pretend window and the scripted input that the
// test queues and input_poll applies, in order, as one frame's events. Owns the event queue
// and the per-poll key and mouse states. Main thread only.
#include "platform/common_internal.h"
#include "platform/headless_internal.h"

#include <stdlib.h>
#include <string.h>

void headless_graphics_context_created(i32 width, i32 height);

enum {
    HEADLESS_EVENT_KEY_DOWN,
    HEADLESS_EVENT_KEY_UP,
    HEADLESS_EVENT_KEY_REPEAT,
    HEADLESS_EVENT_TEXT,
    HEADLESS_EVENT_MOUSE_MOVE,
    HEADLESS_EVENT_MOUSE_DOWN,
    HEADLESS_EVENT_MOUSE_UP,
    HEADLESS_EVENT_WHEEL,
    HEADLESS_EVENT_MODIFIERS,
};

struct HeadlessEvent {
    i32 kind;
    i32 code;          // key code, button, notches or lock bits
    f32 x, y;          // mouse moves
    i64 text_offset;   // into the pending text bytes
    i64 text_length;
};

// Bits of one key's or button's state; all but HELD answer for the last poll only.
enum {
    INPUT_PRESSED = 1,
    INPUT_TYPED = 2,
    INPUT_HELD = 4,
    INPUT_RELEASED = 8,
};

enum { HEADLESS_BUTTON_COUNT = 8 };

struct HeadlessDisplay {
    bool open;
    i32 width, height, refresh_rate;
    u32 flags;
    u8* title;
    i64 title_length;
    i32 icon_width;
    bool close_requested;  // for the next poll
    bool closed;           // answer of the last poll
    bool resize_requested;
    i32 requested_width, requested_height;
    bool resized;  // applied by a poll, not yet reported by display_is_resized
};

struct HeadlessInput {
    // Queued by the test, applied by the next input_poll.
    HeadlessEvent* events;
    i64 event_count, event_capacity;
    u8* pending_text;
    i64 pending_text_length, pending_text_capacity;
    // Answers for the last poll.
    u8 keys[KEY_COUNT];
    u8 buttons[HEADLESS_BUTTON_COUNT];
    u8* typed;
    i64 typed_length, typed_capacity;
    f32 mouse_x, mouse_y;
    i32 wheel;
    u32 lock_bits;
    bool text_enabled;
};

static HeadlessDisplay headless_display;
static HeadlessInput headless_input;

// Grows a malloc'd array to hold at least `needed` elements; aborts when memory runs out,
// since a test cannot go on with a half-recorded script.
static void* headless_grow(void* data, i64* capacity, i64 needed, i64 element_size) {
    if (needed <= *capacity) return data;
    i64 next = *capacity > 0 ? *capacity : 16;
    while (next < needed) next *= 2;
    void* grown = realloc(data, (size_t)(next * element_size));
    if (!grown) abort();
    *capacity = next;
    return grown;
}

void headless_reset_display_input() {
    free(headless_display.title);
    free(headless_input.events);
    free(headless_input.pending_text);
    free(headless_input.typed);
    headless_display = HeadlessDisplay{};
    headless_display.width = 1024;
    headless_display.height = 768;
    headless_display.refresh_rate = 60;
    headless_input = HeadlessInput{};
    // Text input is on by default, as on a desktop; the program turns it on anyway.
    headless_input.text_enabled = true;
}

// ---------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------
bool display_open(i32 width, i32 height, Str title, u32 flags, i32 context) {
    // The pretend window has the size the test set, whatever was asked for, as a window
    // manager may decide; the program must read it back with display_get_info.
    (void)width;
    (void)height;
    (void)context;
    if (headless_take_failure(HEADLESS_FAIL_DISPLAY_OPEN)) {
        platform_error_set("no window: failure injected by the test");
        return false;
    }
    free(headless_display.title);
    headless_display.title = nullptr;
    headless_display.title_length = 0;
    if (title.length > 0) {
        headless_display.title = (u8*)malloc((size_t)title.length);
        if (!headless_display.title) abort();
        memcpy(headless_display.title, title.data, (size_t)title.length);
        headless_display.title_length = title.length;
    }
    headless_display.flags = flags;
    headless_display.open = true;
    headless_graphics_context_created(headless_display.width, headless_display.height);
    return true;
}

void display_get_info(i32* width, i32* height, i32* refresh_rate) {
    if (width) *width = headless_display.width;
    if (height) *height = headless_display.height;
    if (refresh_rate) *refresh_rate = headless_display.refresh_rate;
}

bool display_is_closed() { return headless_display.closed; }

bool display_is_resized(i32* width, i32* height) {
    if (width) *width = headless_display.width;
    if (height) *height = headless_display.height;
    bool resized = headless_display.resized;
    headless_display.resized = false;
    return resized;
}

void display_set_icon(i32 width, i32 height, const u8* rgba_pixels) {
    (void)height;
    if (!rgba_pixels) return;
    headless_display.icon_width = width;
}

void display_close() { headless_display.open = false; }

void headless_set_display(i32 width, i32 height, i32 refresh_rate) {
    headless_display.width = width;
    headless_display.height = height;
    headless_display.refresh_rate = refresh_rate;
}

bool headless_display_is_open() { return headless_display.open; }

u32 headless_display_flags() { return headless_display.flags; }

Str headless_display_title() {
    return str_make(headless_display.title, headless_display.title_length);
}

i32 headless_icon_width() { return headless_display.icon_width; }

void headless_request_close() { headless_display.close_requested = true; }

void headless_resize(i32 width, i32 height) {
    headless_display.resize_requested = true;
    headless_display.requested_width = width;
    headless_display.requested_height = height;
}

// ---------------------------------------------------------------------------
// Scripted input
// ---------------------------------------------------------------------------
static HeadlessEvent* headless_push_event(i32 kind, i32 code) {
    HeadlessInput* input = &headless_input;
    input->events = (HeadlessEvent*)headless_grow(input->events, &input->event_capacity,
                                                  input->event_count + 1,
                                                  (i64)sizeof(HeadlessEvent));
    HeadlessEvent* event = &input->events[input->event_count];
    input->event_count += 1;
    *event = HeadlessEvent{};
    event->kind = kind;
    event->code = code;
    return event;
}

void headless_key_down(i32 code) { headless_push_event(HEADLESS_EVENT_KEY_DOWN, code); }

void headless_key_up(i32 code) { headless_push_event(HEADLESS_EVENT_KEY_UP, code); }

void headless_key_tap(i32 code) {
    headless_push_event(HEADLESS_EVENT_KEY_DOWN, code);
    headless_push_event(HEADLESS_EVENT_KEY_UP, code);
}

void headless_key_repeat(i32 code) { headless_push_event(HEADLESS_EVENT_KEY_REPEAT, code); }

void headless_type_text(Str text) {
    if (text.length <= 0) return;
    HeadlessInput* input = &headless_input;
    input->pending_text =
        (u8*)headless_grow(input->pending_text, &input->pending_text_capacity,
                           input->pending_text_length + text.length, 1);
    memcpy(input->pending_text + input->pending_text_length, text.data, (size_t)text.length);
    HeadlessEvent* event = headless_push_event(HEADLESS_EVENT_TEXT, 0);
    event->text_offset = input->pending_text_length;
    event->text_length = text.length;
    input->pending_text_length += text.length;
}

void headless_mouse_move(f32 x, f32 y) {
    HeadlessEvent* event = headless_push_event(HEADLESS_EVENT_MOUSE_MOVE, 0);
    event->x = x;
    event->y = y;
}

void headless_mouse_down(i32 button) { headless_push_event(HEADLESS_EVENT_MOUSE_DOWN, button); }

void headless_mouse_up(i32 button) { headless_push_event(HEADLESS_EVENT_MOUSE_UP, button); }

void headless_mouse_click(i32 button) {
    headless_push_event(HEADLESS_EVENT_MOUSE_DOWN, button);
    headless_push_event(HEADLESS_EVENT_MOUSE_UP, button);
}

void headless_mouse_wheel(i32 notches) { headless_push_event(HEADLESS_EVENT_WHEEL, notches); }

void headless_set_modifiers(u32 lock_bits) {
    headless_push_event(HEADLESS_EVENT_MODIFIERS, (i32)lock_bits);
}

// ---------------------------------------------------------------------------
// Polling and the answers for one poll
// ---------------------------------------------------------------------------
static bool headless_key_valid(i32 code) { return code > 0 && code < KEY_COUNT; }

// KEY_ANY is derived from the other keys, never scripted itself.
static bool headless_key_scriptable(i32 code) { return code > KEY_ANY && code < KEY_COUNT; }

static bool headless_button_valid(i32 button) {
    return button >= 0 && button < HEADLESS_BUTTON_COUNT;
}

// An up releases only what was held, so a tap (down and up in one poll) is pressed and
// released but not held afterwards.
static void headless_apply_button_down(u8* state) { *state |= INPUT_PRESSED | INPUT_HELD; }

static void headless_apply_up(u8* state) {
    if (!(*state & INPUT_HELD)) return;
    *state = (u8)((*state & ~INPUT_HELD) | INPUT_RELEASED);
}

static void headless_apply_text(const HeadlessEvent* event) {
    HeadlessInput* input = &headless_input;
    if (!input->text_enabled) return;
    input->typed = (u8*)headless_grow(input->typed, &input->typed_capacity,
                                      input->typed_length + event->text_length, 1);
    memcpy(input->typed + input->typed_length, input->pending_text + event->text_offset,
           (size_t)event->text_length);
    input->typed_length += event->text_length;
}

static void headless_apply_event(const HeadlessEvent* event) {
    HeadlessInput* input = &headless_input;
    switch (event->kind) {
    case HEADLESS_EVENT_KEY_DOWN: {
        if (!headless_key_scriptable(event->code)) break;
        // A second down of a held key is what the system sends as a repeat.
        u8* state = &input->keys[event->code];
        u8 pressed = (*state & INPUT_HELD) ? 0 : INPUT_PRESSED;
        *state |= (u8)(pressed | INPUT_TYPED | INPUT_HELD);
        input->keys[KEY_ANY] |= (u8)(pressed | INPUT_TYPED);
        break;
    }
    case HEADLESS_EVENT_KEY_UP:
        if (headless_key_scriptable(event->code)) headless_apply_up(&input->keys[event->code]);
        break;
    case HEADLESS_EVENT_KEY_REPEAT:
        if (!headless_key_scriptable(event->code)) break;
        input->keys[event->code] |= INPUT_TYPED;
        input->keys[KEY_ANY] |= INPUT_TYPED;
        break;
    case HEADLESS_EVENT_TEXT:
        headless_apply_text(event);
        break;
    case HEADLESS_EVENT_MOUSE_MOVE:
        input->mouse_x = event->x;
        input->mouse_y = event->y;
        break;
    case HEADLESS_EVENT_MOUSE_DOWN:
        if (headless_button_valid(event->code))
            headless_apply_button_down(&input->buttons[event->code]);
        break;
    case HEADLESS_EVENT_MOUSE_UP:
        if (headless_button_valid(event->code)) headless_apply_up(&input->buttons[event->code]);
        break;
    case HEADLESS_EVENT_WHEEL:
        input->wheel += event->code;
        break;
    case HEADLESS_EVENT_MODIFIERS:
        input->lock_bits = (u32)event->code;
        break;
    }
}

void input_poll() {
    HeadlessInput* input = &headless_input;
    for (i32 code = 0; code < KEY_COUNT; code += 1) input->keys[code] &= INPUT_HELD;
    for (i32 button = 0; button < HEADLESS_BUTTON_COUNT; button += 1)
        input->buttons[button] &= INPUT_HELD;
    input->typed_length = 0;
    input->wheel = 0;

    HeadlessDisplay* display = &headless_display;
    display->closed = display->close_requested;
    display->close_requested = false;
    if (display->resize_requested) {
        display->resized = true;  // until display_is_resized reports it
        display->width = display->requested_width;
        display->height = display->requested_height;
        display->resize_requested = false;
    }

    for (i64 i = 0; i < input->event_count; i += 1) headless_apply_event(&input->events[i]);
    input->event_count = 0;
    input->pending_text_length = 0;

    // KEY_ANY is held while any other key is.
    input->keys[KEY_ANY] &= (u8)~INPUT_HELD;
    for (i32 code = KEY_ANY + 1; code < KEY_COUNT; code += 1)
        if (input->keys[code] & INPUT_HELD) input->keys[KEY_ANY] |= INPUT_HELD;
}

static bool headless_key_has(i32 code, u8 bit) {
    return headless_key_valid(code) && (headless_input.keys[code] & bit) != 0;
}

static bool headless_button_has(i32 button, u8 bit) {
    return headless_button_valid(button) && (headless_input.buttons[button] & bit) != 0;
}

bool input_key_is_pressed(i32 code) { return headless_key_has(code, INPUT_PRESSED); }
bool input_key_is_typed(i32 code) { return headless_key_has(code, INPUT_TYPED); }
bool input_key_is_held(i32 code) { return headless_key_has(code, INPUT_HELD); }
bool input_key_is_released(i32 code) { return headless_key_has(code, INPUT_RELEASED); }

u32 input_key_modifiers() {
    u32 bits = headless_input.lock_bits;
    if (input_key_is_held(KEY_SHIFT)) bits |= MODIFIER_SHIFT;
    if (input_key_is_held(KEY_CONTROL)) bits |= MODIFIER_CONTROL;
    if (input_key_is_held(KEY_ALT)) bits |= MODIFIER_ALT;
    return bits;
}

Str input_text_typed() { return str_make(headless_input.typed, headless_input.typed_length); }

void input_text_enable(bool on) { headless_input.text_enabled = on; }

void input_mouse_position(f32* x, f32* y) {
    if (x) *x = headless_input.mouse_x;
    if (y) *y = headless_input.mouse_y;
}

bool input_mouse_is_pressed(i32 button) { return headless_button_has(button, INPUT_PRESSED); }
bool input_mouse_is_held(i32 button) { return headless_button_has(button, INPUT_HELD); }
bool input_mouse_is_released(i32 button) { return headless_button_has(button, INPUT_RELEASED); }

i32 input_mouse_wheel() { return headless_input.wheel; }
