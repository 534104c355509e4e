// The platform: the complete list of what sorvane asks of the machine. Two back ends
// implement it: the real one (SDL2, OpenGL 3.3 core through libepoxy, stb_image,
// libsndfile, std::filesystem) and a headless one for tests (see headless.h).
// Nothing outside src/platform/ includes SDL, GL or libsndfile headers.
//
// Numeric codes are the platform's own enumerations; each family lists them below.
// Strings are counted (`Str`); the platform copies what it must keep.
#pragma once

#include "base/types.h"

// ---------------------------------------------------------------------------
// System
// ---------------------------------------------------------------------------
// flags: bit 0 video, 1 audio, 2 timers, 3 events, 4 clipboard, 5 threads (63 = all).
bool system_init(u32 flags);
void system_release();
u64 system_performance_counter();    // monotonic ticks
u64 system_performance_frequency();  // ticks per second
void system_sleep(i64 milliseconds);  // 0 or less returns at once
// The folder for what the program keeps between runs apart from the user's files (the
// recovery file): $XDG_STATE_HOME/sorvane, else $HOME/.local/state/sorvane, made when
// missing. Empty when there is none (no such variable, or it cannot be made); the headless
// back end answers what the test chose. Platform storage, valid until the next call.
Str system_state_folder();
// The local date and time, "YYYY-MM-DD HH:MM:SS" (fixed by the test on the headless back
// end). Platform storage, valid until the next call.
Str system_time_text();
// Text describing the last failure of a file, wave or window call on this thread
// (for example "No space left on device"); empty when none. Valid until the next call.
Str system_last_error();

// ---------------------------------------------------------------------------
// Display
// ---------------------------------------------------------------------------
enum {
    DISPLAY_RESIZABLE = 4,
    DISPLAY_WINDOWED = 16,
    DISPLAY_FULLSCREEN = 32,
    DISPLAY_VSYNC = 64,
};
// context: 1 = OpenGL 3.3 core with a depth buffer. Returns false when no window
// (or no context) could be made; nothing else of the display may be called then.
bool display_open(i32 width, i32 height, Str title, u32 flags, i32 context);
// Drawable size in pixels and the refresh rate in Hz (0 when unknown).
void display_get_info(i32* width, i32* height, i32* refresh_rate);
bool display_is_closed();  // the user asked to close the window (this poll)
bool display_is_resized(i32* width, i32* height);  // true once per change
void display_set_icon(i32 width, i32 height, const u8* rgba_pixels);
void display_close();

// ---------------------------------------------------------------------------
// Input: answers for the last input_poll.
// ---------------------------------------------------------------------------
// Key codes (the README carries the same table):
//   1 any key (pressed or repeated this frame), 2..27 a..z, 28..37 digits 0..9,
//   38 left, 39 right, 40 up, 41 down, 42 space, 43 return, 44 backspace, 45 tab,
//   46 escape, 47 control, 48 shift, 49 minus, 50 equals, 51 left bracket,
//   52 right bracket, 53 backslash, 54 semicolon, 55 apostrophe, 56 grave,
//   57 comma, 58 period, 59 slash, 60 insert, 71 alt, 74 page up, 75 page down,
//   76 home, 77 end, 79 delete, 85..94 keypad 0..9, 95 keypad enter,
//   96..107 F1..F12.
// Mouse buttons: 2 left, 3 middle, 4 right.
enum {
    KEY_ANY = 1,
    KEY_A = 2,
    KEY_0 = 28,
    KEY_LEFT = 38, KEY_RIGHT = 39, KEY_UP = 40, KEY_DOWN = 41,
    KEY_SPACE = 42, KEY_RETURN = 43, KEY_BACKSPACE = 44, KEY_TAB = 45, KEY_ESCAPE = 46,
    KEY_CONTROL = 47, KEY_SHIFT = 48,
    KEY_INSERT = 60, KEY_ALT = 71,
    KEY_PAGE_UP = 74, KEY_PAGE_DOWN = 75, KEY_HOME = 76, KEY_END = 77, KEY_DELETE = 79,
    KEY_KEYPAD_0 = 85, KEY_KEYPAD_ENTER = 95,
    KEY_F1 = 96, KEY_F3 = 98, KEY_F5 = 100,
    KEY_COUNT = 128,
};
#define KEY_LETTER(c) ((i32)((c) - 'a') + KEY_A)
#define KEY_DIGIT(d) ((i32)(d) + KEY_0)
enum { MOUSE_LEFT = 2, MOUSE_MIDDLE = 3, MOUSE_RIGHT = 4 };
// Bits of input_key_modifiers.
enum {
    MODIFIER_SHIFT = 1 << 0,
    MODIFIER_CONTROL = 1 << 1,
    MODIFIER_ALT = 1 << 2,
    MODIFIER_GUI = 1 << 3,
    MODIFIER_CAPS_LOCK = 1 << 4,
    MODIFIER_NUM_LOCK = 1 << 5,
};

