// Start-up, the main loop and shutdown, in the order the rest of the program relies on:
// every loader runs after what it needs exists, and shutdown stops the worker before the
// memory it could touch is released. Main thread only.
#include "app/app.h"

#include <stdlib.h>
#include <string.h>

#include "app/document.h"
#include "app/frame.h"
#include "app/frame_question.h"
#include "app/recovery.h"
#include "base/format.h"
#include "base/pool.h"
#include "base/text.h"
#include "editor/editor.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "model/history.h"
#include "model/keys.h"
#include "model/piece.h"
#include "platform/system.h"
#include "sound/audio_output.h"
#include "sound/sounds.h"
#include "ui/interaction.h"
#include "ui/panels.h"

AppState g_app;

static const i64 MAIN_POOL_BYTES = 67108864;
static const i64 TMP_POOL_BYTES = 33554432;
static const i64 IMAGE_MEMORY_BYTES = 536870912;
static const i64 AUDIO_MEMORY_BYTES = 67108864;
// What one paste can bring in; a longer clipboard text is cut to this.
static const i64 CLIPBOARD_BYTES = 1 << 20;

static void* audio_memory;

static void say(Str message) { format_print(message, 0, 0); }

void app_state_reset() {
    memset(&g_app, 0, sizeof(g_app));
    memset(&g_window, 0, sizeof(g_window));
    memset(&g_ui, 0, sizeof(g_ui));
    g_ui.frame_seconds = 1.0 / 60.0;
    g_app.sleep_amount = 6;
    g_ui.keyboard_free = true;
    g_window.gamma = 2.2;
    memset(&g_camera, 0, sizeof(g_camera));
    g_camera.pan_speed = 1.0f;
    g_camera.zoom_speed = 10.0f;
    g_camera.zoom = 10.0f;
    recovery_set_interval(RECOVERY_DEFAULT_SECONDS);
}

const char app_version_text[] = "sorvane 0.1.0\n";
const char app_usage_text[] =
    "usage: sorvane [PIECE] [options]\n"
    "  PIECE                  open this scene file, or import this MIDI file (.mid), at start\n"
    "  -fullscreen, -f        open full screen\n"
    "  -sleep N, -s N         sleep N milliseconds after each frame (default 6; 0: never)\n"
    "  -recovery-seconds N    keep unsaved changes for crash recovery every N seconds (30)\n"
    "  -v                     no vertical sync; the time step follows the measured frames\n"
    "  --help                 print this and quit\n"
    "  --version              print the version and quit\n";

void app_read_command_line(const Str* args, i64 count) {
    for (i64 i = 0; i < count; i += 1) {
        Str arg = args[i];
        if (str_equal(arg, STR("-fullscreen")) || str_equal(arg, STR("-f"))) {
            g_app.fullscreen = true;
        } else if (str_equal(arg, STR("-sleep")) || str_equal(arg, STR("-s"))) {
            if (i + 1 < count) {
                i += 1;
                TextCursor cursor = text_cursor(args[i]);
                g_app.sleep_amount = text_parse_integer(&cursor);
            }
        } else if (str_equal(arg, STR("-recovery-seconds"))) {
            // How often unsaved changes are kept for crash recovery (30 s by default).
            if (i + 1 < count) {
                i += 1;
                TextCursor cursor = text_cursor(args[i]);
                recovery_set_interval(text_parse_integer(&cursor));
            }
        } else if (str_equal(arg, STR("-v"))) {
            g_app.measured_timing = true;
        } else if (str_equal(arg, STR("--help")) || str_equal(arg, STR("-h"))) {
            g_app.print_usage = true;
        } else if (str_equal(arg, STR("--version"))) {
            g_app.print_version = true;
        } else if (g_app.open_path.length == 0 && arg.length > 0 && arg.data[0] != '-') {
            g_app.open_path = arg;
        } else {
            const FormatArg format_args[] = {fa_str(arg)};
            format_print(STR("unknown argument: %a\n"), format_args, ARRAY_COUNT(format_args));
        }
    }
}

// Records that later start-up steps fill; none of these allocate.
static void app_records_reset() {
    piece_reset();
    editor_reset();
    audio_output_reset();
    panels_reset();
    panel_kinds_install();
    file_panel_on_confirm(document_confirm);
    interaction_reset();
    frame_reset();
    theme_set_defaults();
}

