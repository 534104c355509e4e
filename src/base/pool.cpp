// Pool allocation: a few integer operations per block, no malloc except when a pool is set
// up and when the worker's growing pool needs a larger block.
#include "base/pool.h"

#include <stdlib.h>

#include "base/format.h"

Pool g_pools[POOL_COUNT];

// Header in front of a block that a growing pool outgrew, so it can be freed on empty.
struct PoolChunk {
    PoolChunk* next;
};

static const char* const pool_labels[POOL_COUNT] = {"main memory", "tmp memory",
                                                     "worker memory"};

bool pool_setup(u8 pool, i64 capacity, bool grows) {
    Pool* p = &g_pools[pool];
    *p = Pool{};
    p->base = (u8*)malloc((size_t)capacity);
    p->capacity = p->base ? capacity : 0;
    p->used = 0;
    p->grows = grows;
    p->retired = 0;
    p->reported_full = false;
    p->reuses = pool == POOL_MAIN && !grows;
    return p->base != 0;
}

// The class of a block of `size` bytes (above 0) and the size it is rounded to.
static i64 size_class(i64 size, i64* rounded) {
    if (size <= 64) {
        *rounded = (size + 7) & ~(i64)7;
        return *rounded / 8 - 1;
    }
    i64 k = 6;  // 2^k < size <= 2^(k+1)
    while (k < 62 && ((i64)1 << (k + 1)) < size) k += 1;
    i64 step = (i64)1 << (k - 2);
    i64 steps = (size + step - 1) / step;  // 5 to 8
    *rounded = steps * step;
    return 8 + (k - 6) * 4 + (steps - 5);
}

// What a block of `size` takes from the pool: its class size in a reusing pool.
static i64 block_size(const Pool* p, i64 size) {
    if (!p->reuses || size <= 0) return size;
    i64 rounded;
    size_class(size, &rounded);
    return rounded;
}

static void free_lists_clear(Pool* p) {
    for (i64 i = 0; i < POOL_SIZE_CLASSES; i += 1) p->free_blocks[i] = 0;
}

static void pool_free_retired(Pool* p) {
    while (p->retired) {
        PoolChunk* next = p->retired->next;
        free(p->retired);
        p->retired = next;
    }
}

void pool_release(u8 pool) {
    if (pool >= POOL_COUNT) return;
    Pool* p = &g_pools[pool];
    pool_free_retired(p);
    free(p->base);
    p->base = 0;
    p->capacity = 0;
    p->used = 0;
    free_lists_clear(p);
}

void pool_empty(u8 pool) {
    if (pool >= POOL_COUNT) return;
    Pool* p = &g_pools[pool];
    pool_free_retired(p);
    p->used = 0;
    free_lists_clear(p);
}

f64 pool_usage(u8 pool) {
    if (pool >= POOL_COUNT || g_pools[pool].capacity == 0) return 0.0;
    return (f64)g_pools[pool].used / (f64)g_pools[pool].capacity;
}

static void pool_report_full(u8 pool, Pool* p) {
    if (p->reported_full) return;
    p->reported_full = true;
    const FormatArg args[] = {fa_str(str_from_cstring(pool_labels[pool]))};
    format_print(STR("%a is full: an operation was refused\n"), args, ARRAY_COUNT(args));
}

// Moves a growing pool to a fresh block of at least `size` bytes; the old block is kept
// (its contents may still be in use) until the pool is emptied.
static bool pool_grow(Pool* p, i64 size) {
    i64 capacity = p->capacity > 0 ? p->capacity : 1 << 20;
    while (capacity < size + 16) {
        if (capacity > INT64_MAX / 2) return false;
        capacity *= 2;
    }
    u8* block = (u8*)malloc((size_t)capacity);
    if (!block) return false;
    if (p->base) {
        // The old block becomes a retired chunk; its first bytes hold the link.
        // Blocks are handed out from offset 16 in a growing pool, so the link never
        // overlaps user data.
        PoolChunk* chunk = (PoolChunk*)p->base;
        chunk->next = p->retired;
        p->retired = chunk;
    }
    p->base = block;
    p->capacity = capacity;
    p->used = 16;
    return true;
}

static Pool* pool_select(u8 pool, const char* caller) {
    if (pool < POOL_COUNT) return &g_pools[pool];
    const FormatArg args[] = {fa_str(str_from_cstring(caller)), fa_i64(pool)};
    format_print(STR("%a: unknown pool %b\n"), args, ARRAY_COUNT(args));
    return 0;
}

void* pool_alloc(u8 pool, i64 size) {
    Pool* p = pool_select(pool, "pool_alloc");
    if (!p || size < 0) return 0;
    if (p->reuses && size > 0) {
        i64 rounded;
        i64 index = size_class(size, &rounded);
        void* reused = p->free_blocks[index];
        if (reused) {
            p->free_blocks[index] = *(void**)reused;
            return reused;
        }
        size = rounded;
    }
    if (p->grows && p->used < 16) p->used = 16;
    p->used = (p->used + 7) & ~(i64)7;
    if (size > p->capacity - p->used) {
        if (!p->grows || !pool_grow(p, size)) {
            pool_report_full(pool, p);
            return 0;
        }
    }
    u8* block = p->base + p->used;
    p->used += size;
    return block;
}

void* pool_realloc(u8 pool, void* old_block, i64 old_size, i64 new_size) {
    Pool* p = pool_select(pool, "pool_realloc");
    if (!p || new_size < 0 || old_size < 0) return 0;
    u8* old_bytes = (u8*)old_block;
    i64 old_taken = block_size(p, old_size), new_taken = block_size(p, new_size);
    // The latest block grows in place when the pool has room.
    if (old_bytes && p->base && old_bytes >= p->base &&
        old_bytes + old_taken == p->base + p->used) {
        i64 start = old_bytes - p->base;
        if (new_taken <= p->capacity - start) {
            p->used = start + new_taken;
            return old_block;
        }
        if (!p->grows) {
            pool_report_full(pool, p);
            return 0;
        }
    }
    u8* block = (u8*)pool_alloc(pool, new_size);
    if (!block) return 0;
    if (old_bytes) memcpy(block, old_bytes, (size_t)(old_size < new_size ? old_size : new_size));
    return block;
}

void pool_free(u8 pool, void* block, i64 size) {
    if (pool >= POOL_COUNT || !block || size <= 0) return;
    Pool* p = &g_pools[pool];
    u8* bytes = (u8*)block;
    if (!p->reuses || !p->base || bytes < p->base || bytes >= p->base + p->used) return;
    i64 rounded;
    i64 index = size_class(size, &rounded);
    if (bytes + rounded == p->base + p->used) {
        p->used = bytes - p->base;  // the latest block: the pool simply takes it back
        return;
    }
    *(void**)block = p->free_blocks[index];
    p->free_blocks[index] = block;
}

void* pool_alloc_zero(u8 pool, i64 size) {
    void* block = pool_alloc(pool, size);
    if (block) memset(block, 0, (size_t)size);
    return block;
}

Str str_copy(u8 pool, Str text) {
    if (text.length <= 0) return Str{0, 0};
    u8* block = (u8*)pool_alloc(pool, text.length);
    if (!block) return Str{0, 0};
    memcpy(block, text.data, (size_t)text.length);
    return Str{block, text.length};
}
