// Placeholder until the piece code lands: no keys are defined.
#include "gfx/keys.h"

PoolArray<KeyDefinition> g_keys;

void keys_load() { array_init(&g_keys, POOL_MAIN); }

KeyDefinition* key_by_name(Str name) {
    for (i64 i = 0; i < g_keys.count; i += 1)
        if (str_equal(g_keys[i].name, name)) return &g_keys[i];
    return 0;
}