bool app_startup() {
    app_records_reset();
    if (!system_init(63)) {
        say(STR("failed to start the platform\n"));
        return false;
    }
    u32 flags = DISPLAY_RESIZABLE;
    if (!g_app.measured_timing) flags += DISPLAY_VSYNC;
    flags += g_app.fullscreen ? DISPLAY_FULLSCREEN : DISPLAY_WINDOWED;
    if (!display_open(1024, 768, STR("sorvane"), flags, 1)) {
        say(STR("failed to open the window\n"));
        system_release();
        return false;
    }
    i32 refresh_rate = 0;
    display_get_info(&g_window.width, &g_window.height, &refresh_rate);
    if (refresh_rate > 0) g_ui.frame_seconds = 1.0 / refresh_rate;

    if (!pool_setup(POOL_MAIN, MAIN_POOL_BYTES, false) ||
        !pool_setup(POOL_TMP, TMP_POOL_BYTES, false)) {
        say(STR("not enough memory to start\n"));
        pool_release(POOL_MAIN);
        pool_release(POOL_TMP);
        display_close();
        system_release();
        return false;
    }

    clipboard_set_buffer(CLIPBOARD_BYTES, pool_alloc(POOL_MAIN, CLIPBOARD_BYTES));

    // Without these blocks the program still runs: images and recorded waves stay empty.
    void* image_memory = malloc((size_t)IMAGE_MEMORY_BYTES);
    if (image_memory)
        image_set_buffer(IMAGE_MEMORY_BYTES, image_memory);
    else
        say(STR("not enough memory to load images\n"));
    audio_memory = malloc((size_t)AUDIO_MEMORY_BYTES);
    if (audio_memory)
        audio_set_buffer(AUDIO_MEMORY_BYTES, audio_memory);
    else
        say(STR("not enough memory to load recorded waves\n"));

    Image icon;
    if (image_memory && image_load(STR("textures/blue_octahedron.png"), &icon, 4))
        display_set_icon(icon.width, icon.height, icon.pixels);
    image_set_flip(true);

    texture_table_load();
    sounds_load();
    resources_load();
    image_set_buffer(0, 0);
    free(image_memory);

    piece_default_group_create();
    renderer_load();
    frame_buffer_build();
    theme_load();

    g_app.audio_open = audio_output_open();
    if (!g_app.audio_open) say(STR("failed to open audio\n"));

    templates_init();
    keys_load();

    g_app.worker_running = render_worker_start();
    if (!g_app.worker_running)
        say(STR("failed to start the render worker: playing and exporting are off\n"));

    input_text_enable(true);
    pipeline_cull_enable(true);
    interaction_push(true);

    g_app.counter_frequency = system_performance_frequency();
    if (g_app.counter_frequency == 0) g_app.counter_frequency = 1;
    // Measured from the end of start-up, so the first frame's time step is a frame's.
    g_app.previous_present = system_performance_counter();
    // The piece of the command line, before the history starts and before a recovery
    // question (whose answer may still replace it); a refused file says why in a message.
    if (g_app.open_path.length > 0) {
        if (path_is_midi(g_app.open_path))
            piece_import_midi(g_app.open_path, Str{}, -1);
        else
            piece_open(g_app.open_path);
    }
    history_reset();
    recovery_reset();
    recovery_startup();
    g_app.running = true;
    return true;
}

