// Helpers of the canvas and editor tests: the whole program started on the headless back
// end, frames driven with scripted keys and mouse at canvas positions, and the rectangles
// that recorded draw calls covered.
#pragma once

#include <algorithm>
#include <vector>

#include "app/app.h"
#include "editor/editor.h"
#include "editor/score_view.h"
#include "gfx/renderer.h"
#include "gfx/textures.h"
#include "piece_support.h"
#include "platform/headless.h"
#include "test_support.h"

// The program started and stopped around each test; every frame is a whole main-loop
// iteration (panels, editor, frame).
struct ProgramTest : testing::Test {
    void SetUp() override {
        headless_reset();
        app_state_reset();
        ASSERT_TRUE(app_startup());
        app_frame();
    }
    void TearDown() override { app_shutdown(); }

    static void frames(i32 count) {
        for (i32 i = 0; i < count; i += 1) app_frame();
    }
    static void tap(i32 code) {
        headless_key_tap(code);
        app_frame();
    }
    // The key tapped while the modifier is held, the modifier released afterwards.
    static void tap_with(i32 modifier, i32 code) {
        headless_key_down(modifier);
        headless_key_tap(code);
        app_frame();
        headless_key_up(modifier);
        app_frame();
    }
    static void letter(char c) { tap(KEY_LETTER(c)); }

    // Moves the mouse to a canvas point under the current camera. Runs a frame, because
    // the canvas's input gate is decided from the previous frame's mouse.
    static void mouse_to(f32 x, f32 y) {
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
    static void click_at(f32 x, f32 y) {
        mouse_to(x, y);
        click();
    }
    static void control_click_at(f32 x, f32 y) {
        mouse_to(x, y);
        headless_key_down(KEY_CONTROL);
        click();
        headless_key_up(KEY_CONTROL);
        app_frame();
    }
};

inline bool same(Fraction a, Fraction b) {
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

// A recorded draw call read back as the quads it drew.
struct DrawnQuad {
    u32 texture;
    f32 color[4];
    f32 left, bottom, right, top;
    f32 center_x() const { return (left + right) / 2.0f; }
    f32 center_y() const { return (bottom + top) / 2.0f; }
    f32 width() const { return right - left; }
    f32 height() const { return top - bottom; }
};

struct DrawnCall {
    u32 texture;
    std::vector<DrawnQuad> quads;
};

// Every draw call since the last headless_draws_clear, each with its quads.
inline std::vector<DrawnCall> drawn_calls() {
    std::vector<DrawnCall> calls;
    for (i64 d = 0; d < headless_draw_count(); d += 1) {
        const HeadlessDraw* draw = headless_draw(d);
        const Vertex* vertices = (const Vertex*)draw->vertex_bytes;
        i64 count = draw->vertex_byte_count / (i64)sizeof(Vertex);
        DrawnCall call = {draw->texture, {}};
        for (i64 q = 0; q + 3 < count; q += 4) {
            DrawnQuad quad = {draw->texture, {}, 1e30f, 1e30f, -1e30f, -1e30f};
            for (i32 c = 0; c < 4; c += 1) quad.color[c] = vertices[q].color[c];
            for (i64 v = q; v < q + 4; v += 1) {
                quad.left = std::min(quad.left, vertices[v].position[0]);
                quad.right = std::max(quad.right, vertices[v].position[0]);
                quad.bottom = std::min(quad.bottom, vertices[v].position[1]);
                quad.top = std::max(quad.top, vertices[v].position[1]);
            }
            call.quads.push_back(quad);
        }
        calls.push_back(call);
    }
    return calls;
}

inline bool color_is(const f32* drawn, const f32* wanted) {
    for (i32 c = 0; c < 4; c += 1)
        if (drawn[c] != wanted[c]) return false;
    return true;
}

// The single-quad draws (rectangles) in the colour, optionally with a texture slot.
inline std::vector<DrawnQuad> rects_in(const f32* color, i32 slot = -1) {
    std::vector<DrawnQuad> found;
    for (const DrawnCall& call : drawn_calls()) {
        if (call.quads.size() != 1) continue;
        if (slot >= 0 && call.texture != g_textures.ids[slot]) continue;
        if (color_is(call.quads[0].color, color)) found.push_back(call.quads[0]);
    }
    return found;
}

inline i64 draws_with_texture(i32 slot) {
    i64 count = 0;
    for (i64 d = 0; d < headless_draw_count(); d += 1)
        if (headless_draw(d)->texture == g_textures.ids[slot]) count += 1;
    return count;
}
