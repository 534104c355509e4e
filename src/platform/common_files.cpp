// Files and folders for both back ends: buffered stdio handles from a fixed table, fsync
// for durability, std::filesystem (error-code forms only) for the rest. Owns the handle
// table and the storage of the last folder listing. Handles may be used from any thread,
// one thread per handle; folder listings belong to the main thread.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include "platform/common_internal.h"

enum { FILE_TABLE_SIZE = 64 };

struct PlatformFile {
    FILE* stream;
    std::atomic<bool> in_use;
    bool writing;
};

// A failed open hands out this record: every call on it does nothing, so callers may
// close it like any other handle.
static PlatformFile failed_file;
static PlatformFile file_table[FILE_TABLE_SIZE];

static PlatformFile* file_live(FileHandle file) {
    if (!file || file == &failed_file || !file->in_use.load(std::memory_order_acquire) ||
        !file->stream)
        return nullptr;
    return file;
}

static PlatformFile* file_claim() {
    for (i64 i = 0; i < FILE_TABLE_SIZE; i += 1) {
        bool expected = false;
        if (file_table[i].in_use.compare_exchange_strong(expected, true,
                                                         std::memory_order_acq_rel))
            return &file_table[i];
    }
    return nullptr;
}

static void file_release(PlatformFile* file) {
    file->stream = nullptr;
    file->writing = false;
    file->in_use.store(false, std::memory_order_release);
}

FileHandle file_open(Str path, i32 mode) {
    platform_call_note(PLATFORM_CALL_FILE_OPEN);
    char name[PATH_MAX];
    if (!platform_path_copy(path, name, sizeof(name))) return &failed_file;
    if (mode != FILE_WRITE && mode != FILE_READ) {
        platform_error_set_errno(EINVAL);
        return &failed_file;
    }
    PlatformFile* file = file_claim();
    if (!file) {
        platform_error_set_errno(EMFILE);
        return &failed_file;
    }
    FILE* stream = fopen(name, mode == FILE_WRITE ? "wb" : "rb");
    if (!stream) {
        platform_error_set_errno(errno);
        file_release(file);
        return &failed_file;
    }
    // stdio opens a folder for reading without complaint; reading it would fail later.
    struct stat status;
    if (fstat(fileno(stream), &status) == 0 && S_ISDIR(status.st_mode)) {
        fclose(stream);
        platform_error_set_errno(EISDIR);
        file_release(file);
        return &failed_file;
    }
    file->stream = stream;
    file->writing = mode == FILE_WRITE;
    return file;
}

bool file_failed(FileHandle file) {
    platform_call_note(PLATFORM_CALL_FILE_QUERY);
    return file_live(file) == nullptr;
}

i64 file_size(FileHandle file) {
    platform_call_note(PLATFORM_CALL_FILE_QUERY);
    PlatformFile* live = file_live(file);
    if (!live) return 0;
    if (live->writing) fflush(live->stream);
    struct stat status;
    if (fstat(fileno(live->stream), &status) != 0) {
        platform_error_set_errno(errno);
        return 0;
    }
    return (i64)status.st_size;
}

i64 file_read(FileHandle file, i64 size, void* destination) {
    platform_call_note(PLATFORM_CALL_FILE_READ);
    PlatformFile* live = file_live(file);
    if (!live || size <= 0 || !destination) return 0;
    size_t count = fread(destination, 1, (size_t)size, live->stream);
    if ((i64)count < size && ferror(live->stream)) {
        platform_error_set_errno(errno);
        clearerr(live->stream);
    }
    return (i64)count;
}

i64 file_write(FileHandle file, i64 size, const void* source) {
    platform_call_note(PLATFORM_CALL_FILE_WRITE);
    PlatformFile* live = file_live(file);
    if (!live || size <= 0 || !source) return 0;
    size_t count = fwrite(source, 1, (size_t)size, live->stream);
    if ((i64)count < size) platform_error_set_errno(errno);
    return (i64)count;
}

bool file_sync(FileHandle file) {
    platform_call_note(PLATFORM_CALL_FILE_SYNC);
    PlatformFile* live = file_live(file);
    if (!live) return false;
    if (fflush(live->stream) != 0 || fsync(fileno(live->stream)) != 0) {
        platform_error_set_errno(errno);
        return false;
    }
    return true;
}

bool file_close(FileHandle file) {
    platform_call_note(PLATFORM_CALL_FILE_CLOSE);
    PlatformFile* live = file_live(file);
    if (!live) return false;
    // fclose writes what is still buffered; a full disk shows up here.
    int result = fclose(live->stream);
    int error_number = errno;
    file_release(live);
    if (result != 0) {
        platform_error_set_errno(error_number);
        return false;
    }
    return true;
}

// An empty folder path means the working directory.
static bool folder_path_copy(Str path, char* buffer, i64 capacity) {
    if (!platform_path_copy(path, buffer, capacity)) return false;
    if (buffer[0] == 0) {
        buffer[0] = '.';
        buffer[1] = 0;
    }
    return true;
}

bool file_exists(Str path) {
    platform_call_note(PLATFORM_CALL_FILE_QUERY);
    char name[PATH_MAX];
    if (!platform_path_copy(path, name, sizeof(name))) return false;
    std::error_code error;
    bool exists = std::filesystem::exists(name, error);
    if (error) platform_error_set_errno(error.value());
    return exists && !error;
}

