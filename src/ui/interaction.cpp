// The interaction stack lives in POOL_MAIN and keeps its storage for the whole run.
#include "ui/interaction.h"

#include "base/pool.h"

UiInput g_ui;

static PoolArray<u8> interaction_stack;
static bool keyboard_blocked;

void interaction_reset() {
    array_init(&interaction_stack, POOL_MAIN);
    keyboard_blocked = false;
}

void interaction_push(bool allowed) { array_push(&interaction_stack, (u8)(allowed ? 1 : 0)); }

void interaction_pop() {
    if (interaction_stack.count > 0) interaction_stack.count -= 1;
}

bool interaction_allowed() {
    return interaction_stack.count > 0 && interaction_stack[interaction_stack.count - 1] != 0;
}

i64 interaction_depth() { return interaction_stack.count; }

void interaction_keyboard_block(bool blocked) { keyboard_blocked = blocked; }
bool interaction_keyboard_allowed() { return !keyboard_blocked; }
