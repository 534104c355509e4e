// The private folder of the reader fuzz targets, the path rule that keeps fuzzed paths in
// it, and pool rewinding. See fuzz_support.h. Main thread only.
#include "fuzz_support.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system.h"

const char* const FUZZ_SKIPPED = "skipped: a path could leave the private folder";

static char folder[PATH_MAX];
static char folder_before[PATH_MAX];  // the working folder fuzz_folder_enter left

static bool file_put(const char* name, const void* bytes, size_t size) {
    char path[PATH_MAX];
    snprintf(path, sizeof(path), "%s/%s", folder, name);
    FILE* file = fopen(path, "wb");
    if (!file) return false;
    bool written = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

static bool file_copy_in(const char* from, const char* name) {
    FILE* file = fopen(from, "rb");
    if (!file) return false;
    u8 bytes[4096];
    size_t size = fread(bytes, 1, sizeof(bytes), file);
    fclose(file);
    return size > 0 && file_put(name, bytes, size);
}

static bool folder_fill() {
    if (!file_copy_in(SORVANE_SOURCE_DIR "/tests/data/pixels_3x2.png", "page.png")) return false;
    static const char font[] =
        "s 3 2\ni page.png\ng 32 0 0 1 0 0 0 0\ng 65 0 0 2 0 0 2 2\ng 65533 0 0 3 0 0 3 2\n";
    if (!file_put("font.txt", font, sizeof(font) - 1)) return false;
    // A tenth of a second of a stereo ramp, written by the platform as exports are.
    static f32 samples[2 * 4410];
    for (i64 i = 0; i < 2 * 4410; i += 1) samples[i] = (f32)(i % 200) / 100.0f - 1.0f;
    WaveData wave = {SAMPLE_FORMAT_F32, 2, 44100, (i64)sizeof(samples), samples};
    char path[PATH_MAX];
    snprintf(path, sizeof(path), "%s/tone.wav", folder);
    return audio_wave_save(&wave, str_from_cstring(path));
}

Str fuzz_folder() {
    if (folder[0] == 0) {
        struct stat status;
        bool shm = stat("/dev/shm", &status) == 0 && S_ISDIR(status.st_mode);
        const char* base = shm ? "/dev/shm" : "/tmp";
        snprintf(folder, sizeof(folder), "%s/sorvane_fuzz_XXXXXX", base);
        if (!mkdtemp(folder) || !folder_fill()) {
            fprintf(stderr, "fuzz: the private folder %s could not be made\n", folder);
            folder[0] = 0;
        }
    }
    return str_from_cstring(folder);
}

bool fuzz_folder_enter() {
    if (fuzz_folder().length == 0) return false;
    if (folder_before[0] == 0 && !getcwd(folder_before, sizeof(folder_before))) return false;
    return chdir(folder) == 0;
}

void fuzz_folder_leave() {
    if (folder_before[0] != 0 && chdir(folder_before) == 0) folder_before[0] = 0;
}

void fuzz_folder_remove() {
    if (folder[0] == 0) return;
    fuzz_folder_leave();
    char command[PATH_MAX + 16];
    snprintf(command, sizeof(command), "rm -rf '%s'", folder);
    if (system(command) == 0) folder[0] = 0;
}

bool fuzz_paths_confined(const u8* data, size_t size) {
    for (size_t i = 0; i < size; i += 1) {
        if (data[i] == '.' && i + 1 < size && data[i + 1] == '.') return false;
        if (data[i] != '/' || i + 1 == size) continue;
        u8 next = data[i + 1];
        bool harmless = (next >= '0' && next <= '9') || next == '-' || next == '/' ||
                        next == ' ' || next < 0x20;
        if (!harmless) return false;
    }
    return true;
}

i64 fuzz_pool_mark(u8 pool) { return g_pools[pool].used; }

void fuzz_pool_rewind(u8 pool, i64 mark) {
    // Only a pool that never grew has all its blocks in one piece below the mark.
    if (g_pools[pool].grows || mark > g_pools[pool].used) abort();
    g_pools[pool].used = mark;
    g_pools[pool].reported_full = false;
}

Str fuzz_copy(u8 pool, const u8* data, size_t size) {
    if (size == 0) return Str{0, 0};
    u8* copy = (u8*)pool_alloc(pool, (i64)size);
    if (!copy) return Str{0, 0};
    memcpy(copy, data, size);
    return Str{copy, (i64)size};
}
