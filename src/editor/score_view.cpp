// The score view: the axis, the play cursor, the octave lines, the objects kind by kind,
// the labels of the selected objects, the placement preview and the rubber band. Only notes
// and bar lines are culled against the camera; everything else is drawn every frame. Each
// rectangle and text run is its own draw call. Main thread, inside the frame.
#include "editor/score_view.h"

#include "editor/editor.h"
#include "gfx/font.h"
#include "gfx/renderer.h"
#include "gfx/resources.h"
#include "gfx/textures.h"
#include "gfx/theme.h"
#include "gfx/view.h"
#include "platform/system.h"
#include "sound/playback.h"
#include "ui/interaction.h"

static const f32 WHITE[4] = {1.0f, 1.0f, 1.0f, 1.0f};
static const f64 LN2 = 0.69314718055994530942;

f64 pitch_to_y(Fraction pitch) {
    f64 ratio = pitch.denominator == 0 ? 0.0 : fraction_to_double(pitch);
    return math_log(ratio) * 8.0 / LN2;
}

static f32 aspect() {
    return g_window.height > 0 ? (f32)g_window.width / (f32)g_window.height : 1.0f;
}

Vec2f mouse_to_canvas() {
    f32 width = g_window.width > 0 ? (f32)g_window.width : 1.0f;
    f32 height = g_window.height > 0 ? (f32)g_window.height : 1.0f;
    f32 nx = g_ui.mouse_x / width * 2.0f - 1.0f;
    f32 ny = g_ui.mouse_y / height * 2.0f - 1.0f;
    return Vec2f{aspect() * g_camera.zoom * nx + g_camera.pan_x,
                 g_camera.zoom * ny + g_camera.pan_y};
}

static u32 texture(i32 slot) { return g_textures.ids[slot]; }

void score_text(Font* font, const f32* color, Str text, f64 x, f64 y, f64 scale,
                u8 horizontal_alignment, u8 vertical_alignment) {
    if (!font || text.length <= 0) return;
    // Glyphs must not snap to whole canvas units, which are beats here.
    f64 snap = g_mesh.pixel_snap;
    g_mesh.pixel_snap = 0.0;
    draw_string(font, color, text, (f32)x, (f32)y, (f32)scale, (f32)scale, horizontal_alignment,
                vertical_alignment);
    g_mesh.pixel_snap = snap;
}

static void canvas_text(Font* font, const f32* color, Str text, f64 x, f64 y, f64 scale,
                        u8 vertical_alignment) {
    score_text(font, color, text, x, y, scale, TEXT_LEFT, vertical_alignment);
}

static Font* theme_font() { return g_theme.font ? g_theme.font : font_default(); }

// A full-height vertical line at canvas x.
static void vertical_line(const f32* color, f64 x) {
    f32 zoom = g_camera.zoom;
    draw_rect(texture(TEXTURE_WHITE), color, (f32)x, g_camera.pan_y, zoom / 128.0f, 2.0f * zoom,
              zoom / 256.0f, zoom);
}

// ---------------------------------------------------------------------------
// Visibility
// ---------------------------------------------------------------------------
bool object_visibility_update(ObjectHeader* object) {
    // Bar lines and tempo stay in view whatever the group: they belong to the whole piece.
    if (object->kind != OBJECT_MEASURE && object->kind != OBJECT_TEMPO) {
        const Group* group = group_find(&g_piece, object->group_id);
        if (group) object->visible = group->visible;
    }
    return object->visible != 0;
}

// ---------------------------------------------------------------------------
// Notes and boxed kinds
// ---------------------------------------------------------------------------
void draw_note(NoteObject* note) {
    ObjectHeader* header = &note->header;
    if (!object_visibility_update(header)) return;
    f64 start = fraction_to_double(header->time);
    f64 end = fraction_to_double(fraction_add(header->time, header->duration));
    f64 y = pitch_to_y(header->pitch);
    const Group* group = group_find(&g_piece, header->group_id);
    const f32* color = g_theme.note_object_color;
    u32 note_texture = texture(TEXTURE_CIRCLE);
    note->draw_size = 1.0f;
    if (group) {
        note->draw_size = (f32)group->size;
        color = group->color;
        note_texture = group->texture;
    }
    f32 size = note->draw_size;
    f32 width = (f32)(end - start);
    if (!(end < g_camera.range_left || start > g_camera.range_right)) {
        g_piece.notes_drawn += 1;
        draw_rect(note_texture, color, (f32)start, (f32)y, width, size, 0.0f, size / 2.0f);
    }
    // A selected note keeps its frame even out of view, so the selection is never lost.
    if (header->selected)
        draw_rect(texture(TEXTURE_WHITE), g_theme.selection_color, (f32)start, (f32)y, width, size,
                  0.0f, size / 2.0f);
}

