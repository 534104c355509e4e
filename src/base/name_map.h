// Name tables of the drawing code: 32-bit FNV-1a and an open-addressing map from names to
// list positions (named textures and fonts). Written at start-up on the main thread; the
// lookups only read, so the render worker may call them afterwards.
#pragma once

#include "base/pool.h"

u32 hash_fnv1a(const u8* bytes, i64 length);

struct NameMapEntry {
    Str name;   // length 0 marks an empty entry
    i64 index;  // position in the owner's list
};

// Capacity is a power of two (8 at the first insertion); linear probing from the home slot.
struct NameMap {
    NameMapEntry* entries;
    i64 capacity;
    i64 count;
    u8 pool;
};

void name_map_init(NameMap* map, u8 pool);
// The name must outlive the map (callers copy it into the map's pool first). An empty name
// is never stored. A name inserted twice keeps both entries; lookups find the first.
bool name_map_insert(NameMap* map, Str name, i64 index);
// The index stored for the name, or -1.
i64 name_map_find(const NameMap* map, Str name);
