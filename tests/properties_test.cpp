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

    // Clicks into the row's field (or the colour row's field of that component), selects
    // all of it and types, a few frames per piece of text as a user's keys come; the
    // section takes each edit in the frame after it.
    void type_into(u8 kind, i64 section, i64 row, std::initializer_list<const char*> pieces,
                   i32 component = -1) {
        PropertyRow* r = &content(kind)->sections[section].rows[row];
        TextField* field = component < 0 ? &r->field : &r->color_fields[component];
        frames();  // the field takes its place when drawn
        click_at(field->x + field->width / 2, field->y + field->height / 2);
        control_key('a');
        for (const char* piece : pieces) {
            headless_type_text(str_from_cstring(piece));
            frames(3);
        }
    }
    // Clicks in the value column of the row labelled so, `dx` right of its start and `dy`
    // above the label's middle.
    void click_beside(u8 kind, const char* label, f32 dx = 5, f32 dy = 0) {
        f32 box[4];
        ASSERT_TRUE(label_box(label, box)) << label;
        const Panel* p = panel_of_kind(kind);
        click_at(p->x + g_theme.scale / 2 + 6 * g_theme.scale + dx, box[1] + box[3] / 2 + dy);
    }
    // Clicks the swatch below the four colour fields of the row labelled so; the picker it
    // opened, or null.
    const ColorPickerContent* open_swatch(u8 kind, const char* label) {
        click_beside(kind, label, 20, -(4 * g_theme.scale + g_theme.offset));
        const Panel* picker = panel_of_kind(PANEL_COLOR_PICKER);
        return picker ? (const ColorPickerContent*)picker->content : nullptr;
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
    void open(i32 menu) {
        frames();
        click_menu(menu);
    }
    static std::string field_text(u8 kind, i64 section, i64 row) {
        return to_string(text_field_text(&content(kind)->sections[section].rows[row].field));
    }
};

// Titled "global properties": an "audio" section (sample rate, stereo, sample type, start
// and end time) and a "rendering" one (the background), each row showing its setting.
TEST_F(Properties, TheGlobalPanelShowsTheSettingsAndClicksAndTypingInItsRowsEditThem) {
    open(MENU_SHOW_GLOBAL_PROPERTIES);
    ASSERT_NE(panel_of_kind(PANEL_GLOBAL_PROPERTIES), nullptr);
    expect_draws_match("properties_global");

    click_beside(PANEL_GLOBAL_PROPERTIES, "stereo");
    frames();
    EXPECT_EQ(g_piece.settings.stereo, 0);
    click_beside(PANEL_GLOBAL_PROPERTIES, "stereo");
    frames();
    EXPECT_EQ(g_piece.settings.stereo, 1);
    EXPECT_EQ(g_piece.modified, 1);
    // The sample type cycles from short through long and float back to short.
    for (u8 type : {SAMPLE_TYPE_LONG, SAMPLE_TYPE_FLOAT, SAMPLE_TYPE_SHORT}) {
        click_beside(PANEL_GLOBAL_PROPERTIES, "sample type", 40);
        EXPECT_EQ(g_piece.settings.sample_type, type);
    }

    type_into(PANEL_GLOBAL_PROPERTIES, 1, GLOBAL_ROW_BACKGROUND, {"0.25"}, 1);
    EXPECT_EQ(g_piece.settings.background[1], 0.25f);
    EXPECT_EQ(g_piece.settings.background[2], 0.5f);

    // A value changed elsewhere shows in the fields.
    g_piece.settings.background[0] = 0.75f;
    click_away();
    const PropertyRow* row = &content(PANEL_GLOBAL_PROPERTIES)->sections[1].rows[0];
    EXPECT_EQ(to_string(text_field_text(&row->color_fields[0])), "0.75");

    // The swatch opens the picker on the background.
    const ColorPickerContent* c = open_swatch(PANEL_GLOBAL_PROPERTIES, "background");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->binding.target, COLOR_TARGET_BACKGROUND);
    EXPECT_FLOAT_EQ(c->picker.value, 0.75f);
}

TEST_F(Properties, TypedValuesAreTakenKeyByKeyOrMarkedWhenTheyCannotBeRight) {
    open(MENU_SHOW_GLOBAL_PROPERTIES);
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

    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_END_TIME, {"64"});
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_END_TIME, {"7/0"});
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME, {"1/-2"});
    EXPECT_TRUE(same(g_piece.settings.end_time, frac(64)));
    EXPECT_TRUE(same(g_piece.settings.start_time, frac(0)));
    // Key by key: "1/" (read as 1/0) must survive until the 3 arrives.
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME, {"1", "/", "3"});
    EXPECT_TRUE(same(g_piece.settings.start_time, frac(1, 3)));
    click_away();
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME), "1/3");
}

