// What the parts of the headless back end share with each other (not with tests).
#pragma once

#include "platform/common_internal.h"  // platform_call_note
#include "platform/headless.h"

// True once for each failure the test asked for; clears it.
bool headless_take_failure(HeadlessFailure failure);
// A malloc'd copy of the text (the back end keeps copies of what it records).
Str headless_copy(Str text);

// Each part forgets its own state; headless_reset calls them all.
void headless_reset_display_input();
void headless_reset_audio();
void headless_reset_clipboard();
void headless_reset_graphics();
