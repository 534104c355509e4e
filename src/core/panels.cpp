// Placeholder until the interface lands: the list exists, nothing is drawn or moved.
#include "core/panels.h"

#include <string.h>

PanelList g_panels;

void panels_reset() {
    memset(&g_panels, 0, sizeof(g_panels));
    array_init(&g_panels.panels, POOL_MAIN);
    g_panels.hover_index = -1;
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
    Panel* added = array_push(&g_panels.panels, panel);
    if (added) g_panels.next_id += 1;
    return added;
}

Panel* panel_find(u64 id) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1)
        if (g_panels.panels[i].id == id) return &g_panels.panels[i];
    return 0;
}

void panels_input() {}
void panels_scale(f32, f32) {}
