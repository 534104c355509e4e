// Tests of the platform parts both back ends share: the input record that both feed with
// their events, files and folders, image decoding into the image working memory, and
// wave files (load, convert, save) on the real file system, in a temporary folder.
#include <gtest/gtest.h>

#include <limits.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/common_internal.h"
#include "model_support.h"
#include "platform/system.h"

namespace {

const char* PIXELS_PNG = SORVANE_SOURCE_DIR "/tests/data/pixels_3x2.png";

bool error_mentions(const char* text) {
    Str error = system_last_error();
    if (error.length == 0) return false;
    char copy[600];
    snprintf(copy, sizeof(copy), "%.*s", (int)error.length, (const char*)error.data);
    return strstr(copy, text) != nullptr;
}

// The names of a listing in sorted order, a space between each two.
std::string sorted_names(const Str* names, i64 count) {
    std::vector<std::string> list;
    for (i64 i = 0; i < count; i += 1) list.push_back(to_string(names[i]));
    std::sort(list.begin(), list.end());
    std::string text;
    for (const std::string& name : list) text += (text.empty() ? "" : " ") + name;
    return text;
}

// Every test gets a fresh folder and a way to name paths inside it.
class PlatformCommon : public ::testing::Test {
protected:
    TempFolder temp;
    Str folder = to_str(temp.path);
    char paths[8][PATH_MAX];
    int path_next = 0;

    void SetUp() override { image_set_flip(false); }

    // A path inside the test folder, as the program passes it (counted, no NUL needed).
    Str path(const char* name) {
        char* buffer = paths[path_next];
        path_next = (path_next + 1) % 8;
        snprintf(buffer, PATH_MAX, "%s/%s", temp.path.c_str(), name);
        return str_from_cstring(buffer);
    }

