// The reference synthesis loop: per event, per frame, per channel, with every curve
// pre-sampled (envelopes to 1000-entry tables, control tracks to one value per block).
// Each product is formed in double precision and rounded to single precision before it
// is added, events in list order. Slow on purpose: it is what the fast path must equal.
#include "sound/synth_reference.h"

#include "platform/system.h"

static void reference_event_render(const CompiledPiece* compiled, VoiceEvent* event, f32* samples,
                         i64 frames) {
    const SoundDefinition* sound = event->sound;
    f64 rate = (f64)compiled->sample_rate;
    f64 lead = sound->lead_time, tail = sound->tail_time;
    f64 duration = event->end_time - event->start_time;
    if (!(duration > 0.0)) return;  // an empty note has no place on its own shape
    i64 first = synth_frame_at(event->start_time - lead, rate, frames);
    i64 end = synth_frame_at(event->end_time + tail, rate, frames);
    i64 channels = compiled->channels;
    f64 block = (f64)compiled->block_size;
    i64 column = synth_event_column(compiled, event);
    i64 stride = compiled->columns;
    i64 mix_column = column * SOUND_MAX_WAVES + event->wave_index;
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
        f64 mix = track_value(compiled->wave_mix.data, compiled->wave_mix.count,
                              stride * SOUND_MAX_WAVES, mix_column, u);
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

f64 synthesize_reference(CompiledPiece* compiled, f32* samples, i64 length,
                         const SynthProgress* progress) {
    u64 started = system_performance_counter();
    i64 channels = compiled->channels;
    i64 frames = channels == 1 || channels == 2 ? length / channels : 0;
    if (compiled->sample_rate <= 0 || compiled->columns <= 0) frames = 0;
    i64 count = compiled->events.count;
    i64 report_every = count / 200 > 0 ? count / 200 : 1;  // a bar moves in half percents
    for (i64 n = 0; n < count && frames > 0; n += 1) {
        reference_event_render(compiled, &compiled->events.data[n], samples, frames);
        if (progress && progress->report && ((n + 1) % report_every == 0 || n + 1 == count))
            progress->report(progress->user, n + 1, count);
    }
    u64 frequency = system_performance_frequency();
    return (f64)(system_performance_counter() - started) / (f64)(frequency ? frequency : 1);
}
