// The synthesis loop: per event, per frame, per channel, with every curve pre-sampled
// (envelopes to 1000-entry tables, control tracks to one value per block). The mixing
// arithmetic is fixed: each product is formed in double precision and rounded to single
// precision before it is added, events in list order, so renders repeat bit for bit.
#include "sound/synth.h"

#include "platform/system.h"

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

// Frame index of a time, cut to 0 .. limit (a double that does not fit gives a bound).
static i64 frame_at(f64 seconds, f64 rate, i64 limit) {
    f64 frame = seconds * rate;
    if (!(frame > 0.0)) return 0;
    if (frame >= (f64)limit) return limit;
    return (i64)frame;
}

// The column an event reads: its group's, or the neutral one after the groups.
static i64 event_column(const CompiledPiece* compiled, const VoiceEvent* event) {
    i64 column = event->group_index;
    if (column < 0 || column >= compiled->columns - 1) column = compiled->columns - 1;
    return column;
}

static void event_render(const CompiledPiece* compiled, VoiceEvent* event, f32* samples,
                         i64 frames) {
    const SoundDefinition* sound = event->sound;
    f64 rate = (f64)compiled->sample_rate;
    f64 lead = sound->lead_time, tail = sound->tail_time;
    f64 duration = event->end_time - event->start_time;
    if (!(duration > 0.0)) return;  // an empty note has no place on its own shape
    i64 first = frame_at(event->start_time - lead, rate, frames);
    i64 end = frame_at(event->end_time + tail, rate, frames);
    i64 channels = compiled->channels;
    f64 block = (f64)compiled->block_size;
    i64 column = event_column(compiled, event);
    i64 stride = compiled->columns;
    i64 mix_column = column * 4 + event->wave_index;
    const WaveDefinition* wave = event->wave;
    f64 step_scale = event->frequency / wave->reference_frequency;
    bool per_channel = wave->kind == WAVE_SAMPLED;
    f64 attack = sound->attack_length, release = sound->release_length;
    for (i64 i = first; i < end; i += 1) {
        f64 t = (f64)i / rate;
        f64 d = t - event->start_time;
        f64 e = curve_table_value(d / duration, &sound->shape);
        if (attack > 0.0) {
            f64 y = lead + d;
            f64 factor = y < 0.0 ? 0.0 : y > attack ? 1.0 : curve_table_value(y / attack, &sound->attack);
            e *= factor;
        }
        if (release > 0.0) {
            f64 y = d - duration + release - tail;
            if (y > release)
                e = 0.0;
            else if (y >= 0.0)
                e *= curve_table_value(y / release, &sound->release);
        }
        f64 u = rate * t / block;
        f64 a = e * track_value(compiled->volume.data, compiled->volume.count, stride, column, u);
        f64 p = track_value(compiled->panning.data, compiled->panning.count, stride, column, u);
        f64 f = step_scale *
                track_value(compiled->pitch.data, compiled->pitch.count, stride, column, u);
        f64 mix = track_value(compiled->wave_mix.data, compiled->wave_mix.count, stride * 4,
                              mix_column, u);
        f64 phase = event->phase_offset + event->phase;
        f64 value0 = wave_value(wave, phase, 0) * mix;
        event->phase += f / rate;
        if (channels == 2) {
            // The oscillators give every channel the same value; only a recording differs.
            f64 value1 = per_channel ? wave_value(wave, phase, 1) * mix : value0;
            f64 pan = (p + 1.0) / 2.0;
            samples[2 * i] += (f32)(value0 * a * (1.0 - pan));
            samples[2 * i + 1] += (f32)(value1 * a * pan);
        } else {
            samples[i] += (f32)(value0 * a);
        }
    }
}

f64 synthesize(CompiledPiece* compiled, f32* samples, i64 length, const SynthProgress* progress) {
    u64 started = system_performance_counter();
    i64 channels = compiled->channels;
    i64 frames = channels == 1 || channels == 2 ? length / channels : 0;
    if (compiled->sample_rate <= 0 || compiled->columns <= 0) frames = 0;
    i64 count = compiled->events.count;
    i64 report_every = count / 200 > 0 ? count / 200 : 1;  // a bar moves in half percents
    for (i64 n = 0; n < count && frames > 0; n += 1) {
        event_render(compiled, &compiled->events.data[n], samples, frames);
        if (progress && progress->report && ((n + 1) % report_every == 0 || n + 1 == count))
            progress->report(progress->user, n + 1, count);
    }
    u64 frequency = system_performance_frequency();
    return (f64)(system_performance_counter() - started) / (f64)(frequency ? frequency : 1);
}
