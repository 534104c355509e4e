// Open, save, new piece and the quit test for g_piece, on the main thread. A save goes to
// a temporary file beside the target and replaces the target by rename only once the
// bytes are on disk; a failed open leaves the piece, its path and its flag alone, so a
// following plain save cannot overwrite the file that was refused.
#include "piece/document.h"

#include "core/app.h"
#include "core/format.h"
#include "core/frame.h"
#include "core/text.h"
#include "piece/file_panel.h"
#include "piece/history.h"
#include "piece/midi_import.h"
#include "piece/scene.h"
#include "platform/system.h"
#include "sound/audio_output.h"

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

// The folder a rename must be made durable in: everything before the last '/'.
static Str folder_of(Str path) {
    for (i64 i = path.length - 1; i >= 0; i -= 1)
        if (path.data[i] == '/') return Str{path.data, i > 0 ? i : 1};
    return Str{0, 0};
}

static Str tmp_path_of(Str path) {
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    str_builder_append(&builder, path);
    str_builder_append(&builder, STR(".tmp"));
    return str_builder_text(&builder);
}

// The reason of the last failure, copied before clean-up calls can replace it.
static Str failure_reason(Str fallback) {
    Str reason = system_last_error();
    return str_copy(POOL_TMP, reason.length > 0 ? reason : fallback);
}

bool file_replace_atomically(Str path, Str bytes, Str* reason) {
    Str temporary = tmp_path_of(path);
    *reason = Str{};
    if (temporary.length != path.length + 4) {
        *reason = STR("not enough memory");
        return false;
    }
    FileHandle file = file_open(temporary, FILE_WRITE);
    if (file_failed(file)) {
        *reason = failure_reason(STR("the file could not be created"));
        return false;
    }
    bool written = file_write(file, bytes.length, bytes.data) == bytes.length;
    if (!written) *reason = failure_reason(STR("the file could not be written"));
    bool synced = written && file_sync(file);
    if (written && !synced) *reason = failure_reason(STR("the file could not be written"));
    bool closed = file_close(file);
    if (synced && !closed) *reason = failure_reason(STR("the file could not be written"));
    if (synced && closed && !file_rename(temporary, path))
        *reason = failure_reason(STR("the file could not be replaced"));
    if (reason->length > 0) {
        file_remove(temporary);
        return false;
    }
    // The new name is in place; making the rename durable is best effort (some file
    // systems cannot sync a folder), and the file is replaced either way.
    directory_sync(folder_of(path));
    return true;
}

bool scene_save(Str path) {
    Str bytes = scene_encode(&g_piece, POOL_TMP);
    Str reason = STR("not enough memory");
    if (bytes.length == 0 || !file_replace_atomically(path, bytes, &reason)) {
        save_failed(path, reason);
        return false;
    }
    if (!piece_path_set(&g_piece, path)) g_piece.path.length = 0;
    g_piece.modified = 0;
    return true;
}

u8 piece_save_action(u8 follow_up_requested, u8 follow_up) {
    if (!follow_up_requested) return FILE_ACTION_SAVE;
    if (follow_up == 1) return FILE_ACTION_SAVE_THEN_QUIT;
    if (follow_up == 0) return FILE_ACTION_SAVE_THEN_NEW;
    if (follow_up == 2) return FILE_ACTION_SAVE_THEN_OPEN;
    return FILE_ACTION_SAVE;
}

u8 piece_save(u8 follow_up_requested, u8 follow_up) {
    if (g_piece.path.length > 0) return scene_save(g_piece.path) ? 1 : 0;
    file_panel_open(STR("save piece"), piece_save_action(follow_up_requested, follow_up));
    return 0;
}

void piece_new() {
    if (g_piece.modified) {
        save_question_open(0);
        return;
    }
    const PoolArray<u8>* storage = &g_piece.decoded_storage;
    piece_blocks_give_back(&g_piece, storage->data, storage->capacity);
    array_clear(&g_piece.notes);
    array_clear(&g_piece.keys);
    array_clear(&g_piece.measures);
    array_clear(&g_piece.tempos);
    array_clear(&g_piece.texts);
    array_clear(&g_piece.volumes);
    array_clear(&g_piece.pitches);
    array_clear(&g_piece.sounds);
    array_clear(&g_piece.shapes);
    array_clear(&g_piece.repeats);
    array_clear(&g_piece.tree);
    g_piece.path.length = 0;
    history_note_change();
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

Str document_path(Str folder, Str typed_name) {
    Str name = typed_name;
    if (name.length > 0 && name.data[name.length - 1] == '\n') name.length -= 1;
    StrBuilder builder;
    str_builder_init(&builder, POOL_TMP);
    if (folder.length > 0) {
        str_builder_append(&builder, folder);
        str_builder_put(&builder, '/');
    }
    str_builder_append(&builder, name);
    return str_builder_text(&builder);
}

void document_confirm(u8 action, Str folder, Str typed_name) {
    Str path = document_path(folder, typed_name);
    switch (action) {
        case FILE_ACTION_OPEN: piece_open(path); break;
        case FILE_ACTION_SAVE: scene_save(path); break;
        case FILE_ACTION_SAVE_THEN_QUIT:
            if (scene_save(path)) g_app.running = false;
            break;
        case FILE_ACTION_SAVE_THEN_NEW:
            if (scene_save(path)) piece_new();
            break;
        case FILE_ACTION_SAVE_THEN_OPEN:
            if (scene_save(path)) file_panel_open(STR("open piece"), FILE_ACTION_OPEN);
            break;
        case FILE_ACTION_EXPORT: export_request(path, 0); break;
        case FILE_ACTION_EXPORT_MPE: export_request(path, 1); break;
        default: break;
    }
}
