// Queries by time and group: which key, sound, shape or tempo is in effect, whom an object
// reaches, and the nearest scale pitch. Read-only on the piece passed in, allocation-free
// and lock-free, so the render worker runs them on its own copy of the piece.
#include "model/piece.h"

#include "platform/system.h"

Str scope_name(u8 scope) {
    if (scope == SCOPE_GLOBAL) return STR("global");
    if (scope == SCOPE_MEMBERS) return STR("members");
    return STR("local");
}

// The id of the innermost folder around the last row (other than a folder end) standing
// for `group`, or -1 for the top level. Scanning backwards and counting folder ends finds
// the innermost begin row that is still open at that row, which is what a stack of open
// folders would hold, without needing memory for the stack. A folder's begin row counts
// as inside its own folder.
static i64 folder_of(const Piece* piece, i64 group) {
    i64 row = -1;
    for (i64 i = piece->tree.count - 1; i >= 0; i -= 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        if (!entry->folder_end && entry->id == group) {
            row = i;
            break;
        }
    }
    if (row < 0) return -1;
    if (piece->tree.data[row].folder_begin) return piece->tree.data[row].id;
    i64 depth = 0;
    for (i64 i = row - 1; i >= 0; i -= 1) {
        const GroupTreeEntry* entry = &piece->tree.data[i];
        if (entry->folder_end) {
            depth += 1;
        } else if (entry->folder_begin) {
            if (depth == 0) return entry->id;
            depth -= 1;
        }
    }
    return -1;
}

bool same_folder(const Piece* piece, i64 group1, i64 group2) {
    return folder_of(piece, group1) == folder_of(piece, group2);
}

bool scope_applies(const Piece* piece, const ObjectHeader* object, i64 group) {
    if (object->scope == SCOPE_GLOBAL) return true;
    if (object->scope == SCOPE_MEMBERS) return same_folder(piece, group, object->group_id);
    return object->group_id == group;
}

bool object_applies_at(const Piece* piece, const ObjectHeader* object, Fraction time, i64 group) {
    return scope_applies(piece, object, group) && fraction_less_equal(object->time, time) &&
           fraction_less(time, fraction_add(object->time, object->duration));
}

bool scope_choice_offer(ScopeChoice* choice, const ObjectHeader* object) {
    if (object->scope == SCOPE_GLOBAL)
        choice->global = object;
    else if (object->scope == SCOPE_MEMBERS)
        choice->members = object;
    else
        choice->local = object;
    return choice->local != 0;
}

const ObjectHeader* scope_choice_result(const ScopeChoice* choice) {
    if (choice->local) return choice->local;
    return choice->members ? choice->members : choice->global;
}

static const KeyObject default_key = {
    ObjectHeader{}, 440.0, Str{0, 0}, PoolArray<KeyClass>{}, PoolArray<KeyPitch>{}};

const KeyObject* key_at(const Piece* piece, Fraction time, i64 group) {
    for (i64 i = 0; i < piece->keys.count; i += 1) {
        const KeyObject* key = &piece->keys.data[i];
        if (object_applies_at(piece, &key->header, time, group)) return key;
    }
    return &default_key;
}

static const ObjectHeader* object_in_effect(const Piece* piece, ObjectList list, Fraction time,
                                            i64 group) {
    ScopeChoice choice = {};
    for (i64 i = 0; i < list.count; i += 1) {
        const ObjectHeader* object = object_list_get(list, i);
        if (object_applies_at(piece, object, time, group) && scope_choice_offer(&choice, object))
            break;
    }
    return scope_choice_result(&choice);
}

const SoundObject* sound_at(const Piece* piece, Fraction time, i64 group) {
    return (const SoundObject*)object_in_effect(piece, piece_objects(piece, OBJECT_SOUND), time,
                                                group);
}

const ShapeObject* shape_at(const Piece* piece, Fraction time, i64 group) {
    return (const ShapeObject*)object_in_effect(piece, piece_objects(piece, OBJECT_SHAPE), time,
                                                group);
}

const TempoObject* tempo_at(const Piece* piece, f64 t) {
    for (i64 i = 0; i < piece->tempos.count; i += 1) {
        const TempoObject* tempo = &piece->tempos.data[i];
        f64 start = fraction_to_double(tempo->header.time);
        f64 end = fraction_to_double(fraction_add(tempo->header.time, tempo->header.duration));
        if (start <= t && t < end) return tempo;
    }
    return 0;
}

Fraction key_snap_pitch(const Piece* piece, Fraction pitch, Fraction time, i64 group) {
    const KeyObject* key = key_at(piece, time, group);
    Fraction best = {1, 1};
    f64 best_distance = 1.0e99;
    f64 target = math_log(fraction_to_double(pitch));
    for (Fraction octave = {1, 4}; fraction_less_equal(octave, Fraction{4, 1});
         octave = fraction_mul_int(octave, 2)) {
        for (i64 i = 0; i < key->pitches.count; i += 1) {
            const KeyPitch* scale = &key->pitches.data[i];
            Fraction candidate =
                fraction_mul(octave, Fraction{scale->numerator, scale->denominator});
            f64 distance = math_abs(target - math_log(fraction_to_double(candidate)));
            if (distance < best_distance) {
                best_distance = distance;
                best = candidate;
            }
        }
    }
    return best;
}
