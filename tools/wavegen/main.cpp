// sorvane-wavegen FOLDER: makes the recorded waves that data/sounds/sounds.txt names, from
// nothing but arithmetic and a seeded noise generator, so every build writes the same
// bytes. "pluck.wav" is a plucked string (Karplus-Strong, tuned to 220 Hz with an allpass
// fractional delay); "bowed.wav" a bowed, slightly breathy tone at 220 Hz whose end runs
// seamlessly into its start, because synthesis loops recordings for as long as a voice
// lasts. Both are mono 32-bit float at 44100 Hz. Prints nothing unless a file fails.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/system.h"

static const i64 RATE = 44100;
static const f64 FREQUENCY = 220.0;
static const f64 TWO_PI = 6.283185307179586;

// A small linear congruential generator: white noise in -1..1, the same on every machine.
struct Noise {
    u64 state;
};
static f64 noise_next(Noise* noise) {
    noise->state = noise->state * 6364136223846793005ull + 1442695040888963407ull;
    return (f64)(noise->state >> 11) / (f64)(1ull << 53) * 2.0 - 1.0;
}

static void normalize(f32* samples, i64 count, f64 peak) {
    f64 largest = 0.0;
    for (i64 i = 0; i < count; i += 1) {
        f64 magnitude = math_abs(samples[i]);
        if (magnitude > largest) largest = magnitude;
    }
    if (largest <= 0.0) return;
    for (i64 i = 0; i < count; i += 1) samples[i] = (f32)(samples[i] * (peak / largest));
}

// Karplus-Strong: a burst of softened noise circulates in a delay loop whose averaging
// filter makes the high partials die first. The loop's delay is the integer line, half a
// sample of the average and an allpass fraction, together exactly RATE / FREQUENCY.
static void pluck_make(f32* out, i64 count) {
    f64 delay = (f64)RATE / FREQUENCY;
    i64 line = (i64)(delay - 0.5 - 0.1);  // leaves an allpass fraction of 0.1 to 1.1
    f64 fraction = delay - 0.5 - (f64)line;
    f64 c = (1.0 - fraction) / (1.0 + fraction);
    f64 loss = 0.9965;
    f64* s = (f64*)calloc((size_t)count, sizeof(f64));
    Noise noise = {0x5eed1234u};
    f64 soft = 0.0, mean = 0.0;
    f64* burst = (f64*)calloc((size_t)line, sizeof(f64));
    for (i64 i = 0; i < line; i += 1) {
        soft = 0.6 * soft + 0.4 * noise_next(&noise);  // a felt-like, rounder attack
        burst[i] = soft;
        mean += soft / (f64)line;
    }
    f64 v_previous = 0.0, s_previous = 0.0;
    for (i64 n = 0; n < count; n += 1) {
        f64 v = n < line ? burst[n] - mean : 0.0;
        f64 a = n - line >= 0 ? s[n - line] : 0.0;
        f64 b = n - line - 1 >= 0 ? s[n - line - 1] : 0.0;
        v += loss * 0.5 * (a + b);
        s[n] = c * v + v_previous - c * s_previous;  // first-order allpass
        v_previous = v;
        s_previous = s[n];
        out[n] = (f32)s[n];
    }
    free(burst);
    free(s);
    normalize(out, count, 0.8);
}

// A bowed string: a sawtooth-like series of partials with a gentle roll-off, a 5 Hz
// vibrato and a little band-limited breath noise. The loop holds whole cycles of both the
// tone and the vibrato; a short crossfade hides the noise at the seam.
static void bowed_make(f32* out, i64 count) {
    i64 fade = RATE / 10;
    i64 total = count + fade;
    f64* s = (f64*)calloc((size_t)total, sizeof(f64));
    Noise noise = {0xb0b0cafeu};
    f64 phase = 0.0, low = 0.0, band = 0.0;
    for (i64 n = 0; n < total; n += 1) {
        f64 t = (f64)n / (f64)RATE;
        f64 vibrato = 1.0 + 0.004 * math_sin(TWO_PI * 5.0 * t);
        phase += FREQUENCY * vibrato / (f64)RATE;
        f64 value = 0.0;
        for (i32 k = 1; k <= 24; k += 1) {
            f64 amplitude = 1.0 / (f64)k * (1.0 / (1.0 + (f64)(k * k) / 120.0));
            value += amplitude * math_sin(TWO_PI * (f64)k * phase);
        }
        // Breath: noise through two one-pole filters, a soft band around a few kHz.
        f64 white = noise_next(&noise);
        low = 0.7 * low + 0.3 * white;
        band = 0.5 * band + 0.5 * (white - low);
        s[n] = value + 0.06 * band;
    }
    for (i64 n = 0; n < count; n += 1) {
        f64 v = s[n];
        if (n < fade) {
            f64 a = (f64)n / (f64)fade;
            v = math_sqrt(a) * s[n] + math_sqrt(1.0 - a) * s[count + n];
        }
        out[n] = (f32)v;
    }
    free(s);
    normalize(out, count, 0.7);
}

static bool wave_write(const char* folder, const char* name, void (*make)(f32*, i64), i64 count) {
    f32* samples = (f32*)calloc((size_t)count, sizeof(f32));
    if (!samples) return false;
    make(samples, count);
    WaveData wave = {SAMPLE_FORMAT_F32, 1, (i32)RATE, count * 4, samples};
    char path[4096];
    snprintf(path, sizeof(path), "%s/%s", folder, name);
    bool saved = audio_wave_save(&wave, str_from_cstring(path));
    if (!saved) {
        Str reason = system_last_error();
        fprintf(stderr, "%s could not be written: %.*s\n", path, (int)reason.length,
                (const char*)reason.data);
    }
    free(samples);
    return saved;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: sorvane-wavegen FOLDER\n");
        return 1;
    }
    bool ok = wave_write(argv[1], "pluck.wav", pluck_make, RATE * 2);
    ok = wave_write(argv[1], "bowed.wav", bowed_make, RATE * 2) && ok;
    return ok ? 0 : 1;
}
