// Synthesis: the wave, envelope and track functions, and the fast path that splits the
// rendering into time ranges and hands them to every core. Each range adds its runs of
// events in list order, carrying the running phases into it exactly as one pass would, so
// the output is the same bit for bit whatever the number of threads. The calling thread
// renders ranges too; the others are made with thread_create and joined before returning.
#include "sound/synth.h"

#include <stdlib.h>
#include <string.h>

#include "platform/system.h"
#include "sound/synth_voice.h"

static const f64 TWO_PI = 6.283185307179586;

f64 curve_table_value(f64 x, const CurveTable* table) {
    i64 n = table->count;
    if (n <= 0) return 1.0;
    f64 p = (f64)(n - 1) * x;
    f64 floor_p = math_floor(p);
    // Outside the table (or not a number) the ends hold.
    if (!(floor_p >= 0.0)) return table->values[0];
    if (floor_p + 1.0 >= (f64)n) return table->values[n - 1];
    i64 i = (i64)floor_p;
    f64 f = p - floor_p;
    return table->values[i] * (1.0 - f) + table->values[i + 1] * f;
}

f64 track_value(const f64* track, i64 length, i64 stride, i64 column, f64 u) {
    if (length <= 0 || stride <= 0) return 0.0;
    f64 b = math_floor(u);
    if (!(b >= 0.0)) return track[0];  // before the first block (or not a number)
    // Past the last block its value holds. (Compared in doubles: no division per call.)
    if (b * (f64)stride + (f64)column >= (f64)length) return track[length - stride + column];
    i64 j = (i64)b * stride + column;
    f64 v = track[j];
    if (j + stride < length) {
        f64 f = u - b;
        v = v * (1.0 - f) + track[j + stride] * f;
    }
    return v;
}

// Index into a recording of `length` samples, wrapped into 0 .. length - 1.
static i64 wrap_index(i64 index, i64 length) {
    i64 r = index % length;
    return r < 0 ? r + length : r;
}

static f64 sampled_value(const WaveData* data, f64 phase, i64 channel) {
    i64 m = data->channels;
    i64 length = data->size / 4;
    if (m <= 0 || length <= 0 || !data->data) return 0.0;
    f64 q = phase * (f64)data->sample_rate;
    // Beyond this the frame index no longer fits; a voice never gets there in practice.
    if (!(q > -9.0e18 && q < 9.0e18)) return 0.0;
    i64 k = (i64)q;
    f64 f = q - math_floor(q);
    const f32* samples = (const f32*)data->data;
    // k x m taken modulo the length without forming the product, which could overflow.
    i64 index0 = wrap_index(wrap_index(k, length) * m + channel % m, length);
    i64 index1 = wrap_index(index0 + m, length);
    return (f64)(f32)(samples[index1] * f + samples[index0] * (1.0 - f));
}

f64 wave_value(const WaveDefinition* wave, f64 phase, i64 channel) {
    switch (wave->kind) {
    case WAVE_SINE: return math_sin(TWO_PI * phase);
    case WAVE_SQUARE: {
        if (!(phase > -9.0e18 && phase < 9.0e18)) return -1.0;
        return 2.0 * (f64)(((i64)phase) & 1) - 1.0;
    }
    case WAVE_TRIANGLE:
        return 2.0 * math_abs(2.0 * (phase - math_floor(phase + 0.5))) - 1.0;
    case WAVE_SAWTOOTH: return 2.0 * (phase - math_floor(phase + 0.5));
    case WAVE_SAMPLED: return sampled_value(&wave->data, phase, channel);
    default: return 0.0;
    }
}

// --- Time ranges and threads ------------------------------------------------------------

// A range shorter than this is not worth a thread: carrying the phases of the voices that
// cross into it costs a walk over their earlier frames.
static const i64 RANGE_FRAMES_MINIMUM = (i64)1 << 16;
// More ranges than threads, so that a core slowed by other work takes fewer of them.
static const i64 RANGES_PER_THREAD = 8;
static const i64 THREADS_MAXIMUM = 32;
// In time order the first range is this short, and each next one twice as long until they
// reach the even split: the first samples are final soon after the start.
static const i64 STREAM_FIRST_FRAMES = (i64)1 << 14;
static const i64 STREAM_RANGES_EXTRA = 40;
static const i64 RANGES_MAXIMUM = THREADS_MAXIMUM * RANGES_PER_THREAD + STREAM_RANGES_EXTRA;

