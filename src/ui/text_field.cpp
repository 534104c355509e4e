// The text field of text_field.h. Sections: text storage and the line table; caret
// movement rules (characters, words, lines); keyboard commands; mouse; layout, scrolling and
// drawing. The text lives in the caller's record (POOL_MAIN); nothing here outlives a call
// except what the record holds. Main thread only.
#include "ui/text_field.h"

#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "platform/system.h"
#include "ui/interaction.h"

static const f32 TWO_PI = 6.28318530718f;
static const i32 PAGE_LINES = 12;
static const f32 WHEEL_STEP = 96.0f;

static void column_refresh(TextField* field);

// --- Text storage and the line table -------------------------------------------------------

Str text_field_text(const TextField* field) { return Str{field->text.data, field->text.count}; }

static bool is_continuation(u8 byte) { return (byte & 0xC0) == 0x80; }

static i32 text_length(const TextField* field) { return (i32)field->text.count; }

static void selection_range(const TextField* field, i32* from, i32* to) {
    *from = field->caret < field->anchor ? field->caret : field->anchor;
    *to = field->caret < field->anchor ? field->anchor : field->caret;
}

Str text_field_selection(const TextField* field) {
    i32 from, to;
    selection_range(field, &from, &to);
    return Str{field->text.data + from, (i64)(to - from)};
}

i64 text_field_line_of(const TextField* field, i64 position, i64* line_start) {
    i64 start = 0;
    for (i64 i = 0; i < field->lines.count; i += 1) {
        i64 end = start + field->lines[i];
        if (position < end || i == field->lines.count - 1) {
            if (line_start) *line_start = start;
            return i;
        }
        start = end;
    }
    if (line_start) *line_start = 0;
    return 0;
}

// After every change of the text: a single-line field loses its newlines (pasted line
// breaks vanish), then every line's length is recorded.
static void text_changed(TextField* field) {
    if (field->single_line) {
        i64 kept = 0;
        i32 caret = field->caret, anchor = field->anchor;
        for (i64 i = 0; i < field->text.count; i += 1) {
            u8 byte = field->text[i];
            if (byte == '\n') {
                if (i < field->caret) caret -= 1;
                if (i < field->anchor) anchor -= 1;
                continue;
            }
            field->text[kept++] = byte;
        }
        field->text.count = kept;
        field->caret = caret;
        field->anchor = anchor;
    }
    array_clear(&field->lines);
    i32 length = 0;
    for (i64 i = 0; i < field->text.count; i += 1) {
        length += 1;
        if (field->text[i] == '\n') {
            array_push(&field->lines, length);
            length = 0;
        }
    }
    array_push(&field->lines, length);
    field->changed = 1;
    field->refused = 0;
    field->scroll_to_caret = 1;
}

// Storage for `extra` more bytes, doubling so that typing does not copy on every key.
static bool text_reserve(TextField* field, i64 extra) {
    i64 needed = field->text.count + extra;
    if (needed <= field->text.capacity) return true;
    i64 doubled = field->text.capacity * 2;
    if (doubled > TEXT_FIELD_MAX_BYTES) doubled = TEXT_FIELD_MAX_BYTES;
    if (doubled > needed && array_reserve(&field->text, doubled)) return true;
    return array_reserve(&field->text, needed);
}

// Inserts at the caret as much of `bytes` as the field can hold, cut at a character
// boundary; caret and anchor end after it. Returns the bytes inserted.
static i64 insert_at_caret(TextField* field, Str bytes) {
    i64 room = TEXT_FIELD_MAX_BYTES - field->text.count;
    i64 count = bytes.length < room ? bytes.length : room;
    if (count < bytes.length)
        while (count > 0 && is_continuation(bytes.data[count])) count -= 1;
    if (count <= 0 || !text_reserve(field, count)) return 0;
    u8* at = field->text.data + field->caret;
    memmove(at + count, at, (size_t)(field->text.count - field->caret));
    memcpy(at, bytes.data, (size_t)count);
    field->text.count += count;
    field->caret += (i32)count;
    field->anchor = field->caret;
    return count;
}

static void remove_range(TextField* field, i32 from, i32 to) {
    if (to <= from) return;
    u8* data = field->text.data;
    memmove(data + from, data + to, (size_t)(field->text.count - to));
    field->text.count -= to - from;
    field->caret = field->anchor = from;
}