    void write_file(const char* name, const char* text) {
        FileHandle file = file_open(path(name), FILE_WRITE);
        ASSERT_FALSE(file_failed(file));
        i64 length = (i64)strlen(text);
        ASSERT_EQ(file_write(file, length, text), length);
        ASSERT_TRUE(file_close(file));
    }
};

// ---------------------------------------------------------------------------
// Input, fed as a back end's input_poll does: begin, the events in order, end.
// ---------------------------------------------------------------------------
class InputRecord : public ::testing::Test {
protected:
    void SetUp() override { input_record_reset(0.0f, 0.0f); }
    void TearDown() override { input_record_reset(0.0f, 0.0f); }
    template <typename Events> void poll(Events events) {
        input_record_begin_poll();
        events();
        input_record_end_poll();
    }
    void poll() {
        poll([] {});
    }
    // The answers for one key as letters: pressed, typed, held, released.
    static std::string key_state(i32 code) {
        std::string state;
        if (input_key_is_pressed(code)) state += 'p';
        if (input_key_is_typed(code)) state += 't';
        if (input_key_is_held(code)) state += 'h';
        if (input_key_is_released(code)) state += 'r';
        return state;
    }
};

// Some key (KEY_ANY) is typed when any key went down and held while any key is. A tap (never
// held) and the flags that last one poll are what every editor test drives.
TEST_F(InputRecord, KeyStatesFollowDownsRepeatsAndUpsPollByPollAndSoDoesAnyKey) {
    poll([] { input_record_key_down(KEY_SHIFT, false); });
    EXPECT_EQ(key_state(KEY_ANY), "pth");
    poll();
    EXPECT_EQ(key_state(KEY_ANY), "h");
    poll([] {
        input_record_key_down(KEY_SHIFT, true);
        input_record_key_down(KEY_SHIFT, false);  // a second down of a held key repeats
    });
    EXPECT_EQ(key_state(KEY_SHIFT), "th");
    EXPECT_EQ(key_state(KEY_ANY), "th");
    poll([] {
        input_record_key_up(KEY_SHIFT);
        input_record_key_down(KEY_SHIFT, false);  // released and pressed again in one poll
    });
    EXPECT_EQ(key_state(KEY_SHIFT), "pthr");
    poll([] {
        input_record_key_up(KEY_SHIFT);
        input_record_key_up(KEY_SHIFT);  // an up of a key that is not down changes nothing
        input_record_mouse_down(MOUSE_LEFT);  // neither an up, a click nor text is a key
        input_record_text(STR("x"));
    });
    EXPECT_EQ(key_state(KEY_SHIFT), "r");
    EXPECT_EQ(key_state(KEY_ANY), "");
    poll();
    EXPECT_EQ(key_state(KEY_SHIFT), "");
    poll([] {
        input_record_key_down(KEY_F5, false);
        input_record_key_down(KEY_SPACE, false);
        input_record_key_up(KEY_F5);
    });
    EXPECT_EQ(key_state(KEY_ANY), "pth");
    poll([] { input_record_key_up(KEY_SPACE); });
    EXPECT_EQ(key_state(KEY_ANY), "");

    // A key outside the table counts as some key typed, but never answers itself.
    poll([] { input_record_key_down(0, false); });
    EXPECT_EQ(key_state(KEY_ANY), "pt");
    EXPECT_EQ(key_state(0), "");
    EXPECT_EQ(key_state(KEY_COUNT + 3), "");
    EXPECT_EQ(key_state(-2), "");
    EXPECT_EQ(input_key_press_count(), 0);
}

TEST_F(InputRecord, PressesAreListedInOrderWithTheModifiersOfTheirMoment) {
    const i32 L = KEY_LETTER('l'), J = KEY_LETTER('j');
    poll([=] {
        input_record_key_down(L, false);
        input_record_key_up(L);
        input_record_key_down(KEY_CONTROL, false);
        input_record_key_down(J, false);
        input_record_key_up(J);
        input_record_key_down(KEY_CONTROL, true);
        input_record_key_up(KEY_CONTROL);
        input_record_key_down(0, false);  // outside the table: not listed
        input_record_key_down(L, false);
    });
    const KeyPress expected[] = {{L, 0, false, 0},
                                 {KEY_CONTROL, MODIFIER_CONTROL, false, 0},
                                 {J, MODIFIER_CONTROL, false, 0},
                                 {KEY_CONTROL, MODIFIER_CONTROL, true, 0},
                                 {L, 0, false, 0}};
    ASSERT_EQ(input_key_press_count(), ARRAY_COUNT(expected));
    for (i64 i = 0; i < ARRAY_COUNT(expected); i += 1) {
        KeyPress press = input_key_press(i);
        EXPECT_EQ(press.code, expected[i].code) << "press " << i;
        EXPECT_EQ(press.modifiers, expected[i].modifiers) << "press " << i;
        EXPECT_EQ(press.repeat, expected[i].repeat) << "press " << i;
    }
    EXPECT_EQ(input_key_press(ARRAY_COUNT(expected)).code, 0);
    EXPECT_EQ(input_key_press(-1).code, 0);

    // Deferred presses leave this poll and come first at the next, with their text.
    poll([] {
        input_record_key_down(KEY_LETTER('f'), false);
        input_record_text(STR("f"));
        input_record_key_down(KEY_DIGIT(3), false);
        input_record_text(STR("3"));
    });
    input_key_presses_defer(1);
    EXPECT_EQ(input_key_press_count(), 1);
    EXPECT_EQ(key_state(KEY_LETTER('f')), "pth");
    EXPECT_EQ(key_state(KEY_DIGIT(3)), "h");
    EXPECT_TRUE(str_equal(input_text_typed(), STR("f")));
    poll([] {
        input_record_text(STR("x"));
        input_record_key_down(KEY_RETURN, false);
    });
    ASSERT_EQ(input_key_press_count(), 2);
    EXPECT_EQ(input_key_press(0).code, KEY_DIGIT(3));
    EXPECT_EQ(input_key_press(0).text_offset, 0);
    EXPECT_EQ(input_key_press(1).code, KEY_RETURN);
    EXPECT_EQ(input_key_press(1).text_offset, 2);
    EXPECT_EQ(key_state(KEY_DIGIT(3)), "pth");
    EXPECT_TRUE(str_equal(input_text_typed(), STR("3x")));
}

TEST_F(InputRecord, ModifiersAreTheHeldKeysAndTheLockBits) {
    poll([] {
        input_record_key_down(KEY_SHIFT, false);
        input_record_key_down(KEY_CONTROL, false);
        input_record_key_down(KEY_ALT, false);
    });
    EXPECT_EQ(input_key_modifiers(), (u32)(MODIFIER_SHIFT | MODIFIER_CONTROL | MODIFIER_ALT));
    poll([] {
        input_record_key_up(KEY_SHIFT);
        input_record_key_up(KEY_ALT);
        input_record_lock_bits(MODIFIER_NUM_LOCK | MODIFIER_CAPS_LOCK | MODIFIER_SHIFT);
    });
    EXPECT_EQ(input_key_modifiers(),
              (u32)(MODIFIER_CONTROL | MODIFIER_NUM_LOCK | MODIFIER_CAPS_LOCK));
    // Losing the focus lets go of every key and button.
    poll([] {
        input_record_mouse_down(MOUSE_RIGHT);
        input_record_lock_bits(0);
        input_record_release_all();
    });
    EXPECT_EQ(input_key_modifiers(), 0u);
    EXPECT_EQ(key_state(KEY_CONTROL), "r");
    EXPECT_TRUE(input_mouse_is_released(MOUSE_RIGHT));
    EXPECT_FALSE(input_mouse_is_held(MOUSE_RIGHT));
}

// Text gathering within a poll and starting afresh at the next is what the typing tests of
// the editor and the text field drive; the record holds 64 KiB of text a poll.
TEST_F(InputRecord, AFullTextBufferEndsOnAWholeCharacter) {
    static u8 filler[65535];
    memset(filler, 'a', sizeof(filler));
    poll([] {
        input_record_text(Str{filler, (i64)sizeof(filler)});
        input_record_text(STR("\xC3\xA7"));  // one byte of room: the character is dropped
        input_record_text(STR("bc"));
    });
    Str typed = input_text_typed();
    ASSERT_EQ(typed.length, (i64)sizeof(filler) + 1);
    EXPECT_EQ(typed.data[sizeof(filler)], 'b');
}

// Clicks, holds and the position are what every widget test drives; what they do not reach
// is here.
TEST_F(InputRecord, WheelNotchesAddUpAndButtonsOutsideTheTableOrNeverDownAnswerNothing) {
    poll([] {
        input_record_wheel(2);
        input_record_wheel(-5);
        input_record_mouse_down(MOUSE_LEFT);
        input_record_mouse_down(40);  // outside the table: ignored
        input_record_mouse_up(MOUSE_MIDDLE);  // never down: not released either
    });
    EXPECT_EQ(input_mouse_wheel(), -3);
    EXPECT_FALSE(input_mouse_is_pressed(40));
    EXPECT_FALSE(input_mouse_is_pressed(-1));
    EXPECT_FALSE(input_mouse_is_released(MOUSE_MIDDLE));
    EXPECT_FALSE(input_key_is_pressed(MOUSE_LEFT));  // buttons are not keys
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------
TEST_F(PlatformCommon, FileWriteSyncCloseThenReadBackTheSameBytesAndHandlesAreReturnedOnClose) {
    u8 bytes[3000];
    for (i64 i = 0; i < ARRAY_COUNT(bytes); i += 1) bytes[i] = (u8)(i * 7 + 3);
    FileHandle file = file_open(path("data.bin"), FILE_WRITE);
    ASSERT_FALSE(file_failed(file));
    EXPECT_EQ(file_write(file, 1000, bytes), 1000);
    EXPECT_EQ(file_write(file, 2000, bytes + 1000), 2000);
    EXPECT_EQ(file_size(file), 3000);  // buffered bytes count while writing
    EXPECT_TRUE(file_sync(file));
    EXPECT_TRUE(file_close(file));

    file = file_open(path("data.bin"), FILE_READ);
    ASSERT_FALSE(file_failed(file));
    EXPECT_EQ(file_size(file), 3000);
    u8 back[4000] = {};
    EXPECT_EQ(file_read(file, 4000, back), 3000);  // a short read at the end
    EXPECT_EQ(memcmp(back, bytes, sizeof(bytes)), 0);
    EXPECT_EQ(file_read(file, 10, back), 0);
    EXPECT_TRUE(file_close(file));

    // Many handles at once, then far more opens than any table holds: each close must give
    // its slot back.
    FileHandle open_files[16];
    for (i64 i = 0; i < 16; i += 1) {
        open_files[i] = file_open(path("data.bin"), FILE_READ);
        ASSERT_FALSE(file_failed(open_files[i])) << i;
    }
    for (i64 i = 0; i < 16; i += 1) EXPECT_TRUE(file_close(open_files[i]));
    for (i64 i = 0; i < 1000; i += 1) {
        file = file_open(path("data.bin"), FILE_READ);
        ASSERT_FALSE(file_failed(file)) << i;
        ASSERT_TRUE(file_close(file));
    }
}

TEST_F(PlatformCommon, FileExistsRenameAndRemove) {
    write_file("old.txt", "a much longer first text");
    write_file("old.txt", "new contents");  // opening for writing empties the file
    write_file("target.txt", "old contents");
    EXPECT_TRUE(file_exists(path("old.txt")));
    EXPECT_FALSE(file_exists(path("nothing.txt")));

    EXPECT_TRUE(file_rename(path("old.txt"), path("target.txt")));  // replaces the target
    EXPECT_FALSE(file_exists(path("old.txt")));
    char back[64] = {};
    FileHandle file = file_open(path("target.txt"), FILE_READ);
    EXPECT_EQ(file_read(file, sizeof(back), back), 12);
    EXPECT_TRUE(file_close(file));
    EXPECT_STREQ(back, "new contents");

    EXPECT_FALSE(file_rename(path("old.txt"), path("other.txt")));
    EXPECT_TRUE(error_mentions("No such file"));

    EXPECT_TRUE(file_remove(path("target.txt")));
    EXPECT_FALSE(file_exists(path("target.txt")));
    EXPECT_FALSE(file_remove(path("target.txt")));
    EXPECT_TRUE(error_mentions("No such file"));
}

TEST_F(PlatformCommon, FailedOpenGivesAHarmlessHandlePathsAreCountedAndOverlongOnesFail) {
    FileHandle file = file_open(path("missing.txt"), FILE_READ);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file_failed(file));
    EXPECT_TRUE(error_mentions("No such file"));
    u8 untouched[4] = {9, 9, 9, 9};
    EXPECT_EQ(file_size(file), 0);
    EXPECT_EQ(file_read(file, 4, untouched), 0);
    EXPECT_EQ(untouched[0], 9);
    EXPECT_EQ(file_write(file, 4, untouched), 0);
    EXPECT_FALSE(file_sync(file));
    EXPECT_FALSE(file_close(file));
    EXPECT_FALSE(file_exists(path("missing.txt")));  // nothing was created

    // Writing into a folder that does not exist fails the same way.
    file = file_open(path("no_folder/file.txt"), FILE_WRITE);
    EXPECT_TRUE(file_failed(file));
    EXPECT_TRUE(error_mentions("No such file"));

    // Paths are counted: the string stops before "def", the bytes after it are not part of
    // the path. Overlong ones fail cleanly.
    write_file("abc", "x");
    Str longer = path("abcdef");
    Str counted = Str{longer.data, longer.length - 3};
    EXPECT_TRUE(file_exists(counted));
    file = file_open(counted, FILE_READ);
    EXPECT_FALSE(file_failed(file));
    file_close(file);

    static char huge[PATH_MAX + 16];
    memset(huge, 'a', sizeof(huge));
    Str overlong = Str{(u8*)huge, (i64)sizeof(huge)};
    file = file_open(overlong, FILE_WRITE);
    EXPECT_TRUE(file_failed(file));
    EXPECT_TRUE(error_mentions("too long"));
    EXPECT_FALSE(file_exists(overlong));
    EXPECT_FALSE(directory_create(overlong));
}

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------
TEST_F(PlatformCommon, DirectoryCreateAndListingSeparateFoldersFromFilesAndFailWithoutAFolder) {
    ASSERT_TRUE(directory_create(path("b_folder")));
    EXPECT_TRUE(directory_create(path("b_folder")));  // true once the folder is there
    EXPECT_TRUE(directory_sync(path("b_folder")));
    ASSERT_TRUE(directory_create(path("a_folder")));
    EXPECT_FALSE(directory_create(path("absent/deeper")));
    EXPECT_TRUE(error_mentions("No such file"));
    EXPECT_FALSE(directory_sync(path("absent")));
    write_file("x.txt", "x");
    write_file("y", "y");
    EXPECT_FALSE(directory_create(path("y")));  // a file is in the way
    ASSERT_EQ(symlink("a_folder", (const char*)path("link_to_folder").data), 0);
    ASSERT_EQ(symlink("x.txt", (const char*)path("link_to_file").data), 0);
    ASSERT_EQ(symlink("gone", (const char*)path("dangling").data), 0);

    DirectoryContent content;
    ASSERT_TRUE(directory_get_content(folder, &content));
    ASSERT_GE(content.folder_count, 2);
    EXPECT_TRUE(str_equal(content.folders[0], STR(".")));
    EXPECT_TRUE(str_equal(content.folders[1], STR("..")));
    EXPECT_EQ(sorted_names(content.folders, content.folder_count),
              ". .. a_folder b_folder link_to_folder");
    EXPECT_EQ(sorted_names(content.files, content.file_count), "dangling link_to_file x.txt y");
    ASSERT_TRUE(directory_get_content(path("a_folder"), &content));
    EXPECT_EQ(sorted_names(content.folders, content.folder_count), ". ..");
    EXPECT_EQ(content.file_count, 0);
    // After that small listing, a large folder: the listing grows and keeps every name.
    char name[128];
    std::string expected;
    for (int i = 0; i < 300; i += 1) {
        snprintf(name, sizeof(name), "a_rather_long_file_name_to_fill_storage_%03d.dat", i);
        write_file(("a_folder/" + std::string(name)).c_str(), "");
        expected += (i ? " " : "") + std::string(name);
    }
    ASSERT_TRUE(directory_get_content(path("a_folder"), &content));
    EXPECT_EQ(sorted_names(content.files, content.file_count), expected);

    // The empty path lists the working folder.
    temp.enter();
    ASSERT_TRUE(directory_get_content(Str{}, &content));
    EXPECT_EQ(sorted_names(content.files, content.file_count), "dangling link_to_file x.txt y");
    // A missing folder fails with a reason and an empty listing.
    EXPECT_FALSE(directory_get_content(path("absent"), &content));
    EXPECT_EQ(content.folder_count, 0);
    EXPECT_EQ(content.file_count, 0);
    EXPECT_TRUE(error_mentions("No such file"));
}

// ---------------------------------------------------------------------------
// Images: the test picture is 3 x 2 RGBA, top row red, green, blue; bottom row
// half-transparent white, black, fully transparent (16, 32, 64).
// ---------------------------------------------------------------------------
const u8 TOP_ROW[12] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255};
const u8 BOTTOM_ROW[12] = {255, 255, 255, 128, 0, 0, 0, 255, 16, 32, 64, 0};