struct SynthJob {
    CompiledPiece* compiled;  // read only while threads run (the phases are written after)
    f32* samples;  // frame `window_first` at samples[0]
    i64 frames;    // of the whole rendering
    i64 window_first, window_end;  // the frames rendered now
    // With windows, one per event: the running phase at window_first of the events that
    // sound across it (read), and at window_end of those that sound across that (written).
    const f64* carry_in;
    f64* carry_out;
    i64 range_count;
    i64 bounds[RANGES_MAXIMUM + 1];  // range r: bounds[r] .. bounds[r + 1]
    f64* final_phases;  // one per event, written by the range holding its last frame; null
                        // with one range, which writes the events' phases itself
    const SynthProgress* progress;
    Mutex mutex;
    i64 next_range;   // guarded by mutex
    i64 ranges_done;  // guarded by mutex
    i64 final_ranges;                // guarded by mutex: ranges 0 .. final_ranges - 1 are done
    u8 range_done[RANGES_MAXIMUM];   // guarded by mutex
};

static bool job_cancelled(const SynthJob* job) {
    const u8* cancel = job->progress ? job->progress->cancel : 0;
    return cancel && __atomic_load_n(cancel, __ATOMIC_ACQUIRE) != 0;
}

// A voice fed numbers beyond range can still yield NaN or infinities; they never reach a
// loudspeaker or a file, and a range is cleaned before it is reported final.
static void samples_make_finite(f32* samples, i64 length) {
    for (i64 i = 0; i < length; i += 1) {
        f32 sample = samples[i];
        samples[i] = sample - sample == 0.0f ? sample : 0.0f;  // every sample: it vectorises
    }
}

// What a batch's runs leave: the phases carried out of the window, and the final phases of
// the events whose last frame lies in the range. `index[b]` is run b's first event.
static void batch_finish(SynthJob* job, const VoiceRun* batch, const i64* index, const i64* end,
                         i64 count) {
    VoiceEvent* events = job->compiled->events.data;
    for (i64 b = 0; b < count; b += 1) {
        const VoiceRun* run = &batch[b];
        i64 n = index[b];
        if (run->hi == job->window_end && end[b] > run->hi && job->carry_out)
            for (i64 e = 0; e < run->count; e += 1) job->carry_out[n + e] = run->after[e];
        if (run->hi == end[b]) {
            for (i64 e = 0; e < run->count; e += 1) {
                if (job->final_phases)
                    job->final_phases[n + e] = run->after[e];
                else
                    events[n + e].phase = run->after[e];
            }
        }
    }
}

// Adds every run's frames inside range r, in batches of runs that follow each other in the
// list (and so, the notes being in time order, sound at about the same time).
static void range_render(SynthJob* job, i64 r) {
    CompiledPiece* compiled = job->compiled;
    VoiceEvent* events = compiled->events.data;
    i64 count = compiled->events.count;
    i64 range_lo = job->bounds[r], range_hi = job->bounds[r + 1];
    bool report = job->progress && job->progress->report && job->range_count == 1;
    i64 report_every = count / 200 > 0 ? count / 200 : 1;  // a bar moves in half percents
    i64 reported = 0;
    VoiceRun batch[VOICE_BATCH_MAXIMUM];
    i64 batch_index[VOICE_BATCH_MAXIMUM], batch_end[VOICE_BATCH_MAXIMUM];
    i64 batch_runs = 0, batch_streams = 0;
    for (i64 n = 0; n < count;) {
        // A range of a long piece takes a while: a cancelled one stops at once, unfinished.
        if (job_cancelled(job)) return;
        i64 length = voice_run_length(events + n, count - n);
        i64 first, end;
        voice_run_frames(compiled, &events[n], job->frames, &first, &end);
        i64 lo = first > range_lo ? first : range_lo;
        i64 hi = end < range_hi ? end : range_hi;
        if (lo < hi) {
            if (batch_runs == VOICE_BATCH_MAXIMUM) {
                voice_batch_render(compiled, batch, batch_runs, job->samples, job->window_first);
                batch_finish(job, batch, batch_index, batch_end, batch_runs);
                batch_runs = 0;
                batch_streams = 0;
            }
            VoiceRun* run = &batch[batch_runs];
            // A run that began before the window starts from the phases carried to it.
            bool carried = job->carry_in && first < job->window_first;
            run->events = &events[n];
            run->count = length;
            run->first = carried ? job->window_first : first;
            run->lo = lo;
            run->hi = hi;
            for (i64 e = 0; e < length; e += 1)
                run->initial[e] = carried ? job->carry_in[n + e] : events[n + e].phase;
            f64 steps[VOICE_RUN_MAXIMUM], phases[VOICE_RUN_MAXIMUM];
            i64 stream_of[VOICE_RUN_MAXIMUM];
            i64 streams = voice_run_streams(run, steps, phases, stream_of);
            if (batch_streams + streams > VOICE_BATCH_STREAMS) {  // it opens the next batch
                voice_batch_render(compiled, batch, batch_runs, job->samples, job->window_first);
                batch_finish(job, batch, batch_index, batch_end, batch_runs);
                batch[0] = *run;
                batch_runs = 0;
                batch_streams = 0;
            }
            batch_index[batch_runs] = n;
            batch_end[batch_runs] = end;
            batch_runs += 1;
            batch_streams += streams;
        }
        n += length;
        if (report && (n / report_every != reported || n == count)) {
            reported = n / report_every;
            job->progress->report(job->progress->user, n, count);
        }
    }
    voice_batch_render(compiled, batch, batch_runs, job->samples, job->window_first);
    batch_finish(job, batch, batch_index, batch_end, batch_runs);
    i64 channels = compiled->channels;
    samples_make_finite(job->samples + (range_lo - job->window_first) * channels,
                        (range_hi - range_lo) * channels);
}