// One key going down, as it happened: the modifiers held at that moment, whether it was an
// auto-repeat of a held key, and how many bytes of the frame's typed text came before it.
struct KeyPress {
    i32 code;
    u32 modifiers;
    bool repeat;
    i64 text_offset;
};

void input_poll();
// Every key that went down or auto-repeated this frame, in order, however many arrived
// since the last poll (several presses of one key each count).
i64 input_key_press_count();
KeyPress input_key_press(i64 index);  // a zeroed press outside 0 .. count - 1
// Takes the presses from `first` on, and the text typed from that press on, out of this
// frame and hands them out again at the next input_poll, ahead of what arrives meanwhile:
// typing that follows a press which opened a field belongs to that field.
void input_key_presses_defer(i64 first);
bool input_key_is_pressed(i32 code);   // went down this frame
bool input_key_is_typed(i32 code);     // went down or auto-repeated this frame
bool input_key_is_held(i32 code);      // is down now
bool input_key_is_released(i32 code);  // went up this frame
u32 input_key_modifiers();
Str input_text_typed();                // UTF-8 text typed this frame
void input_text_enable(bool on);
// Window pixels, y downward from the top edge.
void input_mouse_position(f32* x, f32* y);
bool input_mouse_is_pressed(i32 button);
bool input_mouse_is_held(i32 button);
bool input_mouse_is_released(i32 button);
i32 input_mouse_wheel();  // notches this frame, positive away from the user

// ---------------------------------------------------------------------------
// Audio device and wave files
// ---------------------------------------------------------------------------
// Sample formats: 4 = 16-bit integer, 5 = 32-bit integer, 6 = 32-bit float.
enum { SAMPLE_FORMAT_S16 = 4, SAMPLE_FORMAT_S32 = 5, SAMPLE_FORMAT_F32 = 6 };

struct WaveData {
    i32 format;
    i32 channels;
    i32 sample_rate;
    i64 size;    // bytes of sample data
    void* data;  // interleaved samples
};

// Called on the platform's audio thread for every device buffer.
typedef void (*AudioCallback)(void* user_data, f32* output, i64 size_in_bytes);

// Working memory for decoded wave files; the platform never allocates its own.
void audio_set_buffer(i64 size, void* block);
bool audio_open(i32 format, i32 channels, i32 sample_rate, i32 frames, AudioCallback callback,
                void* user_data);
void audio_lock();    // keeps the callback out until audio_unlock
void audio_unlock();
void audio_play();
void audio_pause();
void audio_close();
// Decodes any file libsndfile reads into interleaved samples of `format` (only 6 is
// supported) in the audio working memory. On failure the record is zeroed.
bool audio_wave_load(WaveData* wave, i32 format, Str path);
// Converts the samples in place (4 and 5 are narrower or equal, so this never grows).
bool audio_wave_convert(WaveData* wave, i32 format);
// Writes a WAV file: format 4 as 16-bit PCM, 5 as 32-bit PCM, 6 as 32-bit float (or FLAC
// or Ogg Vorbis by the name's extension).
bool audio_wave_save(const WaveData* wave, Str path);
// The same file written in parts: begin, any number of parts (interleaved samples of the
// format, whole frames), end. The bytes are those of one audio_wave_save of all the parts.
// A failed part keeps failing; end without `keep`, or after a failure, removes the file.
struct WaveWriter {
    void* file;
    i32 format, channels;
    u8 failed;
    char name[4096];
};
bool audio_wave_write_begin(WaveWriter* writer, i32 format, i32 channels, i32 sample_rate,
                            Str path);
bool audio_wave_write_part(WaveWriter* writer, const void* samples, i64 size);
bool audio_wave_write_end(WaveWriter* writer, bool keep);

// ---------------------------------------------------------------------------
// Files and folders
// ---------------------------------------------------------------------------
enum { FILE_WRITE = 1, FILE_READ = 2 };
typedef struct PlatformFile* FileHandle;

FileHandle file_open(Str path, i32 mode);  // never null: test with file_failed
bool file_failed(FileHandle file);
i64 file_size(FileHandle file);
i64 file_read(FileHandle file, i64 size, void* destination);       // bytes read
i64 file_write(FileHandle file, i64 size, const void* source);     // bytes written
bool file_sync(FileHandle file);   // data reaches the disk (fsync)
bool file_close(FileHandle file);  // false when buffered data could not be written
bool file_exists(Str path);
bool file_rename(Str from, Str to);  // atomic replacement on one file system
bool file_remove(Str path);
bool directory_sync(Str path);  // makes a rename in the folder durable
bool directory_create(Str path);

