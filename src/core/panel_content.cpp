// What each kind of panel shows below its title bar: one switch over the kinds, and the
// content records made when a panel is created without one. Main thread, inside the
// frame, with the scissor set to the content rectangle.
#include "core/frame_question.h"
#include "core/panels.h"
#include "core/properties.h"
#include "editor/object_panels.h"
#include "piece/entry_panels.h"
#include "piece/file_panel.h"
#include "piece/midi_panel.h"
#include "ui/color_picker.h"
#include "ui/group_list.h"

void panel_content_init(Panel* panel) {
    panel->min_width = 200;
    panel->min_height = 200;
    panel_update_handles(panel);
    if (panel->content) return;
    switch (panel->kind) {
        case PANEL_GROUPS: panel->content = group_list_panel_create(); break;
        case PANEL_GLOBAL_PROPERTIES:
        case PANEL_GROUP_PROPERTIES: panel->content = properties_panel_create(panel->kind); break;
        default: break;
    }
}

void panel_content(Panel* panel, f32 x, f32 y, f32 width, f32 height) {
    if (!panel->content) return;
    Rect content = {x, y, width, height};
    switch (panel->kind) {
        case PANEL_GROUPS: group_list_panel(panel, content); break;
        case PANEL_GLOBAL_PROPERTIES:
        case PANEL_GROUP_PROPERTIES: properties_panel(panel, content); break;
        case PANEL_FILE: file_panel_update(panel, content); break;
        case PANEL_QUESTION: save_question_content((SaveQuestion*)panel->content, content); break;
        case PANEL_KEY:
        case PANEL_MEASURE:
        case PANEL_TEMPO:
        case PANEL_VOLUME:
        case PANEL_PITCH:
        case PANEL_SOUND:
        case PANEL_REPEAT:
        case PANEL_SHAPE:
        case PANEL_TEXT: object_panel_content(panel, content); break;
        case PANEL_COLOR_PICKER: color_picker_panel(panel, content); break;
        case PANEL_FRACTION: fraction_entry_panel(panel, content); break;
        case PANEL_CURVE_POINT: curve_point_panel_content(panel, content); break;
        case PANEL_MIDI_IMPORT: midi_import_panel(panel, content); break;
        default: break;
    }
}
