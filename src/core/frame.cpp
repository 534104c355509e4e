// Placeholder until the interface lands: a frame draws nothing and a question quits.
#include "core/frame.h"

#include "core/app.h"

void frame_reset() {}
void frame() {}
void save_question_open(u8 follow_up) {
    if (follow_up == 1) g_app.running = false;
}
