// Headless back end, display and input: a pretend window and the scripted input that the
// test queues and input_poll hands, in order, to the shared input record as one frame's
// events (several presses of one key included). Owns the event queue. Main thread only.
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
    headless_display = HeadlessDisplay{};
    headless_display.width = 1024;
    headless_display.height = 768;
    headless_display.refresh_rate = 60;
    headless_input = HeadlessInput{};
    input_record_reset(0.0f, 0.0f);
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
// Polling: the queued events, in order, into the shared input record
// ---------------------------------------------------------------------------
static bool key_scriptable(i32 code) { return code > KEY_ANY && code < KEY_COUNT; }

static void headless_apply_event(const HeadlessEvent* event) {
    HeadlessInput* input = &headless_input;
    switch (event->kind) {
    // KEY_ANY is derived from the other keys, never scripted itself.
    case HEADLESS_EVENT_KEY_DOWN:
        if (key_scriptable(event->code)) input_record_key_down(event->code, false);
        break;
    case HEADLESS_EVENT_KEY_UP: input_record_key_up(event->code); break;
    case HEADLESS_EVENT_KEY_REPEAT:
        if (key_scriptable(event->code)) input_record_key_down(event->code, true);
        break;
    case HEADLESS_EVENT_TEXT:
        if (input->text_enabled)
            input_record_text(Str{input->pending_text + event->text_offset, event->text_length});
        break;
    case HEADLESS_EVENT_MOUSE_MOVE: input_record_mouse_move(event->x, event->y); break;
    case HEADLESS_EVENT_MOUSE_DOWN: input_record_mouse_down(event->code); break;
    case HEADLESS_EVENT_MOUSE_UP: input_record_mouse_up(event->code); break;
    case HEADLESS_EVENT_WHEEL: input_record_wheel(event->code); break;
    case HEADLESS_EVENT_MODIFIERS: input_record_lock_bits((u32)event->code); break;
    }
}

void input_poll() {
    HeadlessInput* input = &headless_input;
    input_record_begin_poll();

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
    input_record_end_poll();
}

void input_text_enable(bool on) { headless_input.text_enabled = on; }
