// Render worker: renders snapshots of the piece off the main thread. Owns the worker pool
// (set up and emptied by the worker thread itself) and the request and result records.
// Takes the worker mutex only to take a request, to hand over a playback buffer and to
// report a result; never while synthesising, and never together with the audio lock. It
// never reads g_piece.
#include "sound/worker.h"

#include <stdlib.h>
#include <string.h>

#include "model/scene.h"
#include "platform/system.h"

struct RenderRequest {
    i64 id;
    u8* snapshot;  // malloc'd scene bytes of the piece
    i64 snapshot_length;
    u8* path;  // malloc'd; null for a playback render
    i64 path_length;
    i64 sample_rate, channels;  // the playback format
    u8 midi_tuning;             // of an export to a MIDI file
};

struct WorkerState {
    Mutex mutex;
    Thread thread;
    // Guarded by mutex.
    u8 running;
    u8 render_request;  // `request` waits for the worker
    RenderRequest request;
    u8 render_done;  // `result` waits for the main thread
    RenderResult result;
    f32* stream_samples;  // the playback buffer being written, or null
    u8 stream_orphaned;   // it left the playing slot: the worker frees it when done
    u8 serving_playback;  // a playback request is being compiled or streamed
    // Atomic. cancel is set under the mutex and cleared by the worker as it takes a request.
    u8 cancel;
    u8 held;
    i64 stream_final;  // samples final in stream_samples
    // Main thread only.
    i64 next_request_id;
};

static WorkerState worker;

static const i64 WORKER_POOL_FIRST_BLOCK = 1 << 20;
// Short, since the first sound waits for the worker to look: a sleeping thread that wakes
// 500 times a second costs next to nothing.
static const i64 WORKER_POLL_MS = 2;
// Seconds of playback compiled and synthesised ahead of the rest.
static const i64 STREAM_HEAD_SECONDS = 20;

void render_worker_reset() { memset(&worker, 0, sizeof(worker)); }

bool render_worker_available() { return worker.thread != 0; }

static void request_free(RenderRequest* request) {
    free(request->snapshot);
    free(request->path);
    *request = RenderRequest{};
}

static void result_free(RenderResult* result) {
    free(result->samples);
    free(result->block_times);
    *result = RenderResult{};
}

static RenderResult result_merge(RenderResult* into, RenderResult* from);

// Hands a result to the main thread, folded into one it has not taken yet.
static void result_publish(RenderResult* result) {
    mutex_lock(worker.mutex);
    RenderResult replaced = result_merge(&worker.result, result);
    worker.render_done = 1;
    mutex_unlock(worker.mutex);
    result_free(&replaced);
}

// Synthesis threads, one call at a time: `frames` from the start are final.
static void stream_final_set(void* user, i64 frames) {
    while (__atomic_load_n(&worker.held, __ATOMIC_ACQUIRE) &&
           !__atomic_load_n(&worker.cancel, __ATOMIC_ACQUIRE))
        system_sleep(1);
    i64 channels = *(const i64*)user;
    __atomic_store_n(&worker.stream_final, frames * channels, __ATOMIC_RELEASE);
}

const i64* render_stream_final() { return &worker.stream_final; }

void render_worker_hold(bool held) { __atomic_store_n(&worker.held, (u8)held, __ATOMIC_RELEASE); }

bool render_stream_release(f32* samples) {
    if (!samples || !worker.thread) return true;
    mutex_lock(worker.mutex);
    bool writing = samples == worker.stream_samples;
    if (writing) {
        worker.stream_orphaned = 1;
        __atomic_store_n(&worker.cancel, 1, __ATOMIC_RELEASE);
    }
    mutex_unlock(worker.mutex);
    return !writing;
}

