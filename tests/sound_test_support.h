// Helpers for the tests of the sound code: a piece built object by object in POOL_MAIN,
// curves from plain numbers, sound definitions from text, sample inspection, memory for
// wave files, and playback on the headless device.
#pragma once

#include <math.h>
#include <stdlib.h>

#include "base/text.h"
#include "model/files.h"
#include "model/piece.h"
#include "model/scene.h"
#include "sound/compile.h"
#include "sound/sounds.h"
#include "sound/synth.h"
#include "test_support.h"

inline Fraction frac(i64 n, i64 d = 1) { return Fraction{n, d}; }

// Pools large enough for a few minutes of rendering, fresh sound tables, and a piece with
// one group. The tables point into POOL_MAIN, so they are forgotten with it.
struct SoundTest : ::testing::Test {
    ScopedPools pools{64 << 20, 32 << 20};
    Piece piece;
    i64 group = 0;
    void SetUp() override {
        sounds_reset();
        piece_init(&piece, POOL_MAIN);
        group = piece_group_add(&piece, STR("group"));
    }
    void TearDown() override { sounds_reset(); }
};

// Definitions from text kept alive in POOL_MAIN (the tables point into it).
inline void define_sounds(const char* text) {
    Str source = str_copy(POOL_MAIN, str_from_cstring(text));
    sounds_parse(source, Str{0, 0});
}

// A point whose handles lie on the straight line to its neighbours' thirds, so a list of
// such points is a polyline.
inline CurvePoint point_at(Fraction x, Fraction y) { return CurvePoint{x, y, x, y, x, y}; }

inline void curve_constant(Curve* curve, Fraction y) {
    curve_init(curve, POOL_MAIN);
    array_push(&curve->points, point_at(frac(0), y));
}

// A straight line from (0, y0) to (x1, y1).
inline void curve_line(Curve* curve, Fraction y0, Fraction x1, Fraction y1) {
    curve_init(curve, POOL_MAIN);
    array_push(&curve->points, point_at(frac(0), y0));
    array_push(&curve->points, point_at(x1, y1));
}

inline ObjectHeader header_make(u8 kind, i64 group, Fraction time, Fraction duration,
                                u8 scope = SCOPE_GLOBAL) {
    ObjectHeader header = {};
    header.kind = kind;
    header.group_id = group;
    header.time = time;
    header.duration = duration;
    header.pitch = frac(1);
    header.scope = scope;
    header.visible = 1;
    return header;
}

// An object of the kind's list with its header filled in.
template <typename T>
T* add_object(PoolArray<T>* list, u8 kind, i64 group, Fraction time, Fraction duration,
              u8 scope = SCOPE_GLOBAL) {
    T object = {};
    object.header = header_make(kind, group, time, duration, scope);
    return array_push(list, object);
}

inline NoteObject* add_note(Piece* piece, i64 group, Fraction time, Fraction duration,
                            Fraction pitch = Fraction{1, 1}) {
    NoteObject* note = add_object(&piece->notes, OBJECT_NOTE, group, time, duration);
    note->header.pitch = pitch;
    return note;
}

// A sound object of up to four waves, the blend curves constant at `blend`.
inline SoundObject* add_sound(Piece* piece, i64 group, Fraction time, Fraction duration,
                              const char* const* waves, i64 count, Fraction blend = Fraction{0, 1},
                              u8 scope = SCOPE_GLOBAL) {
    SoundObject* sound = add_object(&piece->sounds, OBJECT_SOUND, group, time, duration, scope);
    for (i64 i = 0; i < count; i += 1) sound->wave_names[i] = str_from_cstring(waves[i]);
    for (i64 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) curve_constant(&sound->blend[i], blend);
    sound->wave_count = count;
    sound->visible = 1;
    sound->editable = 1;
    return sound;
}

inline SoundObject* add_sine(Piece* piece, i64 group, Fraction time, Fraction duration) {
    static const char* const sine[] = {"sine"};
    return add_sound(piece, group, time, duration, sine, 1);
}

