// Helpers for the tests of the interface: the whole program started on the headless back
// end, whole frames with the mouse given in interface pixels (y upward), single widget
// frames, and readers of the recorded draws.
#pragma once

#include <functional>
#include <vector>

#include "app/app.h"
#include "app/frame.h"
#include "editor/editor.h"
#include "gfx/renderer.h"
#include "gfx/theme.h"
#include "model/piece.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "test_support.h"
#include "ui/interaction.h"
#include "ui/panels.h"

struct InterfaceTest : ::testing::Test {
    void SetUp() override {
        headless_reset();
        app_state_reset();
        ASSERT_TRUE(app_startup());
    }
    void TearDown() override { app_shutdown(); }

    f32 width() const { return (f32)g_window.width; }
    f32 height() const { return (f32)g_window.height; }

    // The mouse for the next frame, in interface pixels.
    void mouse_to(f32 x, f32 y) { headless_mouse_move(x, height() - y); }
    void frames(i32 count = 1) {
        for (i32 i = 0; i < count; i += 1) app_frame();
    }
    // Moves there, then one frame with the button going down, then one with it coming up.
    void click_at(f32 x, f32 y) {
        mouse_to(x, y);
        frames();
        headless_mouse_down(MOUSE_LEFT);
        frames();
        headless_mouse_up(MOUSE_LEFT);
        frames();
    }
    // Presses at (x0, y0), moves to (x1, y1) in `steps` frames, releases there.
    void drag(f32 x0, f32 y0, f32 x1, f32 y1, i32 steps = 4) {
        mouse_to(x0, y0);
        frames();
        headless_mouse_down(MOUSE_LEFT);
        frames();
        for (i32 i = 1; i <= steps; i += 1) {
            mouse_to(x0 + (x1 - x0) * (f32)i / (f32)steps, y0 + (y1 - y0) * (f32)i / (f32)steps);
            frames();
        }
        headless_mouse_up(MOUSE_LEFT);
        frames();
    }

    // Where the bar drew a menu button, in interface pixels; one frame runs first when the
    // bar was last drawn for the other mode (or not at all), since the mode changes the
    // layout.
    Rect menu_rect(i32 button) {
        bool drawn_in_place_mode = g_frame.menu_rects[MENU_KIND_FIRST].width > 0;
        if (drawn_in_place_mode != (g_editor.place_mode != 0) ||
            !(g_frame.menu_rects[MENU_NEW].width > 0))
            frames();
        return g_frame.menu_rects[button];
    }
    f32 menu_x(i32 button) { return menu_rect(button).x + menu_rect(button).width / 2; }
    f32 menu_y(i32 button) { return menu_rect(button).y + menu_rect(button).height / 2; }
    void click_menu(i32 button) { click_at(menu_x(button), menu_y(button)); }

    // The first open panel of a kind, null when none is open.
    static Panel* panel_of_kind(u8 kind) {
        for (i64 i = 0; i < g_panels.panels.count; i += 1)
            if (g_panels.panels[i].kind == kind) return &g_panels.panels[i];
        return nullptr;
    }

    // One frame of a single widget outside the main loop: input as the main loop reads it,
    // the input gate given, then the widget's call.
    void widget_frame(const std::function<void()>& body, bool gate_open = true) {
        pool_empty(POOL_TMP);
        input_poll();
        f32 x = 0, y = 0;
        input_mouse_position(&x, &y);
        g_ui.mouse_x = x;
        g_ui.mouse_y = height() - y;
        g_ui.keyboard_taken = 0;
        g_mesh.pixel_snap = 1.0;
        interaction_push(gate_open);
        body();
        interaction_pop();
    }
};

// The colour of the first vertex of a recorded draw.
inline void draw_color(const HeadlessDraw* draw, f32 color[4]) {
    const Vertex* vertex = (const Vertex*)draw->vertex_bytes;
    for (i32 i = 0; i < 4; i += 1) color[i] = vertex->color[i];
}

inline bool same_color(const f32* a, const f32* b) {
    for (i32 i = 0; i < 4; i += 1)
        if (a[i] != b[i]) return false;
    return true;
}

// The bounding box (x, y, width, height) of a recorded draw's vertices.
inline void draw_bounds(const HeadlessDraw* draw, f32 box[4]) {
    const Vertex* vertices = (const Vertex*)draw->vertex_bytes;
    i64 count = draw->vertex_byte_count / (i64)sizeof(Vertex);
    f32 x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
    for (i64 i = 0; i < count; i += 1) {
        f32 x = vertices[i].position[0], y = vertices[i].position[1];
        if (x < x0) x0 = x;
        if (y < y0) y0 = y;
        if (x > x1) x1 = x;
        if (y > y1) y1 = y;
    }
    box[0] = x0;
    box[1] = y0;
    box[2] = x1 - x0;
    box[3] = y1 - y0;
}

// Draws recorded since the last headless_draws_clear() whose first vertex has the colour.
inline std::vector<const HeadlessDraw*> draws_in_color(const f32* color) {
    std::vector<const HeadlessDraw*> found;
    for (i64 i = 0; i < headless_draw_count(); i += 1) {
        const HeadlessDraw* draw = headless_draw(i);
        if (draw->vertex_byte_count < (i64)sizeof(Vertex)) continue;
        f32 c[4];
        draw_color(draw, c);
        if (same_color(c, color)) found.push_back(draw);
    }
    return found;
}

// Fields drawn in the error colour in one more frame.
inline size_t marked_fields() {
    headless_draws_clear();
    app_frame();
    return draws_in_color(g_theme.error_color).size();
}
