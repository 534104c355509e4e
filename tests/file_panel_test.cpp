// The file browser as the user meets it: listing and sorting, walking into folders and
// back up, the wheel, picking and typing a name, and every action confirmed through it
// (open, save, save then quit, save then new piece, export), in whole frames of the
// program on the headless back end, in a fresh working folder with real files.
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/document.h"
#include "frame_support.h"
#include "model_support.h"
#include "panels/file_panel.h"
#include "panels/midi_panel.h"
#include "piece_support.h"
#include "sound/playback.h"

struct FileBrowser : InterfaceTest {
    // The program starts in the data folder (it needs its files there), then works in a
    // fresh folder, as if started from it.
    TempFolder folder;
    void SetUp() override {
        InterfaceTest::SetUp();
        folder.enter();
    }

    static void make_folder(const char* name) { ASSERT_EQ(mkdir(name, 0755), 0); }

    static void add_note(Fraction time) {
        NoteObject note = {};
        i64 group = g_piece.groups[0].id;
        note.header = header_make(OBJECT_NOTE, 0, group, SCOPE_LOCAL, time, frac(1), frac(1));
        ASSERT_TRUE(piece_object_add(&g_piece, &note.header));
    }

    static Panel* panel() { return panel_of_kind(PANEL_FILE); }
    static FilePanelState* state() {
        Panel* found = panel();
        return found ? (FilePanelState*)found->content : nullptr;
    }

    // The rows as the panel shows them, top to bottom.
    static std::vector<std::string> rows() {
        std::vector<std::string> names;
        const FilePanelState* s = state();
        for (i64 i = 0; i < s->folders.count; i += 1) {
            std::string name = to_string(s->folders[i]);
            if (name == ".." && s->folder.length == 0) continue;
            names.push_back(name);
        }
        for (i64 i = 0; i < s->files.count; i += 1) names.push_back(to_string(s->files[i]));
        return names;
    }
    void click_row(const std::string& name) { ASSERT_TRUE(click_label(name.c_str())) << name; }
    void type_name(const char* text) {
        const TextField& field = state()->name_field;
        type_over_at(field.x + field.width / 2, field.y + field.height / 2, text);
    }
    std::string export_through_panel(const char* name, bool mpe);
    // Control + o on a piece with changes: the question first, "no", then the browser.
    void open_without_saving() {
        control_key('o');
        ASSERT_NE(question(), nullptr);
        ASSERT_TRUE(click_label("no"));
        ASSERT_NE(panel(), nullptr);
    }
};

// ---------------------------------------------------------------------------
// Sorting
// ---------------------------------------------------------------------------
// Names of up to three bytes from a small alphabet: prefixes (the shorter name first), upper
// before lower case, bytes above 127 last, and many equal names that must keep their order.
TEST(FileNames, MergeSortAgreesWithAReferenceSortAndKeepsEqualNamesInOrder) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; round += 1) {
        i64 count = (i64)(random() % 40);
        std::vector<std::string> words;
        for (i64 i = 0; i < count; i += 1) {
            std::string word;
            i64 length = (i64)(random() % 4);
            for (i64 k = 0; k < length; k += 1) word.push_back("aAb\xE9."[random() % 5]);
            words.push_back(word);
        }
        std::vector<Str> names, scratch(words.size() + 1);
        for (const std::string& word : words) names.push_back(to_str(word));
        str_merge_sort(names.data(), count, scratch.data());

        std::vector<i64> order(words.size());
        for (size_t i = 0; i < order.size(); i += 1) order[i] = (i64)i;
        // std::string orders by unsigned bytes, the shorter of two names first.
        std::stable_sort(order.begin(), order.end(),
                         [&](i64 a, i64 b) { return words[a] < words[b]; });
        for (i64 i = 0; i < count; i += 1)
            EXPECT_EQ(names[i].data, (const u8*)words[order[i]].data()) << "round " << round;
    }
}

TEST(FileNames, TheParentFolderCutsAtTheLastSlashThenAtABackslash) {
    EXPECT_EQ(to_string(file_panel_parent(STR("a/b/c"))), "a/b");
    EXPECT_EQ(to_string(file_panel_parent(STR("a\\b"))), "a");
    EXPECT_EQ(to_string(file_panel_parent(STR("a\\b/c\\d"))), "a\\b");
}

