// Control of the headless back end, for tests only: scripted input applied at the next
// input_poll, a controllable clock, an audio callback pumped by the test, in-memory
// clipboard and message boxes, and a record of every graphics call that drew.
// Files, folders, images and wave files are real (they go to the file system).
#pragma once

#include "platform/system.h"

// Forgets everything: window, input, clock, audio, clipboard, messages, recorded draws
// and graphics objects. Call before each test that starts the program.
void headless_reset();

// --- Failures to inject (each affects the next matching call only) ---------------
enum HeadlessFailure {
    HEADLESS_FAIL_DISPLAY_OPEN = 1,
    HEADLESS_FAIL_AUDIO_OPEN = 2,
    HEADLESS_FAIL_THREAD_CREATE = 3,
    HEADLESS_FAIL_MUTEX_CREATE = 4,
};
void headless_fail_next(HeadlessFailure failure);

// --- Display ----------------------------------------------------------------------
void headless_set_display(i32 width, i32 height, i32 refresh_rate);  // before display_open
bool headless_display_is_open();
u32 headless_display_flags();
Str headless_display_title();
i32 headless_icon_width();
void headless_request_close();             // display_is_closed at the next poll
void headless_resize(i32 width, i32 height);  // display_is_resized at the next poll
i64 headless_present_count();

// --- Input for the next input_poll -------------------------------------------------
void headless_key_down(i32 code);
void headless_key_up(i32 code);
void headless_key_tap(i32 code);     // down and up within one poll: pressed, not held
void headless_key_repeat(i32 code);  // an auto-repeat of a held key (typed, not pressed)
void headless_type_text(Str text);
void headless_mouse_move(f32 x, f32 y);  // window pixels, y downward
void headless_mouse_down(i32 button);
void headless_mouse_up(i32 button);
void headless_mouse_click(i32 button);  // down and up within one poll
void headless_mouse_wheel(i32 notches);
void headless_set_modifiers(u32 lock_bits);  // caps and num lock state

// --- Clock ---------------------------------------------------------------------------
// The performance counter runs at 1 000 000 ticks per second and moves only when the
// test moves it or when system_sleep is called (by the sleep's length).
void headless_clock_advance(u64 ticks);
// What system_state_folder answers (empty after headless_reset: no recovery file is kept)
// and what system_time_text answers ("2000-01-01 00:00:00" after headless_reset).
void headless_set_state_folder(Str folder);
void headless_set_time_text(Str text);
u64 headless_sleep_total_ms();

// --- Audio -----------------------------------------------------------------------------
bool headless_audio_is_open();
bool headless_audio_is_playing();
i32 headless_audio_channels();
// Calls the registered callback once for `size_in_bytes` of output, as the device
// thread would (under the audio lock). Returns false when no device is open.
bool headless_audio_pump(f32* output, i64 size_in_bytes);
// The device thread waiting for the audio lock: the next `count` times the program lets go
// of the lock completely, a buffer of `size_in_bytes` (4096 at most) is pumped at once, on
// the releasing thread, before the program's next step. How many of them ran the callback
// (the device was open and playing) is counted since the call.
void headless_audio_pump_on_unlock(i64 count, i64 size_in_bytes);
i64 headless_audio_unlock_pumps();
// How long the last callback the pump ran took, by the monotonic clock, in nanoseconds:
// the callback alone, without the wait for the audio lock. Read on the pump's thread.
i64 headless_audio_callback_nanoseconds();

// --- Platform calls made on marked threads ------------------------------------------
// headless_audio_pump marks its thread while the callback runs, and a test may mark its
// own. Every call below made on a marked thread is counted (from any thread) and the last
// ones are kept in order. The file, wave and image calls are counted by the code both back
// ends share; the real back end never marks a thread, so it never counts.
enum PlatformCall {
    PLATFORM_CALL_AUDIO_LOCK, PLATFORM_CALL_AUDIO_UNLOCK, PLATFORM_CALL_AUDIO_DEVICE,
    PLATFORM_CALL_MUTEX_CREATE, PLATFORM_CALL_MUTEX_LOCK, PLATFORM_CALL_MUTEX_UNLOCK,
    PLATFORM_CALL_MUTEX_DESTROY, PLATFORM_CALL_THREAD_CREATE, PLATFORM_CALL_THREAD_WAIT,
    PLATFORM_CALL_SLEEP,
    PLATFORM_CALL_FILE_OPEN, PLATFORM_CALL_FILE_READ, PLATFORM_CALL_FILE_WRITE,
    PLATFORM_CALL_FILE_SYNC, PLATFORM_CALL_FILE_CLOSE, PLATFORM_CALL_FILE_QUERY,
    PLATFORM_CALL_FILE_RENAME, PLATFORM_CALL_FILE_REMOVE, PLATFORM_CALL_DIRECTORY_SYNC,
    PLATFORM_CALL_DIRECTORY, PLATFORM_CALL_WAVE_FILE, PLATFORM_CALL_IMAGE_FILE,
    PLATFORM_CALL_CLIPBOARD, PLATFORM_CALL_MESSAGE_BOX,
    PLATFORM_CALL_COUNT,
};
void headless_mark_thread(bool marked);  // the calling thread
bool headless_thread_is_marked();
i64 headless_marked_calls(PlatformCall call);  // since the last clear
void headless_marked_calls_clear();            // headless_reset clears them too
// The last calls made on marked threads, oldest first, at most `capacity`; how many.
i64 headless_marked_call_log(PlatformCall* calls, i64 capacity);

// --- Clipboard and message boxes ----------------------------------------------------
void headless_clipboard_put(Str text);  // what the user copied elsewhere
Str headless_clipboard_text();
i64 headless_message_count();
Str headless_message_title(i64 index);
Str headless_message_text(i64 index);

// --- Recorded graphics ----------------------------------------------------------------
// One record per draw_elements call, with the state it drew under and a copy of the
// vertex and index data it used. Vertex data is the raw bytes of the bound buffer.
struct HeadlessDraw {
    u32 program;
    u32 texture;       // bound to unit 0, target 1
    u32 frame_buffer;  // 0 for the window
    i32 viewport[4];
    bool blend, depth, scissor;
    i32 scissor_rect[4];
    f32 clear_color[4];       // last clear colour set before the draw
    f32 mvp[16];              // last "matrix_model_view_projection" upload, if any
    f32 diffuse[4];           // last "diffuse" upload
    f32 gamma;                // last "gamma" upload
    i64 index_count;
    const u8* vertex_bytes;   // copy of the vertex buffer's data
    i64 vertex_byte_count;
    const u32* indices;       // copy of the index buffer's data
};
i64 headless_draw_count();
const HeadlessDraw* headless_draw(i64 index);
void headless_draws_clear();
i64 headless_clear_count();
i64 headless_live_textures();       // created and not yet destroyed
i64 headless_live_frame_buffers();
i64 headless_live_render_buffers();
i64 headless_live_buffers();
// Size of a created texture (0 when unknown) and its mipmap flag.
void headless_texture_info(u32 texture, i32* width, i32* height, bool* mipmapped);
// Name of a uniform location handed out by shader_get_uniform_location.
Str headless_uniform_name(u32 location);
