// FNV-1a and the name map; see name_map.h.
#include "base/name_map.h"

u32 hash_fnv1a(const u8* bytes, i64 length) {
    u32 hash = 0x811C9DC5u;
    for (i64 i = 0; i < length; i += 1) {
        hash ^= bytes[i];
        hash *= 16777619u;
    }
    return hash;
}

void name_map_init(NameMap* map, u8 pool) { *map = NameMap{0, 0, 0, pool}; }

static void name_map_place(NameMapEntry* entries, i64 capacity, NameMapEntry entry) {
    i64 slot = (i64)(hash_fnv1a(entry.name.data, entry.name.length) & (u32)(capacity - 1));
    while (entries[slot].name.length != 0) slot = (slot + 1) & (capacity - 1);
    entries[slot] = entry;
}

// Keeps the table at most half full, so a probe always meets an empty entry.
static bool name_map_grow(NameMap* map) {
    i64 capacity = map->capacity ? map->capacity * 2 : 8;
    NameMapEntry* entries =
        (NameMapEntry*)pool_alloc_zero(map->pool, capacity * (i64)sizeof(NameMapEntry));
    if (!entries) return false;
    for (i64 i = 0; i < map->capacity; i += 1)
        if (map->entries[i].name.length != 0) name_map_place(entries, capacity, map->entries[i]);
    map->entries = entries;
    map->capacity = capacity;
    return true;
}

bool name_map_insert(NameMap* map, Str name, i64 index) {
    if (name.length <= 0) return false;
    if (map->capacity == 0 || map->count + 1 > map->capacity / 2)
        if (!name_map_grow(map)) return false;
    name_map_place(map->entries, map->capacity, NameMapEntry{name, index});
    map->count += 1;
    return true;
}

i64 name_map_find(const NameMap* map, Str name) {
    if (map->capacity == 0 || name.length <= 0) return -1;
    i64 mask = map->capacity - 1;
    i64 home = (i64)(hash_fnv1a(name.data, name.length) & (u32)mask);
    i64 slot = home;
    do {
        const NameMapEntry* entry = &map->entries[slot];
        if (entry->name.length == 0) return -1;
        if (str_equal(entry->name, name)) return entry->index;
        slot = (slot + 1) & mask;
    } while (slot != home);
    return -1;
}
