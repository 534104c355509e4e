// Crash recovery. The file is three lines (a marker, the time it was written, the piece's
// path) followed by the piece's scene encoding; it is replaced atomically like a save, so
// a crash while writing leaves the previous copy. The file is this run's to remove only
// once it wrote or restored it: a file offered by an unanswered question survives a clean
// quit, for the next start to offer again. Main thread.
#include "app/recovery.h"

#include <string.h>

#include "app/app.h"
#include "app/document.h"
#include "app/frame.h"
#include "app/frame_question.h"
#include "base/format.h"
#include "base/text.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/theme.h"
#include "model/files.h"
#include "model/history.h"
#include "model/piece.h"
#include "model/scene.h"
#include "panels/entry_panels.h"
#include "platform/system.h"
#include "ui/button.h"
#include "ui/panels.h"

static const Str MARKER = STR("sorvane recovery 1");

struct Recovery {
    i64 interval_seconds;
    bool owned;         // the file there is this run's (written or restored)
    bool suspended;     // a question about an earlier file is open, or was closed unanswered
    SaveQuestion* question;
    u64 due;            // the counter value of the next write; 0 while unmodified
};

static Recovery s_recovery = {RECOVERY_DEFAULT_SECONDS, false, false, 0, 0};

void recovery_set_interval(i64 seconds) { s_recovery.interval_seconds = seconds < 1 ? 1 : seconds; }

void recovery_reset() {
    i64 interval = s_recovery.interval_seconds;
    s_recovery = Recovery{interval, false, false, 0, 0};
}

Str recovery_path() {
    Str folder = system_state_folder();
    if (folder.length == 0) return Str{};
    StrBuilder path;
    str_builder_init(&path, POOL_TMP);
    str_builder_append(&path, folder);
    str_builder_append(&path, STR("/recovery.scene"));
    return str_builder_text(&path);
}

// ---------------------------------------------------------------------------
// The file
// ---------------------------------------------------------------------------
struct RecoveryFile {
    Str time;
    Str path;
    Str scene;
};

// Splits the file into its lines and the encoding; false when it is not a recovery file.
static bool recovery_file_read(Str contents, RecoveryFile* file) {
    TextCursor cursor = text_cursor(contents);
    Str lines[3];
    for (i32 i = 0; i < 3; i += 1) {
        if (cursor.position >= cursor.length) return false;
        lines[i] = text_read_line(&cursor);
        if (cursor.position >= cursor.length) return false;  // no newline after it
        cursor.position += 1;
    }
    if (!str_equal(lines[0], MARKER)) return false;
    file->time = lines[1];
    file->path = lines[2];
    file->scene = Str{contents.data + cursor.position, contents.length - cursor.position};
    return true;
}

bool recovery_write() {
    Str path = recovery_path();
    Str scene = scene_encode(&g_piece, POOL_TMP);
    if (path.length == 0 || scene.length == 0) return false;
    // A path with a line break cannot stand on its line; the restored piece then asks for a
    // name when saved.
    Str piece_path = g_piece.path;
    for (i64 i = 0; i < piece_path.length; i += 1)
        if (piece_path.data[i] == '\n' || piece_path.data[i] == '\r') piece_path.length = 0;
    StrBuilder bytes;
    str_builder_init(&bytes, POOL_TMP);
    const FormatArg args[] = {fa_str(MARKER), fa_str(system_time_text()), fa_str(piece_path)};
    format_append(&bytes, STR("%a\n%b\n%c\n"), args, 3);
    str_builder_append(&bytes, scene);
    Str text = str_builder_text(&bytes);

    Str reason;
    if (!file_replace_atomically(path, text, POOL_TMP, &reason)) return false;
    s_recovery.owned = true;
    return true;
}

bool recovery_restore() {
    Str path = recovery_path();
    if (path.length == 0) return false;
    RecoveryFile file;
    if (!recovery_file_read(read_entire_file(path, POOL_TMP), &file)) return false;
    if (scene_decode(file.scene, &g_piece, g_piece.pool) != SCENE_OK) return false;
    // The path as recorded: later saves go where the piece was saved before the crash.
    if (file.path.length > g_piece.path_capacity) {
        u8* block = (u8*)pool_alloc(g_piece.pool, file.path.length);
        g_piece.path = Str{block, 0};
        g_piece.path_capacity = block ? file.path.length : 0;
    }
    if (g_piece.path.data && file.path.length <= g_piece.path_capacity) {
        if (file.path.length > 0)
            memcpy(g_piece.path.data, file.path.data, (size_t)file.path.length);
        g_piece.path.length = file.path.length;
    } else {
        g_piece.path.length = 0;
    }
    g_piece.modified = 1;
    panels_close_piece_bound();
    history_note_change();
    s_recovery.owned = true;
    return true;
}

