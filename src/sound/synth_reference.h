// The reference synthesis: the plain loop, per event, per frame, per channel, kept to
// check the fast path against. Only the tests and the equality benchmark call it; the
// program, the worker, the tool and the audition run synthesize (synth.h).
#pragma once

#include "sound/synth.h"

// Adds the events into `samples` like synthesize, one frame at a time on the calling
// thread, advancing every event's running phase. Returns the seconds it took.
f64 synthesize_reference(CompiledPiece* compiled, f32* samples, i64 length,
                         const SynthProgress* progress);
