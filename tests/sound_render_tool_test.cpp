// End to end: scene files rendered by the sorvane-render program itself, in every sample
// type, read back through libsndfile (the platform's wave reader) and checked for format,
// channels, rate, length and values; the pitch of a rendered note; and the tool's answers
// to a bad piece, a missing data folder and an output it cannot write.
#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "sound_test_support.h"

#define DATA_OPTION " --data '" SORVANE_DATA_DIR "'"

struct RenderTool : SoundTest {
    TempFolder folder;
    WaveMemory memory;
    std::string out, err;
    // Runs sorvane-render with `arguments`, keeping its standard output and error in `out`
    // and `err`; answers the exit status.
    i32 run(const std::string& arguments) {
        std::string command = std::string("'") + SORVANE_RENDER_TOOL + "' " + arguments + " > '" +
                              folder / "stdout" + "' 2> '" + folder / "stderr" + "'";
        i32 status = system(command.c_str());
        out = file_text(folder / "stdout");
        err = file_text(folder / "stderr");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    void save(const std::string& path) {
        EXPECT_TRUE(write_text(path, to_string(scene_encode(&piece, POOL_MAIN)))) << path;
    }
    // The piece saved as NAME.scene and rendered to NAME.wav on three threads, read back as
    // 32-bit float.
    WaveData render(const std::string& name) {
        std::string scene = folder / (name + ".scene"), wave_path = folder / (name + ".wav");
        save(scene);
        WaveData wave = {};
        EXPECT_EQ(run("--threads 3 '" + scene + "' '" + wave_path + "'" DATA_OPTION), 0) << err;
        EXPECT_TRUE(audio_wave_load(&wave, SAMPLE_FORMAT_F32, to_str(wave_path)));
        return wave;
    }
    // A square at 2 Hz over the first second (two beats): -1 then +1, half a second each.
    void square_piece(i64 rate, u8 stereo, u8 type) {
        static const char* const square[] = {"square"};
        piece.settings.sample_rate = rate;
        piece.settings.stereo = stereo;
        piece.settings.sample_type = type;
        piece.settings.end_time = frac(2);
        add_sound(&piece, group, frac(0), frac(2), square, 1);
        add_note(&piece, group, frac(0), frac(2), frac(1, 220));
    }
};

TEST_F(RenderTool, EachSampleTypeReadsBackWithItsFormatAndValues) {
    struct Case {
        i64 rate;
        u8 stereo, type;
        i32 tag, bits;
        f32 level, tolerance;
    };
    const Case cases[] = {
        {44100, 1, SAMPLE_TYPE_SHORT, 1, 16, 0.5f, 0.0f},
        {48000, 0, SAMPLE_TYPE_LONG, 1, 32, 1.0f, 1e-9f},
        {22050, 1, SAMPLE_TYPE_FLOAT, 3, 32, 0.5f, 0.0f},
    };
    for (const Case& c : cases) {
        piece_init(&piece, POOL_MAIN);
        group = piece_group_add(&piece, STR("group"));
        square_piece(c.rate, c.stereo, c.type);
        WaveData wave = render("square");
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "");  // not a terminal: no progress bar, and nothing went wrong
        // The format tag and the sample width in the "fmt " chunk.
        std::string bytes = file_text(folder / "square.wav");
        size_t at = bytes.find("fmt ");
        ASSERT_LT(at + 24, bytes.size());
        const u8* fmt = (const u8*)bytes.data() + at;
        EXPECT_EQ(fmt[8] | fmt[9] << 8, c.tag) << c.rate;
        EXPECT_EQ(fmt[22] | fmt[23] << 8, c.bits) << c.rate;
        i64 channels = c.stereo ? 2 : 1;
        EXPECT_EQ(wave.channels, channels);
        EXPECT_EQ(wave.sample_rate, c.rate);
        // Two beats at 120 a minute, in whole blocks of 256 frames.
        i64 frames = (i64)ceil(2.0 / (120.0 * 256.0 / ((f64)c.rate * 60.0))) * 256;
        EXPECT_EQ(wave.size / 4 / channels, frames) << c.rate;
        const f32* s = (const f32*)wave.data;
        i64 quarter = c.rate / 4;
        for (i64 ch = 0; ch < channels; ch += 1) {
            EXPECT_NEAR(s[quarter * channels + ch], -c.level, c.tolerance + 1e-4f) << c.rate;
            EXPECT_NEAR(s[3 * quarter * channels + ch], c.level, c.tolerance + 1e-4f) << c.rate;
            EXPECT_EQ(s[(frames - 1) * channels + ch], 0.0f) << c.rate;  // after the note
        }
        if (c.type == SAMPLE_TYPE_FLOAT) EXPECT_EQ(s[quarter * channels], -c.level);  // exact
    }
}

