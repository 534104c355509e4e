// Image decoding for both back ends through stb_image, whose every allocation is taken
// from the image working memory that the program hands over (image_set_buffer). Owns
// that arena's position and the flip setting. Main thread only.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "platform/common_internal.h"

static BumpArena image_arena;
static bool image_out_of_memory;

static void* image_malloc(size_t size) {
    void* block = bump_alloc(&image_arena, (i64)size);
    if (!block) image_out_of_memory = true;
    return block;
}

// The decoder grows its buffers as it goes; the newest block grows where it lies.
static void* image_realloc(void* block, size_t old_size, size_t new_size) {
    if (!block) return image_malloc(new_size);
    u8* start = (u8*)block;
    if (start + old_size == image_arena.base + image_arena.used) {
        i64 offset = start - image_arena.base;
        if ((i64)new_size <= image_arena.size - offset) {
            image_arena.used = offset + (i64)new_size;
            return block;
        }
        image_out_of_memory = true;
        return nullptr;
    }
    void* moved = image_malloc(new_size);
    if (moved) memcpy(moved, block, old_size < new_size ? old_size : new_size);
    return moved;
}

// Nothing is given back one by one: image_load compacts the result once decoding ends.
static void image_free(void*) {}

#define STBI_MALLOC(size) image_malloc(size)
#define STBI_REALLOC_SIZED(block, old_size, new_size) image_realloc(block, old_size, new_size)
#define STBI_FREE(block) image_free(block)
#define STBI_FAILURE_USERMSG
#define STB_IMAGE_IMPLEMENTATION

// Third-party code: its one warning here (a counter it sets and never reads) is not
// ours to fix, so it is muted for the header alone.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#include <stb_image.h>
#pragma GCC diagnostic pop

void image_set_buffer(i64 size, void* block) {
    image_arena = BumpArena{(u8*)block, block ? size : 0, 0};
}

void image_set_flip(bool flip) { stbi_set_flip_vertically_on_load(flip ? 1 : 0); }

void image_set_buffer_position(i64 position) {
    if (position < 0) position = 0;
    if (position > image_arena.size) position = image_arena.size;
    image_arena.used = position;
}

bool image_load(Str path, Image* image, i32 channels) {
    platform_call_note(PLATFORM_CALL_IMAGE_FILE);
    *image = Image{};
    if (!image_arena.base) {
        platform_error_set("no image buffer");
        return false;
    }
    if (channels < 0 || channels > 4) {
        platform_error_set_errno(EINVAL);
        return false;
    }
    char name[PATH_MAX];
    if (!platform_path_copy(path, name, sizeof(name))) return false;
    FILE* stream = fopen(name, "rb");
    if (!stream) {
        platform_error_set_errno(errno);
        return false;
    }
    i64 start = image_arena.used;
    image_out_of_memory = false;
    int width = 0, height = 0, file_channels = 0;
    u8* pixels = stbi_load_from_file(stream, &width, &height, &file_channels, channels);
    fclose(stream);
    if (!pixels) {
        image_arena.used = start;
        platform_error_set(image_out_of_memory ? "image buffer too small"
                                               : stbi_failure_reason());
        return false;
    }
    i32 channels_out = channels ? channels : file_channels;
    i64 bytes = (i64)width * height * channels_out;
    // Everything the decoder took besides the result is dead now: move the pixels to
    // the start of this load so the next load finds the space free.
    image_arena.used = start;
    u8* target = (u8*)bump_alloc(&image_arena, bytes);  // at or before `pixels`
    memmove(target, pixels, (size_t)bytes);
    *image = Image{width, height, channels_out, target};
    return true;
}