inline ShapeObject* add_shape(Piece* piece, i64 group, Fraction time, Fraction duration,
                              const char* name, f64 offset = 0.0) {
    ShapeObject* shape = add_object(&piece->shapes, OBJECT_SHAPE, group, time, duration);
    shape->shape_name = str_from_cstring(name);
    shape->time_offset = offset;
    return shape;
}

inline KeyObject* add_key(Piece* piece, i64 group, Fraction time, Fraction duration, f64 frequency) {
    KeyObject* key = add_object(&piece->keys, OBJECT_KEY, group, time, duration);
    key->reference_frequency = frequency;
    return key;
}

inline TempoObject* add_tempo(Piece* piece, Fraction time, Fraction duration, Fraction bpm) {
    TempoObject* tempo = add_object(&piece->tempos, OBJECT_TEMPO, 0, time, duration);
    curve_constant(&tempo->tempo, bpm);
    return tempo;
}

inline VolumeObject* add_volume(Piece* piece, i64 group, Fraction time, Fraction duration,
                                Fraction volume, Fraction pan, u8 scope = SCOPE_GLOBAL) {
    VolumeObject* object = add_object(&piece->volumes, OBJECT_VOLUME, group, time, duration, scope);
    curve_constant(&object->volume, volume);
    curve_constant(&object->pan, pan);
    return object;
}

inline PitchObject* add_pitch(Piece* piece, i64 group, Fraction time, Fraction duration, Fraction ratio) {
    PitchObject* object = add_object(&piece->pitches, OBJECT_PITCH, group, time, duration);
    curve_constant(&object->pitch, ratio);
    return object;
}

inline RepeatObject* add_repeat(Piece* piece, i64 group, Fraction time, Fraction start,
                                Fraction end, i64 count) {
    RepeatObject* repeat = add_object(&piece->repeats, OBJECT_REPEAT, group, time, frac(0));
    repeat->start = start;
    repeat->end = end;
    repeat->count = count;
    return repeat;
}

// The fundamental of a harmonic-rich mono signal between low and high Hz: the lag of the
// strongest autocorrelation, refined by a parabola through its neighbours.
inline f64 measured_pitch(const f32* samples, i64 count, f64 rate, f64 low, f64 high) {
    i64 min_lag = (i64)(rate / high), max_lag = (i64)(rate / low) + 1;
    auto correlation = [&](i64 lag) {
        f64 sum = 0.0;
        for (i64 i = 0; i + lag < count; i += 1) sum += (f64)samples[i] * samples[i + lag];
        return sum / (f64)(count - lag);
    };
    i64 best = min_lag;
    f64 best_value = -1e300;
    for (i64 lag = min_lag; lag <= max_lag; lag += 1) {
        f64 value = correlation(lag);
        if (value > best_value) best_value = value, best = lag;
    }
    f64 before = correlation(best - 1), after = correlation(best + 1);
    f64 shift = 0.5 * (before - after) / (before - 2.0 * best_value + after);
    return rate / ((f64)best + shift);
}

// The piece compiled into POOL_MAIN.
inline CompiledPiece compiled_of(const Piece* piece, i64 rate, i64 channels) {
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_MAIN);
    compile_piece(piece, rate, channels, &compiled);
    return compiled;
}

// Memory for the wave files the platform reads, released with the test.
struct WaveMemory {
    void* memory;
    explicit WaveMemory(i64 bytes = 32 << 20) : memory(malloc((size_t)bytes)) {
        audio_set_buffer(bytes, memory);
    }
    ~WaveMemory() {
        audio_set_buffer(0, nullptr);
        free(memory);
    }
};

// --- Playback on the headless device ------------------------------------------------------

#include <pthread.h>
#include <time.h>

#include <vector>

#include "platform/headless.h"
#include "sound/audio_output.h"
#include "sound/playback.h"
#include "sound/worker.h"