// ---------------------------------------------------------------------------
// Listing and walking
// ---------------------------------------------------------------------------
TEST_F(FileBrowser, OpensCentredListingFoldersFirstEachSortedWithoutDots) {
    make_folder("b folder");
    make_folder("Zed");
    make_folder("a");
    file_put("0 first.scene", "x");
    file_put("zebra.txt", "x");
    file_put("Apple", "x");
    frames();
    control_key('o');
    // Titled "open piece", centred on the window, the folder names in the directory colour
    // above the file names.
    expect_draws_match("file_panel_listing");
}

TEST_F(FileBrowser, TheWheelScrollsTheListOnlyOverTheList) {
    for (int i = 0; i < 40; i += 1) file_put(("file" + std::to_string(100 + i)).c_str(), "x");
    frames();
    control_key('o');
    const Panel* p = panel();
    f32 list_x = p->x + 100, list_y = p->y + p->height - g_theme.scale - 50;
    mouse_to(list_x, list_y);
    headless_mouse_wheel(-3);
    frames();
    EXPECT_EQ(state()->scroll, 48.0f);
    // Over the name field and the buttons the wheel does nothing.
    mouse_to(list_x, p->y + g_theme.offset + 2);
    headless_mouse_wheel(-3);
    frames();
    EXPECT_EQ(state()->scroll, 48.0f);
    // Never above the first row, never past the last one.
    mouse_to(list_x, list_y);
    headless_mouse_wheel(10);
    frames();
    EXPECT_EQ(state()->scroll, 0.0f);
    headless_mouse_wheel(-1000);
    frames();
    f32 list_height = p->height - g_theme.scale - 3 * g_theme.scale - 2 * g_theme.offset;
    f32 row = g_theme.text_scale * font_default()->size * font_default()->line_height;
    EXPECT_FLOAT_EQ(state()->scroll, 40 * row + 2 * g_theme.offset - list_height);
    // The last file is on screen and can be picked.
    click_row("file139");
    EXPECT_EQ(to_string(text_field_text(&state()->name_field)), "file139");
    // A new listing starts at the top again.
    make_folder("sub");
    file_panel_list(state(), STR("sub"));
    EXPECT_EQ(state()->scroll, 0.0f);
}

// ---------------------------------------------------------------------------
// Open
// ---------------------------------------------------------------------------
TEST_F(FileBrowser, WalksIntoFoldersAndBackUpThenOpensTheSceneChosenUnlessCancelled) {
    make_folder("pieces");
    make_folder("pieces/old");
    add_note(frac(1));
    add_note(frac(3, 2));
    g_piece.settings.sample_rate = 22050;
    ASSERT_TRUE(scene_save(STR("pieces/song.scene")));
    std::string saved = scene_bytes(&g_piece);
    // Something else is on the canvas when the file is opened.
    g_piece.notes.count = 0;
    add_note(frac(7));
    g_piece.settings.sample_rate = 44100;
    g_piece.path.length = 0;
    frames();

    open_without_saving();
    click_row("pieces");
    click_row("old");
    EXPECT_EQ(to_string(state()->folder), "pieces/old");
    EXPECT_EQ(rows(), (std::vector<std::string>{".."}));
    click_row("..");
    click_row("..");
    EXPECT_EQ(rows(), (std::vector<std::string>{"pieces"}));
    // A folder that cannot be listed still offers the way back.
    file_panel_list(state(), STR("no such folder"));
    EXPECT_EQ(rows(), (std::vector<std::string>{".."}));
    click_row("..");
    click_row("pieces");
    EXPECT_EQ(rows(), (std::vector<std::string>{"..", "old", "song.scene"}));
    click_row("song.scene");
    // Neither picking the name nor "cancel" opens it; "cancel" closes the browser.
    ASSERT_TRUE(click_label("cancel"));
    frames();
    EXPECT_EQ(panel(), nullptr);
    EXPECT_EQ(g_piece.notes.count, 1);
    open_without_saving();
    click_row("pieces");
    click_row("song.scene");
    ASSERT_TRUE(click_label("ok"));
    EXPECT_EQ(headless_message_count(), 0);
    EXPECT_EQ(to_string(g_piece.path), "pieces/song.scene");
    EXPECT_EQ(g_piece.modified, 0);
    EXPECT_EQ(scene_bytes(&g_piece), saved);
}

