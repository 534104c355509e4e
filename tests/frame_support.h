// Helpers for the tests of the interface: the whole program started on the headless back
// end, whole frames with the mouse given in interface pixels (y upward), single widget
// frames, and readers of the recorded draws.
#pragma once

#include <math.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/frame.h"
#include "app/frame_question.h"
#include "editor/editor.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "model/piece.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "test_support.h"
#include "ui/interaction.h"
#include "ui/panels.h"

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
        if (same_color(((const Vertex*)draw->vertex_bytes)->color, color)) found.push_back(draw);
    }
    return found;
}

// How many draws since the last headless_draws_clear used the texture of a slot.
inline i64 draws_with_texture(i32 slot) {
    i64 count = 0;
    for (i64 d = 0; d < headless_draw_count(); d += 1)
        if (headless_draw(d)->texture == g_textures.ids[slot]) count += 1;
    return count;
}

// The draw's text when it is a run of the interface font, else empty: each quad's glyph
// found by its place on the font page, and a space wherever the next glyph starts further
// than the previous one's advance takes the pen.
inline std::string drawn_text(const HeadlessDraw* draw) {
    const Font* font = font_default();
    std::string text;
    if (!font || draw->texture != font->page_texture) return text;
    const Vertex* v = (const Vertex*)draw->vertex_bytes;
    i64 count = draw->vertex_byte_count / (i64)sizeof(Vertex);
    f64 next_pen = 0, scale = 0;
    for (i64 q = 0; q + 3 < count; q += 4) {
        f32 u = fminf(v[q].uv[0], v[q + 2].uv[0]), w = fminf(v[q].uv[1], v[q + 2].uv[1]);
        f32 left = fminf(v[q].position[0], v[q + 2].position[0]);
        const Glyph* g = nullptr;
        char found = '?';
        for (u32 c = 33; c < 127 && !g; c += 1) {
            const Glyph* candidate = &font->glyphs.data[font->map.ascii[c]];
            if (font->map.ascii[c] && u >= (f32)candidate->u - 1e-5f &&
                u < (f32)(candidate->u + candidate->width) && w >= (f32)candidate->v - 1e-5f &&
                w < (f32)(candidate->v + candidate->height))
                g = candidate, found = (char)c;
        }
        if (q > 0 && g && left + scale * g->x_offset - next_pen > 0.5 * scale * font->space_advance)
            text += ' ';
        text += found;
        if (!g) continue;
        scale = fabs(v[q + 2].position[0] - v[q].position[0]) / g->width;
        next_pen = left + scale * (g->x_offset + g->advance);
    }
    return text;
}

// The drawing parts without the program: pools, a fresh headless machine and a block for
// decoding images; with `renderer` the shipped shaders too (from the data folder).
template <bool renderer = false>
struct GraphicsTestOf : ::testing::Test {
    ScopedPools pools;
    void* image_memory = nullptr;
    void SetUp() override {
        headless_reset();
        app_state_reset();
        image_memory = malloc(64 << 20);
        image_set_buffer(64 << 20, image_memory);
        image_set_flip(true);  // as the program reads images
        if (renderer) renderer_load();
    }
    void TearDown() override {
        if (renderer) renderer_release();
        textures_destroy();
        image_set_buffer(0, nullptr);
        free(image_memory);
    }
};
using GraphicsTest = GraphicsTestOf<false>;
using RendererTest = GraphicsTestOf<true>;

