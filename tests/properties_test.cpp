// The "global properties" and "group properties" panels in whole frames: typing into the
// rows, the toggle and the sample-type button, the colour rows and their swatch, values
// changed elsewhere, collapsing and scrolling, a piece replaced under an open panel, and
// the section widget's synchronisation on its own.
#include <string>

#include "app/document.h"
#include "app/frame.h"
#include "editor/editor.h"
#include "frame_support.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "model/scene.h"
#include "panels/entry_panels.h"
#include "panels/properties.h"
#include "piece_support.h"

struct Properties : InterfaceTest {
    static PropertiesPanel* content(u8 kind) {
        return (PropertiesPanel*)panel_of_kind(kind)->content;
    }

    // Where a row's editor starts, laid out as the panel lays it out from the top of its
    // content (nothing scrolled): (value column x, bottom of the row's first line).
    static void row_place(u8 kind, i64 section, i64 row, f32* x, f32* y) {
        const Panel* p = panel_of_kind(kind);
        PropertiesPanel* c = content(kind);
        f32 s = g_theme.scale, o = g_theme.offset;
        f32 cursor = p->y + p->height - s - s - o + (1 - c->scroll.position) * c->content_height;
        for (i64 i = 0; i < c->section_count; i += 1) {
            const PropertySection* sec = &c->sections[i];
            cursor -= s;
            if (sec->collapsed) continue;
            for (i64 r = 0; r < sec->rows.count; r += 1) {
                if (i == section && r == row) {
                    *x = p->x + s / 2 + 6 * s;
                    *y = cursor;
                    return;
                }
                u8 type = sec->rows[r].type;
                cursor -= type == PROPERTY_COLOR ? 4 * s + o + s + o : s + o;
            }
        }
        ADD_FAILURE() << "no such row";
    }
    void click_row(u8 kind, i64 section, i64 row, f32 dx = 5, f32 dy = 0) {
        f32 x = 0, y = 0;
        row_place(kind, section, row, &x, &y);
        click_at(x + dx, y + g_theme.scale / 2 + dy);
    }
    // Clicks into the field, selects all of it and types, a few frames per piece of text
    // as a user's keys come; the section takes each edit in the frame after it.
    void type_into(u8 kind, i64 section, i64 row, std::initializer_list<const char*> pieces,
                   f32 dx = 5, f32 dy = 0) {
        click_row(kind, section, row, dx, dy);
        headless_key_down(KEY_CONTROL);
        headless_key_tap(KEY_LETTER('a'));
        frames();
        headless_key_up(KEY_CONTROL);
        for (const char* piece : pieces) {
            headless_type_text(str_from_cstring(piece));
            frames(3);
        }
    }
    // Draws in the widgets' base colour inside the panel.
    static i64 widgets_inside(const Panel* p) {
        i64 count = 0;
        for (const HeadlessDraw* draw : draws_in_color(g_theme.color)) {
            f32 box[4];
            draw_bounds(draw, box);
            if (box[0] >= p->x && box[0] < p->x + p->width && box[1] >= p->y &&
                box[1] < p->y + p->height)
                count += 1;
        }
        return count;
    }
    void click_away() { click_at(width() / 2, height() / 2); }
    static std::string field_text(u8 kind, i64 section, i64 row) {
        return to_string(text_field_text(&content(kind)->sections[section].rows[row].field));
    }
};

// ---------------------------------------------------------------------------
// Global properties
// ---------------------------------------------------------------------------
TEST_F(Properties, TheGlobalPanelOpensWithTheSettingsInItsRows) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    ASSERT_NE(panel_of_kind(PANEL_GLOBAL_PROPERTIES), nullptr);
    EXPECT_EQ(to_string(panel_of_kind(PANEL_GLOBAL_PROPERTIES)->title), "global properties");
    PropertiesPanel* c = content(PANEL_GLOBAL_PROPERTIES);
    ASSERT_EQ(c->section_count, 2);
    EXPECT_EQ(to_string(c->sections[0].title), "audio");
    EXPECT_EQ(to_string(c->sections[1].title), "rendering");
    const char* labels[] = {"sample rate", "stereo", "sample type", "start time", "end time"};
    ASSERT_EQ(c->sections[0].rows.count, 5);
    for (i64 i = 0; i < 5; i += 1) EXPECT_EQ(to_string(c->sections[0].rows[i].label), labels[i]);
    EXPECT_EQ(to_string(c->sections[1].rows[0].label), "background");
    frames();
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE), "44100");
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME), "0");
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_END_TIME), "120");
    EXPECT_EQ(c->sections[0].rows[GLOBAL_ROW_STEREO].toggle.on, 1);
    const PropertyRow* background = &c->sections[1].rows[0];
    EXPECT_EQ(to_string(text_field_text(&background->color_fields[2])), "0.5");
    EXPECT_EQ(to_string(text_field_text(&background->color_fields[3])), "1");
}