// A block of working memory handed to image or audio decoding for one scope.
template <void (*set_buffer)(i64, void*)> struct WorkingMemory {
    u8* block;
    explicit WorkingMemory(i64 size) : block((u8*)malloc((size_t)size)) {
        set_buffer(size, block);
    }
    ~WorkingMemory() {
        set_buffer(0, nullptr);
        free(block);
    }
};
using ImageMemory = WorkingMemory<image_set_buffer>;
using AudioMemory = WorkingMemory<audio_set_buffer>;

TEST_F(PlatformCommon, ImageLoadsRowsTopFirstOrFlippedInTheChannelsAndPlaceRequested) {
    ImageMemory memory(1 << 20);
    image_set_buffer_position(0);
    Image image;
    ASSERT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &image, 4));
    EXPECT_EQ(image.width, 3);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(image.channels, 4);
    EXPECT_GE(image.pixels, memory.block);
    EXPECT_LT(image.pixels, memory.block + (1 << 20));
    EXPECT_EQ(memcmp(image.pixels, TOP_ROW, 12), 0);
    EXPECT_EQ(memcmp(image.pixels + 12, BOTTOM_ROW, 12), 0);

    image_set_flip(true);
    ASSERT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &image, 4));
    image_set_flip(false);
    EXPECT_EQ(memcmp(image.pixels, BOTTOM_ROW, 12), 0);
    EXPECT_EQ(memcmp(image.pixels + 12, TOP_ROW, 12), 0);

    ASSERT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &image, 3));
    EXPECT_EQ(image.channels, 3);
    const u8 expected[9] = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    EXPECT_EQ(memcmp(image.pixels, expected, 9), 0);

    // The buffer position decides where the next image goes.
    image_set_buffer_position(0);
    Image first, second, third;
    ASSERT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &first, 4));
    ASSERT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &second, 4));
    // Without a rewind the second image lies right after the first (the decoder's
    // scratch space is given back), and both stay intact.
    EXPECT_GE(second.pixels, first.pixels + 24);
    EXPECT_LT(second.pixels, first.pixels + 24 + 16);
    EXPECT_EQ(memcmp(first.pixels, TOP_ROW, 12), 0);
    image_set_buffer_position(0);
    ASSERT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &third, 4));
    EXPECT_EQ(third.pixels, first.pixels);
}