TEST_F(Properties, AnOpenPanelShowsTheSettingsOfAPieceOpenedMeanwhile) {
    TempFolder folder;
    std::string path = folder / "other.scene";
    g_piece.settings.sample_rate = 8000;
    g_piece.settings.start_time = frac(5, 2);
    ASSERT_TRUE(scene_save(to_str(path)));
    g_piece.settings.sample_rate = 44100;
    g_piece.settings.start_time = frac(0);

    open(MENU_SHOW_GLOBAL_PROPERTIES);
    // The field has the keyboard when the piece is replaced.
    type_into(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE, {});
    ASSERT_TRUE(piece_open(to_str(path)));
    frames(2);
    EXPECT_EQ(g_piece.settings.sample_rate, 8000);  // nothing of the old piece written back
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_SAMPLE_RATE), "8000");
    EXPECT_EQ(field_text(PANEL_GLOBAL_PROPERTIES, 0, GLOBAL_ROW_START_TIME), "5/2");
}

TEST_F(Properties, TheGroupPanelEditsTheSelectedGroupAndShowsNothingWithoutOne) {
    g_piece.tree[0].selected = 0;
    open(MENU_SHOW_GROUP_PROPERTIES);
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
    i64 id = g_piece.tree[0].id;
    Group* group = group_find(&g_piece, id);
    ASSERT_NE(group, nullptr);
    frames();
    EXPECT_EQ(field_text(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_TEXTURE), "circle");
    EXPECT_EQ(field_text(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_SIZE), "1");
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_SIZE, {"2", ".", "5"});  // "2." stays
    EXPECT_EQ(group->size, 2.5);
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_SIZE, {"0"});  // no size at all: refused
    EXPECT_EQ(group->size, 2.5);
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_COLOR, {"0.125"}, 0);
    EXPECT_EQ(group->color[0], 0.125f);
    click_beside(PANEL_GROUP_PROPERTIES, "visible");
    frames();
    EXPECT_EQ(group->visible, 0);

    // An unknown texture name gives the white texture, a known one its own.
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_TEXTURE, {"no such texture"});
    EXPECT_EQ(to_string(group->texture_name), "no such texture");
    EXPECT_EQ(group->texture, g_textures.ids[TEXTURE_WHITE]);
    type_into(PANEL_GROUP_PROPERTIES, 0, GROUP_ROW_TEXTURE, {"circ", "le"});
    EXPECT_EQ(group->texture, texture_by_name(STR("circle")));
    EXPECT_NE(group->texture, g_textures.ids[TEXTURE_WHITE]);

    // The colour swatch binds the picker to the group by its id.
    const ColorPickerContent* bound = open_swatch(PANEL_GROUP_PROPERTIES, "color");
    ASSERT_NE(bound, nullptr);
    EXPECT_EQ(bound->binding.target, COLOR_TARGET_GROUP);
    EXPECT_EQ(bound->binding.id, id);
}

TEST_F(Properties, ACollapsedSectionTakesOneLineAndShowsNoRows) {
    open(MENU_SHOW_GLOBAL_PROPERTIES);
    f32 s = g_theme.scale, o = g_theme.offset;
    const Panel* p = panel_of_kind(PANEL_GLOBAL_PROPERTIES);
    f32 heading = p->y + p->height - s - s - o;
    click_at(p->x + s, heading + s / 2);  // the "audio" heading's icon
    EXPECT_TRUE(content(PANEL_GLOBAL_PROPERTIES)->sections[0].collapsed);
    // The "rendering" heading now sits one line below, with its four colour fields and
    // their swatch, the only fields left.
    expect_draws_match("properties_collapsed");
    click_at(p->x + s, heading + s / 2);
    EXPECT_FALSE(content(PANEL_GLOBAL_PROPERTIES)->sections[0].collapsed);
}

TEST_F(Properties, AShortPanelScrollsByTheWheelAndTheBar) {
    open(MENU_SHOW_GLOBAL_PROPERTIES);
    Panel* p = panel_of_kind(PANEL_GLOBAL_PROPERTIES);
    p->height = 200;
    panel_update_handles(p);
    frames(2);
    PropertiesPanel* c = content(PANEL_GLOBAL_PROPERTIES);
    f32 s = g_theme.scale, o = g_theme.offset;
    f32 h = 200 - s;
    EXPECT_FLOAT_EQ(c->scroll.position, 1);
    EXPECT_FLOAT_EQ(c->scroll.visible_fraction, h / (c->content_height + h));

    // The position after the wheel turned by `notches` with the mouse at x, halfway up.
    auto wheel = [&](f32 x, i32 notches) {
        mouse_to(x, p->y + h / 2);
        headless_mouse_wheel(notches);
        frames();
        return c->scroll.position;
    };
    EXPECT_FLOAT_EQ(wheel(p->x + 40, -2), 0.75f);
    EXPECT_FLOAT_EQ(wheel(p->x + p->width - o - s / 2, -2), 0.75f);  // over the bar: nothing
    EXPECT_FLOAT_EQ(wheel(p->x + 40, -100), 0);
    // Scrolled to the end, the background's swatch is the lowest thing, one offset above
    // the bottom; the bar's thumb is at the bottom of its track.
    expect_draws_match("properties_scrolled");
}

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