bool file_rename(Str from, Str to) {
    platform_call_note(PLATFORM_CALL_FILE_RENAME);
    char from_name[PATH_MAX];
    char to_name[PATH_MAX];
    if (!platform_path_copy(from, from_name, sizeof(from_name))) return false;
    if (!platform_path_copy(to, to_name, sizeof(to_name))) return false;
    std::error_code error;
    std::filesystem::rename(from_name, to_name, error);
    if (error) {
        platform_error_set_errno(error.value());
        return false;
    }
    return true;
}

bool file_remove(Str path) {
    platform_call_note(PLATFORM_CALL_FILE_REMOVE);
    char name[PATH_MAX];
    if (!platform_path_copy(path, name, sizeof(name))) return false;
    std::error_code error;
    bool removed = std::filesystem::remove(name, error);
    if (error) {
        platform_error_set_errno(error.value());
        return false;
    }
    if (!removed) platform_error_set_errno(ENOENT);
    return removed;
}

bool directory_sync(Str path) {
    platform_call_note(PLATFORM_CALL_DIRECTORY_SYNC);
    char name[PATH_MAX];
    if (!folder_path_copy(path, name, sizeof(name))) return false;
    int descriptor = open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        platform_error_set_errno(errno);
        return false;
    }
    bool synced = fsync(descriptor) == 0;
    if (!synced) platform_error_set_errno(errno);
    close(descriptor);
    return synced;
}

// True when the folder exists afterwards, whether made now or before.
bool directory_create(Str path) {
    platform_call_note(PLATFORM_CALL_DIRECTORY);
    char name[PATH_MAX];
    if (!platform_path_copy(path, name, sizeof(name))) return false;
    std::error_code error;
    std::filesystem::create_directory(name, error);
    if (error) {
        platform_error_set_errno(error.value());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Folder listing. Names go into one growing byte store, then the two Str lists are
// built over it once the store stops moving. The storage is kept between calls and
// grows only when a folder holds more than any folder listed before.
// ---------------------------------------------------------------------------
struct ListingEntry {
    i64 offset, length;
    bool folder;
};

struct Listing {
    u8* names;
    i64 names_capacity, names_used;
    ListingEntry* entries;
    i64 entries_capacity, entry_count;
    Str* strs;
    i64 strs_capacity;
};
static Listing listing;

static bool grow(void** block, i64* capacity, i64 needed, i64 item_size) {
    if (needed <= *capacity) return true;
    i64 capacity_new = *capacity > 0 ? *capacity : 64;
    while (capacity_new < needed) capacity_new *= 2;
    void* grown = realloc(*block, (size_t)(capacity_new * item_size));
    if (!grown) return false;
    *block = grown;
    *capacity = capacity_new;
    return true;
}

static bool listing_add(const char* name, i64 length, bool folder) {
    if (!grow((void**)&listing.names, &listing.names_capacity, listing.names_used + length, 1) ||
        !grow((void**)&listing.entries, &listing.entries_capacity, listing.entry_count + 1,
              (i64)sizeof(ListingEntry)))
        return false;
    memcpy(listing.names + listing.names_used, name, (size_t)length);
    listing.entries[listing.entry_count] = ListingEntry{listing.names_used, length, folder};
    listing.names_used += length;
    listing.entry_count += 1;
    return true;
}

bool directory_get_content(Str path, DirectoryContent* content) {
    platform_call_note(PLATFORM_CALL_DIRECTORY);
    *content = DirectoryContent{};
    char name[PATH_MAX];
    if (!folder_path_copy(path, name, sizeof(name))) return false;

    std::error_code error;
    std::filesystem::directory_iterator iterator(name, error);
    if (error) {
        platform_error_set_errno(error.value());
        return false;
    }
    listing.names_used = 0;
    listing.entry_count = 0;
    // The iterator skips these two; the readdir view of a folder has them.
    bool stored = listing_add(".", 1, true) && listing_add("..", 2, true);
    for (std::filesystem::directory_iterator end; stored && iterator != end;
         iterator.increment(error)) {
        std::error_code kind_error;
        bool folder = iterator->is_directory(kind_error);  // follows symbolic links
        const std::filesystem::path& entry = iterator->path();
        const char* entry_name = entry.c_str();
        const char* slash = strrchr(entry_name, '/');
        if (slash) entry_name = slash + 1;
        stored = listing_add(entry_name, (i64)strlen(entry_name), folder);
    }
    if (!stored) {
        platform_error_set_errno(ENOMEM);
        return false;
    }
    if (error) {
        platform_error_set_errno(error.value());
        return false;
    }
    if (!grow((void**)&listing.strs, &listing.strs_capacity, listing.entry_count,
              (i64)sizeof(Str))) {
        platform_error_set_errno(ENOMEM);
        return false;
    }
    i64 at = 0;
    for (int pass = 0; pass < 2; pass += 1) {
        bool folders = pass == 0;
        for (i64 i = 0; i < listing.entry_count; i += 1) {
            ListingEntry entry = listing.entries[i];
            if (entry.folder != folders) continue;
            listing.strs[at] = Str{listing.names + entry.offset, entry.length};
            at += 1;
            if (folders) content->folder_count += 1;
            else content->file_count += 1;
        }
    }
    content->folders = listing.strs;
    content->files = listing.strs + content->folder_count;
    return true;
}
