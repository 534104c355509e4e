// Main-thread side of playback. Owns the playback marks (playing, resumable, waiting for a
// render, no auto-play), the play cursor and the time map of the rendering in the playing
// slot. Talks to the callback only under audio_lock and to the worker only through
// render_request_post and render_result_take, never holding both locks.
#include "sound/playback.h"

#include <stdlib.h>
#include <string.h>

#include "base/format.h"
#include "model/scene.h"
#include "platform/system.h"
#include "sound/audio_output.h"
#include "sound/synth.h"

struct PlaybackState {
    u8 playing, resumable, waiting, no_auto_play;
    u8 export_pending;  // an export was asked for and has not finished
    u8 said_no_worker;
    i64 posted_id;  // the newest request sent to the worker
    i64 stream_id;  // the request whose rendering the slot holds while it is still written
    u8 starved;     // the player caught up with the worker and plays silence
    f64 cursor;
    i64 requested_length;  // length of the rendering in the playing slot
    f64 synthesis_seconds;
    // Time map of the rendering in the playing slot (malloc'd, from the worker).
    f64* block_times;
    i64 block_count;
    i64 map_rate;
};

static PlaybackState playback;

void playback_reset() {
    free(playback.block_times);
    memset(&playback, 0, sizeof(playback));
}

bool playback_is_playing() { return playback.playing; }
bool playback_is_resumable() { return playback.resumable; }
bool playback_is_waiting() { return playback.waiting; }
bool playback_is_starved() { return playback.starved; }
bool playback_is_streaming() { return playback.stream_id != 0; }
f64 playback_cursor() { return playback.cursor; }
f64 playback_synthesis_seconds() { return playback.synthesis_seconds; }
bool playback_worker_available() { return render_worker_available(); }

static f64 start_time() { return fraction_to_double(g_piece.settings.start_time); }

static void time_map_replace(f64* times, i64 count, i64 rate) {
    free(playback.block_times);
    playback.block_times = times;
    playback.block_count = count;
    playback.map_rate = rate;
}

static void result_apply(RenderResult* result) {
    if (result->has_rendering) {
        audio_slot_install(result->samples, result->length,
                           result->streaming ? render_stream_final() : 0);
        playback.stream_id = result->streaming ? result->request_id : 0;
        playback.requested_length = result->length;
        time_map_replace(result->block_times, result->block_count, result->sample_rate);
    }
    if (result->stream_finished && result->finished_id == playback.stream_id) {
        // A cancelled stream stays partly silent; the next play renders anew anyway.
        if (result->stream_complete) audio_slot_completed();
        playback.stream_id = 0;
        playback.synthesis_seconds = result->synthesis_seconds;
    }
    if (!result->has_rendering && !result->stream_finished)
        playback.synthesis_seconds = result->synthesis_seconds;
    if (result->export_failed)
        show_simple_message_box(0, STR("export failed"), render_failure_text(&result->failure));
    if (result->render_cut)
        show_simple_message_box(0, STR("playback incomplete"),
                                render_failure_text(&result->failure));
    if (result->midi_waited > 0) {
        // Written, but with later onsets than the piece: the user must know.
        const FormatArg args[] = {fa_i64(result->midi_waited)};
        show_simple_message_box(0, STR("export"),
                                format_tmp(STR("%a notes waited for a free MIDI channel"), args,
                                           ARRAY_COUNT(args)));
    }
    if (result->render_failed) {
        const FormatArg args[] = {fa_str(render_failure_text(&result->failure))};
        format_print(STR("could not render the piece: %a\n"), args, ARRAY_COUNT(args));
    }
    if (result->request_id != playback.posted_id) return;  // a newer request is on its way
    if (!playback.no_auto_play && result->has_rendering) {
        playback_start();
        playback.playing = 1;
    }
    playback.waiting = 0;
    playback.no_auto_play = 0;
    playback.export_pending = 0;
}

void playback_frame() {
    // 1. A finished fade-out pauses the device; after a stop it also rewinds. The device
    // is paused inside the lock (which nests), so that no buffer plays after the rewind or
    // moves the kept position of a pause.
    audio_lock();
    bool faded_out = g_audio.faded_out != 0;
    if (faded_out) {
        u8 stop_kind = g_audio.stop_kind;
        g_audio.faded_out = 0;
        g_audio.stop_kind = 0;
        g_audio.pause_request = 0;
        g_audio.stop_request = 0;
        if (stop_kind) {
            g_audio.position = 0;
            g_audio.played = 0;
        }
        g_audio.paused = 1;
        audio_pause();
    }
    i64 played = g_audio.played;
    i64 channels = g_audio.channels;
    playback.starved = g_audio.starved && playback.playing;
    audio_unlock();

    // 2. The play cursor follows the samples played.
    if (playback.playing) {
        if (playback.block_count > 0 && channels > 0 && playback.map_rate > 0) {
            TimeMap map = {playback.block_times, playback.block_count, BLOCK_SIZE, playback.map_rate};
            playback.cursor = seconds_to_time(&map, (f64)played / (f64)(channels * playback.map_rate));
        } else {
            playback.cursor = start_time();
        }
    }

    // 3. Past the end of the rendering: back to idle at the start.
    if (playback.requested_length < played) {
        audio_pause_and_rewind();
        playback.playing = 0;
        playback.resumable = 0;
        playback.cursor = start_time();
    }

    // 4. A rendering the worker finished starts playing.
    RenderResult result;
    if (render_result_take(&result)) result_apply(&result);
}

