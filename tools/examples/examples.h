// The demo pieces of data/examples, built with the piece model itself: the same code gives
// the same pieces on every machine. Shared by sorvane-examples (which saves them as scene
// files at build time) and the tests (which check what each one is meant to show).
//   just_chords:    a just-intonation progression I vi IV V in "just major", bar lines every
//                   four beats, and two groups ("chords" and "melody") in different sounds.
//   curves:         tempo, volume, panning and pitch curves: an accelerando, a fade, a pan
//                   sweep and a glissando, over harmonic-seventh arpeggios.
//   recorded_waves: the recorded "pluck" and "bowed" waves, a sound blending three waves
//                   whose mix changes over the piece, and a repeat that plays one phrase
//                   four times.
#pragma once

#include "model/piece.h"

enum Example : u8 {
    EXAMPLE_JUST_CHORDS = 0,
    EXAMPLE_CURVES = 1,
    EXAMPLE_RECORDED_WAVES = 2,
    EXAMPLE_COUNT = 3,
};

// "just_chords.scene", "curves.scene", "recorded_waves.scene".
Str example_file_name(u8 example);
// Fills a piece set up with piece_init; false when its pool refused.
bool example_build(Piece* piece, u8 example);