void text_field_delete_selection(TextField* field) {
    i32 from, to;
    selection_range(field, &from, &to);
    if (to == from) return;
    remove_range(field, from, to);
    text_changed(field);
}

void text_field_set_text(TextField* field, Str text) {
    i64 length = text.length < (i64)TEXT_FIELD_MAX_BYTES ? text.length : (i64)TEXT_FIELD_MAX_BYTES;
    if (length < text.length)
        while (length > 0 && is_continuation(text.data[length])) length -= 1;
    if (length > field->text.capacity && !array_reserve(&field->text, length)) length = 0;
    if (length > 0) memmove(field->text.data, text.data, (size_t)length);  // may be its own
    field->text.count = length;
    field->caret = field->anchor = (i32)length;
    field->dragging = 0;
    text_changed(field);
    column_refresh(field);
}

// --- Caret movement rules ---------------------------------------------------------------------

// Letters, digits, '_', '#', '$' and every byte of a multi-byte character.
static bool is_word_byte(u8 byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
           (byte >= '0' && byte <= '9') || byte == '_' || byte == '#' || byte == '$' ||
           byte >= 0x80;
}

static i32 char_left(const TextField* field, i32 position) {
    if (position <= 0) return 0;
    position -= 1;
    while (position > 0 && is_continuation(field->text[position])) position -= 1;
    return position;
}

static i32 char_right(const TextField* field, i32 position) {
    i32 length = text_length(field);
    if (position >= length) return length;
    position += 1;
    while (position < length && is_continuation(field->text[position])) position += 1;
    return position;
}

// To the start of the run of word (or non-word) bytes that ends at the position.
static i32 word_left(const TextField* field, i32 position) {
    if (position <= 0) return 0;
    bool word = is_word_byte(field->text[position - 1]);
    while (position > 0 && is_word_byte(field->text[position - 1]) == word) position -= 1;
    return position;
}

// To the end of the run of bytes of the same kind as the byte at the position.
static i32 word_right(const TextField* field, i32 position) {
    i32 length = text_length(field);
    if (position >= length) return length;
    bool word = is_word_byte(field->text[position]);
    while (position < length && is_word_byte(field->text[position]) == word) position += 1;
    return position;
}

static i32 line_begin(const TextField* field, i32 position) {
    while (position > 0 && field->text[position - 1] != '\n') position -= 1;
    return position;
}

static i32 line_end(const TextField* field, i32 position) {
    i32 length = text_length(field);
    while (position < length && field->text[position] != '\n') position += 1;
    return position;
}

// The wanted column within the line starting at `start`, at most at the line's end and
// never inside a character.
static i32 column_in_line(const TextField* field, i32 start, i32 column) {
    i32 end = line_end(field, start);
    i32 position = start + column < end ? start + column : end;
    while (position > start && position < end && is_continuation(field->text[position]))
        position -= 1;
    return position;
}

static i32 line_up(const TextField* field, i32 position) {
    i32 start = line_begin(field, position);
    if (start == 0) return 0;
    return column_in_line(field, line_begin(field, start - 1), field->wanted_column);
}

static i32 line_down(const TextField* field, i32 position) {
    i32 end = line_end(field, position);
    if (end >= text_length(field)) return text_length(field);
    return column_in_line(field, end + 1, field->wanted_column);
}

static void caret_move(TextField* field, i32 position, bool shift) {
    field->caret = position;
    if (!shift) field->anchor = position;
    field->scroll_to_caret = 1;
}

static void column_refresh(TextField* field) {
    field->wanted_column = field->caret - line_begin(field, field->caret);
}

// --- Layout -------------------------------------------------------------------------------------

static Font* field_font() { return g_theme.font ? g_theme.font : font_default(); }

static f32 line_height(const TextField* field) {
    if (field->line_height > 0.0f) return field->line_height;
    const Font* font = field_font();
    return (f32)((f64)g_theme.text_scale * font->size * font->line_height);
}

// Where line 0's box starts on screen before scrolling: the top of a multi-line field; a
// single-line field centres its one line.
static f32 text_top(const TextField* field) {
    if (field->single_line) return field->y + field->height / 2 + line_height(field) / 2;
    return field->y + field->height;
}

static f32 advance_of(const Font* font, u32 code_point) {
    u32 index = glyph_lookup(font, code_point);
    if (index >= (u32)font->glyphs.count) return 0.0f;
    return (f32)(font->glyphs.data[index].advance * (f64)g_theme.text_scale * font->size);
}