// A MIDI file is not opened at once: the import panel asks for the key and the tonic.
TEST_F(FileBrowser, AMidiFileAsksForItsKeyAndTonicThenBecomesANewPiece) {
    const char tune[] = "MThd\0\0\0\x06\0\x01\0\x01\0\x60MTrk\0\0\0\x14"
                        "\0\x90\x45\x64\x60\x80\x45\0\0\x90\x48\x64\x60\x80\x48\0\0\xff\x2f\0";
    file_put("tune.mid", std::string(tune, sizeof(tune) - 1));
    add_note(frac(2));
    std::string before = scene_bytes(&g_piece);
    frames();
    open_without_saving();
    click_row("tune.mid");
    ASSERT_TRUE(click_label("ok"));
    const Panel* import = panel_of_kind(PANEL_MIDI_IMPORT);
    ASSERT_TRUE(import);
    // Into the tonic field: first a name that is no note, then A.
    const TextField& tonic = ((MidiImportPanel*)import->content)->tonic_field;
    type_over_at(tonic.x + tonic.width / 2, tonic.y + tonic.height / 2, "H");
    tap(KEY_RETURN);
    ASSERT_EQ(headless_message_count(), 1);
    EXPECT_EQ(to_string(headless_message_title(0)), "invalid tonic");
    EXPECT_EQ(scene_bytes(&g_piece), before);
    type_over_at(tonic.x + tonic.width / 2, tonic.y + tonic.height / 2, "A");
    tap(KEY_RETURN);
    EXPECT_EQ(headless_message_count(), 1);
    ASSERT_EQ(g_piece.notes.count, 2);
    EXPECT_TRUE(same(g_piece.notes[0].header.pitch, frac(1)));  // A is the 1/1
    EXPECT_EQ(g_piece.path.length, 0);
    frames();
    EXPECT_EQ(panel_of_kind(PANEL_MIDI_IMPORT), nullptr);
}

// ---------------------------------------------------------------------------
// Save
// ---------------------------------------------------------------------------
TEST_F(FileBrowser, SavingWithoutAPathAndYesToTheSaveQuestionAskForANameThenDoWhatWasAsked) {
    make_folder("pieces");
    add_note(frac(1));
    frames();
    control_key('s');
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(to_string(panel()->title), "save piece");
    click_row("pieces");
    type_name("song");
    tap(KEY_RETURN);  // Return in the name field confirms like "ok"
    EXPECT_EQ(to_string(g_piece.path), "pieces/song");
    EXPECT_EQ(file_text("pieces/song"), scene_bytes(&g_piece));
    EXPECT_EQ(g_piece.modified, 0);
    frames();
    EXPECT_EQ(panel(), nullptr);

    // "yes" to the question about unsaved changes saves through the browser first, then
    // does what was asked: a new piece, the browser for opening, the end of the program.
    g_piece.path.length = 0;
    add_note(frac(2));
    frames();
    control_key('n');
    answer("yes");
    ASSERT_NE(panel(), nullptr);
    std::string before = scene_bytes(&g_piece);
    type_name("draft");
    ASSERT_TRUE(click_label("ok"));
    EXPECT_EQ(file_text("draft"), before);
    EXPECT_EQ(g_piece.notes.count, 0);
    EXPECT_EQ(g_piece.path.length, 0);

    add_note(frac(1));
    frames();
    control_key('o');
    ASSERT_NE(question(), nullptr);
    tap(KEY_RETURN);  // yes; the browser it opens does not take the same Return
    ASSERT_NE(panel(), nullptr);
    type_name("second");
    tap(KEY_RETURN);
    EXPECT_EQ(file_text("second"), scene_bytes(&g_piece));
    frames();
    ASSERT_NE(panel(), nullptr);
    EXPECT_EQ(to_string(panel()->title), "open piece");
    EXPECT_EQ(headless_message_count(), 0);
    EXPECT_EQ(g_piece.notes.count, 1);  // nothing is opened before a file is chosen
    ASSERT_TRUE(click_label("cancel"));

    g_piece.path.length = 0;  // so that the next save asks for a name again
    add_note(frac(2));
    frames();
    tap(KEY_ESCAPE);
    answer("yes");
    ASSERT_NE(panel(), nullptr);
    EXPECT_TRUE(g_app.running);
    type_name("last words.scene");
    ASSERT_TRUE(click_label("ok"));
    EXPECT_EQ(file_text("last words.scene"), scene_bytes(&g_piece));
    EXPECT_FALSE(g_app.running);
}

