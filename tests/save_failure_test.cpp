// No lost work: a save that fails at any point leaves the previous file byte for byte, no
// temporary file, the piece unchanged and still marked as modified, and a "save failed"
// message naming the file and the reason. The failures are real: the file size limit
// (RLIMIT_FSIZE) stops the write at every offset of the file in turn; a private tmpfs fills
// up; a read-only mount refuses the folder (root ignores permission bits, so a mode would
// prove nothing). The mounts are made in a child process inside a mount namespace of its
// own, so nothing outlives the test; where the system allows no namespace the test says so
// and skips. Also: the save syncs the temporary file, renames it, then syncs the folder.
#include <errno.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/document.h"
#include "model/scene.h"
#include "piece_support.h"
#include "platform/headless.h"
#include "model_support.h"

// Notes enough to make the piece `notes` x 65 bytes longer.
static void notes_add(i64 notes) {
    NoteObject note = {};
    for (i64 i = 0; i < notes; i += 1) {
        note.header =
            header_make(OBJECT_NOTE, 5000 + i, 0, SCOPE_GLOBAL, frac(i, 4), frac(1, 4), frac(3, 2));
        array_push(&g_piece.notes, note);
    }
    g_piece.modified = 1;
}

using SaveFailure = PieceFiles;

// Saves with the files of this process limited to `limit` bytes: the write stops there. A
// limit of -1 keeps the limit the process has.
static bool save_with_size_limit(const std::string& target, i64 limit) {
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*saved_handler)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = limit < 0 ? saved.rlim_cur : (rlim_t)limit;
    bool saved_ok = setrlimit(RLIMIT_FSIZE, &limited) == 0 && scene_save(to_str(target));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, saved_handler);
    return saved_ok;
}

// What a failed save must leave, whatever failed.
static std::string failed_save_damage(const std::string& target, const std::string& previous,
                                      const std::string& piece, const std::string& reason) {
    if (file_text(target) != previous) return "the previous file changed";
    if (access((target + ".tmp").c_str(), F_OK) == 0) return "the temporary file was left";
    if (scene_bytes(&g_piece) != piece) return "the piece changed";
    if (g_piece.modified != 1) return "the piece is no longer marked as modified";
    if (to_string(g_piece.path) != target) return "the piece's path changed";
    std::string expected = "save failed: " + target + " could not be saved: " + reason;
    if (last_message() != expected) return "the user was told \"" + last_message() + "\"";
    return "";
}

TEST_F(SaveFailure, AWriteStoppedAtEveryOffsetKeepsThePreviousFile) {
    piece_build_full(&g_piece, POOL_MAIN);
    std::string target = path("song.scene");
    ASSERT_TRUE(scene_save(to_str(target)));
    std::string previous = file_text(target);
    notes_add(40);
    std::string piece = scene_bytes(&g_piece);
    ASSERT_GT(piece.size(), previous.size());
    for (size_t offset = 0; offset < piece.size(); offset += 1) {
        ASSERT_FALSE(save_with_size_limit(target, (i64)offset)) << "offset " << offset;
        std::string damage = failed_save_damage(target, previous, piece, "File too large");
        ASSERT_EQ(damage, "") << "offset " << offset;
        pool_empty(POOL_TMP);
    }
    EXPECT_EQ(headless_message_count(), (i64)piece.size());
    // With the limit at the whole size the same save goes through.
    EXPECT_TRUE(save_with_size_limit(target, (i64)piece.size())) << last_message();
    EXPECT_EQ(file_text(target), piece);
    EXPECT_EQ(g_piece.modified, 0);
}

// The file calls of one save in order, as the headless back end records them for a marked
// thread, the file size limited to `limit` bytes (-1: as it is).
static std::vector<PlatformCall> save_calls(const std::string& target, i64 limit = -1) {
    headless_marked_calls_clear();
    headless_mark_thread(true);
    save_with_size_limit(target, limit);
    headless_mark_thread(false);
    PlatformCall log[256];
    i64 count = headless_marked_call_log(log, 256);
    std::vector<PlatformCall> calls;
    for (i64 i = 0; i < count; i += 1)
        if (log[i] != PLATFORM_CALL_FILE_QUERY && log[i] != PLATFORM_CALL_MESSAGE_BOX)
            calls.push_back(log[i]);
    return calls;
}

TEST_F(SaveFailure, TheFileIsSyncedBeforeTheRenameAndTheFolderAfterIt) {
    piece_build_full(&g_piece, POOL_MAIN);
    std::string target = path("song.scene");
    std::vector<PlatformCall> expected = {PLATFORM_CALL_FILE_OPEN,  PLATFORM_CALL_FILE_WRITE,
                                          PLATFORM_CALL_FILE_SYNC,  PLATFORM_CALL_FILE_CLOSE,
                                          PLATFORM_CALL_FILE_RENAME, PLATFORM_CALL_DIRECTORY_SYNC};
    EXPECT_EQ(save_calls(target), expected);  // a new file
    EXPECT_EQ(save_calls(target), expected);  // over the previous one

    // A write that fails renames nothing and removes its temporary file.
    expected.resize(4);
    expected.push_back(PLATFORM_CALL_FILE_REMOVE);
    EXPECT_EQ(save_calls(target, 10), expected);
}