TEST_F(PlatformCommon, ImageLoadFailsWithoutRoomOrOnBadFilesAndZeroesTheImage) {
    {
        ImageMemory memory(64);  // far less than decoding needs
        Image image = {1, 1, 1, (u8*)&image};
        EXPECT_FALSE(image_load(str_from_cstring(PIXELS_PNG), &image, 4));
        EXPECT_EQ(image.width, 0);
        EXPECT_EQ(image.height, 0);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_TRUE(error_mentions("too small"));
    }
    Image image = {1, 1, 1, (u8*)&image};
    EXPECT_FALSE(image_load(str_from_cstring(PIXELS_PNG), &image, 4));  // no buffer at all
    EXPECT_EQ(image.pixels, nullptr);
    ImageMemory memory(1 << 20);
    EXPECT_FALSE(image_load(path("absent.png"), &image, 4));
    EXPECT_TRUE(error_mentions("No such file"));
    write_file("fake.png", "this is not a picture at all");
    EXPECT_FALSE(image_load(path("fake.png"), &image, 4));
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_GT(system_last_error().length, 0);
    EXPECT_TRUE(image_load(str_from_cstring(PIXELS_PNG), &image, 4));  // room again: works
}

// ---------------------------------------------------------------------------
// Wave files
// ---------------------------------------------------------------------------
// Stereo test signal: a ramp through the whole range on the left, its negation on the
// right, with a few values that are exact in every format.
enum { TEST_FRAMES = 500 };
void test_signal(f32* samples) {
    for (i64 i = 0; i < TEST_FRAMES; i += 1) {
        f32 value = -1.0f + 2.0f * (f32)i / (f32)(TEST_FRAMES - 1);
        samples[2 * i] = value;
        samples[2 * i + 1] = -value * 0.5f;
    }
}