void camera_keys(Camera* camera) {
    if (g_ui.keyboard_free) {
        f32 speed = input_key_is_held(KEY_SHIFT) ? 2.0f : 1.0f;
        if (input_key_is_held(KEY_CONTROL)) speed *= 0.5f;
        f32 step = camera->pan_speed * speed * (f32)g_ui.frame_seconds * camera->zoom;
        if (input_key_is_held(KEY_LETTER('w'))) camera->pan_y += step;
        if (input_key_is_held(KEY_LETTER('s'))) camera->pan_y -= step;
        if (input_key_is_held(KEY_LETTER('d'))) camera->pan_x += step;
        if (input_key_is_held(KEY_LETTER('a'))) camera->pan_x -= step;
        f32 zoom_step = speed * camera->zoom_speed * (f32)g_ui.frame_seconds;
        if (input_key_is_held(KEY_LETTER('q'))) camera->zoom += zoom_step;
        if (input_key_is_held(KEY_LETTER('e'))) camera->zoom -= zoom_step;
        if (input_key_is_held(KEY_LETTER('r'))) camera->pan_x = camera->pan_y = 0.0f;
        if (camera->zoom < 0.5f) camera->zoom = 0.5f;
        if (camera->zoom > 10000.0f) camera->zoom = 10000.0f;
    }
    f32 aspect = g_window.height > 0 ? (f32)g_window.width / (f32)g_window.height : 1.0f;
    camera->range_left = camera->pan_x - camera->zoom * aspect;
    camera->range_right = camera->pan_x + camera->zoom * aspect;
}

static void app_resize() {
    i32 width = 0, height = 0;
    if (!display_is_resized(&width, &height)) return;
    // A minimised window reports no area; keep the last real size until it returns.
    if (width <= 0 || height <= 0) return;
    if (width == g_window.width && height == g_window.height) return;
    f32 scale_x = g_window.width > 0 ? (f32)width / (f32)g_window.width : 1.0f;
    f32 scale_y = g_window.height > 0 ? (f32)height / (f32)g_window.height : 1.0f;
    g_window.width = width;
    g_window.height = height;
    frame_buffer_build();
    panels_scale(scale_x, scale_y);
}

void app_frame() {
    pool_empty(POOL_TMP);
    input_poll();

    // Escape cancels a waiting question before it asks to quit.
    bool escape = input_key_is_pressed(KEY_ESCAPE) && !question_cancel();
    if (display_is_closed() || escape) {
        if (piece_check_unsaved())
            save_question_open(1);
        else
            g_app.running = false;
    }
    app_resize();

    bool in_canvas = g_ui.mouse_x >= 0 && g_ui.mouse_x < g_window.width &&
                     g_ui.mouse_y >= 0 &&
                     g_ui.mouse_y < g_window.height - theme_menu_bar_height() &&
                     panels_modal_index() < 0;
    interaction_push(in_canvas);
    g_ui.keyboard_free = g_ui.keyboard_taken == 0;
    g_ui.keyboard_taken = 0;

    u64 update_start = system_performance_counter();
    f32 mouse_x = 0, mouse_y = 0;
    input_mouse_position(&mouse_x, &mouse_y);
    g_ui.mouse_x = mouse_x;
    g_ui.mouse_y = (f32)g_window.height - mouse_y;
    camera_keys(&g_camera);
    panels_input();
    editor_frame();
    u64 render_start = system_performance_counter();
    g_app.update_seconds = (f64)(render_start - update_start) / (f64)g_app.counter_frequency;

    frame();
    history_frame();
    recovery_frame();
    g_app.render_seconds =
        (f64)(system_performance_counter() - render_start) / (f64)g_app.counter_frequency;
    interaction_pop();

    frame_buffer_resolve();

    u64 now = system_performance_counter();
    g_app.total_seconds = (f64)(now - g_app.previous_present) / (f64)g_app.counter_frequency;
    g_app.previous_present = now;
    if (g_app.measured_timing) {
        g_ui.frame_seconds = g_app.total_seconds;
        pipeline_present();
    } else {
        pipeline_present();
        if (g_app.sleep_amount > 0) system_sleep(g_app.sleep_amount);
    }
}

void app_shutdown() {
    recovery_shutdown();
    render_worker_stop();
    history_release();
    textures_destroy();
    audio_output_close();
    renderer_release();
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    pool_release(POOL_WORKER);
    audio_set_buffer(0, 0);
    free(audio_memory);
    audio_memory = 0;
    display_close();
    system_release();
}

i32 app_main(const Str* args, i64 count) {
    app_state_reset();
    app_read_command_line(args, count);
    if (g_app.print_usage || g_app.print_version) {
        say(str_from_cstring(g_app.print_usage ? app_usage_text : app_version_text));
        return 0;
    }
    if (!app_startup()) return 1;
    while (g_app.running) app_frame();
    app_shutdown();
    return 0;
}