// The whole program started and stopped around each test.
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

    // A key tapped for one frame; with a modifier held around it.
    void tap(i32 code) {
        headless_key_tap(code);
        frames();
    }
    void tap_with(i32 modifier, i32 code) {
        headless_key_down(modifier);
        tap(code);
        headless_key_up(modifier);
        frames();
    }
    void control_key(char letter) { tap_with(KEY_CONTROL, KEY_LETTER(letter)); }
    // Clicks into the field at (x, y), selects all of it and types the text over it.
    void type_over_at(f32 x, f32 y, const char* text) {
        click_at(x, y);
        control_key('a');
        headless_type_text(str_from_cstring(text));
        frames();
    }

    // Draws one frame and finds the `nth` text run that reads `label` (spaces ignored):
    // its box (x, y, width, height), false when none reads so.
    bool label_box(const char* label, f32 box[4], i32 nth = 0) {
        auto squeezed = [](std::string text) {
            std::erase(text, ' ');
            return text;
        };
        headless_draws_clear();
        frames();
        for (i64 i = 0; i < headless_draw_count(); i += 1) {
            if (squeezed(drawn_text(headless_draw(i))) != squeezed(label) || nth-- > 0) continue;
            draw_bounds(headless_draw(i), box);
            return true;
        }
        return false;
    }
    // Clicks the centre of that text run.
    bool click_label(const char* label, i32 nth = 0) {
        f32 box[4];
        if (!label_box(label, box, nth)) return false;
        click_at(box[0] + box[2] / 2, box[1] + box[3] / 2);
        return true;
    }

    // An open question's answers by their labels, then one frame for it to go.
    void answer(const char* label) {
        ASSERT_TRUE(click_label(label)) << label;
        frames();
    }
    static SaveQuestion* question() {
        Panel* panel = panel_of_kind(PANEL_QUESTION);
        return panel ? (SaveQuestion*)panel->content : nullptr;
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

    // The first open panel of a kind, null when none is open; how many are open.
    static Panel* panel_of_kind(u8 kind) {
        for (i64 i = 0; i < g_panels.panels.count; i += 1)
            if (g_panels.panels[i].kind == kind) return &g_panels.panels[i];
        return nullptr;
    }
    static i64 panels_of_kind(u8 kind) {
        i64 count = 0;
        for (i64 i = 0; i < g_panels.panels.count; i += 1) count += g_panels.panels[i].kind == kind;
        return count;
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

// Fields drawn in the error colour in one more frame.
inline size_t marked_fields() {
    headless_draws_clear();
    app_frame();
    return draws_in_color(g_theme.error_color).size();
}

// The draws recorded since the last headless_draws_clear as text, one line per draw: the
// program, the texture slot, the clip, the first vertex's colour, the bounding box and the
// number of quads, and for a run of the interface font the text it reads. With `each_quad`,
// every quad follows on a line of its own: its corners and their texture coordinates.
inline std::string draw_list_text(bool each_quad = false) {
    std::string out;
    char line[512];
    const Font* font = font_default();
    for (i64 i = 0; i < headless_draw_count(); i += 1) {
        const HeadlessDraw* draw = headless_draw(i);
        const char* program = draw->program == g_program_simple.id  ? "simple"
                              : draw->program == g_program_color.id ? "color"
                              : draw->program == g_program_gamma.id ? "gamma"
                                                                    : "other";
        std::string texture = font && draw->texture == font->page_texture ? "font" : "?";
        for (i32 slot = 0; slot < TEXTURE_SLOT_COUNT; slot += 1)
            if (g_textures.ids[slot] == draw->texture) texture = std::to_string(slot);
        f32 color[4] = {}, box[4];
        if (draw->vertex_byte_count >= (i64)sizeof(Vertex))
            memcpy(color, ((const Vertex*)draw->vertex_bytes)->color, sizeof(color));
        draw_bounds(draw, box);
        i64 quads = draw->vertex_byte_count / (i64)sizeof(Vertex) / 4;
        snprintf(line, sizeof(line),
                 "%s tex %s rgba %.4g %.4g %.4g %.4g box %.6g %.6g %.6g %.6g x%lld", program,
                 texture.c_str(), color[0], color[1], color[2], color[3], box[0], box[1], box[2],
                 box[3], (long long)quads);
        out += line;
        if (draw->scissor) {
            snprintf(line, sizeof(line), " clip %d %d %d %d", draw->scissor_rect[0],
                     draw->scissor_rect[1], draw->scissor_rect[2], draw->scissor_rect[3]);
            out += line;
        }
        std::string text = drawn_text(draw);
        if (!text.empty()) out += " \"" + text + "\"";
        out += "\n";
        const Vertex* v = (const Vertex*)draw->vertex_bytes;
        for (i64 q = 0; each_quad && q < quads; q += 1) {
            out += " ";
            for (i64 k = 4 * q; k < 4 * q + 4; k += 1) {
                snprintf(line, sizeof(line), " %.6g,%.6g uv %.6g,%.6g", v[k].position[0],
                         v[k].position[1], v[k].uv[0], v[k].uv[1]);
                out += line;
            }
            out += "\n";
        }
    }
    return out;
}

// Compares the draws of one more frame (or of `body` when given) with the stored list in
// tests/data/NAME.txt. After a deliberate change of the look, run the tests once with
// SORVANE_UPDATE_SNAPSHOTS=1 to rewrite the stored lists, and review their diff.
inline void expect_draws_match(const char* name, const std::function<void()>& body = nullptr,
                               bool each_quad = false) {
    headless_draws_clear();
    if (body) body();
    else app_frame();
    std::string drawn = draw_list_text(each_quad);
    std::string path = std::string(SORVANE_SOURCE_DIR) + "/tests/data/" + name + ".txt";
    const char* update = getenv("SORVANE_UPDATE_SNAPSHOTS");
    if (update && update[0] == '1') {
        EXPECT_TRUE(write_text(path, drawn)) << path;
        return;
    }
    std::string stored = file_text(path);
    EXPECT_FALSE(stored.empty()) << path << " is missing: run with SORVANE_UPDATE_SNAPSHOTS=1";
    EXPECT_EQ(drawn, stored) << "the draws differ from " << path;
}
