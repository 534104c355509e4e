// Writing a planned MIDI export as a Standard MIDI File (format 1) through libsmf, the one
// file of the program that uses it. libsmf keeps its own heap memory for the file being
// built and frees it before returning. Any thread.
#include "sound/midi_export.h"

// smf.h includes glib.h inside extern "C", where glib's C++ templates cannot be: glib is
// included first, so its include guard keeps the second inclusion empty.
#include <glib.h>
#include <smf.h>

#include "platform/system.h"

static const char* cstring_of(Str text, u8 pool) {
    char* copy = (char*)pool_alloc(pool, text.length + 1);
    if (!copy) return 0;
    if (text.length > 0) memcpy(copy, text.data, (size_t)text.length);
    copy[text.length] = 0;
    return copy;
}

bool midi_file_save(const MidiPlan* plan, Str path, u8 pool, RenderFailure* failure) {
    const char* file_name = cstring_of(path, pool);
    smf_t* smf = file_name ? smf_new() : 0;
    if (!smf || smf_set_format(smf, 1) != 0 || smf_set_ppqn(smf, MIDI_TICKS_PER_BEAT) != 0) {
        if (smf) smf_delete(smf);
        render_failure_set(failure, path, STR("not enough memory for the MIDI file"));
        return false;
    }
    bool built = true;
    i64 next = 0;
    for (i64 t = 0; t < plan->track_names.count && built; t += 1) {
        smf_track_t* track = smf_track_new();
        if (!track) {
            built = false;
            break;
        }
        smf_add_track(smf, track);
        Str name = plan->track_names.data[t];
        if (name.length > 0) {
            const char* text = cstring_of(name, pool);
            smf_event_t* event = text ? smf_event_new_textual(0x03, text) : 0;
            if (event) smf_track_add_event_pulses(track, event, 0);
            else built = false;
        }
        // The messages are sorted by track, then by tick: each track is appended in order.
        for (; next < plan->messages.count && plan->messages.data[next].track == t; next += 1) {
            const MidiMessage* m = &plan->messages.data[next];
            smf_event_t* event = smf_event_new_from_pointer((void*)m->bytes, m->length);
            if (!event) {
                built = false;
                break;
            }
            smf_track_add_event_pulses(track, event, m->tick > INT32_MAX ? INT32_MAX : (i32)m->tick);
        }
    }
    if (!built) {
        smf_delete(smf);
        render_failure_set(failure, path, STR("not enough memory for the MIDI file"));
        return false;
    }
    bool saved = smf_save(smf, file_name) == 0;
    smf_delete(smf);
    if (!saved) render_failure_set(failure, path, system_last_error());
    return saved;
}