// The character boundary a press at (mx, my) means: the line under the mouse, and in it
// the boundary whose glyph midpoint the mouse has passed.
static i32 position_at(const TextField* field, f32 mx, f32 my) {
    f32 lh = line_height(field);
    f32 below_top = text_top(field) + field->scroll_y - my;
    i64 line = lh > 0.0f ? (i64)math_floor((f64)below_top / lh) : 0;
    if (line < 0) line = 0;
    if (line > field->lines.count - 1) line = field->lines.count - 1;
    i64 start = 0;
    for (i64 i = 0; i < line; i += 1) start += field->lines[i];
    i32 end = line_end(field, (i32)start);
    const Font* font = field_font();
    f32 pen = field->origin_x;
    for (i32 p = (i32)start; p < end;) {
        Utf8Char c = utf8_decode(Str{field->text.data + p, (i64)(end - p)});
        if (c.length <= 0 || p + c.length > end) return p;
        f32 w = advance_of(font, c.code_point);
        if (mx < pen + w / 2) return p;
        pen += w;
        p += (i32)c.length;
    }
    return end;
}

static f32 x_of(const TextField* field, i32 position) {
    return field->origin_x + (f32)text_line_width_before(text_field_text(field), position);
}

static f32 line_center_y(const TextField* field, i64 line) {
    f32 lh = line_height(field);
    return text_top(field) + field->scroll_y - lh / 2 - (f32)line * lh;
}

// Step 7: the caret on screen; then, when asked, the scroll target that shows it with
// "text_offset" of margin.
static void caret_place(TextField* field) {
    field->origin_x = field->x + g_theme.text_offset - field->scroll_x;
    i64 line = text_field_line_of(field, field->caret, 0);
    field->caret_x = x_of(field, field->caret);
    field->caret_y = line_center_y(field, line);
    if (!field->scroll_to_caret) return;
    field->scroll_to_caret = 0;
    f32 margin = g_theme.text_offset;
    f32 lh = line_height(field);
    // Positions as they will be once the scroll has reached its target.
    f32 cx = field->caret_x + field->scroll_x - field->target_x;
    f32 right = field->x + field->width - margin;
    if (cx > right) field->target_x += cx - right;
    if (cx < field->x + margin) field->target_x -= field->x + margin - cx;
    if (field->target_x < 0.0f) field->target_x = 0.0f;
    if (field->single_line) return;
    f32 cy = field->caret_y - field->scroll_y + field->target_y;
    if (cy + lh / 2 > field->y + field->height - margin)
        field->target_y -= cy + lh / 2 - (field->y + field->height - margin);
    if (cy - lh / 2 < field->y + margin) field->target_y += field->y + margin - (cy - lh / 2);
    if (field->target_y < 0.0f) field->target_y = 0.0f;
}

void text_field_set_caret(TextField* field, i64 position) {
    if (position < 0) position = 0;
    if (position > field->text.count) position = field->text.count;
    if (field->lines.count == 0) text_changed(field);
    caret_move(field, (i32)position, input_key_is_held(KEY_SHIFT));
    column_refresh(field);
    // A field not drawn yet has no rectangle to scroll in: its first frame does it.
    if (field->width > 0.0f && field->height > 0.0f) caret_place(field);
}

// --- Keyboard commands -------------------------------------------------------------------------

// The keypad's navigation keys, by code 85 + digit (0 and 5 have none).
static const i32 KEYPAD_NAVIGATION[10] = {0, KEY_END,   KEY_DOWN, KEY_PAGE_DOWN, KEY_LEFT,
                                          0, KEY_RIGHT, KEY_HOME, KEY_UP,        KEY_PAGE_UP};

// One key press (or auto-repeat) of the frame, with the modifiers held at it.
struct KeyReader {
    KeyPress press;
    bool keypad_navigates;  // num lock's state equals shift's: the keypad moves the caret
};

static bool typed(const KeyReader* keys, i32 code) {
    if (keys->press.code == code) return true;
    if (!keys->keypad_navigates) return false;
    for (i32 digit = 0; digit < 10; digit += 1)
        if (KEYPAD_NAVIGATION[digit] == code && keys->press.code == KEY_KEYPAD_0 + digit)
            return true;
    return false;
}

