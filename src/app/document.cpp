// The document flow on the main thread: saving with or without a name, a new piece, and
// what confirming the file panel does for each of its actions. What may need the user's
// answer first (the save question, the file panel) is opened from here.
#include "app/document.h"

#include "app/app.h"
#include "app/frame.h"
#include "model/history.h"
#include "model/piece_file.h"
#include "panels/entry_panels.h"
#include "panels/file_panel.h"
#include "panels/midi_panel.h"
#include "sound/audio_output.h"

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
#define CLEAR(NAME, name, Type, list) array_clear(&g_piece.list);
    OBJECT_KINDS(CLEAR)
#undef CLEAR
    array_clear(&g_piece.tree);
    g_piece.path.length = 0;
    history_note_change();
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
        case FILE_ACTION_OPEN:
            if (path_is_midi(path)) {
                // A MIDI file becomes a new piece once its key and tonic are chosen.
                midi_import_panel_open(path);
            } else if (piece_open(path)) {
                // Ids of the new piece may name other objects and groups than the old ones
                // did. (A new piece needs no such care: it keeps the groups, and object ids
                // are never given out twice.)
                panels_close_piece_bound();
            }
            break;
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
