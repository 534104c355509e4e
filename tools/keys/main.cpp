// sorvane-keys: Scala scales in and out of keys.txt. "import" appends a .scl file as a key
// (and, given a .kbm mapping, prints the frequency for the key object's "frequency" row),
// "export" writes a key of keys.txt as .scl, "frequency" prints a mapping's frequency for
// a scale. Files are replaced atomically, as the editor saves pieces. Runs on the headless
// back end with pools of its own. Exit status 0 on success, 1 when a file is refused or
// cannot be written, 2 for a command line it does not understand.
#include <stdio.h>
#include <stdlib.h>

#include "app/document.h"
#include "base/format.h"
#include "base/text.h"
#include "model/files.h"
#include "model/keys.h"
#include "platform/system.h"
#include "scala.h"

static const char USAGE[] =
    "usage: sorvane-keys import SCALE.scl KEYS.txt [NAME] [MAPPING.kbm]\n"
    "       sorvane-keys export KEYS.txt NAME OUT.scl\n"
    "       sorvane-keys frequency SCALE.scl MAPPING.kbm\n"
    "import appends the scale to KEYS.txt as the key NAME (the scale file's name without\n"
    ".scl when none is given). Ratio lines stay exact; a cents line becomes the simplest\n"
    "fraction within 0.01 cents, or else the nearest one with a denominator up to 1000, and\n"
    "is listed with its error. With a mapping, the frequency of the scale's 1/1 is printed\n"
    "for the key object's \"frequency\" row (keys.txt holds no frequency).\n";

static void put(FILE* stream, Str text) {
    if (text.length > 0) fwrite(text.data, 1, (size_t)text.length, stream);
}

static void say(Str format, const FormatArg* args, i64 count) {
    put(stdout, format_tmp(format, args, count));
}

static i32 refuse(Str format, const FormatArg* args, i64 count) {
    fputs("sorvane-keys: ", stderr);
    put(stderr, format_tmp(format, args, count));
    fputs("\n", stderr);
    return 1;
}

static bool ends_with(Str text, Str end) {
    return text.length >= end.length &&
           memcmp(text.data + text.length - end.length, end.data, (size_t)end.length) == 0;
}

// The file name without its folder and without ".scl".
static Str scale_name(Str path) {
    i64 start = path.length;
    while (start > 0 && path.data[start - 1] != '/') start -= 1;
    Str name = {path.data + start, path.length - start};
    if (ends_with(name, STR(".scl"))) name.length -= 4;
    return name;
}

// The text replaces the file through a temporary file beside it, synced, then renamed.
static bool write_atomically(Str path, Str text) {
    Str reason;
    return file_replace_atomically(path, text, POOL_TMP, &reason);
}

static bool read_scale(Str path, ScalaScale* scale) {
    Str text = read_entire_file(path, POOL_MAIN);
    ScalaError error;
    if (text.length == 0) {
        const FormatArg args[] = {fa_str(path)};
        refuse(STR("%a cannot be read or is empty"), args, 1);
        return false;
    }
    if (scala_parse(text, POOL_MAIN, scale, &error)) return true;
    const FormatArg args[] = {fa_str(path), fa_i64(error.line), fa_str(error.message)};
    refuse(STR("%a, line %b: %c"), args, 3);
    return false;
}

static bool print_frequency(Str mapping_path, const ScalaScale* scale) {
    Str text = read_entire_file(mapping_path, POOL_MAIN);
    KbmMapping mapping;
    ScalaError error;
    f64 frequency = 0;
    if (!kbm_parse(text, POOL_MAIN, &mapping, &error)) {
        const FormatArg args[] = {fa_str(mapping_path), fa_i64(error.line), fa_str(error.message)};
        refuse(error.line > 0 ? STR("%a, line %b: %c") : STR("%a: %c"), args, 3);
        return false;
    }
    if (!kbm_unison_frequency(&mapping, scale, &frequency, &error)) {
        const FormatArg args[] = {fa_str(mapping_path), fa_str(error.message)};
        refuse(STR("%a: %b"), args, 2);
        return false;
    }
    printf("frequency %.6f\n", frequency);
    return true;
}

// Which lines were cents, what they became and how far off, and a period that is not 2/1.
static void report_scale(const ScalaScale* scale) {
    for (i64 i = 0; i < scale->pitches.count; i += 1) {
        const ScalaPitch* pitch = &scale->pitches[i];
        if (!pitch->from_cents) continue;
        bool beyond = !(pitch->error_cents <= SCALA_TOLERANCE_CENTS &&
                        pitch->error_cents >= -SCALA_TOLERANCE_CENTS);
        printf("line %lld: %.6f cents approximated as %lld/%lld, error %+.6f cents%s\n",
               (long long)pitch->line, pitch->cents, (long long)pitch->ratio.numerator,
               (long long)pitch->ratio.denominator, pitch->error_cents,
               beyond ? " (beyond the 0.01 cent tolerance)" : "");
    }
    if (scale->pitches.count > 0) {
        Fraction period = scale->pitches[scale->pitches.count - 1].ratio;
        if (period.numerator % 2 != 0 || period.numerator / 2 != period.denominator)
            printf("the period is %lld/%lld, not 2/1: it is kept as a pitch, and the key "
                   "repeats at the octave in sorvane\n",
                   (long long)period.numerator, (long long)period.denominator);
    }
}