WaveData wave_of(f32* samples, i64 frames) {
    return WaveData{SAMPLE_FORMAT_F32, 2, 48000, frames * 2 * (i64)sizeof(f32), samples};
}

TEST_F(PlatformCommon, WaveRoundTripsInEachFormat) {
    AudioMemory memory(1 << 20);
    struct Case {
        i32 format;
        f32 tolerance;
    };
    // 16-bit: half a step of rounding, plus the reader's scale (1/32768) differing from
    // the writer's (1/32767) by up to one step at full scale. 32-bit integers are finer
    // than a float can hold.
    const Case cases[] = {{SAMPLE_FORMAT_F32, 0.0f}, {SAMPLE_FORMAT_S16, 1.5f / 32767.0f},
                          {SAMPLE_FORMAT_S32, 1e-6f}};
    for (const Case& c : cases) {
        f32 original[TEST_FRAMES * 2];
        f32 samples[TEST_FRAMES * 2];
        test_signal(original);
        memcpy(samples, original, sizeof(samples));
        WaveData wave = wave_of(samples, TEST_FRAMES);
        ASSERT_TRUE(audio_wave_convert(&wave, c.format));
        Str file = path("round_trip.wav");
        ASSERT_TRUE(audio_wave_save(&wave, file)) << c.format;

        WaveData loaded;
        ASSERT_TRUE(audio_wave_load(&loaded, SAMPLE_FORMAT_F32, file));
        EXPECT_EQ(loaded.channels, 2);
        EXPECT_EQ(loaded.sample_rate, 48000);
        ASSERT_EQ(loaded.size, TEST_FRAMES * 2 * (i64)sizeof(f32));
        for (i64 i = 0; i < TEST_FRAMES * 2; i += 1)
            ASSERT_NEAR(((const f32*)loaded.data)[i], original[i], c.tolerance) << c.format;
    }
}

