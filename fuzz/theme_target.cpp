// Fuzz target of the theme reader: any text through theme_parse over the defaults. Besides
// the sanitizers it checks that the fields no key names (the score markings, the
// double-click time, smooth scrolling, the font and the derived fields) keep their values,
// and that parsing the same text a second time changes nothing (the last value of a key
// wins, so the text is idempotent).
#include <string.h>

#include "fuzz_support.h"
#include "gfx/theme.h"

static i64 theme_tmp_mark;

bool theme_fuzz_setup() {
    theme_tmp_mark = fuzz_pool_mark(POOL_TMP);
    return true;
}

void theme_fuzz_teardown() { theme_set_defaults(); }

const char* theme_fuzz_one(const u8* data, size_t size) {
    fuzz_pool_rewind(POOL_TMP, theme_tmp_mark);
    Str text = fuzz_copy(POOL_TMP, data, size);
    theme_set_defaults();
    Theme defaults, once;  // byte copies: the comparison below covers the padding too
    memcpy(&defaults, &g_theme, sizeof(Theme));
    theme_parse(text);
    memcpy(&once, &g_theme, sizeof(Theme));

    if (memcmp(once.score_marking_color1, defaults.score_marking_color1, sizeof(f32[4])) != 0 ||
        memcmp(once.score_marking_color2, defaults.score_marking_color2, sizeof(f32[4])) != 0)
        return "a score marking colour changed, though no key names it";
    if (memcmp(&once.double_click_time, &defaults.double_click_time, sizeof(f32)) != 0 ||
        once.smooth_scrolling != defaults.smooth_scrolling || once.font != defaults.font)
        return "a field without a key changed";
    if (once.row_offset != 0 || once.row_size != 0 || once.row_offset2 != 0 ||
        once.icon_size != 0 || once.folder_closed_texture != 0 || once.folder_open_texture != 0)
        return "parsing set a derived field";

    theme_parse(text);
    if (memcmp(&g_theme, &once, sizeof(Theme)) != 0) return "a second parse changed the theme";
    return 0;
}
