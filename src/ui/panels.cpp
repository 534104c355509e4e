// The window manager: the panel list in stacking order, hit testing against higher panels,
// the per-frame input step (resizing by eight handles, moving by the title bar, raising,
// collapsing, closing) and the drawing of every panel with its content clipped to it.
// Panels are stored by value and move when one is raised or removed, so nothing keeps a
// Panel pointer across a change of the list; content records live apart in POOL_MAIN.
// Main thread only.
#include "ui/panels.h"

#include <string.h>

#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "platform/system.h"
#include "ui/interaction.h"

PanelList g_panels;
PanelKindEntry g_panel_kinds[PANEL_KIND_COUNT];

void panel_content_init(Panel* panel) {
    panel->min_width = 200;
    panel->min_height = 200;
    panel_update_handles(panel);
    if (panel->content || panel->kind >= PANEL_KIND_COUNT) return;
    if (g_panel_kinds[panel->kind].create) panel->content = g_panel_kinds[panel->kind].create(panel->kind);
}

void panels_reset() {
    memset(&g_panels, 0, sizeof(g_panels));
    array_init(&g_panels.panels, POOL_MAIN);
    g_panels.hover_index = -1;
}

void panel_update_handles(Panel* panel) {
    f32 x = panel->x, y = panel->y, w = panel->width, h = panel->height;
    const f32 xs[HANDLE_COUNT] = {x, x + w, x, x + w, x, x + w, x + w / 2, x + w / 2};
    const f32 ys[HANDLE_COUNT] = {y, y, y + h, y + h, y + h / 2, y + h / 2, y, y + h};
    for (i32 i = 0; i < HANDLE_COUNT; i += 1) {
        panel->handle_x[i] = xs[i];
        panel->handle_y[i] = ys[i];
    }
}

Panel* panel_create(u8 kind, Str title, f32 x, f32 y, f32 width, f32 height, void* content) {
    Panel panel;
    memset(&panel, 0, sizeof(panel));
    panel.kind = kind;
    panel.title = str_copy(POOL_MAIN, title);
    panel.x = x;
    panel.y = y;
    panel.width = width;
    panel.height = height;
    panel.min_width = 200;
    panel.min_height = 200;
    panel.content = content;
    panel.id = g_panels.next_id;
    panel_update_handles(&panel);
    Panel* added = array_push(&g_panels.panels, panel);
    if (added) g_panels.next_id += 1;
    return added;
}

void panel_remove(i64 index) {
    if (index < 0 || index >= g_panels.panels.count) return;
    array_remove(&g_panels.panels, index);
    // A move in progress follows its panel, or ends with it.
    if (g_panels.dragging) {
        if (g_panels.drag_index == index)
            g_panels.dragging = false;
        else if (g_panels.drag_index > index)
            g_panels.drag_index -= 1;
    }
    if (g_panels.hover_index == index)
        g_panels.hover_index = -1;
    else if (g_panels.hover_index > index)
        g_panels.hover_index -= 1;
}

i64 panel_index(u64 id) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1)
        if (g_panels.panels[i].id == id) return i;
    return -1;
}

Panel* panel_find(u64 id) {
    i64 index = panel_index(id);
    return index >= 0 ? &g_panels.panels[index] : 0;
}

// The area a panel takes from the panels below it: its rectangle widened by half the
// border (where its handles reach), or only the title bar while collapsed.
static bool panel_covers(const Panel* panel, f32 x, f32 y) {
    f64 b = g_panels.border / 2.0;
    f64 bottom = panel->collapsed ? (f64)panel->y + panel->height - g_panels.title_height
                                  : (f64)panel->y;
    return x >= panel->x - b && x < (f64)panel->x + panel->width + b && y >= bottom - b &&
           y < (f64)panel->y + panel->height + b;
}

bool panel_point_is_free(u64 id, f32 x, f32 y) {
    for (i64 i = g_panels.panels.count - 1; i >= 0; i -= 1) {
        const Panel* panel = &g_panels.panels[i];
        if (panel->id == id) return true;
        if (panel_covers(panel, x, y)) return false;
    }
    return true;
}

bool panels_cover_point(f32 x, f32 y) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1)
        if (panel_covers(&g_panels.panels[i], x, y)) return true;
    return false;
}

static bool panel_close_requested(const Panel* panel) {
    return panel_kind_closable(panel->kind) && panel->content && *(const u8*)panel->content != 0;
}