TEST_F(Properties, TypedValuesThatCannotBeRightAreMarkedAndNotTaken) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE, {"48000"});
    EXPECT_EQ(g_piece.settings.sample_rate, 48000);
    EXPECT_EQ(g_piece.modified, 1);
    EXPECT_TRUE(marked_fields() == 0);
    for (const char* typed : {"x", "0", "-44100"}) {
        type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE, {typed});
        EXPECT_EQ(g_piece.settings.sample_rate, 48000) << typed;
        // While the field holds the keyboard it keeps what was typed, marked.
        EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE), typed);
        EXPECT_EQ(marked_fields(), 1u) << typed;
    }
    click_away();  // afterwards it shows the value, unmarked
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE), "48000");
    EXPECT_TRUE(marked_fields() == 0);

    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_END_TIME, {"7/0"});
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME, {"1/-2"});
    EXPECT_EQ(g_piece.settings.end_time.numerator, 120);
    EXPECT_EQ(g_piece.settings.end_time.denominator, 1);
    EXPECT_EQ(g_piece.settings.start_time.numerator, 0);
    EXPECT_EQ(g_piece.settings.start_time.denominator, 1);
}

TEST_F(Properties, StereoAndSampleTypeFollowClicks) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    click_row(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_STEREO);
    frames();
    EXPECT_EQ(g_piece.settings.stereo, 0);
    click_row(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_STEREO);
    frames();
    EXPECT_EQ(g_piece.settings.stereo, 1);

    EXPECT_EQ(g_piece.settings.sample_type, SAMPLE_TYPE_SHORT);
    click_row(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_TYPE, 40);
    EXPECT_EQ(g_piece.settings.sample_type, SAMPLE_TYPE_LONG);
    click_row(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_TYPE, 40);
    EXPECT_EQ(g_piece.settings.sample_type, SAMPLE_TYPE_FLOAT);
    click_row(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_TYPE, 40);
    EXPECT_EQ(g_piece.settings.sample_type, SAMPLE_TYPE_SHORT);
    EXPECT_EQ(g_piece.modified, 1);
}

TEST_F(Properties, FractionsTypedKeyByKeyAreStoredAndShownAsTyped) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    // Key by key: "1/" (read as 1/0) must survive until the 3 arrives.
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME, {"1", "/", "3"});
    EXPECT_EQ(g_piece.settings.start_time.numerator, 1);
    EXPECT_EQ(g_piece.settings.start_time.denominator, 3);
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME), "1/3");
    click_away();
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME), "1/3");

    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_END_TIME, {"64"});
    EXPECT_EQ(g_piece.settings.end_time.numerator, 64);
    EXPECT_EQ(g_piece.settings.end_time.denominator, 1);
}

TEST_F(Properties, TheBackgroundRowEditsComponentsAndItsSwatchOpensThePicker) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    f32 s = g_theme.scale;
    // The g field is the second line of the colour row, right of its letter.
    type_into(PANEL_GLOBAL_PROPERTIES, 1, GLOBAL_ROW_BACKGROUND, {"0.25"}, 1.5f * s + 5, -s);
    EXPECT_EQ(g_piece.settings.background[1], 0.25f);
    EXPECT_EQ(g_piece.settings.background[2], 0.5f);

    // A value changed elsewhere shows in the fields.
    g_piece.settings.background[0] = 0.75f;
    click_away();
    const PropertyRow* row = &content(PANEL_GLOBAL_PROPERTIES)->sections[1].rows[0];
    EXPECT_EQ(to_string(text_field_text(&row->color_fields[0])), "0.75");

    // The swatch, below the four fields, opens the picker on the background.
    f32 o = g_theme.offset;
    click_row(PANEL_GLOBAL_PROPERTIES, 1, GLOBAL_ROW_BACKGROUND, 20, -(4 * s + o));
    Panel* picker = panel_of_kind(PANEL_COLOR_PICKER);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(to_string(picker->title), "color picker");
    const ColorPickerContent* c = (const ColorPickerContent*)picker->content;
    EXPECT_EQ(c->binding.target, COLOR_TARGET_BACKGROUND);
    EXPECT_FLOAT_EQ(c->picker.value, 0.75f);
}

