// Names to list positions (named textures and fonts), in the program's hash table. Written
// at start-up on the main thread; the lookups only read, so the render worker may call them
// afterwards.
#pragma once

#include "base/hash_table.h"

typedef HashTable<Str, i64> NameMap;

inline void name_map_init(NameMap* map, u8 pool) {
    *map = NameMap{};
    map->pool = pool;
}
// The name must outlive the map (callers copy it into the map's pool first). An empty name
// is never stored; a name inserted again keeps its first index.
inline bool name_map_insert(NameMap* map, Str name, i64 index) {
    return hash_table_insert(map, name, index, HASH_KEEP_FIRST, HASH_PROBE_ANY);
}
// The index stored for the name, or -1.
inline i64 name_map_find(const NameMap* map, Str name) {
    const i64* index = hash_table_find(map, name);
    return index ? *index : -1;
}