i64 panels_modal_index() {
    for (i64 i = g_panels.panels.count - 1; i >= 0; i -= 1) {
        const Panel* panel = &g_panels.panels[i];
        if (panel->kind == PANEL_QUESTION && panel->content && !panel_close_requested(panel))
            return i;
    }
    return -1;
}

// --- Input ------------------------------------------------------------------------------

static void handle_update(DragHandle* handle, f32* hx, f32* hy, f32 width, f32 height) {
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    if (handle->dragging) {
        *hx = mx - handle->grab_x;
        *hy = my - handle->grab_y;
    }
    handle->hovered = mx >= *hx - width / 2 && mx < *hx + width / 2 && my >= *hy - height / 2 &&
                      my < *hy + height / 2;
    if (handle->hovered && input_mouse_is_pressed(MOUSE_LEFT)) {
        handle->dragging = true;
        handle->grab_x = mx - *hx;
        handle->grab_y = my - *hy;
    }
    if (input_mouse_is_released(MOUSE_LEFT)) handle->dragging = false;
}

static bool any_handle(const Panel* panel, bool dragging) {
    for (i32 i = 0; i < HANDLE_COUNT; i += 1)
        if (dragging ? panel->handles[i].dragging : panel->handles[i].hovered) return true;
    return false;
}

static bool dragged(const Panel* panel, i32 handle) { return panel->handles[handle].dragging; }

// Steps 1 to 7 of one panel: its handles, the rectangle they give, the minimum size and the
// menu-bar limit.
static void panel_resize_step(Panel* panel) {
    f32 border = (f32)g_panels.border;
    for (i32 i = HANDLE_BOTTOM_LEFT; i <= HANDLE_TOP_RIGHT; i += 1)
        handle_update(&panel->handles[i], &panel->handle_x[i], &panel->handle_y[i], border, border);
    f32* hx = panel->handle_x;
    f32* hy = panel->handle_y;
    if (dragged(panel, HANDLE_BOTTOM_LEFT) || dragged(panel, HANDLE_TOP_RIGHT)) {
        panel->x = hx[HANDLE_BOTTOM_LEFT];
        panel->y = hy[HANDLE_BOTTOM_LEFT];
        panel->width = hx[HANDLE_TOP_RIGHT] - hx[HANDLE_BOTTOM_LEFT];
        panel->height = hy[HANDLE_TOP_RIGHT] - hy[HANDLE_BOTTOM_LEFT];
    }
    if (dragged(panel, HANDLE_BOTTOM_RIGHT) || dragged(panel, HANDLE_TOP_LEFT)) {
        panel->x = hx[HANDLE_TOP_LEFT];
        panel->y = hy[HANDLE_BOTTOM_RIGHT];
        panel->width = hx[HANDLE_BOTTOM_RIGHT] - hx[HANDLE_TOP_LEFT];
        panel->height = hy[HANDLE_TOP_LEFT] - hy[HANDLE_BOTTOM_RIGHT];
    }
    for (i32 i = HANDLE_LEFT; i <= HANDLE_RIGHT; i += 1)
        handle_update(&panel->handles[i], &hx[i], &hy[i], border, panel->height - border);
    for (i32 i = HANDLE_BOTTOM; i <= HANDLE_TOP; i += 1)
        handle_update(&panel->handles[i], &hx[i], &hy[i], panel->width - border, border);
    if (dragged(panel, HANDLE_LEFT) || dragged(panel, HANDLE_RIGHT)) {
        panel->x = hx[HANDLE_LEFT];
        panel->width = hx[HANDLE_RIGHT] - hx[HANDLE_LEFT];
    }
    if (dragged(panel, HANDLE_BOTTOM) || dragged(panel, HANDLE_TOP)) {
        panel->y = hy[HANDLE_BOTTOM];
        panel->height = hy[HANDLE_TOP] - hy[HANDLE_BOTTOM];
    }
    // Too small: the edge being dragged stops, the opposite edge stays where it is.
    if (panel->width < panel->min_width) {
        f32 missing = panel->min_width - panel->width;
        panel->width = panel->min_width;
        if (dragged(panel, HANDLE_LEFT) || dragged(panel, HANDLE_BOTTOM_LEFT) ||
            dragged(panel, HANDLE_TOP_LEFT))
            panel->x -= missing;
    }
    if (panel->height < panel->min_height) {
        f32 missing = panel->min_height - panel->height;
        panel->height = panel->min_height;
        if (dragged(panel, HANDLE_BOTTOM) || dragged(panel, HANDLE_BOTTOM_LEFT) ||
            dragged(panel, HANDLE_BOTTOM_RIGHT))
            panel->y -= missing;
    }
}

