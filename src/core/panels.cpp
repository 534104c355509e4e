// Placeholder until the interface lands: there are no panels.
#include "core/panels.h"

void panels_reset() {}
void panels_input() {}
void panels_scale(f32, f32) {}
