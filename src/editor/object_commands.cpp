// Pitch steps through a key's scale, the time grid snap, and the per-object step of the
// select mode (keys, click selection, curves). All arithmetic on the piece is exact.
// Main thread, from the editor step.
#include "editor/object_commands.h"

#include "editor/curve_edit.h"
#include "editor/editor.h"
#include "editor/score_view.h"
#include "panels/object_panels.h"
#include "platform/system.h"
#include "ui/interaction.h"
#include "ui/panels.h"

bool canvas_takes_mouse() {
    return interaction_allowed() && !g_panels.mouse_taken &&
           !panels_cover_point(g_ui.mouse_x, g_ui.mouse_y);
}

// ---------------------------------------------------------------------------
// Pitch steps
// ---------------------------------------------------------------------------
static bool scale_ratio(const KeyPitch* pitch, Fraction* ratio) {
    if (pitch->denominator == 0) return false;  // a malformed line of keys.txt
    *ratio = fraction_normalize(Fraction{pitch->numerator, pitch->denominator});
    return true;
}

Fraction pitch_step(const Piece* piece, Fraction pitch, Fraction time, i64 group, i32 direction,
                    bool octave, bool chromatic) {
    if (pitch.numerator <= 0 || pitch.denominator <= 0) return pitch;
    const Fraction two = {2, 1};
    bool up = direction > 0;
    const PoolArray<KeyPitch>* pitches = &key_at(piece, time, group)->pitches;
    // A piece without any key object steps through the scale that a placed key would
    // bring, so that i and k walk a scale from the first minute instead of by octaves.
    if (piece->keys.count == 0) {
        const KeyDefinition* placed = key_by_name(g_editor.key_template.key_name);
        if (placed) pitches = &placed->pitches;
    }
    i64 count = pitches->count;
    if (octave || count == 0) return up ? fraction_mul(pitch, two) : fraction_div(pitch, two);

    Fraction reduced = pitch;
    Fraction base = fraction_octave_reduce(&reduced);
    // The class of the scale pitch the pitch is an octave of: the last match going up,
    // the first going down; 0 when it is none of them.
    i64 own_class = 0;
    for (i64 n = 0; n < count; n += 1) {
        i64 i = up ? count - 1 - n : n;
        Fraction ratio;
        if (scale_ratio(&pitches->data[i], &ratio) && fraction_equal(ratio, reduced)) {
            own_class = pitches->data[i].class_number;
            break;
        }
    }
    // Scan in the direction of the step; the first qualifying pitch of the scan's far
    // end is where the step wraps into the next octave.
    Fraction wrap = pitch;
    bool wrap_found = false;
    for (i64 n = 0; n < count; n += 1) {
        i64 i = up ? n : count - 1 - n;
        const KeyPitch* scale = &pitches->data[i];
        Fraction ratio;
        if (!scale_ratio(scale, &ratio)) continue;
        if (!chromatic && scale->class_number != own_class) continue;
        if (!wrap_found) {
            wrap = fraction_mul(base, ratio);
            wrap_found = true;
        }
        if (up ? fraction_less(reduced, ratio) : fraction_less(ratio, reduced))
            return fraction_mul(base, ratio);
    }
    return up ? fraction_mul(wrap, two) : fraction_div(wrap, two);
}

void pitch_step_up(Fraction* pitch, Fraction time, i64 group, u32 modifiers) {
    *pitch = pitch_step(&g_piece, *pitch, time, group, 1, (modifiers & MODIFIER_SHIFT) != 0,
                        (modifiers & MODIFIER_CONTROL) != 0);
}

void pitch_step_down(Fraction* pitch, Fraction time, i64 group, u32 modifiers) {
    *pitch = pitch_step(&g_piece, *pitch, time, group, -1, (modifiers & MODIFIER_SHIFT) != 0,
                        (modifiers & MODIFIER_CONTROL) != 0);
}

void time_snap(Fraction* time, Fraction step) {
    // No grid to snap to: a zero step would put every time at 0 (or divide by zero).
    if (step.numerator == 0 || step.denominator == 0) return;
    f64 q = fraction_to_double(fraction_div(*time, step));
    f64 n = math_floor(q + 0.5);
    if (!(n > -9.0e15 && n < 9.0e15)) return;
    *time = fraction_mul_int(step, (i64)n);
}