static void draw_box(const ObjectHeader* header, const f32* kind_color, i32 icon_slot) {
    f32 x = (f32)fraction_to_double(header->time);
    f32 y = (f32)pitch_to_y(header->pitch);
    f32 width = (f32)fraction_to_double(header->duration);
    f32 faint[4] = {kind_color[0], kind_color[1], kind_color[2], 0.25f};
    draw_rect(texture(TEXTURE_WHITE), faint, x, y, width, 1.0f, 0.0f, 0.5f);
    draw_rect(texture(icon_slot), kind_color, x, y, 1.0f, 1.0f, 0.0f, 0.5f);
    if (header->selected)
        draw_rect(texture(TEXTURE_WHITE), g_theme.selection_color, x, y, width, 1.0f, 0.0f, 0.5f);
}

void draw_key(KeyObject* key) {
    if (!object_visibility_update(&key->header)) return;
    draw_box(&key->header, g_theme.key_object_color, TEXTURE_KEY);
    canvas_text(font_default(), WHITE, key->key_name, fraction_to_double(key->header.time) + 1.0,
                pitch_to_y(key->header.pitch), 0.03125, TEXT_CENTERED);
}

// How many bars a measure draws: one per bar length that starts within its duration, and
// the bar at its end; never more than 1000.
static i64 measure_bar_count(const MeasureObject* measure) {
    Fraction quotient = fraction_div(measure->header.duration, measure->bar_length);
    if (quotient.denominator == 0) return 1;
    i64 whole = quotient.numerator / quotient.denominator;
    if (quotient.numerator % quotient.denominator != 0 &&
        ((quotient.numerator < 0) != (quotient.denominator < 0)))
        whole -= 1;  // floor, not truncation
    if (whole >= 1000) return 1000;
    if (whole + 1 < 1) return 0;
    return whole + 1;
}

void draw_measure(MeasureObject* measure) {
    if (!object_visibility_update(&measure->header)) return;
    i64 bars = measure_bar_count(measure);
    f64 bar_length = fraction_to_double(measure->bar_length);
    f32 label_y = g_camera.pan_y + 0.88f * g_camera.zoom;
    for (i64 i = 0; i < bars; i += 1) {
        Fraction start =
            fraction_add(measure->header.time, fraction_mul_int(measure->bar_length, i));
        f64 x = fraction_to_double(start);
        if (x + bar_length < g_camera.range_left || x > g_camera.range_right) continue;
        // Hanging from the line near the top of the view, so the menu bar does not hide it.
        canvas_text(font_default(), WHITE, fraction_format_tmp(start), x, label_y, 0.015625,
                    TEXT_HANGING);
        vertical_line(measure->bar_color, x);
    }
    draw_box(&measure->header, g_theme.measure_object_color, TEXTURE_MEASURE);
}

static f64 row_of(const ObjectHeader* header) { return pitch_to_y(header->pitch); }

static void small_label(Str text, f64 x, f64 y) {
    canvas_text(theme_font(), g_theme.text_color, text, x, y, 0.015625, TEXT_FIRST_LINE_ON_Y);
}

void draw_tempo(TempoObject* tempo) {
    ObjectHeader* header = &tempo->header;
    if (!object_visibility_update(header)) return;
    draw_box(header, g_theme.tempo_object_color, TEXTURE_TEMPO);
    curve_draw(&tempo->tempo, fraction_to_double(header->time), row_of(header) + 0.5,
               fraction_to_double(header->duration), g_theme.tempo_object_color);
}

void draw_pitch(PitchObject* pitch) {
    ObjectHeader* header = &pitch->header;
    if (!object_visibility_update(header)) return;
    draw_box(header, g_theme.pitch_object_color, TEXTURE_PITCH);
    curve_draw(&pitch->pitch, fraction_to_double(header->time), row_of(header) + 0.5,
               fraction_to_double(header->duration), g_theme.pitch_object_color);
}