static bool worker_check() {
    if (render_worker_available()) return true;
    if (!playback.said_no_worker)
        format_print(STR("the render worker is not running: nothing can be played or exported\n"), 0, 0);
    playback.said_no_worker = 1;
    return false;
}

static bool request_post(Str export_path, u8 midi_tuning = 0) {
    // What the worker still renders for playback is not wanted any more.
    render_playback_cancel();
    Str snapshot = scene_encode(&g_piece, POOL_TMP);
    if (snapshot.length <= 0) return false;
    i64 id = render_request_post(snapshot, export_path, g_audio.channels ? g_audio.sample_rate : 44100,
                                 g_audio.channels ? g_audio.channels : 2, midi_tuning);
    if (id == 0) return false;
    playback.posted_id = id;
    playback.waiting = 1;
    return true;
}

void playback_play_pause() {
    if (playback.playing) {
        audio_lock();
        g_audio.pause_request = 1;
        g_audio.fade_out_progress = 0;
        audio_unlock();
        playback.playing = 0;
        playback.resumable = 1;
    } else if (playback.resumable) {
        playback.playing = 1;
        playback.resumable = 0;
        playback_start();
    } else if (!playback.waiting && worker_check()) {
        // While a rendering is awaited the press is ignored: it is already on its way.
        if (!request_post(Str{0, 0}))
            format_print(STR("not enough memory to ask for a rendering\n"), 0, 0);
    }
}

void playback_play_from(Fraction time) {
    if (!worker_check()) return;
    // Whatever played or was paused gives way; pause, resume and stop then act on this one.
    audio_pause_and_rewind();
    playback.playing = 0;
    playback.resumable = 0;
    playback.no_auto_play = 0;
    // The snapshot starts at `time`, so the rendering, its time map and the play cursor do.
    Fraction start = g_piece.settings.start_time;
    g_piece.settings.start_time = time;
    bool posted = request_post(Str{0, 0});
    g_piece.settings.start_time = start;
    if (!posted) format_print(STR("not enough memory to ask for a rendering\n"), 0, 0);
    else playback.cursor = fraction_to_double(time);
}

void playback_stop() {
    audio_lock();
    if (g_audio.paused) {
        g_audio.position = 0;
        g_audio.played = 0;
    } else {
        g_audio.stop_request = 1;
        g_audio.fade_out_progress = 0;
    }
    audio_unlock();
    playback.playing = 0;
    playback.resumable = 0;
    playback.cursor = start_time();
}

static void export_refuse(Str path, Str reason) {
    RenderFailure failure;
    render_failure_set(&failure, path, reason);
    show_simple_message_box(0, STR("export failed"), render_failure_text(&failure));
}

void export_request(Str path, u8 midi_tuning) {
    if (!render_worker_available()) {
        export_refuse(path, STR("the render worker is not running"));
        return;
    }
    if (playback.export_pending) {
        export_refuse(path, STR("another export is still being written"));
        return;
    }
    audio_pause_and_rewind();
    // The playing slot keeps the last playback rendering, but the next play renders anew.
    playback.playing = 0;
    playback.resumable = 0;
    playback.cursor = start_time();
    if (!request_post(path, midi_tuning)) {
        export_refuse(path, STR("not enough memory"));
        return;
    }
    playback.no_auto_play = 1;
    playback.export_pending = 1;
}

void audition_notes(const NoteObject* const* notes, i64 count) {
    if (count <= 0) return;
    i64 rate = g_audio.sample_rate > 0 ? g_audio.sample_rate : 44100;
    i64 channels = g_audio.channels > 0 ? g_audio.channels : 2;
    i64 frames = (i64)((f64)rate * 0.25 + 1.0);
    i64 blocks = frames / BLOCK_SIZE + 1;
    i64 length = frames * channels;

    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_TMP);
    compiled.sample_rate = rate;
    compiled.channels = channels;
    compiled.columns = g_piece.groups.count + 1;
    compiled.compiled_length = length;
    i64 cells = blocks * compiled.columns;
    if (!array_resize(&compiled.volume, cells) || !array_resize(&compiled.panning, cells) ||
        !array_resize(&compiled.pitch, cells) ||
        !array_resize(&compiled.wave_mix, cells * SOUND_MAX_WAVES))
        return;
    for (i64 i = 0; i < cells; i += 1) {
        compiled.volume[i] = 0.5 / (f64)count;
        compiled.pitch[i] = 1.0;
        compiled.wave_mix[i * SOUND_MAX_WAVES] = 1.0;  // only each sound's first wave is heard
    }
    for (i64 n = 0; n < count; n += 1) {
        const NoteObject* note = notes[n];
        i16 group_index = -1;
        for (i64 g = 0; g < g_piece.groups.count; g += 1)
            if (g_piece.groups[g].id == note->header.group_id) group_index = (i16)g;
        compile_note_events(&g_piece, note, group_index, 0.0, 0.25, &compiled.events);
    }
    f32* samples = render_buffer_resize(length);
    if (!samples) return;
    playback.synthesis_seconds = synthesize(&compiled, samples, length, 0);
    playback.requested_length = length;
    // The preview takes the playing slot: whatever was playing or paused is over.
    playback.playing = 0;
    playback.resumable = 0;
    audio_pause_and_rewind();
    audio_slot_install(samples, length);
    playback_start();
}
