// Fuzz target of the MIDI reader: any bytes through midi_import into a piece of its own.
// Besides the sanitizers (libsmf itself is not instrumented, but it only ever sees files
// our structure check passed) it checks that the import succeeds exactly when the check
// passes, that a refusal gives a reason, and that an accepted file gives notes of a group
// of the piece with a positive reduced pitch, times and lengths of no less than zero, at
// most one note per three bytes, and a piece that survives a scene file round trip.
#include "fuzz_support.h"
#include "model/keys.h"
#include "model/midi_import.h"
#include "model/scene.h"

static i64 midi_main_mark, midi_tmp_mark;

bool midi_fuzz_setup() {
    keys_parse(
        STR("key key\nclass scale 1 1 1 1\npitch do 1/1 0\npitch ra 16/15 0\n"
            "pitch re 9/8 0\npitch me 6/5 0\npitch mi 5/4 0\npitch fa 4/3 0\n"
            "pitch fi 45/32 0\npitch sol 3/2 0\npitch le 8/5 0\npitch la 5/3 0\n"
            "pitch te 9/5 0\npitch ti 15/8 0\n"));
    midi_main_mark = fuzz_pool_mark(POOL_MAIN);
    midi_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return key_by_name(STR("key")) != 0;
}

void midi_fuzz_teardown() { array_init(&g_keys, POOL_MAIN); }

const char* midi_fuzz_one(const u8* data, size_t size) {
    fuzz_pool_rewind(POOL_MAIN, midi_main_mark);
    fuzz_pool_rewind(POOL_TMP, midi_tmp_mark);
    Str bytes = fuzz_copy(POOL_TMP, data, size);
    Str check_reason = {};
    bool well_formed = midi_structure_check(bytes, &check_reason);

    Piece piece;
    piece_init(&piece, POOL_TMP);
    MidiImportOptions options = {STR(""), -1};
    MidiImportSummary summary = {};
    Str reason = {};
    bool imported = midi_import(bytes, &options, &piece, &summary, &reason);
    if (!imported) {
        if (reason.length == 0) return "a refusal gives no reason";
        if (well_formed) return "a file the structure check passed is refused";
        return 0;
    }
    if (!well_formed) return "a file the structure check refused is imported";
    if (summary.notes != piece.notes.count || piece.notes.count > (i64)size / 3)
        return "more notes than the file can hold";
    for (i64 i = 0; i < piece.notes.count; i += 1) {
        const ObjectHeader* h = &piece.notes[i].header;
        Fraction p = h->pitch;
        if (p.numerator <= 0 || p.denominator <= 0) return "a pitch that is not positive";
        Fraction reduced = fraction_normalize(p);
        if (reduced.numerator != p.numerator || reduced.denominator != p.denominator)
            return "a pitch that is not reduced";
        if (fraction_less(h->time, Fraction{0, 1}) || fraction_less(h->duration, Fraction{0, 1}))
            return "a note before the start or of negative length";
        if (!group_find(&piece, h->group_id)) return "a note outside every group";
    }
    if (piece.keys.count != 1 || piece.sounds.count != 1 || piece.tempos.count < 1)
        return "the piece lacks its key, sound or tempo";
    Str scene = scene_encode(&piece, POOL_TMP);
    Piece again;
    piece_init(&again, POOL_TMP);
    if (scene_decode(scene, &again, POOL_TMP) != SCENE_OK || again.notes.count != piece.notes.count)
        return "the imported piece does not survive a scene file";
    return 0;
}
