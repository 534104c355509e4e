// The text field, the one editable-text widget: single- or multi-line UTF-8 text with a
// caret, a selection, the clipboard, word moves and smooth scrolling. The caller keeps the
// TextField record across frames and calls text_field() once per frame; while it has the
// focus it raises keyboard_taken so that the editor's single-key commands stay quiet.
// Main thread only.
#pragma once

#include "base/pool.h"
#include "ui/button.h"

// The most text one field holds. Typing, pasting and text_field_set_text stop here (at a
// character boundary), so byte positions always fit the 32-bit caret and anchor and one
// field cannot eat the main pool. The clipboard brings at most as much.
static const i64 TEXT_FIELD_MAX_BYTES = 1 << 20;

struct TextField {
    u8 single_line;  // set by the caller: Return ends editing, newlines are removed
    u8 focused;      // set in the frame the mouse goes down, to whether it was inside
    u8 entered;      // this frame: Return ended the editing of a single-line field
    u8 changed;      // this frame: the text changed (panels adopt the text then)
    // Set by the caller when it refuses the value typed: the field is drawn in the error
    // colour until its text changes.
    u8 refused;
    // The text, UTF-8, newlines as byte 10. A zeroed record is an empty field in POOL_MAIN.
    PoolArray<u8> text;
    f32 x, y, width, height;  // refreshed from the argument every frame
    f32 blink_phase;          // radians
    i32 caret, anchor;        // byte positions; the selection lies between them
    i32 wanted_column;        // bytes from the line start, kept by up and down
    u8 scroll_to_caret;
    f32 caret_x, caret_y;  // on screen, the caret's line centre
    f32 origin_x;          // where the text's lines start on screen
    f32 line_height;       // the caller's; 0 takes the theme font's line height
    f32 scroll_x, scroll_y;
    f32 target_x, target_y;
    // Length of every line in bytes, its newline included; the last line (after the last
    // newline, possibly empty) is always there. 32-bit: a line may be as long as the text.
    PoolArray<i32> lines;
    u8 dragging;        // the caret follows the mouse until the button comes up
    f32 click_timer;    // seconds left for a second press to select a word
    f32 press_x, press_y;  // where the last press was
};

// Handles this frame's input and draws the field in the rectangle.
void text_field(TextField* field, Rect rect);
// Replaces the whole text (cut to TEXT_FIELD_MAX_BYTES), caret and anchor at its end.
void text_field_set_text(TextField* field, Str text);
// Puts the caret at a byte position (the anchor follows unless shift is held) and scrolls
// so that it is visible.
void text_field_set_caret(TextField* field, i64 position);
void text_field_delete_selection(TextField* field);
Str text_field_selection(const TextField* field);  // the selected bytes, in text order
Str text_field_text(const TextField* field);
// Which line holds a byte position, and where that line starts.
i64 text_field_line_of(const TextField* field, i64 position, i64* line_start);
