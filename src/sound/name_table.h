// Name tables of the sound definitions, in the program's hash table: a name defined again
// replaces the earlier definition, and clustered names double the table rather than make
// long probes. Keys are views into text that outlives the table. Not locked: filled at
// start-up, read-only afterwards.
#pragma once

#include "base/hash_table.h"

template <typename T>
using NameSlot = HashSlot<Str, T>;
template <typename T>
using NameTable = HashTable<Str, T>;

inline u32 name_hash(Str name) { return hash_key(name); }

// Stores `value` under `key` (replacing an earlier value of the same name). False when
// the pool cannot hold the table.
template <typename T>
bool name_table_insert(NameTable<T>* table, Str key, const T& value) {
    return hash_table_insert(table, key, value, HASH_REPLACE, HASH_PROBE_BOUNDED);
}

// The value stored under `key`, or null.
template <typename T>
const T* name_table_find(const NameTable<T>* table, Str key) {
    return hash_table_find(table, key);
}
