// The frame, in its fixed order: the canvas pass into the frame buffer, the interface pass
// with the status texts, the start hint and the statistics overlay, the panels, the menu
// bar and the help above them all, then the actions of the menu bar and the file
// shortcuts. Every text of a frame is built
// in POOL_TMP. Main thread, once per main-loop iteration after the editor step.
#include "app/frame.h"

#include <string.h>

#include "app/app.h"
#include "app/menu_bar.h"
#include "base/format.h"
#include "editor/editor.h"
#include "editor/score_view.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "model/piece.h"
#include "platform/system.h"
#include "sound/playback.h"
#include "ui/panels.h"

FrameState g_frame;

// The controls text: every key of the program, in two columns (moving and placing, then
// selecting, durations and the file and history keys) drawn side by side.
#define HELP_LEFT                                                    \
    "Controls:\n"                                                    \
    "w/a/s/d: move (shift: faster, control: slower)\n"              \
    "q/e: zoom\n"                                                    \
    "r: recentre the view\n"                                         \
    "\n"                                                             \
    "tab: switch between select and place mode\n"                   \
    "space: place an object (control: the cursor stays)\n"          \
    "n/m: previous/next kind to place\n"                            \
    "insert/backspace: open/close time at the cursor\n"             \
    "\n"                                                             \
    "l/j: move cursor forward/backward in time\n"                   \
    "i/k: move cursor up/down in pitch\n"                           \
    "shift + i/k: move cursor up/down an octave\n"                  \
    "control + i/k: through every pitch of the key\n"               \
    "\n"                                                             \
    "u/o: align duration/pitch of selected object\n"                \
    "f: change pitch of selected object\n"                          \
    "g: change time of selected object\n"                           \
    "h: change duration of selected object\n"                       \
    "y: change duration to the selected duration\n"                 \
    "\n"                                                             \
    "control + z: undo\n"                                            \
    "control + shift + z: redo\n"                                    \
    "control + n/o/s: new piece/open/save\n"                         \
    "F1: show/hide this help\n"                                      \
    "F3: show/hide the frame statistics\n"                           \
    "escape: quit, or cancel an open question\n"                     \
    "return: yes to an open question"
#define HELP_RIGHT                                                   \
    "click: select (control: add or remove one)\n"                   \
    "right click: keep only the highlighted object\n"                \
    "wheel: move the highlight through the selection\n"              \
    "space: play the selected notes, open the panel of one\n"        \
    "b: arm a box, the next click selects inside it\n"               \
    "c: duplicate the selection\n"                                   \
    "delete: delete the selection\n"                                 \
    "F5: select notes that overlap an earlier note\n"                \
    "t: transpose the selection by a ratio\n"                        \
    "\n"                                                             \
    "v: add point to curve\n"                                        \
    "p: play from the cursor (select mode: the earliest selected)\n" \
    "\n"                                                             \
    "1: select duration of 4 beats\n"                                \
    "2: select duration of 2 beats\n"                                \
    "3: select duration of 1 beat\n"                                 \
    "4: select duration of 1/2 beat\n"                               \
    "5: select duration of 1/4 beat\n"                               \
    "control + 1 to 5: add that duration\n"                          \
    "6: divide duration by 3\n"                                      \
    "control + 6: multiply duration by 2/3\n"                        \
    "7: multiply duration by 3\n"                                    \
    "8: half duration\n"                                             \
    "9: double duration\n"                                           \
    "0: select duration of 0 beats"

static const char HELP_TEXT[] = HELP_LEFT "\n\n" HELP_RIGHT;

Str frame_help_text() { return STR(HELP_TEXT); }

void frame_reset() { memset(&g_frame, 0, sizeof(g_frame)); }

static Font* interface_font() { return g_theme.font ? g_theme.font : font_default(); }

static void canvas_pass() {
    f32 aspect = g_window.height > 0 ? (f32)g_window.width / (f32)g_window.height
                                         : 1.0f;
    f32 zoom = g_camera.zoom;
    g_projection_matrix = matrix_orthographic(-zoom * aspect, zoom * aspect, -zoom, zoom);
    g_view_matrix = matrix_translation(-g_camera.pan_x, -g_camera.pan_y);
    frame_buffer_begin(g_piece.settings.background);
    g_piece.notes_drawn = 0;
    score_view_draw();
}

static void interface_pass_begin() {
    g_projection_matrix =
        matrix_orthographic(0.0f, (f32)g_window.width, 0.0f, (f32)g_window.height);
    g_view_matrix = matrix_identity();
    pipeline_depth_enable(false);
    g_mesh.pixel_snap = 1.0;  // interface text sits on whole pixels
}

static void status_texts() {
    f32 x = (f32)g_window.width - g_theme.offset;
    f32 y = g_theme.offset;
    f32 scale = g_theme.text_scale;
    // Also while playing, when the player has caught up with the worker.
    if (playback_is_waiting() || playback_is_starved())
        draw_string(interface_font(), g_theme.text_color, STR("generating samples..."), x, y,
                    scale, scale, TEXT_RIGHT, TEXT_FIRST_LINE_ON_Y);
    if (g_editor.selection.count > 0) {
        const FormatArg args[] = {fa_i64(g_editor.selection.count)};
        draw_string(interface_font(), g_theme.text_color,
                    format_tmp(STR("# selected: %."), args, ARRAY_COUNT(args)), x, y, scale,
                    scale, TEXT_RIGHT, TEXT_FIRST_LINE_ON_Y);
    }
}

