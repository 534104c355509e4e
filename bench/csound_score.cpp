// sorvane-csound-score WORKLOAD OUT.sco: the score of bench/csound/workloads.orc for one
// benchmark workload (w1, w2, w3): its wave tables, the control curves over the piece and
// one statement per note, with the start, length and frequency that sorvane compiles for
// it (so both programs play the very same notes). Used by bench/csound-compare.sh.
#include <stdio.h>

#include "platform/system.h"
#include "sound/compile.h"
#include "workloads.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        fputs("usage: sorvane-csound-score w1|w2|w3 OUT.sco\n", stderr);
        return 2;
    }
    u8 workload = WORKLOAD_COUNT;
    for (u8 w = 0; w < WORKLOAD_COUNT; w += 1)
        if (str_equal(str_from_cstring(argv[1]), workload_name(w))) workload = w;
    if (workload == WORKLOAD_COUNT || !pool_setup(POOL_MAIN, 64 << 20, true) ||
        !pool_setup(POOL_TMP, 32 << 20, true)) {
        fputs("sorvane-csound-score: unknown workload or no memory\n", stderr);
        return 1;
    }
    sounds_reset();
    sounds_parse(str_copy(POOL_MAIN, str_from_cstring(workload_sounds_text)), Str{0, 0});
    Piece piece;
    piece_init(&piece, POOL_MAIN);
    CompiledPiece compiled;
    compiled_piece_init(&compiled, POOL_MAIN);
    if (!workload_build(&piece, workload, WORKLOAD_SEED)) return 1;
    compile_piece(&piece, 44100, 2, &compiled);
    FILE* out = fopen(argv[2], "w");
    if (!out) {
        perror(argv[2]);
        return 1;
    }
    f64 seconds = workload_seconds(workload);
    fprintf(out, "; %s, seed %llu: %lld events\n", argv[1], (unsigned long long)WORKLOAD_SEED,
            (long long)compiled.events.count);
    // sorvane's waves over one table period: sine; square -1 then +1 (its period is two
    // cycles); triangle from -1 up to 1 and back; sawtooth from 0 up to 1, -1 up to 0.
    fputs("f1 0 16384 10 1\n", out);
    fputs("f2 0 16384 7 -1 8192 -1 0 1 8192 1\n", out);
    fputs("f3 0 16384 7 -1 8192 1 8192 -1\n", out);
    fputs("f4 0 16384 7 0 8192 1 0 -1 8192 0\n", out);
    fprintf(out, "i1 0 %.9g\n", seconds);
    i32 instrument = workload == WORKLOAD_W3 ? 3 : 2;
    // One statement per note: W3's four events of a note are one instrument 3 note.
    for (i64 e = 0; e < compiled.events.count; e += 1) {
        const VoiceEvent* event = &compiled.events[e];
        if (event->wave_index != 0) continue;
        fprintf(out, "i%d %.9f %.9f %.9f\n", instrument, event->start_time,
                event->end_time - event->start_time, event->frequency);
    }
    fputs("e\n", out);
    return fclose(out) == 0 ? 0 : 1;
}
