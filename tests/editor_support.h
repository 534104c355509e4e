// Helpers of the canvas and editor tests: the program's fixture driven with the mouse at
// canvas positions, and the rectangles that recorded draw calls covered.
#pragma once

#include <vector>

#include "editor/score_view.h"
#include "frame_support.h"
#include "piece_support.h"

// The program with one frame drawn, driven at canvas positions under the current camera.
struct ProgramTest : InterfaceTest {
    void SetUp() override {
        InterfaceTest::SetUp();
        app_frame();
    }
    void letter(char c) { tap(KEY_LETTER(c)); }
    static NoteObject* note(Fraction time, Fraction duration, Fraction pitch, u8 selected = 0,
                            i64 group = 0) {
        NoteObject record = {};
        record.header = header_make(OBJECT_NOTE, g_piece.next_object_id++, group, SCOPE_GLOBAL,
                                    time, duration, pitch);
        record.header.selected = selected;
        return array_push(&g_piece.notes, record);
    }

    // Moves the mouse to a canvas point. Runs a frame, because the canvas's input gate is
    // decided from the previous frame's mouse.
    static void canvas_to(f32 x, f32 y) {
        f32 aspect = (f32)g_window.width / (f32)g_window.height;
        f32 nx = (x - g_camera.pan_x) / (aspect * g_camera.zoom);
        f32 ny = (y - g_camera.pan_y) / g_camera.zoom;
        f32 window_x = (nx + 1.0f) / 2.0f * (f32)g_window.width;
        f32 window_y = (f32)g_window.height - (ny + 1.0f) / 2.0f * (f32)g_window.height;
        headless_mouse_move(window_x, window_y);
        app_frame();
    }
    static void click() {
        headless_mouse_click(MOUSE_LEFT);
        app_frame();
    }
    static void canvas_click_at(f32 x, f32 y) {
        canvas_to(x, y);
        click();
    }
    static void canvas_control_click_at(f32 x, f32 y) {
        canvas_to(x, y);
        headless_key_down(KEY_CONTROL);
        click();
        headless_key_up(KEY_CONTROL);
        app_frame();
    }
};

// A single-quad draw (a rectangle) read back as its edges.
struct DrawnQuad {
    f32 left, bottom, right, top;
};

// The rectangles drawn since the last headless_draws_clear in the colour, optionally with
// the texture of a slot.
inline std::vector<DrawnQuad> rects_in(const f32* color, i32 slot = -1) {
    std::vector<DrawnQuad> found;
    for (const HeadlessDraw* draw : draws_in_color(color)) {
        if (draw->vertex_byte_count != 4 * (i64)sizeof(Vertex)) continue;
        if (slot >= 0 && draw->texture != g_textures.ids[slot]) continue;
        f32 box[4];
        draw_bounds(draw, box);
        found.push_back(DrawnQuad{box[0], box[1], box[0] + box[2], box[1] + box[3]});
    }
    return found;
}
