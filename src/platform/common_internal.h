// Helpers shared by the platform's own files (never included by the program): the
// per-thread failure text behind system_last_error, counted paths made into C strings,
// and the bump allocator that the image and wave working memories use.
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
