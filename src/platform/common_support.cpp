// Small helpers of the platform layer: the per-thread failure text behind
// system_last_error, counted paths made into C strings, the bump allocator of the image
// and wave working memories, and the count of calls made on marked threads. Any thread;
// the failure text and the mark are thread-local, the counts atomic.
#include <errno.h>
#include <string.h>
#include <sys/mman.h>

#include "platform/common_internal.h"

enum { ERROR_TEXT_CAPACITY = 512 };

// Each thread keeps its own text, so the worker's failed export cannot overwrite the
// reason that the main thread is about to show.
static thread_local char error_text[ERROR_TEXT_CAPACITY];
static thread_local i64 error_length;

Str system_last_error() { return Str{(u8*)error_text, error_length}; }

void platform_error_set_str(Str text) {
    i64 length = text.length;
    if (length < 0) length = 0;
    if (length > ERROR_TEXT_CAPACITY - 1) length = ERROR_TEXT_CAPACITY - 1;
    if (length > 0) memcpy(error_text, text.data, (size_t)length);
    error_text[length] = 0;
    error_length = length;
}

void platform_error_set(const char* text) { platform_error_set_str(str_from_cstring(text)); }

void platform_error_set_errno(int error_number) {
    char buffer[256];
    // The GNU strerror_r returns a pointer that may or may not be `buffer`.
    const char* text = strerror_r(error_number, buffer, sizeof(buffer));
    platform_error_set(text ? text : "unknown error");
}

bool platform_path_copy(Str path, char* buffer, i64 capacity) {
    if (capacity <= 0) return false;
    buffer[0] = 0;
    if (path.length < 0 || (path.length > 0 && !path.data)) {
        platform_error_set("invalid path");
        return false;
    }
    if (path.length >= capacity) {
        platform_error_set_errno(ENAMETOOLONG);
        return false;
    }
    if (path.length > 0 && memchr(path.data, 0, (size_t)path.length)) {
        platform_error_set("path holds a NUL byte");
        return false;
    }
    if (path.length > 0) memcpy(buffer, path.data, (size_t)path.length);
    buffer[path.length] = 0;
    return true;
}

void* bump_alloc(BumpArena* arena, i64 size) {
    if (!arena->base || size < 0) return nullptr;
    // Align the address, not the offset: the block need not start on 16 bytes.
    uintptr_t address = ((uintptr_t)arena->base + (uintptr_t)arena->used + 15) & ~(uintptr_t)15;
    i64 start = (i64)(address - (uintptr_t)arena->base);
    if (start > arena->size || size > arena->size - start) return nullptr;
    arena->used = start + size;
    return arena->base + start;
}

// ---------------------------------------------------------------------------
// Calls on marked threads (the headless audio pump's, or a test's)
// ---------------------------------------------------------------------------
static const i64 CALL_LOG_CAPACITY = 256;

static thread_local bool thread_marked;
static i64 call_counts[PLATFORM_CALL_COUNT];  // atomic
static u8 call_log[CALL_LOG_CAPACITY];        // a ring, written at call_log_next % capacity
static i64 call_log_next;                     // atomic

void platform_call_note(PlatformCall call) {
    if (!thread_marked || call < 0 || call >= PLATFORM_CALL_COUNT) return;
    __atomic_fetch_add(&call_counts[call], 1, __ATOMIC_RELAXED);
    i64 at = __atomic_fetch_add(&call_log_next, 1, __ATOMIC_RELAXED);
    __atomic_store_n(&call_log[at % CALL_LOG_CAPACITY], (u8)call, __ATOMIC_RELAXED);
}

void platform_thread_mark(bool marked) { thread_marked = marked; }

bool platform_thread_marked() { return thread_marked; }

i64 platform_calls(PlatformCall call) {
    if (call < 0 || call >= PLATFORM_CALL_COUNT) return 0;
    return __atomic_load_n(&call_counts[call], __ATOMIC_RELAXED);
}

void platform_calls_clear() {
    for (i64 i = 0; i < PLATFORM_CALL_COUNT; i += 1)
        __atomic_store_n(&call_counts[i], 0, __ATOMIC_RELAXED);
    __atomic_store_n(&call_log_next, 0, __ATOMIC_RELAXED);
}

i64 platform_call_log(PlatformCall* calls, i64 capacity) {
    i64 next = __atomic_load_n(&call_log_next, __ATOMIC_RELAXED);
    i64 count = next < CALL_LOG_CAPACITY ? next : CALL_LOG_CAPACITY;
    if (count > capacity) count = capacity;
    for (i64 i = 0; i < count; i += 1)
        calls[i] = (PlatformCall)__atomic_load_n(&call_log[(next - count + i) % CALL_LOG_CAPACITY],
                                                 __ATOMIC_RELAXED);
    return count;
}

void memory_prefer_huge_pages(void* block, i64 size) {
    const uintptr_t huge = (uintptr_t)2 << 20;
    if (!block || size <= 0) return;
    uintptr_t begin = ((uintptr_t)block + huge - 1) & ~(huge - 1);
    uintptr_t end = ((uintptr_t)block + (uintptr_t)size) & ~(huge - 1);
    if (end > begin) madvise((void*)begin, (size_t)(end - begin), MADV_HUGEPAGE);
}