void draw_volume(VolumeObject* volume) {
    ObjectHeader* header = &volume->header;
    if (!object_visibility_update(header)) return;
    draw_box(header, g_theme.volume_object_color, TEXTURE_VOLUME);
    f64 x = fraction_to_double(header->time);
    f64 y = row_of(header);
    f64 width = fraction_to_double(header->duration);
    // The pan curve sits directly above the box; the volume curve above it when both show.
    curve_draw(&volume->volume, x, volume->pan.visible ? y + 2.5 : y + 0.5, width,
               g_theme.volume_object_color);
    if (volume->volume.visible && volume->pan.visible) small_label(STR("volume"), x, y + 4.0);
    curve_draw(&volume->pan, x, y + 0.5, width, g_theme.volume_object_color);
    if (volume->pan.visible) small_label(STR("panning"), x, y + 2.0);
}

void draw_sound(SoundObject* sound) {
    ObjectHeader* header = &sound->header;
    if (!object_visibility_update(header)) return;
    draw_box(header, g_theme.sound_object_color, TEXTURE_SOUND);
    f64 x = fraction_to_double(header->time);
    f64 y = row_of(header);
    if (sound->wave_count >= 1)
        canvas_text(theme_font(), g_theme.text_color, sound->wave_names[0], x + 1.0, y, 0.03125,
                    TEXT_CENTERED);
    if (!sound->visible || sound->wave_count < 2) return;
    i64 curves = sound_wave_count(sound) - 1;
    for (i64 i = 0; i < curves; i += 1) {
        Curve* blend = &sound->blend[i];
        blend->visible = sound->visible;
        blend->editable = sound->editable;
        curve_draw(blend, x, y + 0.5 + 2.0 * (f64)i, fraction_to_double(header->duration),
                   g_theme.sound_object_color);
        small_label(sound->wave_names[i + 1], x, y + 2.0 + 2.0 * (f64)i);
    }
}

void draw_shape(ShapeObject* shape) {
    if (!object_visibility_update(&shape->header)) return;
    draw_box(&shape->header, g_theme.shape_object_color, TEXTURE_SHAPE);
    canvas_text(font_default(), WHITE, shape->shape_name,
                fraction_to_double(shape->header.time) + 1.0, pitch_to_y(shape->header.pitch),
                0.03125, TEXT_CENTERED);
}

void draw_repeat(RepeatObject* repeat) {
    if (!object_visibility_update(&repeat->header)) return;
    draw_box(&repeat->header, g_theme.repeat_object_color, TEXTURE_REPEAT);
}

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------
struct TextLayout {
    Font* font;
    f64 scale;        // glyph scale, 1 / size
    f64 line_height;  // canvas units
    f64 top;          // canvas y of the top of the first line
    i64 lines;
};

static TextLayout text_layout_of(const TextObject* text) {
    TextLayout layout = {};
    layout.font = text->font ? text->font : font_default();
    // A size of 0 (or a text record that never got one) would make the glyphs infinite.
    f64 size = text->size > 0.0 ? text->size : 32.0;
    layout.scale = 1.0 / size;
    layout.line_height =
        layout.font ? layout.scale * layout.font->size * layout.font->line_height : 0.0;
    layout.lines = 1;
    for (i64 i = 0; i < text->text.length; i += 1)
        if (text->text.data[i] == '\n') layout.lines += 1;
    f64 block = (f64)layout.lines * (0.5 - 0.5 * (f64)text->align_y) * layout.line_height;
    layout.top = pitch_to_y(text->header.pitch) + block;
    return layout;
}

// The drawn width of one line (no newlines) at the layout's scale, as text_measure counts.
static f64 line_width(const Font* font, Str line, f64 scale) {
    if (!font) return 0.0;
    f64 unit = scale * font->size;
    f64 width = 0.0;
    for (i64 i = 0; i < line.length;) {
        Utf8Char c = utf8_decode(Str{line.data + i, line.length - i});
        i += c.length;
        if (c.code_point == ' ') {
            width += font->space_advance * unit;
        } else if (c.code_point == '\t') {
            width += font->tab_advance * unit;
        } else {
            u32 index = glyph_lookup(font, c.code_point);
            if (index < (u32)font->glyphs.count) width += font->glyphs.data[index].advance * unit;
        }
    }
    return width;
}