// Decodes the snapshot into a piece of the worker pool and renders it.
static void request_serve(RenderRequest* request, RenderResult* result) {
    *result = RenderResult{};
    result->request_id = request->id;
    pool_empty(POOL_WORKER);
    Str path = Str{request->path, request->path_length};
    // The decoder copies what it keeps, so it reads the request's own bytes.
    Str snapshot = {request->snapshot, request->snapshot_length};
    Piece* piece = (Piece*)pool_alloc(POOL_WORKER, (i64)sizeof(Piece));
    if (!piece) {
        render_failure_set(&result->failure, path, STR("not enough memory for the rendering"));
        result->export_failed = request->path != 0;
        result->render_failed = request->path == 0;
        return;
    }
    piece_init(piece, POOL_WORKER);
    if (scene_decode(snapshot, piece, POOL_WORKER) != SCENE_OK) {
        render_failure_set(&result->failure, path, STR("the piece could not be read back"));
        result->export_failed = request->path != 0;
        result->render_failed = request->path == 0;
        return;
    }
    if (request->path) {
        result->export_failed = !render_export(piece, path, POOL_WORKER, 0, &result->failure,
                                               &result->synthesis_seconds, 0, request->midi_tuning,
                                               &result->midi_waited);
        return;
    }
    // The first seconds start from a compilation whose tracks stop there, a small part of
    // the work on a long piece; the whole one follows while they play.
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_WORKER);
    Rendering rendering;
    i64 head_blocks = STREAM_HEAD_SECONDS * request->sample_rate / BLOCK_SIZE + 2;
    if (!render_prepare(piece, request->sample_rate, request->channels, &compiled, &rendering,
                        &result->failure, head_blocks)) {
        result->render_failed = 1;
        return;
    }
    // The main thread needs the time map for the play cursor after the pool is reused.
    i64 count = compiled.block_times.count;
    f64* times = count > 0 ? (f64*)malloc((size_t)count * sizeof(f64)) : 0;
    if (count > 0 && !times) {
        rendering_free(&rendering);
        render_failure_set(&result->failure, Str{0, 0}, STR("not enough memory for the rendering"));
        result->render_failed = 1;
        return;
    }
    if (times) memcpy(times, compiled.block_times.data, (size_t)count * sizeof(f64));
    // The buffer goes to the main thread before its first sample is made.
    RenderResult start = {};
    start.request_id = request->id;
    start.samples = rendering.samples;
    start.length = rendering.length;
    start.block_times = times;
    start.block_count = count;
    start.sample_rate = rendering.sample_rate;
    start.has_rendering = 1;
    start.streaming = rendering.samples != 0;
    __atomic_store_n(&worker.stream_final, 0, __ATOMIC_RELEASE);
    mutex_lock(worker.mutex);
    worker.stream_samples = rendering.samples;
    worker.stream_orphaned = 0;
    mutex_unlock(worker.mutex);
    result_publish(&start);

    i64 channels = rendering.channels;
    SynthProgress progress = {0, &channels, stream_final_set, &worker.cancel};
    i64 frames = rendering.length / channels;
    bool whole = compiled.volume.count >= compiled.block_times.count * compiled.columns;
    i64 head_end = whole ? frames : (head_blocks - 2) * compiled.block_size;
    if (head_end > frames) head_end = frames;
    result->synthesis_seconds = synthesize_part(&compiled, rendering.samples, rendering.length, 0,
                                                head_end, &progress);
    if (head_end < frames && !__atomic_load_n(&worker.cancel, __ATOMIC_ACQUIRE)) {
        CompiledPiece rest;
        compiled_piece_init(&rest, POOL_WORKER);
        compile_piece(piece, request->sample_rate, channels, &rest);
        result->synthesis_seconds += synthesize_part(&rest, rendering.samples, rendering.length,
                                                     head_end, frames, &progress);
        rendering.incomplete |= rest.incomplete;
    }
    if (!render_complete(&rendering, Str{0, 0}, &result->failure)) result->render_cut = 1;
    mutex_lock(worker.mutex);
    bool orphaned = worker.stream_orphaned != 0;
    worker.stream_samples = 0;
    worker.stream_orphaned = 0;
    mutex_unlock(worker.mutex);
    if (orphaned) free(rendering.samples);
    result->stream_finished = 1;
    result->finished_id = request->id;
    result->stream_complete =
        __atomic_load_n(&worker.stream_final, __ATOMIC_ACQUIRE) >= rendering.length;
}

// Folds a new result into one the main thread has not taken yet. Returns the buffers that
// the newer rendering replaced, for freeing outside the mutex.
static RenderResult result_merge(RenderResult* into, RenderResult* from) {
    RenderResult replaced = {};
    into->request_id = from->request_id;
    into->synthesis_seconds = from->synthesis_seconds;
    into->midi_waited += from->midi_waited;
    if (from->stream_finished) {
        into->stream_finished = 1;
        into->stream_complete = from->stream_complete;
        into->finished_id = from->finished_id;
    }
    if (from->has_rendering) {
        replaced.samples = into->samples;
        replaced.block_times = into->block_times;
        into->samples = from->samples;
        into->length = from->length;
        into->block_times = from->block_times;
        into->block_count = from->block_count;
        into->sample_rate = from->sample_rate;
        into->has_rendering = 1;
        into->streaming = from->streaming;
    }
    if (from->export_failed || from->render_failed || from->render_cut) {
        into->failure = from->failure;
        into->export_failed |= from->export_failed;
        into->render_failed |= from->render_failed;
        into->render_cut |= from->render_cut;
    }
    return replaced;
}

