// The render mode of sorvane-render: reads the sound definitions of the data folder and a
// scene file, and renders the piece through render_export, the very code the editor's
// export runs (the piece's sample rate, channels, sample type, start and end time). On a
// terminal a progress bar shows for a piece of half a minute or longer (by its length, not
// the clock, so the same piece behaves the same on any machine); otherwise nothing is
// printed unless something fails, and then one line on standard error.
#include "model/files.h"
#include "render.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include "app/document.h"
#include "base/format.h"
#include "base/text.h"
#include "model/scene.h"
#include "platform/system.h"
#include "sound/midi_export.h"
#include "sound/render.h"

static const i64 RECORDED_WAVE_MEMORY = 64 << 20;

static void line_write(Str text) {
    if (text.length > 0) fwrite(text.data, 1, (size_t)text.length, stderr);
    fputc('\n', stderr);
}

static const i64 PROGRESS_BAR_SECONDS = 30;

struct ProgressBar {
    i64 shown_from;  // frames: the bar is for renderings at least this long
    bool terminal;
    bool shown;
};

// Told in frames of the whole rendering.
static void progress_report(void* user, i64 done, i64 total) {
    ProgressBar* bar = (ProgressBar*)user;
    if (!bar->terminal || total <= 0 || total < bar->shown_from) return;
    bar->shown = true;
    const i32 width = 40;
    i32 filled = (i32)(width * done / total);
    char line[64];
    for (i32 i = 0; i < width; i += 1) line[i] = i < filled ? '#' : '.';
    line[width] = 0;
    fprintf(stderr, "\rrendering [%s] %3d%%", line, (i32)(100 * done / total));
    fflush(stderr);
}

// Whether the data folder holds the sound definitions; the one-line reason when not.
static bool data_folder_check(Str folder, Str* reason) {
    DirectoryContent content;
    if (!directory_get_content(folder, &content)) {
        const FormatArg args[] = {fa_str(folder)};
        *reason = format_tmp(STR("the data folder %a does not exist"), args, ARRAY_COUNT(args));
        return false;
    }
    const FormatArg args[] = {fa_str(folder)};
    Str definitions = format_tmp(STR("%a/sounds/sounds.txt"), args, ARRAY_COUNT(args));
    if (!file_exists(definitions)) {
        const FormatArg more[] = {fa_str(definitions)};
        *reason = format_tmp(STR("%a is missing: is --data the data folder?"), more, ARRAY_COUNT(more));
        return false;
    }
    return true;
}

// The MIDI export; says on standard error when notes had to wait or could not be tuned.
static i32 midi_main(const Piece* piece, const ToolOptions* options) {
    MidiExportOptions midi = midi_export_defaults();
    if (options->midi_mpe) midi.tuning = MIDI_TUNING_MPE;
    if (options->midi_bend_range > 0) midi.bend_range = (i32)options->midi_bend_range;
    if (options->midi_program > 0) midi.program = (i32)options->midi_program - 1;
    MidiExportReport report = {};
    RenderFailure failure = {};
    if (!midi_export(piece, options->output_path, &midi, POOL_WORKER, &report, &failure)) {
        line_write(render_failure_text(&failure));
        return 1;
    }
    if (report.waited > 0)
        fprintf(stderr, "%lld notes waited for a free channel\n", (long long)report.waited);
    if (report.out_of_range > 0)
        fprintf(stderr, "%lld notes lie outside what MIDI keys can be tuned to\n",
                (long long)report.out_of_range);
    return 0;
}

i32 render_main(const ToolOptions* options) {
    Str folder = options->data_folder.length > 0 ? options->data_folder : STR(".");
    Str reason = {};
    if (!data_folder_check(folder, &reason)) {
        line_write(reason);
        return 1;
    }
    void* wave_memory = malloc((size_t)RECORDED_WAVE_MEMORY);
    if (!wave_memory) {
        line_write(STR("not enough memory for the recorded waves"));
        return 1;
    }
    audio_set_buffer(RECORDED_WAVE_MEMORY, wave_memory);
    sounds_reset();
    sounds_load_from(folder);

    i32 status = 1;
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    Str contents = read_entire_file(options->piece_path, POOL_MAIN);
    SceneResult decoded = scene_decode(contents, &piece, POOL_MAIN);
    if (decoded != SCENE_OK) {
        Str title;
        line_write(scene_refusal_text(decoded, options->piece_path, &title));
    } else if (!pool_setup(POOL_WORKER, 1 << 20, true)) {
        line_write(STR("not enough memory to render"));
    } else if (midi_path_is(options->output_path)) {
        status = midi_main(&piece, options);
        pool_release(POOL_WORKER);
    } else {
        ProgressBar bar = {PROGRESS_BAR_SECONDS * piece.settings.sample_rate, isatty(2) != 0, false};
        SynthProgress progress = {progress_report, &bar, 0, 0};
        RenderFailure failure = {};
        bool written = render_export(&piece, options->output_path, POOL_WORKER, &progress, &failure, 0,
                                     options->threads);
        if (bar.shown) fputs("\r\033[K", stderr);  // the bar leaves no trace
        if (written)
            status = 0;
        else
            line_write(render_failure_text(&failure));
        pool_release(POOL_WORKER);
    }
    audio_set_buffer(0, 0);
    free(wave_memory);
    return status;
}