TEST_F(PlatformCommon, WaveConversionClipsRoundsToNearestAndStartsOnlyFromFloat) {
    const f32 input[] = {2.0f, -3.0f, 1.0f, -1.0f, 0.25f, 0.00002f, 0.00001f, -0.00002f, 0.0f};
    const i16 expected16[] = {32767, -32767, 32767, -32767, 8192, 1, 0, -1, 0};
    const i32 expected32[] = {2147483647, -2147483647, 2147483647, -2147483647, 536870912,
                              42950, 21475, -42950, 0};
    f32 samples[ARRAY_COUNT(input)];
    auto fresh = [&] {
        memcpy(samples, input, sizeof(samples));
        return WaveData{SAMPLE_FORMAT_F32, 1, 44100, (i64)sizeof(samples), samples};
    };
    WaveData wave = fresh();
    ASSERT_TRUE(audio_wave_convert(&wave, SAMPLE_FORMAT_S16));
    EXPECT_EQ(wave.format, SAMPLE_FORMAT_S16);
    EXPECT_EQ(wave.size, ARRAY_COUNT(input) * 2);
    for (i64 i = 0; i < ARRAY_COUNT(input); i += 1)
        EXPECT_EQ(((const i16*)samples)[i], expected16[i]) << "sample " << i;

    wave = fresh();
    ASSERT_TRUE(audio_wave_convert(&wave, SAMPLE_FORMAT_S32));
    EXPECT_EQ(wave.size, (i64)sizeof(samples));
    for (i64 i = 0; i < ARRAY_COUNT(input); i += 1)
        EXPECT_NEAR(((const i32*)samples)[i], expected32[i], 1) << "sample " << i;

    // Only float samples convert.
    wave = fresh();
    EXPECT_TRUE(audio_wave_convert(&wave, SAMPLE_FORMAT_F32));  // nothing to do
    EXPECT_EQ(wave.size, (i64)sizeof(samples));
    EXPECT_EQ(samples[4], 0.25f);
    EXPECT_FALSE(audio_wave_convert(&wave, 7));
    EXPECT_EQ(wave.format, SAMPLE_FORMAT_F32);
    ASSERT_TRUE(audio_wave_convert(&wave, SAMPLE_FORMAT_S16));
    EXPECT_FALSE(audio_wave_convert(&wave, SAMPLE_FORMAT_S32));  // from 16-bit: refused
    EXPECT_EQ(wave.format, SAMPLE_FORMAT_S16);
}