// The top of a panel stays below the menu bar. A panel whose top edge is being dragged
// stops growing there; lowering it instead would let it creep down a little more every
// frame while the mouse rests in the bar, since the dragged handle keeps its place.
static void panel_keep_below_menu_bar(Panel* panel) {
    f32 limit = (f32)g_window.height - theme_menu_bar_height();
    f32 excess = panel->y + panel->height - limit;
    if (!(excess > 0.0f)) return;
    bool top_dragged = dragged(panel, HANDLE_TOP) || dragged(panel, HANDLE_TOP_LEFT) ||
                       dragged(panel, HANDLE_TOP_RIGHT);
    f32 shrink = top_dragged ? panel->height - panel->min_height : 0.0f;
    if (shrink > excess) shrink = excess;
    if (shrink > 0.0f) {
        panel->height -= shrink;
        excess -= shrink;
    }
    panel->y -= excess;
}

struct TitleHit {
    bool title, collapse, close;
};

static TitleHit title_hit(const Panel* panel) {
    TitleHit hit = {};
    f32 t = (f32)g_panels.title_height;
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    f32 top = panel->y + panel->height;
    if (!(my >= top - t && my < top)) return hit;
    f32 buttons = panel->x + panel->width - 2 * t;
    hit.title = mx >= panel->x && mx < buttons;
    hit.collapse = mx >= buttons && mx < buttons + t;
    hit.close = mx >= buttons + t && mx < buttons + 2 * t;
    return hit;
}

void panels_input() {
    g_panels.hover_index = -1;
    g_panels.hover_title = g_panels.hover_collapse = g_panels.hover_close = false;
    // Panels that asked to close go first, wherever the mouse is: a request must not wait
    // for the mouse to come near its panel.
    for (i64 i = g_panels.panels.count - 1; i >= 0; i -= 1)
        if (panel_close_requested(&g_panels.panels[i])) panel_remove(i);

    bool pressed = input_mouse_is_pressed(MOUSE_LEFT);
    f32 mx = g_ui.mouse_x, my = g_ui.mouse_y;
    g_panels.mouse_taken = panels_cover_point(mx, my);
    i64 modal = panels_modal_index();
    for (i64 i = g_panels.panels.count - 1; i >= 0 && i >= modal; i -= 1) {
        Panel* panel = &g_panels.panels[i];
        if (!panel_point_is_free(panel->id, mx, my)) break;
        if (panel->collapsed) {
            // Only the title bar of a collapsed panel is active.
            for (i32 h = 0; h < HANDLE_COUNT; h += 1)
                panel->handles[h].hovered = panel->handles[h].dragging = false;
        } else {
            panel_resize_step(panel);
        }
        panel_keep_below_menu_bar(panel);
        panel_update_handles(panel);

        TitleHit hit = title_hit(panel);
        if (g_panels.hover_index == -1 && (hit.title || hit.collapse || hit.close)) {
            g_panels.hover_index = i;
            g_panels.hover_title = hit.title;
            g_panels.hover_collapse = hit.collapse;
            g_panels.hover_close = hit.close;
        }
        if (pressed) {
            if (any_handle(panel, true)) break;
            if (hit.title) {
                g_panels.dragging = true;
                g_panels.drag_last_x = mx;
                g_panels.drag_last_y = my;
                // Raising swaps with the top panel: the former top panel takes this place.
                i64 top = g_panels.panels.count - 1;
                Panel raised = *panel;
                g_panels.panels[i] = g_panels.panels[top];
                g_panels.panels[top] = raised;
                if (g_panels.hover_index == i) g_panels.hover_index = top;
                g_panels.drag_index = top;
                break;
            }
            if (hit.collapse) {
                panel->collapsed = !panel->collapsed;
                break;
            }
            if (hit.close) {
                panel_remove(i);
                break;  // the press belonged to this panel, not to the one now uncovered
            }
        }
    }

    if (g_panels.dragging && g_panels.drag_index >= 0 &&
        g_panels.drag_index < g_panels.panels.count) {
        Panel* panel = &g_panels.panels[g_panels.drag_index];
        panel->x += mx - g_panels.drag_last_x;
        panel->y += my - g_panels.drag_last_y;
        g_panels.drag_last_x = mx;
        g_panels.drag_last_y = my;
        panel_keep_below_menu_bar(panel);
        panel_update_handles(panel);
    }
    if (input_mouse_is_released(MOUSE_LEFT)) g_panels.dragging = false;
}