// Names of the entries of a folder, "." and ".." included when the system lists them.
// The storage belongs to the platform and lasts until the next call.
struct DirectoryContent {
    Str* folders;
    i64 folder_count;
    Str* files;
    i64 file_count;
};
bool directory_get_content(Str path, DirectoryContent* content);

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------
struct Image {
    i32 width, height, channels;
    u8* pixels;  // inside the image buffer; valid until the next load
};
void image_set_buffer(i64 size, void* block);  // null block: no image loads after this
void image_set_flip(bool flip);                 // bottom row first
void image_set_buffer_position(i64 position);
bool image_load(Str path, Image* image, i32 channels);  // zeroed image on failure

// ---------------------------------------------------------------------------
// Threads
// ---------------------------------------------------------------------------
typedef i32 (*ThreadFunction)(void* argument);
typedef struct PlatformThread* Thread;
typedef struct PlatformMutex* Mutex;

Thread thread_create(ThreadFunction function, void* argument);  // null on failure
i32 thread_wait(Thread thread, i64 unused);  // joins; returns the function's result
Mutex mutex_create();                           // null on failure
void mutex_lock(Mutex mutex);
void mutex_unlock(Mutex mutex);
void mutex_destroy(Mutex mutex);
// Processor cores the program may run threads on; at least 1.
i64 system_processor_count();
// Asks the system to back the whole 2 MiB pages inside a large block with huge pages. The
// render's sample buffer is written by every core at once, and with 4 KiB pages the page
// table work of its hundreds of megabytes costs the threads several percent. A hint only:
// when refused nothing changes.
void memory_prefer_huge_pages(void* block, i64 size);

// ---------------------------------------------------------------------------
// Graphics (OpenGL 3.3 core underneath). The program passes these codes, one family per
// argument; the back ends turn them into their own values and ignore any other code.
enum GpuCode : i32 {
    GPU_BUFFER_VERTEX = 0,  // buffer targets: vertex (array) and index (element array)
    GPU_BUFFER_INDEX = 1,
    GPU_USAGE_DYNAMIC_DRAW = 3,  // buffer usage
    GPU_TYPE_FLOAT = 6,          // attribute types
    GPU_DRAW_TRIANGLES = 4,      // draw modes
    GPU_INDEX_U32 = 2,           // index types
    GPU_TEXTURE_2D = 1,          // texture targets
    GPU_FORMAT_RGBA8 = 13,       // texture internal formats
    GPU_FORMAT_RGBA16F = 29,
    GPU_PIXELS_RGBA = 8,         // pixel formats
    GPU_PIXELS_U8 = 0,           // pixel types
    GPU_WRAP_AXIS_S = 0,         // wrap axes
    GPU_WRAP_AXIS_T = 1,
    GPU_WRAP_REPEAT = 0,         // wrap codes
    GPU_WRAP_MIRRORED_REPEAT = 1,
    GPU_WRAP_CLAMP = 2,
    GPU_FILTER_MINIFYING = 3,    // filter slots
    GPU_FILTER_MAGNIFYING = 4,
    GPU_FILTER_NEAREST = 0,      // filter codes
    GPU_FILTER_LINEAR = 1,
    GPU_FILTER_NEAREST_MIPMAP_NEAREST = 2,
    GPU_FILTER_LINEAR_MIPMAP_NEAREST = 3,
    GPU_FILTER_NEAREST_MIPMAP_LINEAR = 4,
    GPU_FILTER_LINEAR_MIPMAP_LINEAR = 5,
    GPU_MAX_ANISOTROPY = 10,     // float parameters
    GPU_FRAME_BUFFER = 0,        // frame buffer targets: draw and read
    GPU_ATTACH_DEPTH = 0,        // attachments
    GPU_ATTACH_COLOR0 = 3,
    GPU_DRAW_BUFFER_COLOR0 = 0,  // draw buffers
    GPU_STORAGE_DEPTH24 = 3,     // render buffer storage
    GPU_CLEAR_COLOR = 1,         // clear mask bits
    GPU_CLEAR_DEPTH = 4,
    GPU_BLEND_ZERO = 0,          // blend factors
    GPU_BLEND_ONE = 1,
    GPU_BLEND_SOURCE_ALPHA = 3,
    GPU_BLEND_ONE_MINUS_SOURCE_ALPHA = 9,
    GPU_STATUS_COMPLETE = 0,     // frame buffer status
    GPU_STATUS_UNDEFINED = 1,
    GPU_STATUS_INCOMPLETE_ATTACHMENT = 2,
    GPU_STATUS_MISSING_ATTACHMENT = 3,
    GPU_STATUS_INCOMPLETE_DRAW_BUFFER = 4,
    GPU_STATUS_INCOMPLETE_READ_BUFFER = 5,
    GPU_STATUS_INCOMPLETE_MULTISAMPLE = 6,
    GPU_STATUS_INCOMPLETE_LAYER_TARGETS = 7,
    GPU_STATUS_UNSUPPORTED = 8,
};
// A shader source holds both stages: the platform compiles it twice, inserting
// "#define VERTEX" or "#define FRAGMENT" after the first line (the #version line).
// ---------------------------------------------------------------------------
u32 buffer_create();
void buffer_bind(i32 target, u32 buffer);
void buffer_data(i32 target, i64 size, const void* data, i32 usage);
void buffer_destroy(u32 buffer);

