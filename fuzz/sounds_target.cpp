// Fuzz target of the sound definitions reader: any text through sounds_parse, with the
// private folder as the data folder (its "tone.wav" is a recording the text may name).
// Besides the sanitizers it checks the two name tables (a power-of-two capacity, every
// stored name found again at its own slot), that a recording's samples lie
// in the audio working memory as whole frames, that every curve table is empty or full, and
// it plays each wave through the synthesiser's wave function at a few phases, which reads
// a recording's samples.
#include <stdlib.h>

#include "fuzz_support.h"
#include "sound/sounds.h"
#include "sound/synth.h"

static const i64 SOUNDS_AUDIO_BYTES = 8 << 20;
static u8* sounds_audio_memory;
static i64 sounds_main_mark, sounds_tmp_mark;

bool sounds_fuzz_setup() {
    if (fuzz_folder().length == 0) return false;
    sounds_audio_memory = (u8*)malloc((size_t)SOUNDS_AUDIO_BYTES);
    if (!sounds_audio_memory) return false;
    sounds_main_mark = fuzz_pool_mark(POOL_MAIN);
    sounds_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return true;
}

void sounds_fuzz_teardown() {
    sounds_reset();
    audio_set_buffer(0, 0);
    free(sounds_audio_memory);
    sounds_audio_memory = 0;
}

template <typename T>
static const char* table_check(const NameTable<T>* table, const char* what) {
    if (!table->slots) return 0;
    if (table->capacity < 8 || (table->capacity & (table->capacity - 1)) != 0)
        return what;
    for (i64 i = 0; i < table->capacity; i += 1) {
        const NameSlot<T>* slot = &table->slots[i];
        if (slot->key.length == 0) continue;
        if (name_table_find(table, slot->key) != &slot->value) return what;
    }
    return 0;
}

static bool curve_table_sound(CurveTable table) {
    return (table.count == 0 && !table.values) || (table.count == CURVE_TABLE_SIZE && table.values);
}

static const char* wave_check(const WaveDefinition* wave) {
    const WaveData* data = &wave->data;
    if (wave->kind != WAVE_SAMPLED) {
        if (data->data || data->size != 0) return "an oscillator holds sample data";
        return 0;
    }
    if (data->data) {
        if (data->format != SAMPLE_FORMAT_F32 || data->channels <= 0 || data->size < 0)
            return "a recording has an impossible format";
        if (data->size % ((i64)data->channels * 4) != 0)
            return "a recording does not hold whole frames";
        const u8* begin = (const u8*)data->data;
        const u8* end = sounds_audio_memory + SOUNDS_AUDIO_BYTES;
        if (begin < sounds_audio_memory || begin + data->size > end)
            return "a recording lies outside the audio working memory";
    } else if (data->size != 0 || data->channels != 0) {
        return "a recording without samples claims a size";
    }
    // The synthesiser reads recordings at any phase and channel; the sanitizers watch.
    static const f64 phases[] = {0.0, 0.37, 1.0, 12345.678, -3.5, 1.0e12, -1.0e300};
    for (f64 phase : phases)
        for (i64 channel = 0; channel < 3; channel += 1) (void)wave_value(wave, phase, channel);
    return 0;
}

const char* sounds_fuzz_one(const u8* data, size_t size) {
    if (!fuzz_paths_confined(data, size)) return FUZZ_SKIPPED;
    fuzz_pool_rewind(POOL_MAIN, sounds_main_mark);
    fuzz_pool_rewind(POOL_TMP, sounds_tmp_mark);
    audio_set_buffer(SOUNDS_AUDIO_BYTES, sounds_audio_memory);
    sounds_reset();
    // The names stay views into the text, so it lives in the main pool as the file does.
    Str text = fuzz_copy(POOL_MAIN, data, size);
    sounds_parse(text, fuzz_folder());

    const char* failure = table_check(wave_table(), "a wave name is not found again");
    if (!failure) failure = table_check(sound_table(), "a sound name is not found again");
    if (failure) return failure;
    const NameTable<WaveDefinition>* waves = wave_table();
    for (i64 i = 0; i < waves->capacity; i += 1) {
        if (waves->slots[i].key.length == 0) continue;
        failure = wave_check(&waves->slots[i].value);
        if (failure) return failure;
    }
    const NameTable<SoundDefinition>* sounds = sound_table();
    for (i64 i = 0; i < sounds->capacity; i += 1) {
        const SoundDefinition* sound = &sounds->slots[i].value;
        if (sounds->slots[i].key.length == 0) continue;
        if (!curve_table_sound(sound->shape) || !curve_table_sound(sound->attack) ||
            !curve_table_sound(sound->release))
            return "a curve table is neither empty nor complete";
    }
    return 0;
}
