// Name tables of the sound definitions: open addressing over 32-bit FNV-1a with a
// power-of-two capacity and a probe limit that grows with the table. Keys are views into
// text that outlives the table. Not locked: filled at start-up, read-only afterwards.
#pragma once

#include <string.h>

#include "base/pool.h"

template <typename T>
struct NameSlot {
    Str key;  // length 0: empty
    T value;
};

template <typename T>
struct NameTable {
    NameSlot<T>* slots;
    i64 capacity;  // a power of two
    i64 count;     // insertions, overwrites included
    i64 probe_limit;
    u8 pool;
};

inline u32 name_hash(Str name) {
    u32 hash = 0x811c9dc5u;
    for (i64 i = 0; i < name.length; i += 1) {
        hash ^= name.data[i];
        hash *= 16777619u;
    }
    return hash;
}

// Doubles the capacity and reinserts every occupied slot without a probe limit. False
// (and the table unchanged) when the pool refuses.
template <typename T>
bool name_table_grow(NameTable<T>* table) {
    i64 capacity = table->capacity * 2;
    NameSlot<T>* slots =
        (NameSlot<T>*)pool_alloc_zero(table->pool, capacity * (i64)sizeof(NameSlot<T>));
    if (!slots) return false;
    for (i64 i = 0; i < table->capacity; i += 1) {
        NameSlot<T>* old = &table->slots[i];
        if (old->key.length == 0) continue;
        i64 slot = (i64)(name_hash(old->key) & (u32)(capacity - 1));
        while (slots[slot].key.length != 0) slot = (slot + 1) & (capacity - 1);
        memcpy((void*)&slots[slot], (const void*)old, sizeof(NameSlot<T>));
    }
    table->slots = slots;
    table->capacity = capacity;
    table->probe_limit += 1;
    return true;
}

// Stores `value` under `key` (replacing an earlier value of the same name). False when
// the pool cannot hold the table.
template <typename T>
bool name_table_insert(NameTable<T>* table, Str key, const T& value) {
    if (!table->slots) {
        table->slots = (NameSlot<T>*)pool_alloc_zero(table->pool, 8 * (i64)sizeof(NameSlot<T>));
        if (!table->slots) return false;
        table->capacity = 8;
        table->probe_limit = 3;
        table->count = 0;
    }
    if (table->count > table->capacity / 2 && !name_table_grow(table)) return false;
    for (;;) {
        i64 mask = table->capacity - 1;
        i64 slot = (i64)(name_hash(key) & (u32)mask);
        i64 probes = 0;
        while (probes < table->probe_limit) {
            Str held = table->slots[slot].key;
            if (held.length == 0 || str_equal(held, key)) {
                table->slots[slot].key = key;
                table->slots[slot].value = value;
                table->count += 1;
                return true;
            }
            slot = (slot + 1) & mask;
            probes += 1;
        }
        if (!name_table_grow(table)) return false;
    }
}

// The value stored under `key`, or null.
template <typename T>
const T* name_table_find(const NameTable<T>* table, Str key) {
    if (!table->slots || key.length == 0) return 0;
    i64 mask = table->capacity - 1;
    i64 home = (i64)(name_hash(key) & (u32)mask);
    i64 slot = home;
    do {
        const NameSlot<T>* entry = &table->slots[slot];
        if (entry->key.length == 0) return 0;
        if (str_equal(entry->key, key)) return &entry->value;
        slot = (slot + 1) & mask;
    } while (slot != home);
    return 0;
}
