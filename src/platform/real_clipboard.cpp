// The real back end's clipboard and message box on SDL2. Owns the clipboard buffer
// that the program hands over (clipboard_set_buffer). Main thread only.
#include <string.h>

#include "platform/real_internal.h"

struct ClipboardBuffer {
    u8* data;
    i64 size;
};
static ClipboardBuffer clipboard;

void clipboard_set_buffer(i64 size, void* block) {
    clipboard = ClipboardBuffer{(u8*)block, block && size > 0 ? size : 0};
}

// Pasted text longer than the buffer is cut before the character that would not fit.
Str clipboard_get() {
    if (!clipboard.data || !SDL_HasClipboardText()) return Str{};
    char* text = SDL_GetClipboardText();
    if (!text) return Str{};
    i64 length = (i64)strlen(text);
    if (length > clipboard.size) {
        length = clipboard.size;
        while (length > 0 && ((u8)text[length] & 0xC0) == 0x80) length -= 1;
    }
    memcpy(clipboard.data, text, (size_t)length);
    SDL_free(text);
    return Str{clipboard.data, length};
}

enum { SMALL_TEXT = 4096 };

// SDL wants C strings. Short texts go through the stack; a long selection takes a
// block only for the length of the call (a user action, never every frame).
struct CText {
    char small[SMALL_TEXT];
    char* text;
};

static bool c_text_make(CText* c, Str text) {
    i64 length = text.length > 0 && text.data ? text.length : 0;
    c->text = length < SMALL_TEXT ? c->small : (char*)SDL_malloc((size_t)length + 1);
    if (!c->text) return false;
    if (length > 0) memcpy(c->text, text.data, (size_t)length);
    c->text[length] = 0;
    return true;
}

static void c_text_free(CText* c) {
    if (c->text && c->text != c->small) SDL_free(c->text);
}

void clipboard_set(Str text) {
    CText c;
    if (!c_text_make(&c, text)) return;
    SDL_SetClipboardText(c.text);
    c_text_free(&c);
}

void show_simple_message_box(u32, Str title, Str message) {
    CText title_c, message_c;
    if (!c_text_make(&title_c, title)) return;
    if (c_text_make(&message_c, message)) {
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title_c.text, message_c.text,
                                 real_window);
        c_text_free(&message_c);
    }
    c_text_free(&title_c);
}
