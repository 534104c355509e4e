// The program's one hash table: open addressing with linear probing over 32-bit FNV-1a, a
// power-of-two capacity (8 at the first insertion) kept at most about half full. Keys are
// names (views into text that outlives the table) or 32-bit numbers; the empty name and
// the number 0 mark free slots and are never stored. Not locked: tables are filled by one
// thread and only read once they are shared.
#pragma once

#include <string.h>

#include "base/pool.h"

inline u32 hash_fnv1a(const u8* bytes, i64 length) {
    u32 hash = 0x811C9DC5u;
    for (i64 i = 0; i < length; i += 1) {
        hash ^= bytes[i];
        hash *= 16777619u;
    }
    return hash;
}

inline u32 hash_key(Str key) { return hash_fnv1a(key.data, key.length); }
inline u32 hash_key(u32 key) {  // the number's bytes, most significant first
    const u8 bytes[4] = {(u8)(key >> 24), (u8)(key >> 16), (u8)(key >> 8), (u8)key};
    return hash_fnv1a(bytes, 4);
}
inline bool hash_key_free(Str key) { return key.length <= 0; }
inline bool hash_key_free(u32 key) { return key == 0; }
inline bool hash_key_equal(Str a, Str b) { return str_equal(a, b); }
inline bool hash_key_equal(u32 a, u32 b) { return a == b; }

template <typename K, typename V>
struct HashSlot {
    K key;  // free while hash_key_free(key)
    V value;
};

// A table starts zeroed but for its pool.
template <typename K, typename V>
struct HashTable {
    HashSlot<K, V>* slots;  // null until the first insertion
    i64 capacity;
    i64 count;        // insertions that stored a value (replacements too)
    i64 probe_limit;  // log2 of the capacity; the most slots a bounded insertion tries
    u8 pool;
};

// What an insertion does with a key the table holds already.
enum HashRepeat : u8 {
    HASH_KEEP_FIRST = 0,  // the first value stays; the insertion succeeds and stores nothing
    HASH_REPLACE = 1,     // the new value replaces it
};
// How far an insertion looks for a free slot.
enum HashProbe : u8 {
    HASH_PROBE_ANY = 0,      // as far as the first free slot
    HASH_PROBE_BOUNDED = 1,  // probe_limit slots, else the table doubles (clustered keys)
};

// The slot holding the key, or null. Stops after one round of a table without free slots.
template <typename K, typename V>
HashSlot<K, V>* hash_table_slot(const HashTable<K, V>* table, K key) {
    if (table->capacity == 0 || hash_key_free(key)) return 0;
    i64 mask = table->capacity - 1;
    i64 home = (i64)(hash_key(key) & (u32)mask);
    i64 slot = home;
    do {
        HashSlot<K, V>* entry = &table->slots[slot];
        if (hash_key_free(entry->key)) return 0;
        if (hash_key_equal(entry->key, key)) return entry;
        slot = (slot + 1) & mask;
    } while (slot != home);
    return 0;
}

template <typename K, typename V>
const V* hash_table_find(const HashTable<K, V>* table, K key) {
    const HashSlot<K, V>* slot = hash_table_slot(table, key);
    return slot ? &slot->value : 0;
}

// A new block of `capacity` slots holding every entry of the old one. False (and the table
// unchanged) when the pool refuses.
template <typename K, typename V>
bool hash_table_rebuild(HashTable<K, V>* table, i64 capacity, i64 probe_limit) {
    HashSlot<K, V>* slots =
        (HashSlot<K, V>*)pool_alloc_zero(table->pool, capacity * (i64)sizeof(HashSlot<K, V>));
    if (!slots) return false;
    i64 mask = capacity - 1;
    for (i64 i = 0; i < table->capacity; i += 1) {
        const HashSlot<K, V>* old = &table->slots[i];
        if (hash_key_free(old->key)) continue;
        i64 slot = (i64)(hash_key(old->key) & (u32)mask);
        while (!hash_key_free(slots[slot].key)) slot = (slot + 1) & mask;
        memcpy((void*)&slots[slot], (const void*)old, sizeof(HashSlot<K, V>));
    }
    table->slots = slots;
    table->capacity = capacity;
    table->probe_limit = probe_limit;
    return true;
}

// Stores the value under the key. False for a free key and when the pool cannot hold the
// table.
template <typename K, typename V>
bool hash_table_insert(HashTable<K, V>* table, K key, const V& value, HashRepeat repeat,
                       HashProbe probe) {
    if (hash_key_free(key)) return false;
    HashSlot<K, V>* held = hash_table_slot(table, key);
    if (held) {
        if (repeat == HASH_KEEP_FIRST) return true;
        held->value = value;
        table->count += 1;
        return true;
    }
    if (table->capacity == 0 && !hash_table_rebuild(table, 8, 3)) return false;
    if (table->count > table->capacity / 2 &&
        !hash_table_rebuild(table, table->capacity * 2, table->probe_limit + 1))
        return false;
    for (;;) {
        i64 mask = table->capacity - 1;
        i64 home = (i64)(hash_key(key) & (u32)mask);
        // Keys whose hashes collide could otherwise double the table without end; past this
        // size the entry takes the first free slot, which always exists because the table
        // is at most half full.
        bool limited = probe == HASH_PROBE_BOUNDED && table->capacity < 64 * (table->count + 1);
        i64 limit = limited ? table->probe_limit : table->capacity;
        for (i64 step = 0; step < limit; step += 1) {
            HashSlot<K, V>* slot = &table->slots[(home + step) & mask];
            if (hash_key_free(slot->key)) {
                slot->key = key;
                slot->value = value;
                table->count += 1;
                return true;
            }
        }
        if (!hash_table_rebuild(table, table->capacity * 2, table->probe_limit + 1)) return false;
    }
}