TEST_F(Properties, AnOpenPanelShowsTheSettingsOfAPieceOpenedMeanwhile) {
    char pattern[] = "/tmp/sorvane_properties_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string path = std::string(pattern) + "/other.scene";
    g_piece.settings.sample_rate = 8000;
    g_piece.settings.start_time = frac(5, 2);
    ASSERT_TRUE(scene_save(to_str(path)));
    g_piece.settings.sample_rate = 44100;
    g_piece.settings.start_time = frac(0);

    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    click_row(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE);  // the field has the keyboard
    ASSERT_TRUE(piece_open(to_str(path)));
    frames(2);
    EXPECT_EQ(g_piece.settings.sample_rate, 8000);  // nothing of the old piece written back
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE), "8000");
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME), "5/2");
    EXPECT_EQ(system(("rm -rf '" + std::string(pattern) + "'").c_str()), 0);
}

// ---------------------------------------------------------------------------
// Group properties
// ---------------------------------------------------------------------------
TEST_F(Properties, TheGroupPanelEditsTheSelectedGroupAndShowsNothingWithoutOne) {
    ASSERT_GE(g_piece.tree.count, 1);
    g_piece.tree[0].selected = 0;
    frames();
    click_menu(MENU_SHOW_GROUP_PROPERTIES);
    ASSERT_NE(panel_of_kind(PANEL_GROUP_PROPERTIES), nullptr);
    EXPECT_EQ(to_string(panel_of_kind(PANEL_GROUP_PROPERTIES)->title), "group properties");
    PropertiesPanel* c = content(PANEL_GROUP_PROPERTIES);
    ASSERT_EQ(c->section_count, 1);
    EXPECT_EQ(to_string(c->sections[0].title), "note");
    // No group selected: nothing is drawn in the panel, no row is bound.
    headless_draws_clear();
    frames();
    EXPECT_EQ(widgets_inside(panel_of_kind(PANEL_GROUP_PROPERTIES)), 0);
    EXPECT_EQ(c->sections[0].rows[GROUP_ROW_SIZE].value, nullptr);

    g_piece.tree[0].selected = 1;
    Group* group = group_find(&g_piece, g_piece.tree[0].id);
    ASSERT_NE(group, nullptr);
    frames();
    EXPECT_EQ(field_text(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_TEXTURE), "circle");
    EXPECT_EQ(field_text(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_SIZE), "1");

    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_SIZE, {"2", ".", "5"});  // "2." stays
    EXPECT_EQ(group->size, 2.5);
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_SIZE, {"0"});  // no size at all: refused
    EXPECT_EQ(group->size, 2.5);
    f32 s = g_theme.scale;
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_COLOR, {"0.125"}, 1.5f * s + 5);
    EXPECT_EQ(group->color[0], 0.125f);
    click_row(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_VISIBLE);
    frames();
    EXPECT_EQ(group->visible, 0);
}

TEST_F(Properties, AnUnknownTextureNameGivesTheWhiteTexture) {
    g_piece.tree[0].selected = 1;
    Group* group = group_find(&g_piece, g_piece.tree[0].id);
    ASSERT_NE(group, nullptr);
    u32 circle = texture_by_name(STR("circle"));
    ASSERT_NE(circle, g_textures.ids[TEXTURE_WHITE]);
    frames();
    click_menu(MENU_SHOW_GROUP_PROPERTIES);
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_TEXTURE, {"no such texture"});
    EXPECT_EQ(to_string(group->texture_name), "no such texture");
    EXPECT_EQ(group->texture, g_textures.ids[TEXTURE_WHITE]);
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_TEXTURE, {"circ", "le"});
    EXPECT_EQ(to_string(group->texture_name), "circle");
    EXPECT_EQ(group->texture, circle);
}

TEST_F(Properties, TheGroupColourSwatchBindsThePickerToTheGroupById) {
    g_piece.tree[0].selected = 1;
    i64 id = g_piece.tree[0].id;
    frames();
    click_menu(MENU_SHOW_GROUP_PROPERTIES);
    f32 s = g_theme.scale, o = g_theme.offset;
    click_row(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_COLOR, 20, -(4 * s + o));
    Panel* picker = panel_of_kind(PANEL_COLOR_PICKER);
    ASSERT_NE(picker, nullptr);
    const ColorPickerContent* c = (const ColorPickerContent*)picker->content;
    EXPECT_EQ(c->binding.target, COLOR_TARGET_GROUP);
    EXPECT_EQ(c->binding.id, id);
}