// The typed text up to `end` that is not in the field yet, in place of the selection.
static void typed_text_insert(TextField* field, Str text, i64* inserted, i64 end) {
    if (end > text.length) end = text.length;
    if (end <= *inserted) return;
    text_field_delete_selection(field);
    if (insert_at_caret(field, Str{text.data + *inserted, end - *inserted}) > 0)
        text_changed(field);
    *inserted = end;
    column_refresh(field);
}

// One press; false when it entered a single-line field, which takes nothing more.
static bool key_command(TextField* field, const KeyReader* keys) {
    bool shift = (keys->press.modifiers & MODIFIER_SHIFT) != 0;
    bool control = (keys->press.modifiers & MODIFIER_CONTROL) != 0;
    bool other = false;  // a command other than up and down ran
    i32 from, to;

    if (control && typed(keys, KEY_LETTER('a'))) {
        field->caret = text_length(field);
        field->anchor = 0;
        other = true;
    }
    if (control && typed(keys, KEY_LETTER('x'))) {
        if (field->caret != field->anchor) {
            clipboard_set(text_field_selection(field));
            text_field_delete_selection(field);
        }
        other = true;
    }
    if (control && typed(keys, KEY_LETTER('c'))) {
        // Copying nothing leaves the clipboard as it was.
        if (field->caret != field->anchor) clipboard_set(text_field_selection(field));
        other = true;
    }
    if (control && typed(keys, KEY_LETTER('v'))) {
        text_field_delete_selection(field);
        // The clipboard buffer is replaced by the next clipboard call; the text is copied
        // into the field before that can happen.
        if (insert_at_caret(field, clipboard_get()) > 0) text_changed(field);
        other = true;
    }
    if (typed(keys, KEY_RETURN) || typed(keys, KEY_KEYPAD_ENTER)) {
        if (field->single_line) {
            field->focused = 0;
            field->entered = 1;
            field->dragging = 0;
            return false;
        }
        text_field_delete_selection(field);
        if (insert_at_caret(field, STR("\n")) > 0) text_changed(field);
        other = true;
    }
    if (typed(keys, KEY_TAB)) {
        text_field_delete_selection(field);
        if (insert_at_caret(field, STR("\t")) > 0) text_changed(field);
        other = true;
    }
    if (typed(keys, KEY_BACKSPACE)) {
        selection_range(field, &from, &to);
        if (to > from)
            text_field_delete_selection(field);
        else if (field->caret > 0) {
            i32 start = control ? word_left(field, field->caret) : char_left(field, field->caret);
            remove_range(field, start, field->caret);
            text_changed(field);
        }
        other = true;
    }
    if (typed(keys, KEY_DELETE)) {
        selection_range(field, &from, &to);
        if (to > from)
            text_field_delete_selection(field);
        else if (field->caret < text_length(field)) {
            i32 end = control ? word_right(field, field->caret) : char_right(field, field->caret);
            remove_range(field, field->caret, end);
            text_changed(field);
        }
        other = true;
    }
    if (typed(keys, KEY_HOME)) {
        bool whole = control && !field->single_line;
        caret_move(field, whole ? 0 : line_begin(field, field->caret), shift);
        other = true;
    }
    if (typed(keys, KEY_END)) {
        bool whole = control && !field->single_line;
        caret_move(field, whole ? text_length(field) : line_end(field, field->caret), shift);
        other = true;
    }
    if (typed(keys, KEY_UP)) {
        caret_move(field, line_up(field, field->caret), shift);
    }
    if (typed(keys, KEY_DOWN)) {
        caret_move(field, line_down(field, field->caret), shift);
    }
    if (typed(keys, KEY_PAGE_UP)) {
        for (i32 i = 0; i < PAGE_LINES; i += 1)
            caret_move(field, line_up(field, field->caret), shift);
    }
    if (typed(keys, KEY_PAGE_DOWN)) {
        for (i32 i = 0; i < PAGE_LINES; i += 1)
            caret_move(field, line_down(field, field->caret), shift);
    }
    if (typed(keys, KEY_LEFT)) {
        selection_range(field, &from, &to);
        if (to > from && !shift)
            caret_move(field, from, false);
        else
            caret_move(field,
                       control ? word_left(field, field->caret) : char_left(field, field->caret),
                       shift);
        other = true;
    }
    if (typed(keys, KEY_RIGHT)) {
        selection_range(field, &from, &to);
        if (to > from && !shift)
            caret_move(field, to, false);
        else
            caret_move(field,
                       control ? word_right(field, field->caret) : char_right(field, field->caret),
                       shift);
        other = true;
    }
    // Up and down keep the column they started from; everything else sets it anew.
    if (other) column_refresh(field);
    return true;
}