// g_piece with one group and a sine, an open headless device, and (when asked) the worker.
struct PlaybackTest : ::testing::Test {
    ScopedPools pools{64 << 20, 32 << 20};
    i64 group = 0;
    void SetUp() override {
        headless_reset();
        audio_output_reset();
        piece_init(&g_piece, POOL_MAIN);
        group = piece_group_add(&g_piece, STR("group"));
        define_sounds("wave_sine sine\nwave_square square\n");
        ASSERT_TRUE(audio_output_open());
    }
    void TearDown() override {
        render_worker_stop();
        audio_output_close();
        playback_reset();
        sounds_reset();
        piece_init(&g_piece, POOL_MAIN);
    }
    // A sine sounding over the whole piece and one note over [time, time + duration).
    NoteObject* note(Fraction time, Fraction duration, Fraction pitch = Fraction{1, 1}) {
        if (g_piece.sounds.count == 0) add_sine(&g_piece, group, frac(0), frac(1000000));
        return add_note(&g_piece, group, time, duration, pitch);
    }
    // Runs frames until the worker's rendering has arrived and (with `whole`) is written
    // to its end (false after 60 s).
    bool wait_for_render(bool whole = true) {
        for (i32 i = 0; i < 30000; i += 1) {
            playback_frame();
            if (!playback_is_waiting() && !(whole && playback_is_streaming())) return true;
            timespec pause = {0, 2000000};
            nanosleep(&pause, nullptr);
        }
        return false;
    }
    // What the device plays next: `count` samples, one callback.
    std::vector<f32> pump(i64 count) {
        std::vector<f32> out((size_t)count, 123.0f);
        headless_audio_pump(out.data(), count * 4);
        return out;
    }
    // The device's place in the slot and the samples it played, read under the audio lock.
    i64 position() { return locked_read(&g_audio.position); }
    i64 played() { return locked_read(&g_audio.played); }
    static i64 locked_read(const i64* field) {
        audio_lock();
        i64 value = *field;
        audio_unlock();
        return value;
    }
    // One note over the first `beats` (the whole piece), rendered and playing.
    void play_rendered(i64 beats = 4) {
        note(frac(0), frac(beats));
        ASSERT_TRUE(render_worker_start());
        playback_play_pause();
        ASSERT_TRUE(wait_for_render());
        ASSERT_TRUE(playback_is_playing());
    }
};

// A device thread that pumps the headless device every `pause_ns` until told to stop,
// noting whether every sample it was given was a number and how long each callback took.
struct DeviceThread {
    i64 pause_ns = 100000;
    std::vector<u32> callback_ns;  // written by the thread only, read after the join
    bool stop = false;   // atomic
    i64 callbacks = 0;   // atomic: buffers the device played
    bool finite = true;  // written by the thread only, read after the join
    pthread_t thread = {};
    bool started = false;
    void start() {
        callback_ns.reserve(1 << 20);
        started = pthread_create(&thread, nullptr, run, this) == 0;
        ASSERT_TRUE(started);
    }
    void join() {
        __atomic_store_n(&stop, true, __ATOMIC_RELEASE);
        if (started) pthread_join(thread, nullptr);
        started = false;
    }
    ~DeviceThread() { join(); }
    static void* run(void* argument) {
        DeviceThread* device = (DeviceThread*)argument;
        f32 out[512];
        timespec pause = {0, device->pause_ns};
        while (!__atomic_load_n(&device->stop, __ATOMIC_ACQUIRE)) {
            if (headless_audio_pump(out, sizeof(out))) {
                for (f32 sample : out) device->finite = device->finite && sample == sample;
                device->callback_ns.push_back((u32)headless_audio_callback_nanoseconds());
                __atomic_add_fetch(&device->callbacks, 1, __ATOMIC_RELAXED);
            }
            nanosleep(&pause, nullptr);
        }
        return nullptr;
    }
};
