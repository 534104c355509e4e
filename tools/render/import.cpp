// The import mode of sorvane-render: a MIDI file made into a new piece with the editor's own
// reader, retuned into a key of the data folder's keys.txt, and saved as a scene file. One
// line on standard error says what was made, or why nothing was.
#include <stdio.h>

#include "app/document.h"
#include "base/format.h"
#include "base/text.h"
#include "model/files.h"
#include "model/midi_import.h"
#include "model/scene.h"
#include "render.h"

static void line_write(Str text) {
    if (text.length > 0) fwrite(text.data, 1, (size_t)text.length, stderr);
    fputc('\n', stderr);
}

i32 import_main(const ToolOptions* options) {
    Str folder = options->data_folder.length > 0 ? options->data_folder : STR(".");
    const FormatArg folder_args[] = {fa_str(folder)};
    Str keys_path = format_tmp(STR("%a/keys.txt"), folder_args, ARRAY_COUNT(folder_args));
    Str keys = read_entire_file(keys_path, POOL_TMP);
    if (keys.length == 0) {
        const FormatArg args[] = {fa_str(keys_path)};
        line_write(
            format_tmp(STR("%a is missing: is --data the data folder?"), args, ARRAY_COUNT(args)));
        return 1;
    }
    keys_parse(keys);

    Str bytes = read_entire_file(options->midi_path, POOL_MAIN);
    MidiImportOptions import = {options->key_name, options->tonic};
    MidiImportSummary summary = {};
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    Str reason = {};
    if (!midi_import(bytes, &import, &piece, &summary, &reason)) {
        const FormatArg args[] = {fa_str(options->midi_path), fa_str(reason)};
        line_write(format_tmp(STR("%a cannot be imported: %b"), args, ARRAY_COUNT(args)));
        return 1;
    }
    Str scene = scene_encode(&piece, POOL_MAIN);
    if (scene.length == 0 || !file_replace_atomically(options->output_path, scene, POOL_TMP, &reason)) {
        const FormatArg args[] = {fa_str(options->output_path), fa_str(reason)};
        line_write(format_tmp(STR("%a could not be saved: %b"), args, ARRAY_COUNT(args)));
        return 1;
    }
    const FormatArg args[] = {
        fa_i64(summary.notes), fa_i64(summary.tracks),
        fa_str(import.key_name.length ? import.key_name : STR("key")),
        fa_str(midi_tonic_name(summary.tonic)),
        fa_str(summary.tuned ? STR(", the file's own tuning kept") : STR(""))};
    line_write(
        format_tmp(STR("notes: %a, groups: %b, key \"%c\" on %d%e"), args, ARRAY_COUNT(args)));
    return 0;
}