TEST_F(RenderTool, FailuresSayWhatInOneLineAndExitWithOne) {
    square_piece(44100, 1, SAMPLE_TYPE_SHORT);
    std::string scene = folder / "good.scene", wave = folder / "a.wav";
    save(scene);

    std::string junk = folder / "junk.scene";
    ASSERT_TRUE(write_text(junk, "not a scene"));
    EXPECT_EQ(run("'" + junk + "' '" + wave + "'" DATA_OPTION), 1);
    EXPECT_EQ(err, junk + " is not a valid scene file!\n");
    EXPECT_EQ(out, "");

    EXPECT_EQ(run("'" + scene + "' '" + wave + "' --data '" + folder / "nowhere'"), 1);
    EXPECT_EQ(err, "the data folder " + folder / "nowhere does not exist\n");

    EXPECT_EQ(run("'" + scene + "' '" + wave + "' --data '" + folder.path + "'"), 1);
    EXPECT_EQ(err, folder / "sounds/sounds.txt is missing: is --data the data folder?\n");

    std::string unwritable = folder / "no/such/folder/out.wav";
    EXPECT_EQ(run("'" + scene + "' '" + unwritable + "'" DATA_OPTION), 1);
    std::string lead = unwritable + " could not be written: ";
    EXPECT_EQ(err.substr(0, lead.size()), lead);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_GT(err.size(), lead.size() + 1);
    EXPECT_FALSE(file_exists(to_str(wave)));
}

// Numbers no piece can use, as a damaged or hand-made file may hold them: each is read as
// a new object's value, so the dump shows that value and the sound stays finite. The note
// plays a recording from the data folder, at its own speed for a key of A 440.
TEST_F(RenderTool, NonFiniteNumbersInAFileAreReadAsDefaultsAndARecordingPlaysAtItsPitch) {
    static const char* const pluck[] = {"pluck"};
    const f64 nan = std::numeric_limits<f64>::quiet_NaN();
    const f64 inf = std::numeric_limits<f64>::infinity();
    piece.settings.end_time = frac(2);  // a second of mono float samples
    piece.settings.stereo = 0;
    piece.settings.sample_type = SAMPLE_TYPE_FLOAT;
    piece.settings.background[1] = (f32)nan;
    piece.groups[0].size = inf;
    piece.groups[0].color[0] = (f32)-inf;
    add_sound(&piece, group, frac(0), frac(2), pluck, 1);
    add_key(&piece, group, frac(0), frac(2), nan);
    add_shape(&piece, group, frac(0), frac(2), "unknown", inf);
    add_note(&piece, group, frac(0), frac(2), frac(1));
    WaveData wave = render("nonfinite");
    const f32* s = (const f32*)wave.data;
    i64 count = wave.size / 4, finite = 0;
    for (i64 i = 0; i < count; i += 1) finite += std::isfinite(s[i]) ? 1 : 0;
    EXPECT_EQ(finite, count);
    EXPECT_NEAR(measured_pitch(s + 1000, 10000, 44100.0, 300.0, 600.0), 440.0, 3.0);

    ASSERT_EQ(run("--dump '" + folder / "nonfinite.scene'"), 0) << err;
    EXPECT_EQ(out.find("nan"), std::string::npos) << out;
    EXPECT_EQ(out.find("inf"), std::string::npos) << out;
    EXPECT_NE(out.find("440"), std::string::npos) << out;
}

