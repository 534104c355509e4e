// Headless back end, clipboard and message boxes: the clipboard is a block of memory, and
// message boxes are recorded (copies of title and text) and return at once. Main thread only.
#include "platform/headless_internal.h"

#include <stdlib.h>
#include <string.h>

struct HeadlessMessage {
    Str title;  // malloc'd copies
    Str text;
};

struct HeadlessClipboard {
    Str text;  // malloc'd copy of what is on the clipboard
    u8* buffer;  // the program's block that clipboard_get copies into
    i64 buffer_size;
    HeadlessMessage* messages;
    i64 message_count, message_capacity;
};

static HeadlessClipboard headless_clipboard;

void headless_reset_clipboard() {
    HeadlessClipboard* clipboard = &headless_clipboard;
    free(clipboard->text.data);
    for (i64 i = 0; i < clipboard->message_count; i += 1) {
        free(clipboard->messages[i].title.data);
        free(clipboard->messages[i].text.data);
    }
    free(clipboard->messages);
    *clipboard = HeadlessClipboard{};
}

void clipboard_set_buffer(i64 size, void* block) {
    headless_clipboard.buffer = block ? (u8*)block : nullptr;
    headless_clipboard.buffer_size = block && size > 0 ? size : 0;
}

// Text longer than the buffer is cut before the first byte that does not fit, and further
// back to the start of a character, so the result is always whole UTF-8.
Str clipboard_get() {
    platform_call_note(PLATFORM_CALL_CLIPBOARD);
    HeadlessClipboard* clipboard = &headless_clipboard;
    if (!clipboard->buffer || clipboard->buffer_size == 0) return Str{};
    i64 length = clipboard->text.length;
    if (length > clipboard->buffer_size) {
        length = clipboard->buffer_size;
        while (length > 0 && (clipboard->text.data[length] & 0xC0) == 0x80) length -= 1;
    }
    if (length > 0) memcpy(clipboard->buffer, clipboard->text.data, (size_t)length);
    return str_make(clipboard->buffer, length);
}

void clipboard_set(Str text) {
    platform_call_note(PLATFORM_CALL_CLIPBOARD);
    Str copy = headless_copy(text);
    free(headless_clipboard.text.data);
    headless_clipboard.text = copy;
}

void show_simple_message_box(u32 flags, Str title, Str message) {
    platform_call_note(PLATFORM_CALL_MESSAGE_BOX);
    (void)flags;
    HeadlessClipboard* clipboard = &headless_clipboard;
    if (clipboard->message_count == clipboard->message_capacity) {
        i64 capacity = clipboard->message_capacity > 0 ? clipboard->message_capacity * 2 : 8;
        void* grown = realloc(clipboard->messages, (size_t)capacity * sizeof(HeadlessMessage));
        if (!grown) abort();
        clipboard->messages = (HeadlessMessage*)grown;
        clipboard->message_capacity = capacity;
    }
    HeadlessMessage* record = &clipboard->messages[clipboard->message_count];
    record->title = headless_copy(title);
    record->text = headless_copy(message);
    clipboard->message_count += 1;
}

void headless_clipboard_put(Str text) { clipboard_set(text); }

Str headless_clipboard_text() { return headless_clipboard.text; }

i64 headless_message_count() { return headless_clipboard.message_count; }

Str headless_message_title(i64 index) {
    if (index < 0 || index >= headless_clipboard.message_count) return Str{};
    return headless_clipboard.messages[index].title;
}

Str headless_message_text(i64 index) {
    if (index < 0 || index >= headless_clipboard.message_count) return Str{};
    return headless_clipboard.messages[index].text;
}