// Drawn after the panels and the menu bar, so nothing covers it. F1 works everywhere (it
// types nothing in a text field), also while a question waits under the help.
static void help_overlay() {
    if (input_key_is_pressed(KEY_F1)) {
        g_frame.help_visible = !g_frame.help_visible;
        g_frame.hint_done = true;
    }
    if (!g_frame.help_visible) return;
    const f32 scale = 0.75f;
    f32 cx = (f32)g_window.width / 2;
    f32 cy = (f32)g_window.height / 2 - g_theme.scale;
    bind_font(interface_font());
    g_mesh.horizontal_alignment = TEXT_LEFT;
    g_mesh.vertical_alignment = TEXT_CENTERED;
    const Str columns[2] = {STR(HELP_LEFT), STR(HELP_RIGHT)};
    TextBlock blocks[2] = {text_measure(columns[0], scale, scale),
                           text_measure(columns[1], scale, scale)};
    f32 pad = g_theme.offset, gap = 2 * g_theme.scale;
    f32 w = (f32)(blocks[0].width + blocks[1].width) + gap + 2 * pad;
    f32 tallest = (f32)(blocks[0].height > blocks[1].height ? blocks[0].height : blocks[1].height);
    f32 h = tallest + 2 * pad;
    draw_rect(g_textures.ids[TEXTURE_WHITE], g_theme.menu_background_color, cx, cy, w, h, w / 2,
              h / 2);
    // Both columns start at the top of the box.
    f32 x = cx - w / 2 + pad;
    for (i32 i = 0; i < 2; i += 1) {
        f32 y = cy + tallest / 2 - (f32)blocks[i].height / 2;
        draw_string(interface_font(), g_theme.text_color, columns[i], x, y, scale, scale,
                    TEXT_LEFT, TEXT_CENTERED);
        x += (f32)blocks[i].width + gap;
    }
}

// One quiet line on an empty canvas until the first object is placed or F1 is pressed:
// the keys that start a piece.
static void start_hint() {
    if (piece_object_total(&g_piece) > 0) g_frame.hint_done = true;
    if (g_frame.hint_done) return;
    f32 quiet[4] = {g_theme.text_color[0], g_theme.text_color[1], g_theme.text_color[2],
                    g_theme.text_color[3] * 0.5f};
    f32 y = (f32)g_window.height / 2 - 4 * g_theme.scale;
    draw_string(interface_font(), quiet, frame_hint_text(), (f32)g_window.width / 2, y,
                g_theme.text_scale, g_theme.text_scale, TEXT_CENTER, TEXT_CENTERED);
}

// In place mode the first key is already pressed: the hint says what comes next.
Str frame_hint_text() {
    if (g_editor.place_mode)
        return STR("space: place a note    n/m: other kinds    tab: select mode    F1: all keys");
    return STR("tab: place mode    space: place a note    F1: all keys");
}

Str frame_statistics_text() {
    StrBuilder text;
    str_builder_init(&text, POOL_TMP);
    const FormatArg lines[][2] = {
        {fa_f64(g_app.update_seconds * 1000.0)},
        {fa_f64(g_app.render_seconds * 1000.0)},
        {fa_f64(g_app.total_seconds * 1000.0)},
        {fa_i64(g_piece.notes_drawn)},
        {fa_f64(playback_synthesis_seconds() * 1000.0)},
        {fa_f64(100.0 * pool_usage(POOL_MAIN)), fa_char('%')},
        {fa_f64(100.0 * pool_usage(POOL_TMP)), fa_char('%')},
    };
    const Str formats[] = {
        STR("%. ms updating"),    STR("\n%. ms rendering"),      STR("\n%. ms total"),
        STR("\n%. notes"),        STR("\n%. ms filling samples"), STR("\n%.%. main memory"),
        STR("\n%.%. tmp memory"),
    };
    for (i64 i = 0; i < ARRAY_COUNT(formats); i += 1)
        format_append(&text, formats[i], lines[i], i >= 5 ? 2 : 1);
    return str_builder_text(&text);
}

static void statistics_overlay() {
    // Works while a text field holds the keyboard: the key types nothing.
    if (input_key_is_pressed(KEY_F3)) g_app.stats_visible = !g_app.stats_visible;
    if (!g_app.stats_visible) return;
    const f32 color[4] = {0.5f, 0.5f, 1.0f, 0.7f};
    draw_string(interface_font(), color, frame_statistics_text(), 16, 64, 0.5f, 0.5f, TEXT_LEFT,
                TEXT_FIRST_LINE_ON_Y);
}

void frame() {
    canvas_pass();
    interface_pass_begin();
    status_texts();
    start_hint();
    statistics_overlay();
    g_panels.title_height = g_theme.scale;
    g_panels.border = g_theme.scale / 2;
    panels_draw();
    menu_bar_draw();
    help_overlay();
    menu_bar_actions();
}