// The frame's presses and typed text in the order they came: a slow frame may hold a word
// and the backspaces that corrected it.
static void commands(TextField* field) {
    Str text = input_text_typed();
    i64 inserted = 0;
    for (i64 i = 0; i < input_key_press_count(); i += 1) {
        KeyPress press = input_key_press(i);
        typed_text_insert(field, text, &inserted, press.text_offset);
        bool shift = (press.modifiers & MODIFIER_SHIFT) != 0;
        bool num_lock = (press.modifiers & MODIFIER_NUM_LOCK) != 0;
        KeyReader keys = {press, num_lock == shift};
        if (!key_command(field, &keys)) return;
    }
    typed_text_insert(field, text, &inserted, text.length);
}

// --- Mouse --------------------------------------------------------------------------------------

// A second press: the run of word (or non-word) bytes around the position, or at a line's
// end the line from its start.
static void select_word(TextField* field, i32 position) {
    i32 length = text_length(field);
    if (position >= length || field->text[position] == '\n') {
        field->anchor = line_begin(field, position);
        field->caret = position;
        return;
    }
    bool word = is_word_byte(field->text[position]);
    i32 start = position, end = position;
    while (start > 0 && is_word_byte(field->text[start - 1]) == word) start -= 1;
    while (end < length && is_word_byte(field->text[end]) == word) end += 1;
    field->anchor = start;
    field->caret = end;
}

static void mouse(TextField* field, bool hovered) {
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    if (hovered && input_mouse_is_pressed(MOUSE_LEFT)) {
        i32 position = position_at(field, mx, my);
        f32 near = line_height(field) / 16;
        bool again = field->click_timer > 0.0f && math_abs((f64)(mx - field->press_x)) <= near &&
                     math_abs((f64)(my - field->press_y)) <= near;
        if (again) {
            select_word(field, position);
            field->click_timer = 0.0f;  // a third press places the caret again
            field->dragging = 0;
        } else if (input_key_is_held(KEY_SHIFT)) {
            field->caret = position;
        } else {
            field->caret = field->anchor = position;
            field->dragging = 1;
            field->click_timer = g_theme.double_click_time;
        }
        field->press_x = mx;
        field->press_y = my;
        field->scroll_to_caret = 1;
        column_refresh(field);
    } else if (field->dragging && input_mouse_is_held(MOUSE_LEFT)) {
        i32 position = position_at(field, mx, my);
        if (position != field->caret) {
            field->caret = position;
            field->scroll_to_caret = 1;
            column_refresh(field);
        }
    }
    if (input_mouse_is_released(MOUSE_LEFT)) field->dragging = 0;
}

// --- The frame's call and drawing ------------------------------------------------------------

static void draw_caret(const TextField* field, f32 x, f32 center_y, f32 alpha, const f32* clip) {
    f32 color[4] = {g_theme.cursor_color[0], g_theme.cursor_color[1], g_theme.cursor_color[2],
                    alpha};
    f32 w = g_theme.cursor_width, lh = line_height(field);
    draw_rect_clipped(g_textures.ids[TEXTURE_WHITE], color, x - w / 2, center_y - lh / 2, w, lh,
                      clip, UV_FULL);
}

