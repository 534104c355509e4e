// Memory pools: bump arenas handed out in blocks aligned to 8. POOL_MAIN lives until
// shutdown and takes back single blocks for reuse (pool_free), so that a long session of
// edits does not fill it; POOL_TMP lives until the next frame (main thread only) and
// POOL_WORKER, the render worker's, until its next render: they are emptied, never freed.
// Also `PoolArray`, the growable array every list of the program is built on.
#pragma once

#include <string.h>

#include "base/types.h"

enum PoolId : u8 {
    POOL_MAIN = 0,
    POOL_TMP = 1,
    POOL_WORKER = 2,
    POOL_COUNT = 3,
};

struct PoolChunk;  // a retired block of a growing pool

// Blocks of a reusing pool are rounded up to a size class (eight bytes apart up to 64,
// then four classes per doubling), and given-back blocks wait in one list per class.
enum { POOL_SIZE_CLASSES = 240 };

struct Pool {
    u8* base;
    i64 capacity;
    i64 used;
    // A growing pool takes a new block from malloc when one does not fit; the blocks
    // it outgrew are kept until it is emptied. The main and tmp pools never grow.
    bool grows;
    PoolChunk* retired;
    bool reported_full;  // "is full" said once, not on every refused request
    bool reuses;         // POOL_MAIN: blocks are rounded to their class and can be freed
    void* free_blocks[POOL_SIZE_CLASSES];  // given-back blocks, linked through their start
};

extern Pool g_pools[POOL_COUNT];

// Takes `capacity` bytes from malloc for the pool; false when malloc fails.
bool pool_setup(u8 pool, i64 capacity, bool grows);
// Frees the pool's memory; its capacity and used count become 0.
void pool_release(u8 pool);
// used := 0. A growing pool also gives back the blocks it outgrew.
void pool_empty(u8 pool);
f64 pool_usage(u8 pool);  // used / capacity, 0 for an unset pool

// A block of `size` bytes aligned to 8, or null when the pool cannot hold it. Null is
// also what an unknown pool id gives, with a message.
void* pool_alloc(u8 pool, i64 size);
// A block of `new_size` bytes starting with the old block's first `old_size` bytes. The
// most recent block grows in place. On failure null, and the old block stays valid.
void* pool_realloc(u8 pool, void* old_block, i64 old_size, i64 new_size);
// Zeroed block.
void* pool_alloc_zero(u8 pool, i64 size);
// Gives a block back for reuse by later requests of its size class. `size` is what the
// block was asked for (or grown to) last. Only a reusing pool takes it; anything else
// (another pool's block, a block of an emptied pool, size 0) is left alone. The block
// must not be used afterwards, nor be part of a larger block still in use.
void pool_free(u8 pool, void* block, i64 size);
// A copy of the string's bytes in the pool; the empty string when it does not fit.
Str str_copy(u8 pool, Str text);

// Growable array in a pool. Starts at capacity 1 and doubles; never shrinks. Elements
// are plain records, copied with memcpy. Every operation that would need memory the pool
// cannot give refuses and changes nothing.
template <typename T>
struct PoolArray {
    T* data;
    i64 count;
    i64 capacity;
    u8 pool;

    T& operator[](i64 index) { return data[index]; }
    const T& operator[](i64 index) const { return data[index]; }
};

template <typename T>
inline void array_init(PoolArray<T>* array, u8 pool) {
    array->data = 0;
    array->count = 0;
    array->capacity = 0;
    array->pool = pool;
}

// Capacity at least `wanted` (exactly `wanted` when it had to grow); false when refused.
template <typename T>
inline bool array_reserve(PoolArray<T>* array, i64 wanted) {
    if (wanted <= array->capacity) return true;
    if (wanted > INT64_MAX / (i64)sizeof(T)) return false;
    T* grown = array->data
        ? (T*)pool_realloc(array->pool, array->data, array->capacity * (i64)sizeof(T),
                           wanted * (i64)sizeof(T))
        : (T*)pool_alloc(array->pool, wanted * (i64)sizeof(T));
    if (!grown) return false;
    array->data = grown;
    array->capacity = wanted;
    return true;
}

// Appends a zeroed element and returns it, or null when refused.
template <typename T>
inline T* array_push_zero(PoolArray<T>* array) {
    if (array->count >= array->capacity) {
        i64 wanted = array->capacity ? array->capacity * 2 : 1;
        if (!array_reserve(array, wanted)) return 0;
    }
    T* slot = &array->data[array->count];
    memset((void*)slot, 0, sizeof(T));
    array->count += 1;
    return slot;
}

// Appends a copy of the element and returns where it lives, or null when refused.
template <typename T>
inline T* array_push(PoolArray<T>* array, const T& element) {
    T copy = element;  // the element may live inside the array that is about to move
    T* slot = array_push_zero(array);
    if (slot) memcpy((void*)slot, (const void*)&copy, sizeof(T));
    return slot;
}

// count := n; new elements are zeroed. False (and nothing changed) when refused.
template <typename T>
inline bool array_resize(PoolArray<T>* array, i64 count) {
    if (count < 0) count = 0;
    if (!array_reserve(array, count)) return false;
    if (count > array->count)
        memset((void*)(array->data + array->count), 0,
               (size_t)(count - array->count) * sizeof(T));
    array->count = count;
    return true;
}

// Later elements move down one place; an index outside the array does nothing.
template <typename T>
inline void array_remove(PoolArray<T>* array, i64 index) {
    if (index < 0 || index >= array->count) return;
    memmove((void*)(array->data + index), (const void*)(array->data + index + 1),
            (size_t)(array->count - index - 1) * sizeof(T));
    array->count -= 1;
}

// Inserts a copy before `index` (at the end when index >= count); false when refused.
template <typename T>
inline bool array_insert(PoolArray<T>* array, i64 index, const T& element) {
    T copy = element;
    if (index < 0) index = 0;
    if (index > array->count) index = array->count;
    if (!array_push_zero(array)) return false;
    memmove((void*)(array->data + index + 1), (const void*)(array->data + index),
            (size_t)(array->count - 1 - index) * sizeof(T));
    memcpy((void*)(array->data + index), (const void*)&copy, sizeof(T));
    return true;
}

template <typename T>
inline void array_clear(PoolArray<T>* array) {
    array->count = 0;
}