// ---------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------
// The little-endian number of `size` bytes at `at`.
static u32 read_le(const std::string& bytes, size_t at, i32 size) {
    u32 value = 0;
    for (i32 i = size - 1; i >= 0; i -= 1) value = value << 8 | (u8)bytes[at + i];
    return value;
}

// A sine note of two beats at 22 050 Hz, mono, exported through the panel to out/NAME, its
// MIDI tuning switched to MPE first when `mpe`; the file's bytes.
std::string FileBrowser::export_through_panel(const char* name, bool mpe) {
    mkdir("out", 0755);  // the second export finds it
    SoundObject sine = {};
    sine.header = header_make(OBJECT_SOUND, 0, g_piece.groups[0].id, SCOPE_GLOBAL, frac(0), frac(100), frac(1));
    sine.wave_count = 1;
    sine.wave_names[0] = STR("sine");
    for (i32 i = 0; i < SOUND_MAX_WAVES - 1; i += 1) curve_init(&sine.blend[i], POOL_TMP);
    EXPECT_TRUE(piece_object_add(&g_piece, &sine.header));
    add_note(frac(0));
    g_piece.settings.end_time = frac(2);
    g_piece.settings.sample_rate = 22050;
    g_piece.settings.stereo = 0;
    frames();
    click_menu(MENU_EXPORT);
    if (!panel()) return "";
    EXPECT_EQ(to_string(panel()->title), "export data");
    if (mpe) EXPECT_TRUE(click_label("MIDI: MTS"));
    click_row("out");
    type_name(name);
    EXPECT_TRUE(click_label("ok"));
    for (int i = 0; i < 6000 && playback_is_waiting(); i += 1) {
        frames();
        timespec pause = {0, 10000000};
        nanosleep(&pause, nullptr);
    }
    EXPECT_FALSE(playback_is_playing());  // an export does not play
    return file_text(std::string("out/") + name);
}

// A wave file in the piece's format, then MIDI files tuned as chosen in the panel.
TEST_F(FileBrowser, ExportWritesWhatTheNameAsksForInThePiecesFormatAndTheTuningChosen) {
    std::string wave = export_through_panel("take.wav", false);
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(read_le(wave, 22, 2), 1u);      // one channel: stereo is off
    EXPECT_EQ(read_le(wave, 24, 4), 22050u);  // the piece's rate, not the device's
    size_t data = wave.find("data");
    ASSERT_NE(data, std::string::npos);
    bool sound = false;
    for (size_t i = data + 8; i + 1 < wave.size(); i += 2)
        if (read_le(wave, i, 2) != 0) sound = true;
    EXPECT_TRUE(sound);

    const std::string tuning("\xF0\x0B\x7F\x7F\x08\x02", 6), member_bend("\xE1", 1);
    std::string mts = export_through_panel("take.mid", false);
    EXPECT_NE(mts.find(tuning), std::string::npos);
    // Sixteen notes at once (the three exports' and thirteen more) for fourteen member
    // channels: two wait, and the user is told.
    for (i32 i = 0; i < 13; i += 1) add_note(frac(0));
    std::string mpe = export_through_panel("take_mpe.mid", true);
    EXPECT_EQ(mpe.find(tuning), std::string::npos);
    EXPECT_NE(mpe.find(member_bend), std::string::npos);
    ASSERT_EQ(headless_message_count(), 1);
    EXPECT_EQ(to_string(headless_message_text(0)), "2 notes waited for a free MIDI channel");
}