// One line of a text object as it is laid out: its bytes, left x, bottom y and width.
struct TextLine {
    Str text;
    f64 x, y, width;
};

// The next line after the one `line` holds (start with a zeroed line and index -1);
// false after the last.
static bool text_next_line(const TextObject* text, const TextLayout& layout, i64* index,
                           TextLine* line) {
    i64 start = *index < 0 ? 0 : (line->text.data - text->text.data) + line->text.length + 1;
    *index += 1;
    if (*index >= layout.lines) return false;
    i64 end = start;
    while (end < text->text.length && text->text.data[end] != '\n') end += 1;
    line->text = Str{text->text.data ? text->text.data + start : 0, end - start};
    line->width = line_width(layout.font, line->text, layout.scale);
    line->x =
        fraction_to_double(text->header.time) - (0.5 * (f64)text->align_x + 0.5) * line->width;
    line->y = layout.top - (f64)(*index + 1) * layout.line_height;
    return true;
}

void text_object_rect(const TextObject* text, f32 rect[4]) {
    TextLayout layout = text_layout_of(text);
    f64 left = 0.0, right = 0.0;
    i64 index = -1;
    TextLine line = {};
    while (text_next_line(text, layout, &index, &line)) {
        if (index == 0 || line.x < left) left = line.x;
        if (index == 0 || line.x + line.width > right) right = line.x + line.width;
    }
    rect[0] = (f32)left;
    rect[1] = (f32)(layout.top - (f64)layout.lines * layout.line_height);
    rect[2] = (f32)(right - left);
    rect[3] = (f32)((f64)layout.lines * layout.line_height);
}

void draw_text(TextObject* text) {
    if (!object_visibility_update(&text->header)) return;
    TextLayout layout = text_layout_of(text);
    i64 index = -1;
    TextLine line = {};
    while (text_next_line(text, layout, &index, &line))
        canvas_text(layout.font, text->color, line.text, line.x, line.y, layout.scale,
                    TEXT_FIRST_LINE_ON_Y);
    if (text->header.selected) {
        f32 rect[4];
        text_object_rect(text, rect);
        draw_rect(texture(TEXTURE_WHITE), g_theme.selection_color, rect[0], rect[1], rect[2],
                  rect[3], 0.0f, 0.0f);
    }
}

