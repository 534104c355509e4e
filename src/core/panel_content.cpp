// What each kind of panel shows below its title bar: one switch over the kinds. Kinds
// whose content has not been built yet show an empty panel. Main thread, inside the frame,
// with the scissor set to the content rectangle.
#include "core/frame_question.h"
#include "core/panels.h"

void panel_content(Panel* panel, f32 x, f32 y, f32 width, f32 height) {
    if (!panel->content) return;
    Rect content = {x, y, width, height};
    switch (panel->kind) {
        case PANEL_QUESTION: save_question_content((SaveQuestion*)panel->content, content); break;
        default: break;
    }
}