static void draw_field(TextField* field, bool hovered) {
    const f32 clip[4] = {field->x, field->y, field->width, field->height};
    u32 white = g_textures.ids[TEXTURE_WHITE];
    const f32* background = field->refused ? g_theme.error_color : g_theme.color;
    draw_rect(white, background, field->x, field->y, field->width, field->height, 0, 0);

    // Only the lines inside the field are laid out, one text run each.
    f32 lh = line_height(field);
    i64 first = lh > 0.0f ? (i64)math_floor((f64)(text_top(field) + field->scroll_y -
                                                  (field->y + field->height)) / lh)
                          : 0;
    if (first < 0) first = 0;
    i64 visible = lh > 0.0f ? (i64)(field->height / lh) + 2 : field->lines.count;
    Font* font = field_font();
    i32 from, to;
    selection_range(field, &from, &to);
    i64 start = 0;
    for (i64 line = 0; line < field->lines.count && line < first + visible; line += 1) {
        i64 length = field->lines[line];
        if (line >= first) {
            i32 end = line_end(field, (i32)start);
            f32 cy = line_center_y(field, line);
            Str text = {field->text.data + start, end - start};
            draw_string_clipped(font, g_theme.text_color, clip, text, field->origin_x, cy,
                                g_theme.text_scale, g_theme.text_scale);
            if (to > from && from <= end && to > start) {
                i32 a = from > start ? from : (i32)start;
                i32 b = to < end ? to : end;
                f32 ax = x_of(field, a), bx = x_of(field, b);
                draw_rect_clipped(white, g_theme.selection_color, ax, cy - lh / 2, bx - ax, lh,
                                  clip, UV_FULL);
            }
        }
        start += length;
    }

    if (field->focused) {
        f32 alpha = 0.5f + 0.5f * (f32)math_cos((f64)field->blink_phase);
        draw_caret(field, field->caret_x, field->caret_y, alpha, clip);
    }
    field->blink_phase += TWO_PI * (f32)g_ui.frame_seconds;
    if (field->blink_phase >= TWO_PI)
        field->blink_phase = (f32)math_mod(field->blink_phase, TWO_PI);
    if (hovered && !input_mouse_is_held(MOUSE_LEFT)) {
        i32 under = position_at(field, g_ui.mouse_x, g_ui.mouse_y);
        i64 line = text_field_line_of(field, under, 0);
        draw_caret(field, x_of(field, under), line_center_y(field, line), 0.5f, clip);
    }
    draw_button_overlay(hovered ? BUTTON_HOVERED : BUTTON_IDLE,
                        Rect{field->x, field->y, field->width, field->height});
}

void text_field(TextField* field, Rect rect) {
    field->x = rect.x;
    field->y = rect.y;
    field->width = rect.width;
    field->height = rect.height;
    field->entered = 0;
    field->changed = 0;
    if (field->lines.count == 0) {
        text_changed(field);  // a fresh record: build its line table
        field->changed = 0;
    }
    if (field->caret > text_length(field)) field->caret = text_length(field);
    if (field->anchor > text_length(field)) field->anchor = text_length(field);

    // 1. Scrolling, smoothly towards the target unless the theme says otherwise.
    if (g_theme.smooth_scrolling) {
        f32 step = 20.0f * (f32)g_ui.frame_seconds;
        if (step > 1.0f) step = 1.0f;  // a long frame must not overshoot
        field->scroll_x += (field->target_x - field->scroll_x) * step;
        field->scroll_y += (field->target_y - field->scroll_y) * step;
    } else {
        field->scroll_x = field->target_x;
        field->scroll_y = field->target_y;
    }
    field->origin_x = field->x + g_theme.text_offset - field->scroll_x;

    // 2-3. Hover, focus, and the keyboard held away from the editor.
    bool hovered = interaction_allowed() && rect_contains(rect, g_ui.mouse_x, g_ui.mouse_y);
    if (input_mouse_is_pressed(MOUSE_LEFT)) {
        field->focused = hovered ? 1 : 0;
        if (!hovered) field->dragging = 0;
    }
    if (field->focused) g_ui.keyboard_taken += 1;

    // 4. The wheel scrolls a multi-line field, never above its first line nor past its last.
    i32 wheel = input_mouse_wheel();
    if (hovered && !field->single_line && wheel != 0) {
        f32 content = (f32)field->lines.count * line_height(field);
        f32 bottom = content - field->height;
        f32 target = field->target_y - (f32)wheel * WHEEL_STEP;
        if (target > bottom) target = bottom;
        if (target < 0.0f) target = 0.0f;
        field->target_y = target;
    }

    // 5. Keyboard (alt combinations belong to the platform).
    if (field->focused && interaction_keyboard_allowed() && !input_key_is_typed(KEY_ALT) &&
        (input_text_typed().length > 0 || input_key_is_typed(KEY_ANY))) {
        field->blink_phase = 0.0f;
        commands(field);
    }

    // 6. Mouse.
    if (field->focused) mouse(field, hovered);
    field->click_timer -= (f32)g_ui.frame_seconds;
    if (field->click_timer < 0.0f) field->click_timer = 0.0f;

    // 7-8. Caret on screen, then drawing.
    caret_place(field);
    draw_field(field, hovered);
}