i32 render_worker(void* argument) {
    (void)argument;
    mutex_lock(worker.mutex);
    bool running = worker.running != 0;
    mutex_unlock(worker.mutex);
    if (!running) return 0;
    // The worker's own arena: it grows as long pieces need and is emptied per render.
    pool_setup(POOL_WORKER, WORKER_POOL_FIRST_BLOCK, true);
    for (;;) {
        RenderRequest request = {};
        mutex_lock(worker.mutex);
        running = worker.running != 0;
        bool requested = running && worker.render_request;
        if (requested) {
            request = worker.request;
            worker.request = RenderRequest{};
            worker.render_request = 0;
            worker.serving_playback = request.path == 0;
            __atomic_store_n(&worker.cancel, 0, __ATOMIC_RELEASE);
        }
        mutex_unlock(worker.mutex);
        if (!running) break;
        if (requested) {
            RenderResult result;
            request_serve(&request, &result);
            request_free(&request);
            mutex_lock(worker.mutex);
            worker.serving_playback = 0;
            mutex_unlock(worker.mutex);
            result_publish(&result);
        }
        system_sleep(WORKER_POLL_MS);
    }
    pool_release(POOL_WORKER);
    return 0;
}

bool render_worker_start() {
    worker.mutex = mutex_create();
    if (!worker.mutex) return false;
    worker.running = 1;
    worker.thread = thread_create(render_worker, 0);
    if (!worker.thread) {
        mutex_destroy(worker.mutex);
        worker.mutex = 0;
        worker.running = 0;
        return false;
    }
    return true;
}

void render_worker_stop() {
    if (!worker.thread) return;
    mutex_lock(worker.mutex);
    worker.running = 0;
    __atomic_store_n(&worker.cancel, 1, __ATOMIC_RELEASE);
    mutex_unlock(worker.mutex);
    thread_wait(worker.thread, 0);
    mutex_destroy(worker.mutex);
    request_free(&worker.request);
    result_free(&worker.result);
    worker.thread = 0;
    worker.mutex = 0;
    worker.render_request = 0;
    worker.render_done = 0;
}

i64 render_request_post(Str snapshot, Str export_path, i64 sample_rate, i64 channels,
                        u8 midi_tuning) {
    if (!worker.thread || snapshot.length <= 0) return 0;
    RenderRequest request = {};
    request.snapshot = (u8*)malloc((size_t)snapshot.length);
    if (export_path.length > 0) request.path = (u8*)malloc((size_t)export_path.length);
    if (!request.snapshot || (export_path.length > 0 && !request.path)) {
        request_free(&request);
        return 0;
    }
    memcpy(request.snapshot, snapshot.data, (size_t)snapshot.length);
    request.snapshot_length = snapshot.length;
    if (request.path) memcpy(request.path, export_path.data, (size_t)export_path.length);
    request.path_length = request.path ? export_path.length : 0;
    request.sample_rate = sample_rate;
    request.channels = channels;
    request.midi_tuning = midi_tuning;
    worker.next_request_id += 1;
    request.id = worker.next_request_id;
    mutex_lock(worker.mutex);
    RenderRequest replaced = worker.request;  // several requests collapse into the newest
    worker.request = request;
    worker.render_request = 1;
    // A playback rendering under way is not wanted any more: the new request goes first.
    if (worker.serving_playback) __atomic_store_n(&worker.cancel, 1, __ATOMIC_RELEASE);
    mutex_unlock(worker.mutex);
    request_free(&replaced);
    return request.id;
}

void render_playback_cancel() {
    if (!worker.thread) return;
    mutex_lock(worker.mutex);
    if (worker.serving_playback) __atomic_store_n(&worker.cancel, 1, __ATOMIC_RELEASE);
    mutex_unlock(worker.mutex);
}

bool render_result_take(RenderResult* result) {
    *result = RenderResult{};
    if (!worker.thread) return false;
    mutex_lock(worker.mutex);
    bool done = worker.render_done != 0;
    if (done) {
        *result = worker.result;
        worker.result = RenderResult{};
        worker.render_done = 0;
    }
    mutex_unlock(worker.mutex);
    return done;
}