// ---------------------------------------------------------------------------
// The question
// ---------------------------------------------------------------------------
static bool question_open() {
    if (!s_recovery.question) return false;
    for (i64 i = 0; i < g_panels.panels.count; i += 1)
        if (g_panels.panels[i].kind == PANEL_QUESTION &&
            g_panels.panels[i].content == s_recovery.question)
            return true;
    return false;
}

void recovery_startup() {
    Str path = recovery_path();
    if (path.length == 0 || !file_exists(path)) return;
    RecoveryFile file;
    if (!recovery_file_read(read_entire_file(path, POOL_TMP), &file)) return;
    // Only a piece that can be restored is offered (read into a scratch piece).
    Piece scratch;
    piece_init(&scratch, POOL_TMP);
    if (scene_decode(file.scene, &scratch, POOL_TMP) != SCENE_OK) return;
    SaveQuestion* question = (SaveQuestion*)pool_alloc_zero(POOL_MAIN, sizeof(SaveQuestion));
    if (!question) return;
    question->restore = 1;
    // The question's text, kept for the whole run.
    Str name = file.path.length > 0 ? file.path : STR("a piece never saved");
    const FormatArg args[] = {fa_str(name), fa_str(file.time)};
    question->text = str_copy(POOL_MAIN, format_tmp(STR("unsaved changes to %a\nwere kept at %b.\n"
                                                        "restore them?\n"),
                                                    args, 2));
    f32 x = (f32)g_window.width / 2 - 240;
    f32 y = (f32)g_window.height / 2 - 120;
    Panel* panel = panel_create(PANEL_QUESTION, STR("recovery"), x, y, 480, 240, question);
    if (!panel) return;
    panel->min_width = 400;
    s_recovery.question = question;
    s_recovery.suspended = true;
}

void recovery_question_content(SaveQuestion* question, Rect content) {
    f32 s = g_theme.scale, o = g_theme.offset;
    Font* font = g_theme.font ? g_theme.font : font_default();
    draw_string(font, g_theme.text_color, question->text, content.x + content.width / 2,
                content.y + content.height - 32, g_theme.text_scale, g_theme.text_scale,
                TEXT_CENTER, TEXT_FIRST_LINE_ON_Y);
    f32 w = 4 * s;
    text_button(&question->yes, Rect{content.x + o, content.y + o, w, s}, STR("restore"));
    text_button(&question->no, Rect{content.x + content.width - o - w, content.y + o, w, s},
                STR("discard"));
    bool restore = question->yes.clicked || question_return_answers(question);
    if (!restore && !question->no.clicked) return;
    question->close_requested = 1;
    s_recovery.question = 0;
    s_recovery.suspended = false;
    if (restore) {
        if (!recovery_restore()) {
            show_simple_message_box(0, STR("recovery failed"),
                                    STR("the kept changes could not be read back"));
        }
    } else {
        Str path = recovery_path();
        if (path.length > 0) file_remove(path);
        s_recovery.owned = false;
    }
}

// ---------------------------------------------------------------------------
// Every frame
// ---------------------------------------------------------------------------
void recovery_frame() {
    if (s_recovery.suspended) {
        if (question_open()) return;
        if (s_recovery.question) {
            // Closed with its cross, unanswered: the earlier file stays for the next start,
            // and this run keeps no file of its own rather than write over it.
            s_recovery.question = 0;
            format_print(STR("the recovery file is kept for the next start; changes of this "
                             "run are not kept for recovery\n"),
                         0, 0);
        }
        return;
    }
    if (!g_piece.modified) {
        s_recovery.due = 0;
        if (s_recovery.owned) {
            Str path = recovery_path();
            if (path.length > 0) file_remove(path);
            s_recovery.owned = false;
        }
        return;
    }
    u64 now = system_performance_counter();
    u64 interval = (u64)s_recovery.interval_seconds * system_performance_frequency();
    if (s_recovery.due == 0) s_recovery.due = now + interval;
    if (now < s_recovery.due) return;
    // A failed write is tried again at the next interval; the piece itself is unharmed.
    recovery_write();
    s_recovery.due = now + interval;
}

void recovery_shutdown() {
    if (s_recovery.owned && !s_recovery.suspended) {
        Str path = recovery_path();
        if (path.length > 0) file_remove(path);
    }
    s_recovery.owned = false;
    s_recovery.question = 0;
}