void draw_object(ObjectHeader* object) {
    switch (object->kind) {
        case OBJECT_NOTE: draw_note((NoteObject*)object); break;
        case OBJECT_KEY: draw_key((KeyObject*)object); break;
        case OBJECT_MEASURE: draw_measure((MeasureObject*)object); break;
        case OBJECT_TEMPO: draw_tempo((TempoObject*)object); break;
        case OBJECT_SOUND: draw_sound((SoundObject*)object); break;
        case OBJECT_SHAPE: draw_shape((ShapeObject*)object); break;
        case OBJECT_VOLUME: draw_volume((VolumeObject*)object); break;
        case OBJECT_PITCH: draw_pitch((PitchObject*)object); break;
        case OBJECT_REPEAT: draw_repeat((RepeatObject*)object); break;
        case OBJECT_TEXT: draw_text((TextObject*)object); break;
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Labels
// ---------------------------------------------------------------------------
// The name of the key's scale pitch that the pitch is an octave of (the last one that
// matches), or an empty string.
static Str scale_pitch_name(const ObjectHeader* object) {
    const KeyObject* key = key_at(&g_piece, object->time, object->group_id);
    Fraction reduced = object->pitch;
    fraction_octave_reduce(&reduced);
    Str name = {0, 0};
    for (i64 i = 0; i < key->pitches.count; i += 1) {
        const KeyPitch* pitch = &key->pitches.data[i];
        if (pitch->denominator == 0) continue;
        if (fraction_equal(reduced, Fraction{pitch->numerator, pitch->denominator}))
            name = pitch->name;
    }
    return name;
}

void draw_selection_label(ObjectHeader* object) {
    f64 s = g_camera.zoom / 10.0;
    if (object->pitch.numerator < 1 || object->pitch.denominator < 1)
        object->pitch = Fraction{1, 1};
    if (!(object->duration.numerator > 0 && object->duration.denominator > 0))
        object->duration = Fraction{0, 1};
    f64 x = fraction_to_double(object->time);
    f64 y = pitch_to_y(object->pitch);

    if (g_editor.selection.count > 1 && object->highlight)
        draw_rect(texture(TEXTURE_WHITE), g_theme.scroll_highlight_color, (f32)(x - 0.2 * s),
                  (f32)(y - 0.5 - s - 0.2 * s), (f32)(4.4 * s), (f32)(1.4 * s), 0.0f, 0.0f);
    draw_rect(texture(TEXTURE_WHITE), g_theme.menu_background_color, (f32)x, (f32)(y - 0.5 - s),
              (f32)(4.0 * s), (f32)s, 0.0f, 0.0f);

    StrBuilder text;
    str_builder_init(&text, POOL_TMP);
    Str name = scale_pitch_name(object);
    if (name.length > 0) {
        str_builder_append(&text, name);
        str_builder_put(&text, ' ');
    }
    fraction_format(&text, object->pitch);
    str_builder_append(&text, STR("\nt"));
    fraction_format(&text, object->time);
    str_builder_put(&text, ':');
    fraction_format(&text, object->duration);
    if (!g_editor.place_mode && !fraction_equal(object->duration, g_editor.selected_duration)) {
        str_builder_append(&text, STR(" ^"));
        fraction_format(&text, g_editor.selected_duration);
    }
    canvas_text(font_default(), WHITE, str_builder_text(&text), x, y - 0.5, g_camera.zoom / 640.0,
                TEXT_HANGING);
}

// ---------------------------------------------------------------------------
// The whole view
// ---------------------------------------------------------------------------
static void draw_placement_preview() {
    ObjectHeader* preview = editor_template(g_editor.place_kind);
    if (!preview) return;
    editor_placement_header(preview);
    preview->selected = 0;
    preview->visible = 1;
    draw_object(preview);
    if (preview->visible) draw_selection_label(preview);
}

static void draw_rubber_band() {
    Vec2f mouse = mouse_to_canvas();
    f32 left = g_editor.box_start_x < mouse.x ? g_editor.box_start_x : mouse.x;
    f32 bottom = g_editor.box_start_y < mouse.y ? g_editor.box_start_y : mouse.y;
    f32 width = (f32)math_abs((f64)mouse.x - (f64)g_editor.box_start_x);
    f32 height = (f32)math_abs((f64)mouse.y - (f64)g_editor.box_start_y);
    draw_rect(texture(TEXTURE_WHITE), g_theme.selection_color, left, bottom, width, height, 0.0f,
              0.0f);
}

void score_view_draw() {
    g_piece.notes_drawn = 0;
    // A group's texture is known by name only; its texture is looked up once a frame.
    for (i64 i = 0; i < g_piece.groups.count; i += 1)
        g_piece.groups[i].texture = texture_by_name(g_piece.groups[i].texture_name);
    f32 zoom = g_camera.zoom;
    vertical_line(g_theme.score_marking_color2, 0.0);
    if (playback_is_playing() || playback_is_resumable())
        vertical_line(g_theme.play_color, playback_cursor());

    f32 half_width = aspect() * zoom;
    for (Fraction p = {1, 4}; fraction_less_equal(p, Fraction{4, 1}); p = fraction_mul_int(p, 2))
        draw_rect(texture(TEXTURE_WHITE), g_theme.score_marking_color1, g_camera.pan_x,
                  (f32)pitch_to_y(p), 2.0f * half_width, zoom / 128.0f, half_width, zoom / 256.0f);

    for (i64 k = 0; k < OBJECT_KIND_COUNT; k += 1) {
        ObjectList list = piece_objects(&g_piece, KIND_DISPLAY_ORDER[k]);
        for (i64 i = 0; i < list.count; i += 1) draw_object(object_list_get(list, i));
    }
    for (i64 k = 0; k < OBJECT_KIND_COUNT; k += 1) {
        ObjectList list = piece_objects(&g_piece, KIND_DISPLAY_ORDER[k]);
        for (i64 i = 0; i < list.count; i += 1) {
            ObjectHeader* object = object_list_get(list, i);
            if (object->selected && object->visible) draw_selection_label(object);
        }
    }

    pipeline_depth_enable(false);
    if (g_editor.place_mode) draw_placement_preview();
    if (g_editor.box_armed) draw_rubber_band();
}