void panels_scale(f32 scale_x, f32 scale_y) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        Panel* panel = &g_panels.panels[i];
        panel->x *= scale_x;
        panel->width *= scale_x;
        panel->y *= scale_y;
        panel->height *= scale_y;
        panel_update_handles(panel);
    }
}

// --- Drawing ------------------------------------------------------------------------------

static i32 round_to_int(f32 value) { return (i32)math_floor((f64)value + 0.5); }

static void draw_square(u32 texture, const f32* color, f32 x, f32 y, f32 side) {
    draw_rect(texture, color, x, y, side, side, 0.0f, 0.0f);
}

// Draws panel `index`; content may create panels, so the record is looked up again by id
// after it ran. A panel opened during this frame's drawing is only drawn: the key or click
// that opened it is not also its.
static void panel_draw(i64 index, bool opened_now) {
    Panel* panel = &g_panels.panels[index];
    u64 id = panel->id;
    f32 t = (f32)g_panels.title_height;
    f32 x = panel->x, y = panel->y, w = panel->width, h = panel->height;
    u32 white = g_textures.ids[TEXTURE_WHITE];
    // Below a waiting question a panel is only drawn too: no mouse, no keys.
    bool still = opened_now || index < panels_modal_index();
    interaction_push(!still && panel_point_is_free(id, g_ui.mouse_x, g_ui.mouse_y));
    interaction_keyboard_block(still);

    if (!panel->collapsed) draw_rect(white, g_theme.menu_background_color, x, y, w, h, 0, 0);
    const f32 untinted[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    draw_rect(g_textures.ids[TEXTURE_GRADIENT1], untinted, x, y + h - t, w, t, 0, 0);
    Font* font = g_theme.font ? g_theme.font : font_default();
    draw_string(font, g_theme.text_color, panel->title, x + g_theme.offset, y + h - t / 2,
                g_theme.text_scale, g_theme.text_scale, TEXT_LEFT, TEXT_CENTERED);
    draw_square(g_textures.ids[panel->collapsed ? TEXTURE_MAXIMIZE2 : TEXTURE_MINIMIZE],
                g_theme.minimize_color, x + w - 2 * t, y + h - t, t);
    draw_square(g_textures.ids[TEXTURE_CLOSE], g_theme.close_color, x + w - t, y + h - t, t);

    if (!any_handle(panel, true) && !input_mouse_is_held(MOUSE_LEFT) && !g_panels.dragging &&
        g_panels.hover_index == index) {
        if (g_panels.hover_title)
            draw_rect(white, g_theme.hover_color, x, y + h - t, w - 2 * t, t, 0, 0);
        if (g_panels.hover_collapse)
            draw_square(white, g_theme.hover_color, x + w - 2 * t, y + h - t, t);
        if (g_panels.hover_close) draw_square(white, g_theme.hover_color, x + w - t, y + h - t, t);
    }

    if (!panel->collapsed) {
        bool resize_hovered = any_handle(panel, false);
        pipeline_scissor_rect(round_to_int(x), round_to_int(y), round_to_int(w),
                              round_to_int(h - t));
        pipeline_scissor_enable(true);
        if (panel->content && panel->kind < PANEL_KIND_COUNT && g_panel_kinds[panel->kind].content)
            g_panel_kinds[panel->kind].content(panel, Rect{x, y, w, h - t});
        pipeline_scissor_enable(false);
        if (resize_hovered)
            draw_rect(g_textures.ids[TEXTURE_RESIZE], g_theme.hover_color, g_ui.mouse_x,
                      g_ui.mouse_y, t, t, t / 2, t / 2);
    }
    interaction_keyboard_block(false);
    interaction_pop();
}

void panels_draw() {
    // Counted anew each time: a panel's content may open another panel, drawn on top.
    i64 existing = g_panels.panels.count;
    for (i64 i = 0; i < g_panels.panels.count; i += 1) panel_draw(i, i >= existing);
}