// Takes ranges until none is left. Returns how many it rendered.
static i64 ranges_take(SynthJob* job, bool report) {
    i64 done = 0;
    for (;;) {
        if (job_cancelled(job)) return done;
        mutex_lock(job->mutex);
        i64 r = job->next_range;
        job->next_range += 1;
        mutex_unlock(job->mutex);
        if (r >= job->range_count) return done;
        range_render(job, r);
        if (job_cancelled(job)) return done;  // the range may be unfinished: never final
        done += 1;
        mutex_lock(job->mutex);
        job->ranges_done += 1;
        i64 finished = job->ranges_done;
        job->range_done[r] = 1;
        i64 before = job->final_ranges;
        while (job->final_ranges < job->range_count && job->range_done[job->final_ranges])
            job->final_ranges += 1;
        // Under the mutex, so the calls come one at a time and in order.
        if (job->final_ranges != before && job->progress && job->progress->final)
            job->progress->final(job->progress->user, job->bounds[job->final_ranges]);
        mutex_unlock(job->mutex);
        // Only the calling thread reports, so the callback never runs on two at once.
        if (report && job->progress && job->progress->report)
            job->progress->report(job->progress->user, finished, job->range_count);
    }
}

static i64 block_of(const CompiledPiece* compiled) {
    return compiled->block_size > 0 ? compiled->block_size : 1;
}

// The ranges in time order: STREAM_FIRST_FRAMES, twice that and so on up to `even` frames,
// then `even` frames each to the end (the last one takes the rest).
static i64 stream_range_count(i64 frames, i64 even, i64 block) {
    if (frames <= STREAM_FIRST_FRAMES) return 1;
    i64 size = STREAM_FIRST_FRAMES / block * block;
    if (size < block) size = block;
    if (even < size) even = size;
    i64 count = 0;
    for (i64 at = 0; at < frames && count < RANGES_MAXIMUM; count += 1) {
        at += size;
        size = size * 2 < even ? size * 2 : even;
    }
    return count;
}

static void stream_bounds(i64* bounds, i64 ranges, i64 frames, i64 even, i64 block) {
    i64 size = STREAM_FIRST_FRAMES / block * block;
    if (size < block) size = block;
    if (even < size) even = size;
    bounds[0] = 0;
    for (i64 r = 1; r < ranges; r += 1) {
        bounds[r] = bounds[r - 1] + size;
        size = size * 2 < even ? size * 2 : even;
    }
    bounds[ranges] = frames;
}

static i32 synth_thread(void* argument) {
    ranges_take((SynthJob*)argument, false);
    return 0;
}

