// Helpers shared by the platform's own files (never included by the program): the
// per-thread failure text behind system_last_error, counted paths made into C strings,
// the bump allocator that the image and wave working memories use, and the input record
// both back ends feed with their events.
#pragma once

#include "platform/headless.h"  // PlatformCall
#include "platform/system.h"

// Replaces this thread's failure text (cut to the buffer).
void platform_error_set(const char* text);
void platform_error_set_str(Str text);
void platform_error_set_errno(int error_number);  // strerror of the number

// Copies a counted path into `buffer` (capacity bytes) with a terminating NUL. An empty
// path stays empty. Fails, setting the failure text, when the path does not fit or holds
// a NUL byte.
bool platform_path_copy(Str path, char* buffer, i64 capacity);

// Bump allocation inside a block the program handed over; nothing is freed one by one.
struct BumpArena {
    u8* base;
    i64 size;
    i64 used;
};
void* bump_alloc(BumpArena* arena, i64 size);  // 16-byte aligned; null when it does not fit

// Counts a call when the calling thread is marked (headless.h); a thread-local test and
// nothing more otherwise, so the real back end pays next to nothing.
void platform_call_note(PlatformCall call);
void platform_thread_mark(bool marked);
bool platform_thread_marked();
i64 platform_calls(PlatformCall call);
void platform_calls_clear();
i64 platform_call_log(PlatformCall* calls, i64 capacity);

// The input record (common_input.cpp). A back end's input_poll begins a poll, feeds its
// events in the order they happened, and ends the poll; the input_* answers of system.h
// are read from the record. Key codes are the platform's; 0 is a key outside the table.
void input_record_reset(f32 mouse_x, f32 mouse_y);
void input_record_begin_poll();
void input_record_end_poll();
void input_record_key_down(i32 code, bool repeat);  // a down of a held key is a repeat
void input_record_key_up(i32 code);
void input_record_release_all();          // the window lost the focus
void input_record_lock_bits(u32 bits);    // caps lock, num lock and the system key
void input_record_text(Str text);         // cut at a whole character when full
void input_record_mouse_move(f32 x, f32 y);
void input_record_mouse_down(i32 button);
void input_record_mouse_up(i32 button);
void input_record_wheel(i32 notches);