// --- Failures of the file system, in a child with a mount namespace of its own ----------

enum { CHILD_SKIP = 77 };

// Gives the calling process a mount namespace of its own: as root directly, otherwise
// inside a user namespace mapping the caller to root. False (with errno) when the system
// allows neither.
static bool namespace_private() {
    if (unshare(CLONE_NEWNS) != 0) {
        std::string uid_map = "0 " + std::to_string(getuid()) + " 1";
        std::string gid_map = "0 " + std::to_string(getgid()) + " 1";
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        write_text("/proc/self/setgroups", "deny");  // needed before the group map, if there
        if (!write_text("/proc/self/uid_map", uid_map)) return false;
        if (!write_text("/proc/self/gid_map", gid_map)) return false;
    }
    // Mounts made from here on stay in this namespace.
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Runs `body` in a child process with a private tmpfs of `size` at `folder`. The body
// returns what went wrong ("" for nothing); the parent gets it back, or the reason the
// child could not set up (a skip).
template <typename Body>
static void in_private_tmpfs(const std::string& folder, const char* size, Body body) {
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    fflush(stdout);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(channel[0]);
        std::string said;
        int status = 0;
        std::string options = std::string("size=") + size + ",mode=0700";
        if (!namespace_private()) {
            said = std::string("no private mount namespace: ") + strerror(errno);
            status = CHILD_SKIP;
        } else if (mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            said = std::string("no private tmpfs: ") + strerror(errno);
            status = CHILD_SKIP;
        } else {
            said = body();
            status = said.empty() ? 0 : 1;
        }
        if (!said.empty() && write(channel[1], said.data(), said.size()) < 0) status = 2;
        close(channel[1]);
        _exit(status);  // no test framework or leak check in the child
    }
    close(channel[1]);
    std::string said;
    char buffer[512];
    ssize_t got;
    while ((got = read(channel[0], buffer, sizeof(buffer))) > 0) said.append(buffer, (size_t)got);
    close(channel[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    if (WEXITSTATUS(status) == CHILD_SKIP) GTEST_SKIP() << said;
    EXPECT_EQ(WEXITSTATUS(status), 0) << said;
}

// Makes the file system hold only `free_bytes` more (page-granular on tmpfs) by writing
// real bytes into a filler file.
static std::string filesystem_fill(const std::string& folder, i64 free_bytes) {
    std::string filler = folder + "/filler";
    FILE* file = fopen(filler.c_str(), "wb");
    if (!file) return "the filler could not be made";
    struct statvfs status;
    if (statvfs(folder.c_str(), &status) != 0) return "statvfs failed";
    i64 available = (i64)status.f_bavail * (i64)status.f_frsize;
    static u8 zeros[4096];
    for (i64 left = available - free_bytes; left > 0; left -= (i64)sizeof(zeros)) {
        size_t chunk = left < (i64)sizeof(zeros) ? (size_t)left : sizeof(zeros);
        if (fwrite(zeros, 1, chunk, file) != chunk) break;
    }
    fclose(file);
    return "";
}

TEST_F(SaveFailure, AFullDiskAtEveryStageAndAReadOnlyFolderKeepThePreviousFile) {
    piece_build_full(&g_piece, POOL_MAIN);
    in_private_tmpfs(folder.path, "256k", [&]() -> std::string {
        std::string target = path("song.scene");
        if (!scene_save(to_str(target))) return "the first save failed: " + last_message();
        std::string previous = file_text(target);
        notes_add(400);  // about 26 KB: seven pages
        std::string piece = scene_bytes(&g_piece);
        i64 failures = 0;
        // Room for none of the new file up to room for all but its last page: the write
        // stops in the stdio buffer, at the flush before the sync, or at the close.
        for (i64 pages = 0; pages * 4096 < (i64)piece.size(); pages += 1) {
            std::string filled = filesystem_fill(folder.path, pages * 4096);
            if (!filled.empty()) return filled;
            if (scene_save(to_str(target)))
                return "a save with room for " + std::to_string(pages) + " pages succeeded";
            std::string damage =
                failed_save_damage(target, previous, piece, "No space left on device");
            if (!damage.empty()) return damage + " (room for " + std::to_string(pages) + " pages)";
            unlink(path("filler").c_str());
            failures += 1;
            pool_empty(POOL_TMP);
        }
        if (failures < 6) return "too few stages were tried";

        // The folder made read-only: the save, and the save command with a path, fail alike.
        if (mount(nullptr, folder.path.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return std::string("the folder could not be made read-only: ") + strerror(errno);
        if (scene_save(to_str(target))) return "a save into a read-only folder succeeded";
        std::string damage = failed_save_damage(target, previous, piece, "Read-only file system");
        if (!damage.empty()) return damage;
        if (piece_save(0, 0) != 0) return "the save command reported success";
        damage = failed_save_damage(target, previous, piece, "Read-only file system");
        return damage.empty() ? "" : damage + " (after the save command)";
    });
}
