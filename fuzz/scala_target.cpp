// Fuzz target of the Scala reader of sorvane-keys: any text through scala_parse. Besides the
// sanitizers it checks that a refusal names a line of the text (or the one after it) and a
// reason; that an accepted scale lists exactly the declared number of pitches, each reduced
// and positive, in line order, cents ones within the tolerance or with a bounded
// denominator; and that the scale survives the trip into keys.txt lines, through the keys
// reader, out as .scl and back through scala_parse with the same ratios.
#include "base/fraction.h"
#include "fuzz_support.h"
#include "model/keys.h"
#include "scala.h"

static i64 scala_main_mark, scala_tmp_mark;

bool scala_fuzz_setup() {
    scala_main_mark = fuzz_pool_mark(POOL_MAIN);
    scala_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return true;
}

void scala_fuzz_teardown() { array_init(&g_keys, POOL_MAIN); }

static bool same_ratio(Fraction a, Fraction b) {
    return a.numerator == b.numerator && a.denominator == b.denominator;
}

const char* scala_fuzz_one(const u8* data, size_t size) {
    fuzz_pool_rewind(POOL_MAIN, scala_main_mark);
    fuzz_pool_rewind(POOL_TMP, scala_tmp_mark);
    Str text = fuzz_copy(POOL_TMP, data, size);
    i64 lines = 1;
    for (i64 i = 0; i < text.length; i += 1) lines += text.data[i] == '\n';

    ScalaScale scale;
    ScalaError error;
    if (!scala_parse(text, POOL_TMP, &scale, &error)) {
        if (error.line < 1 || error.line > lines + 1) return "a refusal names no line of the text";
        if (error.message.length == 0) return "a refusal gives no reason";
        return 0;
    }
    i64 previous_line = 0;
    for (i64 i = 0; i < scale.pitches.count; i += 1) {
        const ScalaPitch* pitch = &scale.pitches[i];
        Fraction r = pitch->ratio;
        if (r.numerator <= 0 || r.denominator <= 0) return "a ratio that is not positive";
        if (!same_ratio(fraction_normalize(r), r)) return "a ratio that is not reduced";
        if (pitch->line <= previous_line || pitch->line > lines) return "pitch lines out of order";
        previous_line = pitch->line;
        if (pitch->from_cents && r.denominator > SCALA_MAX_DENOMINATOR)
            return "a cents line with too large a denominator";
    }

    // Into keys.txt, through its reader, out as .scl and back.
    Str lines_text = scala_key_lines(&scale, STR("fuzz"), POOL_TMP);
    keys_parse(lines_text);
    const KeyDefinition* key = key_by_name(STR("fuzz"));
    if (!key) return "the key lines do not make a key";
    i64 skipped = 0;
    Str written = scala_write(key, POOL_TMP, &skipped);
    if (skipped != 0) return "the key lines hold a pitch without a ratio";
    ScalaScale again;
    if (!scala_parse(written, POOL_TMP, &again, &error)) return "a written scale is refused";
    // Expected: the degrees but 1/1 and a final octave, then the period 2/1.
    i64 k = 0;
    i64 count = scale.pitches.count;
    for (i64 i = 0; i < count; i += 1) {
        Fraction r = scale.pitches[i].ratio;
        if (r.numerator == r.denominator) continue;
        if (i == count - 1 && r.numerator % 2 == 0 && r.numerator / 2 == r.denominator) continue;
        if (k >= again.pitches.count || !same_ratio(again.pitches[k].ratio, r))
            return "a degree changed on the way through keys.txt";
        k += 1;
    }
    if (k != again.pitches.count - 1) return "the written scale has other degrees";
    if (!same_ratio(again.pitches[k].ratio, Fraction{2, 1})) return "the written period is not 2/1";
    return 0;
}
