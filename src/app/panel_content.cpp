// What each kind of panel shows below its title bar, and the content records made when a
// panel is created without one: the table the panel windows call through, filled once at
// start-up. Main thread.
#include "app/frame_question.h"
#include "panels/entry_panels.h"
#include "panels/file_panel.h"
#include "panels/group_list.h"
#include "panels/midi_panel.h"
#include "panels/object_panels.h"
#include "panels/properties.h"
#include "ui/color_picker.h"
#include "ui/panels.h"

static void* group_list_create(u8) { return group_list_panel_create(); }
static void question_content(Panel* panel, Rect content) {
    save_question_content((SaveQuestion*)panel->content, content);
}

void panel_kinds_install() {
    for (u8 kind = 0; kind < PANEL_KIND_COUNT; kind += 1) g_panel_kinds[kind] = PanelKindEntry{};
    g_panel_kinds[PANEL_GROUPS] = PanelKindEntry{group_list_panel, group_list_create};
    g_panel_kinds[PANEL_GLOBAL_PROPERTIES] = PanelKindEntry{properties_panel, properties_panel_create};
    g_panel_kinds[PANEL_GROUP_PROPERTIES] = PanelKindEntry{properties_panel, properties_panel_create};
    g_panel_kinds[PANEL_FILE] = PanelKindEntry{file_panel_update, 0};
    g_panel_kinds[PANEL_QUESTION] = PanelKindEntry{question_content, 0};
    const u8 object_kinds[] = {PANEL_KEY,    PANEL_MEASURE, PANEL_TEMPO,  PANEL_VOLUME, PANEL_PITCH,
                               PANEL_SOUND,  PANEL_REPEAT,  PANEL_SHAPE,  PANEL_TEXT};
    for (u8 kind : object_kinds) g_panel_kinds[kind] = PanelKindEntry{object_panel_content, 0};
    g_panel_kinds[PANEL_COLOR_PICKER] = PanelKindEntry{color_picker_panel, 0};
    g_panel_kinds[PANEL_FRACTION] = PanelKindEntry{fraction_entry_panel, 0};
    g_panel_kinds[PANEL_CURVE_POINT] = PanelKindEntry{curve_point_panel_content, 0};
    g_panel_kinds[PANEL_MIDI_IMPORT] = PanelKindEntry{midi_import_panel, 0};
}
