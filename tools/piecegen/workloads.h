// The reference workloads of the benchmarks, as pieces built from a seed: the same seed
// gives the same piece on every machine. Shared by sorvane-piecegen (which saves them as
// scene files) and the benchmarks (which render them).
//   W1: 60 s, 1000 sine notes of 0.5 to 2 s on 16 monophonic lanes, three octaves from
//       110 Hz, one group, sound, shape ("plain"), volume and pitch object over the piece.
//   W2: the same at 600 s with 10 000 notes.
//   W3: W1 with four waves per note (sine, square, triangle, sawtooth, a quarter each).
// All at 44100 Hz, stereo, 16-bit export.
#pragma once

#include "model/piece.h"

enum Workload : u8 {
    WORKLOAD_W1 = 0,
    WORKLOAD_W2 = 1,
    WORKLOAD_W3 = 2,
    WORKLOAD_COUNT = 3,
};

static const u64 WORKLOAD_SEED = 20240611;

// The wave and sound definitions the workloads name, in the syntax of sounds.txt; the
// same "plain" sound ships in data/sounds/sounds.txt.
extern const char workload_sounds_text[];

Str workload_name(u8 workload);  // "w1", "w2", "w3"
f64 workload_seconds(u8 workload);
// Fills a piece set up with piece_init; false when its pool refused.
bool workload_build(Piece* piece, u8 workload, u64 seed);
