// The piece and its file, on the main thread: open, MIDI import, save, and the test for
// unsaved changes. A save goes to a temporary file beside the target and replaces the
// target by rename only once the bytes are on disk; a failed open leaves the piece, its
// path and its flag alone, so a following plain save cannot overwrite the file that was
// refused. Failures the user must see are shown in a message box.
#include "model/piece_file.h"

#include <string.h>

#include "base/format.h"
#include "model/files.h"
#include "model/history.h"
#include "model/midi_import.h"
#include "model/scene.h"
#include "platform/system.h"


// Reuses the path's block when the new path fits in it.
static bool piece_path_set(Piece* piece, Str path) {
    if (path.length > piece->path_capacity) {
        u8* block = (u8*)pool_alloc(piece->pool, path.length);
        if (!block) return false;
        memcpy(block, path.data, (size_t)path.length);
        piece->path = Str{block, path.length};
        piece->path_capacity = path.length;
        return true;
    }
    if (path.length > 0) memmove(piece->path.data, path.data, (size_t)path.length);
    piece->path.length = path.length;
    return true;
}

static void save_failed(Str path, Str reason) {
    const FormatArg args[] = {fa_str(path), fa_str(reason)};
    show_simple_message_box(0, STR("save failed"),
                            format_tmp(STR("%a could not be saved: %b"), args, ARRAY_COUNT(args)));
}

Str scene_refusal_text(u8 result, Str path, Str* title) {
    Str format = STR("%a is not a valid scene file!");
    *title = STR("invalid file");
    if (result == SCENE_INCOMPATIBLE) {
        *title = STR("incompatible version");
        format = STR("%a is not compatible!");
    } else if (result == SCENE_NO_MEMORY) {
        format = STR("%a is too large to open");
    }
    const FormatArg args[] = {fa_str(path)};
    return format_tmp(format, args, ARRAY_COUNT(args));
}

bool piece_open(Str path) {
    Str contents = read_entire_file(path, POOL_TMP);
    SceneResult result = scene_decode(contents, &g_piece, POOL_MAIN);
    if (result == SCENE_OK) {
        if (!piece_path_set(&g_piece, path)) g_piece.path.length = 0;  // never a wrong path
        history_note_change();
        return true;
    }
    Str title;
    Str text = scene_refusal_text(result, path, &title);
    show_simple_message_box(0, title, text);
    return false;
}

static bool ends_with_folded(Str text, const char* ending) {
    Str end = str_from_cstring(ending);
    if (text.length < end.length) return false;
    for (i64 i = 0; i < end.length; i += 1)
        if ((text.data[text.length - end.length + i] | 0x20) != end.data[i]) return false;
    return true;
}

bool path_is_midi(Str path) { return ends_with_folded(path, ".mid") || ends_with_folded(path, ".midi"); }

bool piece_import_midi(Str path, Str key_name, i64 tonic) {
    Str bytes = read_entire_file(path, POOL_TMP);
    Piece imported;
    piece_init(&imported, POOL_TMP);
    MidiImportOptions options = {key_name, tonic};
    MidiImportSummary summary = {};
    Str reason = {};
    SceneResult result = SCENE_INVALID;
    if (midi_import(bytes, &options, &imported, &summary, &reason)) {
        Str scene = scene_encode(&imported, POOL_TMP);
        result = scene.length > 0 ? scene_decode(scene, &g_piece, POOL_MAIN) : SCENE_NO_MEMORY;
        if (result != SCENE_OK) reason = STR("the piece it makes is too large");
    }
    if (result != SCENE_OK) {
        const FormatArg args[] = {fa_str(path), fa_str(reason)};
        show_simple_message_box(0, STR("invalid MIDI file"),
                                format_tmp(STR("%a cannot be imported: %b"), args, ARRAY_COUNT(args)));
        return false;
    }
    g_piece.path.length = 0;
    g_piece.modified = 1;
    history_note_change();
    return true;
}

bool scene_save(Str path) {
    Str bytes = scene_encode(&g_piece, POOL_TMP);
    Str reason = STR("not enough memory");
    if (bytes.length == 0 || !file_replace_atomically(path, bytes, POOL_TMP, &reason)) {
        save_failed(path, reason);
        return false;
    }
    if (!piece_path_set(&g_piece, path)) g_piece.path.length = 0;
    g_piece.modified = 0;
    return true;
}

bool piece_check_unsaved() {
    bool changed;
    if (g_piece.path.length == 0) {
        // Never saved: any change since the piece was started or made new counts (settings,
        // groups and colours as much as objects), unless undo has taken it back.
        changed = !history_piece_is_clean();
    } else {
        Str file = read_entire_file(g_piece.path, POOL_TMP);
        Str encoded = scene_encode(&g_piece, POOL_TMP);
        // A piece that cannot be encoded for the comparison counts as changed: asking is
        // the safe answer.
        changed = encoded.length == 0 || file.length != encoded.length ||
                  memcmp(file.data, encoded.data, (size_t)encoded.length) != 0;
    }
    g_piece.modified = changed ? 1 : 0;
    return changed;
}