static i32 import_main(Str scale_path, Str keys_path, Str name, Str mapping_path) {
    ScalaScale scale;
    if (!read_scale(scale_path, &scale)) return 1;
    if (name.length == 0) name = scale_name(scale_path);
    for (i64 i = 0; i < name.length; i += 1)
        if (name.data[i] == '\n' || name.data[i] == '\r') name.length = 0;
    if (name.length == 0) return refuse(STR("the key needs a name"), 0, 0);
    Str keys = read_entire_file(keys_path, POOL_MAIN);
    keys_parse(keys);
    if (key_by_name(name)) {
        const FormatArg args[] = {fa_str(keys_path), fa_str(name)};
        return refuse(STR("%a has a key named %b already"), args, 2);
    }
    StrBuilder out;
    str_builder_init(&out, POOL_MAIN);
    str_builder_append(&out, keys);
    if (keys.length > 0 && keys.data[keys.length - 1] != '\n') str_builder_put(&out, '\n');
    if (keys.length > 0) str_builder_put(&out, '\n');
    str_builder_append(&out, scala_key_lines(&scale, name, POOL_MAIN));
    if (!write_atomically(keys_path, str_builder_text(&out))) {
        const FormatArg args[] = {fa_str(keys_path), fa_str(system_last_error())};
        return refuse(STR("%a could not be written: %b"), args, 2);
    }
    const FormatArg args[] = {fa_str(name), fa_i64(scale.pitches.count), fa_str(keys_path)};
    say(STR("imported key %a (%b listed pitches) into %c\n"), args, 3);
    report_scale(&scale);
    if (mapping_path.length > 0 && !print_frequency(mapping_path, &scale)) return 1;
    return fflush(stdout) == 0 ? 0 : 1;
}

static i32 export_main(Str keys_path, Str name, Str out_path) {
    keys_parse(read_entire_file(keys_path, POOL_MAIN));
    const KeyDefinition* key = key_by_name(name);
    if (!key) {
        const FormatArg args[] = {fa_str(keys_path), fa_str(name)};
        return refuse(STR("%a has no key named %b"), args, 2);
    }
    i64 skipped = 0;
    Str text = scala_write(key, POOL_MAIN, &skipped);
    if (!write_atomically(out_path, text)) {
        const FormatArg args[] = {fa_str(out_path), fa_str(system_last_error())};
        return refuse(STR("%a could not be written: %b"), args, 2);
    }
    const FormatArg args[] = {fa_str(name), fa_str(out_path)};
    say(STR("exported key %a to %b\n"), args, 2);
    if (skipped > 0) {
        const FormatArg counted[] = {fa_i64(skipped)};
        say(STR("left out %a pitches without a denominator\n"), counted, 1);
    }
    return fflush(stdout) == 0 ? 0 : 1;
}

static i32 frequency_main(Str scale_path, Str mapping_path) {
    ScalaScale scale;
    if (!read_scale(scale_path, &scale)) return 1;
    if (!print_frequency(mapping_path, &scale)) return 1;
    return fflush(stdout) == 0 ? 0 : 1;
}

static i32 run(const Str* args, i64 count) {
    if (count >= 3 && count <= 5 && str_equal(args[0], STR("import"))) {
        Str name = {}, mapping = {};
        for (i64 i = 3; i < count; i += 1) {
            if (ends_with(args[i], STR(".kbm")) && mapping.length == 0) mapping = args[i];
            else if (name.length == 0) name = args[i];
            else return 2;
        }
        return import_main(args[1], args[2], name, mapping);
    }
    if (count == 4 && str_equal(args[0], STR("export")))
        return export_main(args[1], args[2], args[3]);
    if (count == 3 && str_equal(args[0], STR("frequency"))) return frequency_main(args[1], args[2]);
    return 2;
}

int main(int argc, char** argv) {
    i64 count = argc > 1 ? argc - 1 : 0;
    Str* args = (Str*)malloc(sizeof(Str) * (size_t)(count > 0 ? count : 1));
    if (!args) return 1;
    for (i64 i = 0; i < count; i += 1) args[i] = str_from_cstring(argv[i + 1]);
    i32 status = 1;
    if (count == 1 && (str_equal(args[0], STR("-h")) || str_equal(args[0], STR("--help")))) {
        fputs(USAGE, stdout);
        status = 0;
    } else if (!pool_setup(POOL_MAIN, 64 << 20, true) || !pool_setup(POOL_TMP, 16 << 20, true)) {
        fputs("sorvane-keys: not enough memory\n", stderr);
    } else {
        status = run(args, count);
        if (status == 2) fputs(USAGE, stderr);
    }
    pool_release(POOL_MAIN);
    pool_release(POOL_TMP);
    free(args);
    return status;
}
