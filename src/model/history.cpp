// The undo history: steps are whole scene encodings, so an undo restores the piece byte for
// byte through the same decoder as an open. The steps live in malloc'd blocks, not in the
// pools: POOL_TMP is emptied every frame and POOL_MAIN never frees. Main thread only.
#include "model/history.h"

#include <stdlib.h>
#include <string.h>

#include "base/pool.h"
#include "model/piece.h"
#include "model/scene.h"
#include "platform/system.h"

// A document is what one open or new piece starts: its steps share the path, which a
// save renames for all of them (undoing past a save keeps the file the piece is saved to).
// A clean step is one nothing needs saving at: the piece as its file holds it (opened or
// saved), or a never-saved piece as it was started or made new.
struct HistoryStep {
    u8* bytes;  // the encoding
    i64 length;
    u8* path;
    i64 path_length;
    i64 document;
    u8 clean;
};

struct History {
    HistoryStep* steps;  // HISTORY_MAX_STEPS records, malloc'd on first use
    i64 count;
    i64 current;
    i64 bytes;
    i64 budget;
    bool pending;        // an open or a new piece replaced the piece: a new document
    i64 documents;       // documents begun so far
    u8 last_modified;    // the modified flag at the end of the previous frame
    f32 mouse_x, mouse_y;
};

static History s_history = {0, 0, 0, 0, HISTORY_DEFAULT_BUDGET, false, 0, 0, 0, 0};

static i64 step_bytes(const HistoryStep* step) { return step->length + step->path_length; }

static void step_free(HistoryStep* step) {
    free(step->bytes);
    free(step->path);
    *step = HistoryStep{};
}

// A malloc'd copy of the text (a valid pointer even when it is empty), or null.
static u8* copy_of(const u8* data, i64 length) {
    u8* block = (u8*)malloc((size_t)(length > 0 ? length : 1));
    if (block && length > 0) memcpy(block, data, (size_t)length);
    return block;
}

void history_release() {
    for (i64 i = 0; i < s_history.count; i += 1) step_free(&s_history.steps[i]);
    free(s_history.steps);
    s_history.steps = 0;
    s_history.count = s_history.current = s_history.bytes = 0;
    s_history.pending = false;
    s_history.documents = 0;
}

void history_set_budget(i64 bytes) { s_history.budget = bytes > 0 ? bytes : 0; }

void history_note_change() { s_history.pending = true; }

// Drops the oldest step (never the current one).
static void drop_oldest() {
    History* h = &s_history;
    s_history.bytes -= step_bytes(&h->steps[0]);
    step_free(&h->steps[0]);
    memmove((void*)h->steps, (const void*)(h->steps + 1),
            sizeof(HistoryStep) * (size_t)(h->count - 1));
    h->count -= 1;
    h->current -= 1;
}

// Appends the encoding as the new current step of the document, after dropping the steps
// that redo would have reached. False when no memory could be had (nothing changes then).
static bool push(Str encoding, i64 document) {
    History* h = &s_history;
    if (!h->steps) {
        h->steps = (HistoryStep*)calloc((size_t)HISTORY_MAX_STEPS, sizeof(HistoryStep));
        if (!h->steps) return false;
        h->count = 0;
        h->current = -1;
    }
    HistoryStep step = {copy_of(encoding.data, encoding.length), encoding.length,
                        copy_of(g_piece.path.data, g_piece.path.length), g_piece.path.length,
                        document, 0};
    if (!step.bytes || !step.path) {
        step_free(&step);
        return false;
    }
    for (i64 i = h->current + 1; i < h->count; i += 1) {
        h->bytes -= step_bytes(&h->steps[i]);
        step_free(&h->steps[i]);
    }
    h->count = h->current + 1;
    i64 size = step_bytes(&step);
    while (h->count > 0 && (h->count >= HISTORY_MAX_STEPS || h->bytes + size > h->budget)) {
        if (h->count == 1) {
            // Only the step being replaced is left: the budget cannot hold two steps.
            h->bytes -= step_bytes(&h->steps[0]);
            step_free(&h->steps[0]);
            h->count = 0;
            h->current = -1;
            break;
        }
        drop_oldest();
    }
    h->steps[h->count] = step;
    h->count += 1;
    h->current = h->count - 1;
    h->bytes += size;
    return true;
}

static bool same_path(const HistoryStep* step, Str path) {
    return step->path_length == path.length &&
           (path.length == 0 || memcmp(step->path, path.data, (size_t)path.length) == 0);
}

// After a save: every step of the current document now belongs to the saved file.
static void document_rename() {
    History* h = &s_history;
    i64 document = h->steps[h->current].document;
    Str path = g_piece.path;
    for (i64 i = 0; i < h->count; i += 1) {
        HistoryStep* step = &h->steps[i];
        if (step->document != document) continue;
        if (same_path(step, path)) continue;
        u8* copy = copy_of(path.data, path.length);
        if (!copy) continue;  // the step keeps its older name
        h->bytes += path.length - step->path_length;
        free(step->path);
        step->path = copy;
        step->path_length = path.length;
    }
}

