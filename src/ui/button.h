// Immediate-mode widgets: the shared hit test, icon and text buttons, toggles, the menu
// bar's toolbar buttons and the vertical scroll bar. Each is called once per frame with its
// rectangle and a state record the caller keeps; it reads the mouse and the input gate,
// draws itself and leaves its outcome in the record for the same frame. Main thread only.
#pragma once

#include "base/types.h"

// Interface pixels, (x, y) the lower-left corner, y upward.
struct Rect {
    f32 x, y, width, height;
};

enum ButtonLook : u8 { BUTTON_IDLE = 0, BUTTON_HOVERED = 1, BUTTON_PRESSED = 2 };

struct ButtonState {
    u8 state;    // ButtonLook of this frame
    u8 active;   // the button went down inside and has not come up yet
    u8 clicked;  // came up inside this frame
    u8 on;       // toggles: the value
    u8 changed;  // toggles: the value flipped this frame
};

struct ScrollBarState {
    u8 dragging;
    f32 position;          // 0..1; 0 puts the thumb at the bottom of the track
    f32 visible_fraction;  // the part of the content that fits; at 1 or more no bar
    f32 min_thumb_length;
    f32 drag_start_position;
    f32 drag_start_mouse_y;
};

// Where the next toolbar button goes along the top edge of the window.
struct ToolbarCursor {
    f32 size;
    f32 x;
};

bool rect_contains(Rect rect, f32 x, f32 y);  // left and bottom inclusive

// Reads the mouse for one widget: hover, press inside, click on release inside. A press
// that began elsewhere and ends inside also clicks; the button's own press survives a
// drag outside (pressed look, no click).
void button_hit_test(ButtonState* button, Rect rect);
// Hovered: "hover_color" over the rectangle; pressed: "pressed_color"; else nothing.
void draw_button_overlay(u8 state, Rect rect);

void icon_button(ButtonState* button, Rect rect, u32 texture, const f32* icon_color);
void text_button(ButtonState* button, Rect rect, Str label);
// A check box: `on` flips when clicked, and `changed` says so for this frame.
void toggle(ButtonState* button, Rect rect);

// Toolbar buttons are squares of the cursor's size along the top edge of the window; each
// moves the cursor right by its size and returns the square it took.
Rect toolbar_button(ButtonState* button, ToolbarCursor* cursor, u32 texture, const f32* color);
// Shows `texture_when_set` instead of `texture` while `flag` holds (play and pause).
Rect toolbar_button_switch(ButtonState* button, ToolbarCursor* cursor, u32 texture,
                           u32 texture_when_set, bool flag, const f32* color);
// A toolbar button of a group of choices; the selected one is marked in "selection_color".
Rect toolbar_choice(ButtonState* button, ToolbarCursor* cursor, u32 texture, const f32* color,
                    bool selected);

// A vertical scroll bar filling the rectangle: the thumb can be dragged, and the position
// stays within 0..1 whatever the mouse does.
void scroll_bar(ScrollBarState* bar, Rect rect);
