// Fuzz target of the text field: the input is a script of keys, typed text (any bytes),
// mouse moves, presses and wheel notches, clipboard contents and frames of varying length,
// played through the headless back end into one field of the started program (one-line or
// not, of one of four sizes and line heights, chosen by the first byte). After every
// frame it checks what must hold whatever was pressed: caret and anchor inside the text, the
// text within its bound, a one-line field without newlines, the line table matching the
// text's newlines byte for byte, the selection as long as the caret-anchor span, and the
// scroll offsets finite.
#include <math.h>
#include <string.h>

#include "app/app.h"
#include "fuzz_support.h"
#include "gfx/renderer.h"
#include "platform/headless.h"
#include "ui/interaction.h"
#include "ui/text_field.h"

// Where the field lies: bits 1 and 2 of the script's first byte pick one of these.
static const Rect FIELD_RECTS[4] = {
    {100, 100, 400, 200}, {100, 100, 24, 12}, {300, 300, 1, 1}, {0, 0, 1000, 30}};
// Its line height: bits 3 and 4 pick one (0 takes the theme font's).
static const f32 FIELD_LINE_HEIGHTS[4] = {0.0f, 8.0f, 40.0f, 0.5f};
static const i32 FIELD_MAX_FRAMES = 48;  // per input, so one input stays cheap

// The field's text and line table live in the worker's pool (growing, emptied before every
// input) instead of the main pool, which the started program keeps its own records in.
bool text_field_fuzz_setup() { return pool_setup(POOL_WORKER, 1 << 20, true); }

void text_field_fuzz_teardown() { pool_release(POOL_WORKER); }

// Reads the script; past its end every read gives 0.
struct Script {
    const u8* data;
    size_t size, at;
};

static u8 script_byte(Script* script) {
    return script->at < script->size ? script->data[script->at++] : 0;
}

static Str script_bytes(Script* script, size_t count) {
    size_t left = script->size - script->at;
    if (count > left) count = left;
    Str bytes = {(u8*)script->data + script->at, (i64)count};
    script->at += count;
    return bytes;
}

// One frame of the field as the frame code runs a widget: input, the mouse in interface
// pixels, the keyboard gate, then the field.
static void field_frame(TextField* field, Rect rect, f64 seconds) {
    pool_empty(POOL_TMP);
    input_poll();
    f32 x = 0, y = 0;
    input_mouse_position(&x, &y);
    g_ui.mouse_x = x;
    g_ui.mouse_y = (f32)g_window.height - y;
    g_ui.keyboard_taken = 0;
    g_ui.frame_seconds = seconds;
    interaction_push(true);
    text_field(field, rect);
    interaction_pop();
    headless_draws_clear();
}

static const char* field_check(const TextField* field) {
    Str text = text_field_text(field);
    if (text.length < 0 || text.length > TEXT_FIELD_MAX_BYTES) return "the text outgrew its bound";
    if (field->caret < 0 || field->caret > text.length || field->anchor < 0 ||
        field->anchor > text.length)
        return "caret or anchor lies outside the text";
    i64 newlines = 0;
    for (i64 i = 0; i < text.length; i += 1) newlines += text.data[i] == '\n';
    if (field->single_line && newlines > 0) return "a one-line field holds a newline";
    if (field->lines.count != newlines + 1) return "the line table does not count the lines";
    i64 at = 0;
    for (i64 line = 0; line < field->lines.count; line += 1) {
        i64 length = field->lines[line];
        bool last = line + 1 == field->lines.count;
        if (length < 0 || at + length > text.length) return "a line runs past the text";
        if (!last && (length == 0 || text.data[at + length - 1] != '\n'))
            return "a line does not end at a newline";
        for (i64 i = at; i < at + length - (last ? 0 : 1); i += 1)
            if (text.data[i] == '\n') return "a line holds a newline inside it";
        at += length;
    }
    if (at != text.length) return "the line table does not add up to the text";
    i64 span = field->caret - field->anchor;
    if (text_field_selection(field).length != (span < 0 ? -span : span))
        return "the selection is not the caret-anchor span";
    if (!isfinite(field->scroll_x) || !isfinite(field->scroll_y) || !isfinite(field->target_x) ||
        !isfinite(field->target_y) || !isfinite(field->caret_x) || !isfinite(field->caret_y))
        return "a scroll or caret position is not finite";
    return 0;
}

// Lets go of everything an earlier script held or left, so each input starts alike and a
// saved input replays as it ran: a clipboard carried over could hold a text copied and
// pasted by the scripts before it, up to the field's bound.
static void input_release() {
    for (i32 code = KEY_A; code < KEY_COUNT; code += 1) headless_key_up(code);
    for (i32 button = 1; button <= MOUSE_RIGHT; button += 1) headless_mouse_up(button);
    headless_set_modifiers(0);
    headless_mouse_move(0, 0);
    headless_clipboard_put(Str{0, 0});
    input_poll();
}

const char* text_field_fuzz_one(const u8* data, size_t size) {
    pool_empty(POOL_WORKER);
    input_release();
    Script script = {data, size, 0};
    TextField field = {};
    array_init(&field.text, POOL_WORKER);
    array_init(&field.lines, POOL_WORKER);
    u8 shape = script_byte(&script);
    field.single_line = shape & 1;
    Rect rect = FIELD_RECTS[(shape >> 1) & 3];
    field.line_height = FIELD_LINE_HEIGHTS[(shape >> 3) & 3];
    i32 frames = 0;
    while (script.at < script.size && frames < FIELD_MAX_FRAMES) {
        u8 op = script_byte(&script);
        switch (op % 14) {
        case 0: headless_key_tap(script_byte(&script) % KEY_COUNT); break;
        case 1: headless_key_down(script_byte(&script) % KEY_COUNT); break;
        case 2: headless_key_up(script_byte(&script) % KEY_COUNT); break;
        case 3: headless_key_repeat(script_byte(&script) % KEY_COUNT); break;
        case 4: headless_type_text(script_bytes(&script, script_byte(&script) % 16)); break;
        case 5: {
            // Over the field and a margin around it, in window pixels (y downward).
            f32 x = rect.x - 20 + (rect.width + 40) * script_byte(&script) / 255.0f;
            f32 y = rect.y - 20 + (rect.height + 40) * script_byte(&script) / 255.0f;
            headless_mouse_move(x, (f32)g_window.height - y);
            break;
        }
        case 6: headless_mouse_down(MOUSE_LEFT + script_byte(&script) % 3); break;
        case 7: headless_mouse_up(MOUSE_LEFT + script_byte(&script) % 3); break;
        case 8: headless_mouse_click(MOUSE_LEFT); break;
        case 9: headless_mouse_wheel((i8)script_byte(&script)); break;
        case 10: headless_clipboard_put(script_bytes(&script, script_byte(&script))); break;
        case 11: headless_set_modifiers(script_byte(&script)); break;
        case 12: text_field_set_text(&field, script_bytes(&script, script_byte(&script))); break;
        default: {
            // A frame of 0 to 0.6 seconds: the double-click timer and scrolling see both
            // quick and slow frames.
            field_frame(&field, rect, 0.6 * script_byte(&script) / 255.0);
            frames += 1;
            const char* failure = field_check(&field);
            if (failure) return failure;
            break;
        }
        }
    }
    field_frame(&field, rect, 1.0 / 60.0);
    return field_check(&field);
}
