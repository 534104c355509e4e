// The MIDI import panel: two labelled one-line fields and two buttons, then the import
// through piece_import_midi. Main thread.
#include "panels/midi_panel.h"

#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "model/midi_import.h"
#include "model/piece_file.h"
#include "panels/entry_panels.h"
#include "platform/system.h"
#include "ui/interaction.h"
#include "ui/panels.h"

static void field_init(TextField* field, Str text) {
    array_init(&field->text, POOL_MAIN);
    array_init(&field->lines, POOL_MAIN);
    field->single_line = 1;
    text_field_set_text(field, text);
}

void midi_import_panel_open(Str path) {
    MidiImportPanel* state =
        (MidiImportPanel*)pool_alloc_zero(POOL_MAIN, (i64)sizeof(MidiImportPanel));
    if (!state) return;
    state->path = str_copy(POOL_MAIN, path);
    field_init(&state->key_field, STR("key"));
    field_init(&state->tonic_field, Str{0, 0});
    state->key_field.focused = 1;
    state->key_field.anchor = 0;  // the whole name selected: typing replaces it
    g_ui.keyboard_taken += 1;
    f32 width = 320, height = 220;
    Panel* panel =
        panel_create(PANEL_MIDI_IMPORT, STR("import MIDI"), (f32)g_window.width / 2 - width / 2,
                     (f32)g_window.height / 2 - height / 2, width, height, state);
    if (panel) panel_content_init(panel);
}

void midi_import_panel(Panel* panel, Rect content) {
    MidiImportPanel* state = (MidiImportPanel*)panel->content;
    if (state->close_requested) return;
    f32 s = g_theme.scale, o = g_theme.offset;
    Font* font = g_theme.font ? g_theme.font : font_default();
    f32 label_x = content.x + o, field_x = content.x + o + 3 * s;
    f32 field_width = content.width - 3 * s - 2 * o;
    f32 top = content.y + content.height - o - s;
    draw_string(font, g_theme.text_color, STR("key"), label_x, top + s / 2, g_theme.text_scale,
                g_theme.text_scale, TEXT_LEFT, TEXT_CENTERED);
    text_field(&state->key_field, Rect{field_x, top, field_width, s});
    top -= s + o;
    draw_string(font, g_theme.text_color, STR("tonic"), label_x, top + s / 2, g_theme.text_scale,
                g_theme.text_scale, TEXT_LEFT, TEXT_CENTERED);
    text_field(&state->tonic_field, Rect{field_x, top, field_width, s});
    top -= s;
    draw_string(font, g_theme.text_color, STR("C to B, # or b; empty: the file's"), label_x,
                top + s / 2 - o, g_theme.text_scale * 0.8f, g_theme.text_scale * 0.8f, TEXT_LEFT,
                TEXT_CENTERED);
    text_button(&state->ok, Rect{content.x + o, content.y + o, 3 * s, s}, STR("ok"));
    text_button(&state->cancel, Rect{content.x + 2 * o + 3 * s, content.y + o, 3 * s, s},
                STR("cancel"));
    if (state->cancel.clicked) {
        state->close_requested = 1;
        return;
    }
    if (!state->ok.clicked && !state->key_field.entered && !state->tonic_field.entered) return;

    Str tonic_text = text_field_text(&state->tonic_field);
    i64 tonic = tonic_text.length > 0 ? midi_tonic_parse(tonic_text) : -1;
    if (tonic_text.length > 0 && tonic < 0) {
        show_simple_message_box(0, STR("invalid tonic"),
                                STR("a tonic is a note from C to B, with # or b"));
        return;
    }
    state->close_requested = 1;
    if (piece_import_midi(state->path, text_field_text(&state->key_field), tonic))
        panels_close_piece_bound();
}
