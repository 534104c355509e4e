// The save question panel: asked before quitting, starting a new piece or opening another
// when the piece has unsaved changes. Its record lives in POOL_MAIN; the panel finds it through its
// content pointer, and nothing here keeps the Panel itself, which moves when the list
// changes (saving may open the file panel on top of it). Main thread.
#include "app/frame_question.h"

#include "app/app.h"
#include "app/document.h"
#include "app/frame.h"
#include "app/recovery.h"
#include "base/format.h"
#include "gfx/font.h"
#include "gfx/resources.h"
#include "gfx/theme.h"
#include "model/piece.h"
#include "panels/file_panel.h"
#include "platform/system.h"

void save_follow_up(u8 follow_up) {
    if (follow_up == FOLLOW_UP_QUIT) {
        g_app.running = false;
    } else if (follow_up == FOLLOW_UP_OPEN) {
        // The piece stays until a file is chosen and opens; cancelling the panel keeps it.
        file_panel_open(STR("open piece"), FILE_ACTION_OPEN);
    } else {
        g_piece.modified = 0;
        piece_new();
    }
}

bool question_return_answers(const SaveQuestion* question) {
    i64 top = panels_modal_index();
    return top >= 0 && g_panels.panels[top].content == question &&
           (input_key_is_pressed(KEY_RETURN) || input_key_is_pressed(KEY_KEYPAD_ENTER));
}

bool question_cancel() {
    i64 top = panels_modal_index();
    if (top < 0) return false;
    ((SaveQuestion*)g_panels.panels[top].content)->close_requested = 1;
    return true;
}

void save_question_open(u8 follow_up) {
    for (i64 i = 0; i < g_panels.panels.count; i += 1) {
        Panel* panel = &g_panels.panels[i];
        if (panel->kind != PANEL_QUESTION || !panel->content) continue;
        SaveQuestion* open = (SaveQuestion*)panel->content;
        if (open->close_requested) continue;  // answered; removed in the next input step
        if (open->restore) continue;          // the recovery question is another question
        open->follow_up = follow_up;
        return;
    }
    SaveQuestion* question = (SaveQuestion*)pool_alloc_zero(POOL_MAIN, sizeof(SaveQuestion));
    if (!question) return;
    question->follow_up = follow_up;
    f32 x = (f32)g_window.width / 2 - 240;
    f32 y = (f32)g_window.height / 2 - 120;
    Panel* panel = panel_create(PANEL_QUESTION, STR("question"), x, y, 480, 240, question);
    if (panel) panel->min_width = 400;
}

void save_question_content(SaveQuestion* question, Rect content) {
    if (question->restore) {
        recovery_question_content(question, content);
        return;
    }
    f32 s = g_theme.scale, o = g_theme.offset;
    Str name = g_piece.path.length > 0 ? g_piece.path : STR("this piece");
    const FormatArg args[] = {fa_str(name)};
    Str text = format_tmp(STR("do you want to save %.?\n"), args, ARRAY_COUNT(args));
    Font* font = g_theme.font ? g_theme.font : font_default();
    draw_string(font, g_theme.text_color, text, content.x + content.width / 2,
                content.y + content.height - 32, g_theme.text_scale, g_theme.text_scale,
                TEXT_CENTER, TEXT_FIRST_LINE_ON_Y);

    f32 w = 4 * s;
    text_button(&question->yes, Rect{content.x + o, content.y + o, w, s}, STR("yes"));
    text_button(&question->no, Rect{content.x + o + w + o, content.y + o, w, s}, STR("no"));
    text_button(&question->cancel, Rect{content.x + content.width - o - w, content.y + o, w, s},
                STR("cancel"));

    // The panel closes whatever the answer; a save that needs a file name first opens the
    // file panel, whose confirmation then runs the follow-up itself.
    u8 follow_up = question->follow_up;
    if (question->yes.clicked || question_return_answers(question)) {
        question->close_requested = 1;
        if (piece_save(1, follow_up) == 1) save_follow_up(follow_up);
    } else if (question->no.clicked) {
        question->close_requested = 1;
        save_follow_up(follow_up);
    } else if (question->cancel.clicked) {
        question->close_requested = 1;
    }
}