// ---------------------------------------------------------------------------
// Layout
// ---------------------------------------------------------------------------
TEST_F(Properties, ACollapsedSectionTakesOneLineAndShowsNoRows) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    f32 s = g_theme.scale, o = g_theme.offset;
    const Panel* p = panel_of_kind(PANEL_GLOBAL_PROPERTIES);
    f32 heading = p->y + p->height - s - s - o;
    click_at(p->x + s, heading + s / 2);  // the "audio" heading's icon
    EXPECT_TRUE(content(PANEL_GLOBAL_PROPERTIES)->sections[0].collapsed);
    // The "rendering" heading now sits one line below, its fields right after it.
    f32 x = 0, y = 0;
    row_place(PANEL_GLOBAL_PROPERTIES, 1, 0, &x, &y);
    EXPECT_EQ(y, heading - 2 * s);
    headless_draws_clear();
    frames();
    // Four colour fields and their swatch: the only fields left in the base colour.
    i64 fields = 0;
    for (const HeadlessDraw* draw : draws_in_color(g_theme.color)) {
        f32 box[4];
        draw_bounds(draw, box);
        if (box[0] >= p->x + s / 2 + 6 * s) fields += 1;
    }
    EXPECT_EQ(fields, 5);
    click_at(p->x + s, heading + s / 2);
    EXPECT_FALSE(content(PANEL_GLOBAL_PROPERTIES)->sections[0].collapsed);
}

TEST_F(Properties, AShortPanelScrollsByTheWheelAndTheBar) {
    frames();
    click_menu(MENU_SHOW_GLOBAL_PROPERTIES);
    Panel* p = panel_of_kind(PANEL_GLOBAL_PROPERTIES);
    p->height = 200;
    panel_update_handles(p);
    frames(2);
    PropertiesPanel* c = content(PANEL_GLOBAL_PROPERTIES);
    f32 s = g_theme.scale, o = g_theme.offset;
    f32 h = 200 - s;
    // Everything the sections take, less what the panel shows.
    f32 whole = 2 * s + 5 * (s + o) + 4 * s + o + s + o;
    EXPECT_FLOAT_EQ(c->content_height, whole + o - h);
    EXPECT_FLOAT_EQ(c->scroll.position, 1);
    EXPECT_FLOAT_EQ(c->scroll.visible_fraction, h / (c->content_height + h));

    mouse_to(p->x + 40, p->y + h / 2);
    headless_mouse_wheel(-2);
    frames();
    EXPECT_FLOAT_EQ(c->scroll.position, 0.75f);
    // Over the scroll bar the wheel does nothing.
    mouse_to(p->x + p->width - o - s / 2, p->y + h / 2);
    headless_mouse_wheel(-2);
    frames();
    EXPECT_FLOAT_EQ(c->scroll.position, 0.75f);
    mouse_to(p->x + 40, p->y + h / 2);
    headless_mouse_wheel(-100);
    frames();
    EXPECT_FLOAT_EQ(c->scroll.position, 0);
    // Scrolled to the end, the last row (the background's swatch) is the lowest thing
    // and sits one offset above the bottom.
    f32 x = 0, y = 0;
    row_place(PANEL_GLOBAL_PROPERTIES, 1, 0, &x, &y);
    EXPECT_FLOAT_EQ(y - 4 * s - o, p->y + o);
}

// ---------------------------------------------------------------------------
// The section widget on its own
// ---------------------------------------------------------------------------
TEST_F(Properties, RowsWithoutABoundValueAreNotSynchronised) {
    PropertySection section;
    property_section_init(&section, STR("odds"), POOL_MAIN);
    PropertyRow* info = property_section_add_row(&section, PROPERTY_INFO, STR("version"));
    info->info = STR("zero");
    property_section_add_row(&section, PROPERTY_INTEGER, STR("unbound"));
    i64 number = 17;
    PropertyRow* bound = property_section_add_row(&section, PROPERTY_INTEGER, STR("bound"));
    ASSERT_NE(bound, nullptr);
    section.rows[2].value = &number;
    Str text = {};
    property_section_add_row(&section, PROPERTY_LONG_STRING, STR("notes"));
    section.rows[3].value = &text;
    f32 y = 700, start = y;
    widget_frame([&] { property_section(&section, 100, 10, 400, &y); });
    f32 s = g_theme.scale, o = g_theme.offset;
    EXPECT_FLOAT_EQ(start - y, s + 3 * (s + o) + 7 * s + s + o);
    EXPECT_EQ(to_string(text_field_text(&section.rows[1].field)), "");
    EXPECT_EQ(to_string(text_field_text(&section.rows[2].field)), "17");
    EXPECT_FALSE(section.changed);
    EXPECT_EQ(section.rows[3].field.single_line, 0);

    // An edit reported by the field is taken once.
    text_field_set_text(&section.rows[2].field, STR("-5"));
    y = start;
    widget_frame([&] { property_section(&section, 100, 10, 400, &y); });
    EXPECT_EQ(number, -5);
    EXPECT_TRUE(section.changed);
    EXPECT_TRUE(section.rows[2].changed);
    y = start;
    widget_frame([&] { property_section(&section, 100, 10, 400, &y); });
    EXPECT_FALSE(section.changed);
}