// The file now holds the current step: no other step of its document, nor any other step
// kept for the same file, matches the file any more.
static void mark_saved() {
    History* h = &s_history;
    document_rename();
    i64 document = h->steps[h->current].document;
    for (i64 i = 0; i < h->count; i += 1)
        if (h->steps[i].document == document || same_path(&h->steps[i], g_piece.path))
            h->steps[i].clean = 0;
    h->steps[h->current].clean = 1;
}

static bool same_as_current(Str encoding) {
    const History* h = &s_history;
    if (h->current < 0 || h->current >= h->count) return false;
    const HistoryStep* step = &h->steps[h->current];
    // The path is not compared: a save under a new name renames the document's steps.
    return step->length == encoding.length &&
           memcmp(step->bytes, encoding.data, (size_t)encoding.length) == 0;
}

// Compares the piece with the current step and records it when it differs (an open or a
// new piece begins a new document). An unmodified piece with a path matches its file (it
// was just saved or opened), so its step becomes the clean one of that file and its
// document takes the file's name; an unmodified piece without a path that has just been
// started or made new is clean as it is.
static bool record() {
    History* h = &s_history;
    Str encoding = scene_encode(&g_piece, POOL_TMP);
    if (encoding.length == 0) return false;  // no room to compare: try again next time
    bool fresh = h->pending || h->count == 0;
    if (!same_as_current(encoding)) {
        i64 document = fresh ? h->documents + 1 : h->steps[h->current].document;
        if (!push(encoding, document)) return false;
        h->documents = document > h->documents ? document : h->documents;
    }
    if (!g_piece.modified && g_piece.path.length > 0)
        mark_saved();
    else if (!g_piece.modified && fresh)
        h->steps[h->current].clean = 1;
    return true;
}

void history_reset() {
    history_release();
    s_history.last_modified = g_piece.modified;
    input_mouse_position(&s_history.mouse_x, &s_history.mouse_y);
    // The piece as the program starts (or as a test sets it up) is where undo stops, and
    // clean when it is unmodified.
    record();
}

// Whether this frame had input that could have edited the piece: keys, buttons, the wheel,
// typed text or a mouse that moved (a drag).
static bool input_this_frame() {
    bool any = input_key_is_typed(KEY_ANY) || input_mouse_wheel() != 0 ||
               input_text_typed().length > 0;
    for (i32 button = MOUSE_LEFT; button <= MOUSE_RIGHT; button += 1)
        any = any || input_mouse_is_pressed(button) || input_mouse_is_held(button) ||
              input_mouse_is_released(button);
    f32 x = 0, y = 0;
    input_mouse_position(&x, &y);
    any = any || x != s_history.mouse_x || y != s_history.mouse_y;
    s_history.mouse_x = x;
    s_history.mouse_y = y;
    return any;
}

void history_frame() {
    bool input = input_this_frame();
    bool changed_flag = g_piece.modified != s_history.last_modified;
    bool recorded = true;
    if (!s_history.steps || s_history.count == 0 || s_history.pending || changed_flag ||
        (g_piece.modified && input))
        recorded = record();
    // An open or new piece that could not be recorded yet is tried again next frame.
    if (recorded) s_history.pending = false;
    s_history.last_modified = g_piece.modified;
}

// Copies the path into the piece, reusing its block when it fits.
static bool path_restore(const u8* data, i64 length) {
    if (length > g_piece.path_capacity) {
        u8* block = (u8*)pool_alloc(g_piece.pool, length);
        if (!block) return false;
        g_piece.path = Str{block, 0};
        g_piece.path_capacity = length;
    }
    if (length > 0) memcpy(g_piece.path.data, data, (size_t)length);
    g_piece.path.length = length;
    return true;
}

static bool history_go(i64 index) {
    History* h = &s_history;
    if (index < 0 || index >= h->count || index == h->current) return false;
    // The piece must not change under a render that reads it.
    const HistoryStep* step = &h->steps[index];
    Str contents = {step->bytes, step->length};
    if (scene_decode(contents, &g_piece, g_piece.pool) != SCENE_OK) return false;
    if (!path_restore(step->path, step->path_length)) g_piece.path.length = 0;
    h->current = index;
    g_piece.modified = h->steps[index].clean ? 0 : 1;
    h->last_modified = g_piece.modified;
    h->pending = false;
    return true;
}

bool history_undo() { return history_go(s_history.current - 1); }
bool history_redo() { return history_go(s_history.current + 1); }
bool history_can_undo() { return s_history.current > 0 && s_history.current < s_history.count; }
bool history_can_redo() { return s_history.current + 1 < s_history.count; }
i64 history_step_count() { return s_history.count; }
i64 history_current_step() { return s_history.current; }
i64 history_bytes() { return s_history.bytes; }

bool history_piece_is_clean() {
    const History* h = &s_history;
    if (h->current < 0 || h->current >= h->count || !h->steps[h->current].clean) return false;
    Str encoding = scene_encode(&g_piece, POOL_TMP);
    return encoding.length > 0 && same_as_current(encoding);
}