// ---------------------------------------------------------------------------
// The per-object step
// ---------------------------------------------------------------------------
void object_adjust(ObjectHeader* object, KeyPress key) {
    Fraction time = object->time, duration = object->duration, pitch = object->pitch;
    Fraction step = g_editor.selected_duration;
    i32 code = key.code;
    if (code == KEY_LETTER('i'))
        pitch_step_up(&object->pitch, object->time, object->group_id, key.modifiers);
    if (code == KEY_LETTER('k'))
        pitch_step_down(&object->pitch, object->time, object->group_id, key.modifiers);
    if (code == KEY_LETTER('l')) object->time = fraction_add(object->time, step);
    if (code == KEY_LETTER('j')) object->time = fraction_sub(object->time, step);
    if (code == KEY_LETTER('u')) time_snap(&object->time, step);
    // Control + o opens a piece; it must not also snap the selection.
    if (code == KEY_LETTER('o') && !(key.modifiers & MODIFIER_CONTROL))
        object->pitch = key_snap_pitch(&g_piece, object->pitch, object->time, object->group_id);
    if (code == KEY_LETTER('f'))
        fraction_entry_open(
            STR("pitch"), fraction_binding_object(object->kind, object->id, FRACTION_FIELD_PITCH));
    if (code == KEY_LETTER('g'))
        fraction_entry_open(STR("time"),
                            fraction_binding_object(object->kind, object->id, FRACTION_FIELD_TIME));
    if (code == KEY_LETTER('h'))
        fraction_entry_open(STR("duration"), fraction_binding_object(object->kind, object->id,
                                                                     FRACTION_FIELD_DURATION));
    if (code == KEY_LETTER('y')) object->duration = step;
    if (code == KEY_DELETE) object->removed = 1;

    // Exact comparison of the terms: 2/4 written over 1/2 is an edit too.
    if (memcmp(&time, &object->time, sizeof(time)) ||
        memcmp(&duration, &object->duration, sizeof(duration)) ||
        memcmp(&pitch, &object->pitch, sizeof(pitch)) || object->removed)
        g_piece.modified = 1;
}

void object_click_select(ObjectHeader* object) {
    if (!input_mouse_is_pressed(MOUSE_LEFT) || !canvas_takes_mouse()) return;
    f32 left, bottom, right, top;
    if (object->kind == OBJECT_TEXT) {
        f32 rect[4];
        text_object_rect((const TextObject*)object, rect);
        left = rect[0];
        bottom = rect[1];
        right = rect[0] + rect[2];
        top = rect[1] + rect[3];
    } else {
        f32 row = (f32)pitch_to_y(object->pitch);
        left = (f32)fraction_to_double(object->time);
        right = (f32)fraction_to_double(fraction_add(object->time, object->duration));
        bottom = row - 0.5f;
        top = row + 0.5f;
    }
    Vec2f mouse = mouse_to_canvas();
    if (mouse.x >= left && mouse.x < right && mouse.y >= bottom && mouse.y < top)
        object->selected = !object->selected;
}

static void curve_step(ObjectHeader* object, Curve* curve, u8 index, const KeyPress* key) {
    curve_edit(curve, CurveOwner{object->kind, object->id, index}, key);
}

void object_step(ObjectHeader* object, const KeyPress* key, bool clicks) {
    // Notes and shapes of a hidden group take no commands; nothing hidden takes a click.
    bool hidden = !object->visible;
    if (hidden && (object->kind == OBJECT_NOTE || object->kind == OBJECT_SHAPE)) return;
    if (key && object->selected) object_adjust(object, *key);
    if (!key && clicks && !hidden) object_click_select(object);
    // A hidden object's curves are not drawn, so their origins are stale: no picking.
    if (hidden) return;
    switch (object->kind) {
        case OBJECT_TEMPO: curve_step(object, &((TempoObject*)object)->tempo, 0, key); break;
        case OBJECT_PITCH: curve_step(object, &((PitchObject*)object)->pitch, 0, key); break;
        case OBJECT_VOLUME:
            curve_step(object, &((VolumeObject*)object)->volume, 0, key);
            curve_step(object, &((VolumeObject*)object)->pan, 1, key);
            break;
        case OBJECT_SOUND: {
            SoundObject* sound = (SoundObject*)object;
            i64 curves = sound_wave_count(sound) - 1;
            for (i64 i = 0; i < curves; i += 1) {
                sound->blend[i].visible = sound->visible;
                sound->blend[i].editable = sound->editable;
                curve_step(object, &sound->blend[i], (u8)i, key);
            }
        } break;
        default: break;
    }
}