// Renders frames window_first .. window_end of a rendering `frames` long into `samples`.
static void synthesize_frames(CompiledPiece* compiled, f32* samples, i64 frames,
                              i64 window_first, i64 window_end, const f64* carry_in,
                              f64* carry_out, const SynthProgress* progress, i64 threads) {
    i64 count = compiled->events.count;
    if (threads <= 0) threads = system_processor_count();
    if (threads > THREADS_MAXIMUM) threads = THREADS_MAXIMUM;
    if (threads < 1) threads = 1;
    i64 window = window_end - window_first;
    i64 ranges = threads == 1 ? 1 : window / RANGE_FRAMES_MINIMUM;
    if (ranges > threads * RANGES_PER_THREAD) ranges = threads * RANGES_PER_THREAD;
    if (ranges < 1) ranges = 1;
    if (threads > ranges) threads = ranges;

    bool stream = progress && progress->final;
    i64 even = window / ranges / block_of(compiled) * block_of(compiled);
    if (stream) ranges = stream_range_count(window, even, block_of(compiled));

    SynthJob job = {};
    job.compiled = compiled;
    job.samples = samples;
    job.frames = frames;
    job.window_first = window_first;
    job.window_end = window_end;
    job.carry_in = carry_in;
    job.carry_out = carry_out;
    job.progress = progress;
    if (ranges > 1) {
        job.mutex = mutex_create();
        job.final_phases = count > 0 ? (f64*)malloc((size_t)count * sizeof(f64)) : 0;
        if (!job.mutex || !job.final_phases) ranges = 1;  // short of memory: one pass
    }
    job.range_count = ranges;
    // Range bounds on block boundaries, the ranges about equally long.
    i64 block = block_of(compiled);
    for (i64 r = 0; r <= ranges; r += 1) {
        i64 bound = r == ranges ? window : window / ranges * r / block * block;
        job.bounds[r] = window_first + bound;
    }
    if (stream && ranges > 1) {
        stream_bounds(job.bounds, ranges, window, even, block);
        for (i64 r = 0; r <= ranges; r += 1) job.bounds[r] += window_first;
    }
    if (window > 0 && count > 0) {
        if (ranges == 1) {
            range_render(&job, 0);
        } else {
            for (i64 e = 0; e < count; e += 1) job.final_phases[e] = compiled->events.data[e].phase;
            Thread helpers[THREADS_MAXIMUM];
            i64 helper_count = 0;
            for (i64 t = 1; t < threads; t += 1) {
                helpers[helper_count] = thread_create(synth_thread, &job);
                if (helpers[helper_count]) helper_count += 1;  // fewer threads still finish
            }
            ranges_take(&job, true);
            for (i64 t = 0; t < helper_count; t += 1) thread_wait(helpers[t], 0);
            // A helper may have finished the last range: the bar ends full all the same.
            if (progress && progress->report) progress->report(progress->user, ranges, ranges);
            for (i64 e = 0; e < count; e += 1) compiled->events.data[e].phase = job.final_phases[e];
        }
    }
    if (job.mutex) mutex_destroy(job.mutex);
    free(job.final_phases);
    // Every sample is final now (also with no events or no frames); repeats are harmless.
    if (stream && !job_cancelled(&job)) progress->final(progress->user, window_end);
}

static f64 seconds_since(u64 started) {
    u64 frequency = system_performance_frequency();
    return (f64)(system_performance_counter() - started) / (f64)(frequency ? frequency : 1);
}

static i64 frames_of(const CompiledPiece* compiled, i64 length) {
    i64 channels = compiled->channels;
    if (compiled->sample_rate <= 0 || compiled->columns <= 0) return 0;
    return channels == 1 || channels == 2 ? length / channels : 0;
}

f64 synthesize(CompiledPiece* compiled, f32* samples, i64 length, const SynthProgress* progress,
               i64 threads) {
    u64 started = system_performance_counter();
    i64 frames = samples ? frames_of(compiled, length) : 0;
    synthesize_frames(compiled, samples, frames, 0, frames, 0, 0, progress, threads);
    return seconds_since(started);
}

f64 synthesize_part(CompiledPiece* compiled, f32* samples, i64 length, i64 first, i64 end,
                    const SynthProgress* progress, i64 threads) {
    u64 started = system_performance_counter();
    i64 frames = samples ? frames_of(compiled, length) : 0;
    if (end > frames) end = frames;
    if (first < 0) first = 0;
    if (first < end)
        synthesize_frames(compiled, samples + first * compiled->channels, frames, first, end, 0, 0,
                          progress, threads);
    return seconds_since(started);
}

bool synth_windows_begin(SynthWindows* windows, CompiledPiece* compiled, i64 length) {
    *windows = SynthWindows{};
    windows->compiled = compiled;
    windows->frames = frames_of(compiled, length);
    i64 count = compiled->events.count;
    if (count <= 0) return true;
    windows->carry = (f64*)malloc((size_t)count * 2 * sizeof(f64));
    return windows->carry != 0;
}

f64 synth_window_render(SynthWindows* windows, f32* samples, i64 end,
                        const SynthProgress* progress, i64 threads) {
    u64 started = system_performance_counter();
    CompiledPiece* compiled = windows->compiled;
    i64 block = block_of(compiled);
    i64 first = windows->next;
    if (end > windows->frames) end = windows->frames;
    if (end < windows->frames) end = end / block * block;
    if (end <= first) return 0.0;
    i64 count = compiled->events.count;
    f64* carry_in = windows->carry;
    f64* carry_out = count > 0 ? windows->carry + count : 0;
    synthesize_frames(compiled, samples, windows->frames, first, end, carry_in, carry_out,
                      progress, threads);
    // What left this window enters the next one.
    if (count > 0) memcpy(carry_in, carry_out, (size_t)count * sizeof(f64));
    windows->next = end;
    return seconds_since(started);
}

void synth_windows_end(SynthWindows* windows) {
    free(windows->carry);
    *windows = SynthWindows{};
}
