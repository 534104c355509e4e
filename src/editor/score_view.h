// The score view: the piece drawn on the canvas under the camera. Time runs to the right
// in beats, pitch upwards at eight units per octave. Main thread, inside the frame, into the
// off-screen frame buffer; the frame sets the canvas projection before calling it. Also the
// canvas mappings the editor shares (pitch to row, mouse to canvas, a text's rectangle).
#pragma once

#include "model/piece.h"

struct Vec2f {
    f32 x, y;
};

// Draws the axis, the play cursor, the octave lines, every object, the labels of the
// selected objects, the placement preview and the rubber band.
void score_view_draw();

// 8 x log2 of the pitch ratio; a pitch whose denominator is 0 counts as 0.
f64 pitch_to_y(Fraction pitch);
// The mouse of this frame in canvas units.
Vec2f mouse_to_canvas();

// The drawers of the kinds, also used with a template for the placement preview. They
// copy the owning group's visible flag first and draw nothing for an invisible object.
void draw_note(NoteObject* note);
void draw_key(KeyObject* key);
void draw_measure(MeasureObject* measure);
void draw_tempo(TempoObject* tempo);
void draw_sound(SoundObject* sound);
void draw_shape(ShapeObject* shape);
void draw_volume(VolumeObject* volume);
void draw_pitch(PitchObject* pitch);
void draw_repeat(RepeatObject* repeat);
void draw_text(TextObject* text);
// The drawer of the object's kind.
void draw_object(ObjectHeader* object);
// The information strip under a selected object; repairs a pitch or duration that cannot
// be shown (pitch 1/1, duration 0/1).
void draw_selection_label(ObjectHeader* object);

// Text in canvas units with the renderer's alignments (pixel snapping off meanwhile).
struct Font;
void score_text(Font* font, const f32* color, Str text, f64 x, f64 y, f64 scale,
                u8 horizontal_alignment, u8 vertical_alignment);

// Copies the group's visible flag into the object (kinds hidden with their group only);
// answers whether the object is to be drawn.
bool object_visibility_update(ObjectHeader* object);

// The rectangle (x, y, width, height) that a text object's lines cover on the canvas,
// from the same layout draw_text uses.
void text_object_rect(const TextObject* text, f32 rect[4]);

// --- Curves (score_curve.cpp) --------------------------------------------------------
// Draws the curve in its box at the origin, width canvas units wide, in the colour; sets
// the curve's origin (which the curve editor measures the mouse from).
void curve_draw(Curve* curve, f64 origin_x, f64 origin_y, f64 width, const f32* color);
// A curve value at time x, in box coordinates: x unchanged, y from 0 at the minimum to the
// box height at the maximum, on a logarithmic scale when the curve has one.
Vec2f curve_point_to_box(const Curve* curve, Fraction x, Fraction y);
// The cubic Bezier through p0..p3 at t, in single precision.
Vec2f bezier_point(Vec2f p0, Vec2f p1, Vec2f p2, Vec2f p3, f32 t);