u32 vertex_array_create();
void vertex_array_bind(u32 vertex_array);
void vertex_array_unbind();
void vertex_array_destroy(u32 vertex_array);
void attribute_enable(u32 slot, bool on);
void attribute_format(u32 slot, i32 components, i32 type, bool normalized, i32 stride,
                      i64 offset);
void draw_elements(i32 mode, i32 index_type, i64 offset, i64 count, i32 base_vertex,
                   i32 instances);

u32 shader_create();
// Compiles and links; on failure writes the log (NUL-terminated, truncated to the
// capacity) into `log` and returns false.
bool shader_source(u32 program, Str source, u8* log, i64 log_capacity);
u32 shader_get_uniform_location(u32 program, Str name);  // 0xFFFFFFFF when absent
void shader_bind(u32 program);
void shader_destroy(u32 program);
void shader_uniform1i(u32 location, i32 value);
void shader_uniform1f(u32 location, f32 value);
void shader_uniform4f(u32 location, f32 x, f32 y, f32 z, f32 w);
void shader_uniform_matrix3fa(u32 location, i32 count, bool transpose, const f32* values);
void shader_uniform_matrix4fa(u32 location, i32 count, bool transpose, const f32* values);

u32 texture_create();
void texture_unit(i32 unit);
void texture_bind(i32 target, u32 texture);
void texture_unbind(i32 target);
void texture_image_2d(i32 target, i32 level, i32 internal_format, i32 width, i32 height,
                      i32 format, i32 type, const void* pixels);
void texture_parameter_wrap(i32 target, i32 axis, i32 wrap);
void texture_parameter_filter(i32 target, i32 which, i32 filter);
void texture_parameterf(i32 target, i32 parameter, f32 value);
void texture_generate_mipmap(i32 target);
void texture_destroy(u32 texture);

u32 frame_buffer_create();
void frame_buffer_bind(i32 target, u32 frame_buffer);
void frame_buffer_unbind(i32 target);
void frame_buffer_texture(i32 target, i32 attachment, i32 texture_target, u32 texture,
                          i32 level);
void frame_buffer_render_buffer(i32 target, i32 attachment, i32 render_buffer_target,
                                u32 render_buffer);
i32 frame_buffer_get_status(i32 target);
void frame_buffer_destroy(u32 frame_buffer);

u32 render_buffer_create();
void render_buffer_bind(u32 render_buffer);
void render_buffer_unbind();
void render_buffer_storage(i32 format, i32 width, i32 height);
void render_buffer_destroy(u32 render_buffer);

void pipeline_viewport(i32 x, i32 y, i32 width, i32 height);
void pipeline_clear_color(f32 r, f32 g, f32 b, f32 a);
void pipeline_clear(u32 mask);
void pipeline_blend_enable(bool on);
void pipeline_blend_factor(i32 source, i32 destination);
void pipeline_depth_enable(bool on);
void pipeline_cull_enable(bool on);
void pipeline_scissor_enable(bool on);
void pipeline_scissor_rect(i32 x, i32 y, i32 width, i32 height);
void pipeline_draw_buffers(i32 count, const u32* attachments);  // GPU_DRAW_BUFFER_COLOR0...
void pipeline_present();

// ---------------------------------------------------------------------------
// Clipboard and message box
// ---------------------------------------------------------------------------
// The buffer that clipboard_get copies into; pasted text is cut to its size.
void clipboard_set_buffer(i64 size, void* block);
Str clipboard_get();  // inside the clipboard buffer; valid until the next call
void clipboard_set(Str text);
// flags 0: a plain information box. Blocks until the user closes it.
void show_simple_message_box(u32 flags, Str title, Str message);

// ---------------------------------------------------------------------------
// Elementary maths on doubles
// ---------------------------------------------------------------------------
f64 math_sin(f64 x);
f64 math_cos(f64 x);
f64 math_pow(f64 x, f64 y);
f64 math_log(f64 x);
f64 math_floor(f64 x);
f64 math_mod(f64 x, f64 y);  // C fmod
f64 math_abs(f64 x);
f64 math_sqrt(f64 x);