// --import: a MIDI file becomes a scene file that plays, in the key and on the tonic asked
// for; a damaged file or an unknown tonic is refused.
TEST_F(RenderTool, ImportMakesAMidiFileIntoAPieceThatPlays) {
    const char tune[] = "MThd\0\0\0\x06\0\x01\0\x01\0\x60MTrk\0\0\0\x14"
                        "\0\x90\x3e\x64\x60\x80\x3e\0\0\x90\x42\x64\x60\x80\x42\0\0\xff\x2f\0";
    std::string midi = folder / "tune.mid", scene = folder / "tune.scene";
    ASSERT_TRUE(write_text(midi, std::string(tune, sizeof(tune) - 1)));
    ASSERT_EQ(run("--import '" + midi + "' '" + scene + "' --key 'just major' --tonic D" DATA_OPTION), 0)
        << err;
    EXPECT_EQ(err, "notes: 2, groups: 1, key \"just major\" on D\n");
    Piece imported;
    piece_init(&imported, POOL_MAIN);
    ASSERT_EQ(scene_decode(read_entire_file(to_str(scene), POOL_MAIN), &imported, POOL_MAIN), SCENE_OK);
    ASSERT_EQ(imported.notes.count, 2);
    EXPECT_TRUE(fraction_equal(imported.notes[1].header.pitch, frac(5, 4)));  // F sharp over D
    EXPECT_EQ(to_string(imported.keys[0].key_name), "just major");

    std::string wave = folder / "tune.wav";
    ASSERT_EQ(run("'" + scene + "' '" + wave + "'" DATA_OPTION), 0) << err;
    std::string samples = file_text(wave);
    ASSERT_GT(samples.size(), 44u);
    EXPECT_NE(samples.find_first_not_of('\0', 44), std::string::npos) << "the imported piece is silent";

    EXPECT_EQ(run("--import '" + wave + "' '" + scene + "'" DATA_OPTION), 1);
    EXPECT_EQ(err, wave + " cannot be imported: it is not a MIDI file (no header chunk)\n");
    EXPECT_EQ(run("--import '" + midi + "' '" + scene + "' --tonic H"), 2);
    EXPECT_EQ(err.substr(0, err.find('\n')), "sorvane-render: --tonic needs a note from C to B, with # or b: H");
}

TEST_F(RenderTool, MidiOptionsReachTheFileAndBadOptionsAreRefusedWithTheUsage) {
    add_sine(&piece, group, frac(0), frac(2));
    add_key(&piece, group, frac(0), frac(2), 300.0);
    add_note(&piece, group, frac(0), frac(2), frac(3, 2));
    piece.settings.end_time = frac(2);
    std::string scene = folder / "fifth.scene", mid = folder / "fifth.mid";
    save(scene);
    const std::string mts = std::string("\xF0\x0B\x7F\x7F\x08\x02", 6);
    ASSERT_EQ(run("'" + scene + "' '" + mid + "' --midi-tuning mpe --midi-bend-range 12 --midi-program 21"
                  DATA_OPTION), 0) << err;
    std::string bytes = file_text(mid);
    EXPECT_EQ(bytes.substr(0, 4), "MThd");
    EXPECT_NE(bytes.find(std::string("\xB1\x06\x0C", 3)), std::string::npos) << "bend range 12";
    EXPECT_NE(bytes.find(std::string("\xC1\x14", 2)), std::string::npos) << "program 21";
    EXPECT_EQ(bytes.find(mts), std::string::npos) << "no MTS in MPE";
    ASSERT_EQ(run("'" + scene + "' '" + mid + "'" DATA_OPTION), 0) << err;
    EXPECT_NE(file_text(mid).find(mts), std::string::npos) << "MTS by default";
    const char* refused[] = {"--midi-tuning just", "--midi-bend-range 97", "--midi-program 0",
                             "--midi-program",     "--threads 0",          "--threads 65",
                             "--threads x",        "--threads -1",         "--threads 2x",
                             "--threads ''",       "--threads"};
    for (const char* bad : refused) {
        EXPECT_EQ(run("'" + scene + "' '" + mid + "' " + bad), 2) << bad;
        std::string option = std::string(bad).substr(0, std::string(bad).find(' '));
        EXPECT_NE(err.find(option + " needs"), std::string::npos) << err;
        EXPECT_NE(err.find("usage:"), std::string::npos) << err;
    }
}