TEST_F(PlatformCommon, WaveLoadsFollowEachOtherInTheAudioMemoryAndFailuresLeaveAReason) {
    f32 samples[TEST_FRAMES * 2];
    test_signal(samples);
    WaveData wave = wave_of(samples, TEST_FRAMES);
    ASSERT_TRUE(audio_wave_save(&wave, path("a.wav")));
    AudioMemory memory(2 * TEST_FRAMES * 2 * (i64)sizeof(f32) + 64);
    WaveData first, second, third;
    ASSERT_TRUE(audio_wave_load(&first, SAMPLE_FORMAT_F32, path("a.wav")));
    ASSERT_TRUE(audio_wave_load(&second, SAMPLE_FORMAT_F32, path("a.wav")));
    EXPECT_GE((u8*)second.data, (u8*)first.data + first.size);
    EXPECT_LE((u8*)second.data + second.size, memory.block + 2 * TEST_FRAMES * 2 * 4 + 64);
    EXPECT_EQ(memcmp(first.data, samples, sizeof(samples)), 0);
    // The memory is full now: a third load fails and leaves a zeroed record.
    third.size = 5;
    EXPECT_FALSE(audio_wave_load(&third, SAMPLE_FORMAT_F32, path("a.wav")));
    EXPECT_EQ(third.size, 0);
    EXPECT_EQ(third.data, nullptr);
    EXPECT_TRUE(error_mentions("too small"));

    // Other failures of loading and saving fail cleanly with a reason, too.
    audio_set_buffer(0, nullptr);
    EXPECT_FALSE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, path("a.wav")));  // no memory
    EXPECT_EQ(wave.data, nullptr);
    AudioMemory more(1 << 20);
    EXPECT_FALSE(audio_wave_load(&wave, SAMPLE_FORMAT_S16, path("a.wav")));  // float only
    EXPECT_FALSE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, path("absent.wav")));
    EXPECT_TRUE(error_mentions("No such file"));
    EXPECT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, path("a.wav")));

    EXPECT_FALSE(audio_wave_save(&first, path("absent/out.wav")));
    EXPECT_TRUE(error_mentions("No such file"));
    EXPECT_FALSE(file_exists(path("absent/out.wav")));
    first.format = 9;
    EXPECT_FALSE(audio_wave_save(&first, path("out.wav")));
    EXPECT_FALSE(file_exists(path("out.wav")));
}

// ---------------------------------------------------------------------------
// The failure text belongs to the thread that failed.
// ---------------------------------------------------------------------------
void* fail_elsewhere(void*) {
    file_open(STR("/nonexistent_folder_for_sure/x"), FILE_READ);
    return nullptr;
}

TEST_F(PlatformCommon, FailureTextIsKeptPerThread) {
    FileHandle file = file_open(folder, FILE_READ);
    ASSERT_TRUE(file_failed(file));
    ASSERT_TRUE(error_mentions("directory"));
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, fail_elsewhere, nullptr), 0);
    pthread_join(thread, nullptr);
    EXPECT_TRUE(error_mentions("directory"));
    EXPECT_FALSE(error_mentions("No such file"));
}

}  // namespace
