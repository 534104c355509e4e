// Reading and atomically replacing whole files. The replacement goes to a temporary file
// beside the target and renames it over the target only once the bytes are on disk.
#include "model/files.h"

#include "base/format.h"
#include "platform/system.h"

Str read_entire_file(Str path, u8 pool) {
    FileHandle file = file_open(path, FILE_READ);
    if (file_failed(file)) {
        file_close(file);
        return Str{0, 0};
    }
    i64 size = file_size(file);
    u8* block = size >= 1 ? (u8*)pool_alloc(pool, size) : 0;
    if (!block) {
        file_close(file);
        return Str{0, 0};
    }
    i64 got = file_read(file, size, block);
    file_close(file);
    if (got <= 0) return Str{0, 0};
    return Str{block, got};
}

// The folder a rename must be made durable in: everything before the last '/'.
static Str folder_of(Str path) {
    for (i64 i = path.length - 1; i >= 0; i -= 1)
        if (path.data[i] == '/') return Str{path.data, i > 0 ? i : 1};
    return Str{0, 0};
}

static Str tmp_path_of(Str path, u8 pool) {
    StrBuilder builder;
    str_builder_init(&builder, pool);
    str_builder_append(&builder, path);
    str_builder_append(&builder, STR(".tmp"));
    return str_builder_text(&builder);
}

// The reason of the last failure, copied before clean-up calls can replace it.
static Str failure_reason(Str fallback, u8 pool) {
    Str reason = system_last_error();
    return str_copy(pool, reason.length > 0 ? reason : fallback);
}

bool file_replace_atomically(Str path, Str bytes, u8 pool, Str* reason) {
    Str temporary = tmp_path_of(path, pool);
    *reason = Str{};
    if (temporary.length != path.length + 4) {
        *reason = STR("not enough memory");
        return false;
    }
    FileHandle file = file_open(temporary, FILE_WRITE);
    if (file_failed(file)) {
        *reason = failure_reason(STR("the file could not be created"), pool);
        return false;
    }
    bool written = file_write(file, bytes.length, bytes.data) == bytes.length;
    if (!written) *reason = failure_reason(STR("the file could not be written"), pool);
    bool synced = written && file_sync(file);
    if (written && !synced) *reason = failure_reason(STR("the file could not be written"), pool);
    bool closed = file_close(file);
    if (synced && !closed) *reason = failure_reason(STR("the file could not be written"), pool);
    if (synced && closed && !file_rename(temporary, path))
        *reason = failure_reason(STR("the file could not be replaced"), pool);
    if (reason->length > 0) {
        file_remove(temporary);
        return false;
    }
    // The new name is in place; making the rename durable is best effort (some file
    // systems cannot sync a folder), and the file is replaced either way.
    directory_sync(folder_of(path));
    return true;
}
