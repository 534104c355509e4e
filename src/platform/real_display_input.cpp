// The real back end's window and input on SDL2: one OpenGL 3.3 core window, its close
// and resize reports, its icon, and SDL's keyboard, text and mouse events handed in order
// to the shared input record. Owns the window and the context. Main thread only.
#include <string.h>

#include "platform/real_internal.h"

SDL_Window* real_window;
SDL_GLContext real_context;

// ---------------------------------------------------------------------------
// Key table: SDL scancodes to the platform's key codes. Keys that share a code (the
// two control keys, say) count as one key that is down while either is.
// ---------------------------------------------------------------------------
struct KeyMap {
    u8 code[SDL_NUM_SCANCODES];
};

static constexpr KeyMap key_map_build() {
    KeyMap map = {};
    for (i32 i = 0; i < 26; i += 1) map.code[SDL_SCANCODE_A + i] = (u8)(KEY_A + i);
    map.code[SDL_SCANCODE_0] = KEY_0;
    for (i32 i = 0; i < 9; i += 1) map.code[SDL_SCANCODE_1 + i] = (u8)(KEY_0 + 1 + i);
    map.code[SDL_SCANCODE_LEFT] = KEY_LEFT;
    map.code[SDL_SCANCODE_RIGHT] = KEY_RIGHT;
    map.code[SDL_SCANCODE_UP] = KEY_UP;
    map.code[SDL_SCANCODE_DOWN] = KEY_DOWN;
    map.code[SDL_SCANCODE_SPACE] = KEY_SPACE;
    map.code[SDL_SCANCODE_RETURN] = KEY_RETURN;
    map.code[SDL_SCANCODE_BACKSPACE] = KEY_BACKSPACE;
    map.code[SDL_SCANCODE_TAB] = KEY_TAB;
    map.code[SDL_SCANCODE_ESCAPE] = KEY_ESCAPE;
    map.code[SDL_SCANCODE_LCTRL] = KEY_CONTROL;
    map.code[SDL_SCANCODE_RCTRL] = KEY_CONTROL;
    map.code[SDL_SCANCODE_LSHIFT] = KEY_SHIFT;
    map.code[SDL_SCANCODE_RSHIFT] = KEY_SHIFT;
    map.code[SDL_SCANCODE_MINUS] = 49;
    map.code[SDL_SCANCODE_EQUALS] = 50;
    map.code[SDL_SCANCODE_LEFTBRACKET] = 51;
    map.code[SDL_SCANCODE_RIGHTBRACKET] = 52;
    map.code[SDL_SCANCODE_BACKSLASH] = 53;
    map.code[SDL_SCANCODE_NONUSBACKSLASH] = 53;
    map.code[SDL_SCANCODE_SEMICOLON] = 54;
    map.code[SDL_SCANCODE_APOSTROPHE] = 55;
    map.code[SDL_SCANCODE_GRAVE] = 56;
    map.code[SDL_SCANCODE_COMMA] = 57;
    map.code[SDL_SCANCODE_PERIOD] = 58;
    map.code[SDL_SCANCODE_SLASH] = 59;
    map.code[SDL_SCANCODE_INSERT] = KEY_INSERT;
    map.code[SDL_SCANCODE_LALT] = KEY_ALT;
    map.code[SDL_SCANCODE_RALT] = KEY_ALT;
    map.code[SDL_SCANCODE_PAGEUP] = KEY_PAGE_UP;
    map.code[SDL_SCANCODE_PAGEDOWN] = KEY_PAGE_DOWN;
    map.code[SDL_SCANCODE_HOME] = KEY_HOME;
    map.code[SDL_SCANCODE_END] = KEY_END;
    map.code[SDL_SCANCODE_DELETE] = KEY_DELETE;
    map.code[SDL_SCANCODE_KP_0] = KEY_KEYPAD_0;
    for (i32 i = 0; i < 9; i += 1) map.code[SDL_SCANCODE_KP_1 + i] = (u8)(KEY_KEYPAD_0 + 1 + i);
    map.code[SDL_SCANCODE_KP_ENTER] = KEY_KEYPAD_ENTER;
    for (i32 i = 0; i < 12; i += 1) map.code[SDL_SCANCODE_F1 + i] = (u8)(KEY_F1 + i);
    return map;
}
static constexpr KeyMap key_map = key_map_build();

// Events to the shared input record (common_input.cpp), which answers the queries.
// ---------------------------------------------------------------------------
struct RealInput {
    bool scancode_down[SDL_NUM_SCANCODES];
    bool closed;          // this poll
    bool resize_pending;  // until display_is_resized reports it
};
static RealInput input;

static u32 lock_bits() {
    SDL_Keymod state = SDL_GetModState();
    u32 bits = 0;
    if (state & KMOD_GUI) bits |= MODIFIER_GUI;
    if (state & KMOD_CAPS) bits |= MODIFIER_CAPS_LOCK;
    if (state & KMOD_NUM) bits |= MODIFIER_NUM_LOCK;
    return bits;
}

void real_input_reset() {
    input = RealInput{};
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    input_record_reset((f32)x, (f32)y);
    input_record_lock_bits(lock_bits());
}

static bool code_still_down(i32 code) {
    for (i32 scancode = 0; scancode < SDL_NUM_SCANCODES; scancode += 1)
        if (key_map.code[scancode] == code && input.scancode_down[scancode]) return true;
    return false;
}

static void key_event(const SDL_KeyboardEvent& event) {
    i32 scancode = event.keysym.scancode;
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return;
    i32 code = key_map.code[scancode];
    if (event.type == SDL_KEYDOWN) {
        bool repeat = event.repeat != 0 || input.scancode_down[scancode];
        input.scancode_down[scancode] = true;
        input_record_key_down(code, repeat);
    } else {
        input.scancode_down[scancode] = false;
        if (code != 0 && !code_still_down(code)) input_record_key_up(code);
    }
}

static void mouse_button_event(const SDL_MouseButtonEvent& event) {
    i32 button = (i32)event.button + 1;  // SDL's left 1, middle 2, right 3
    input_record_mouse_move((f32)event.x, (f32)event.y);
    if (event.type == SDL_MOUSEBUTTONDOWN) input_record_mouse_down(button);
    else input_record_mouse_up(button);
}

static void window_event(const SDL_WindowEvent& event) {
    switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE: input.closed = true; break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: input.resize_pending = true; break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        // Keys held when the window loses the focus would otherwise never see their release.
        memset(input.scancode_down, 0, sizeof(input.scancode_down));
        input_record_release_all();
        break;
    default: break;
    }
}

void input_poll() {
    input_record_begin_poll();
    input.closed = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT: input.closed = true; break;
        case SDL_WINDOWEVENT: window_event(event.window); break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            input_record_lock_bits(lock_bits());
            key_event(event.key);
            break;
        case SDL_TEXTINPUT:
            input_record_text(Str{(u8*)event.text.text, (i64)strlen(event.text.text)});
            break;
        case SDL_MOUSEMOTION:
            input_record_mouse_move((f32)event.motion.x, (f32)event.motion.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: mouse_button_event(event.button); break;
        case SDL_MOUSEWHEEL:
            input_record_wheel(event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y
                                                                               : event.wheel.y);
            break;
        default: break;
        }
    }
    input_record_lock_bits(lock_bits());
    input_record_end_poll();
}

void input_text_enable(bool on) {
    if (on) SDL_StartTextInput();
    else SDL_StopTextInput();
}

// ---------------------------------------------------------------------------
// Window
// ---------------------------------------------------------------------------
enum { TITLE_CAPACITY = 256, CONTEXT_GL33_CORE = 1 };

bool display_open(i32 width, i32 height, Str title, u32 flags, i32 context) {
    if (real_window) display_close();
    if (context != CONTEXT_GL33_CORE) {
        platform_error_set("unsupported graphics context");
        return false;
    }
    char title_text[TITLE_CAPACITY];
    i64 title_length = title.length < TITLE_CAPACITY - 1 ? title.length : TITLE_CAPACITY - 1;
    if (title_length < 0 || !title.data) title_length = 0;
    if (title_length > 0) memcpy(title_text, title.data, (size_t)title_length);
    title_text[title_length] = 0;

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);

    u32 window_flags = SDL_WINDOW_OPENGL;
    if (flags & DISPLAY_RESIZABLE) window_flags |= SDL_WINDOW_RESIZABLE;
    if (flags & DISPLAY_FULLSCREEN) window_flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    real_window = SDL_CreateWindow(title_text, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                   width, height, window_flags);
    if (!real_window) {
        platform_error_set(SDL_GetError());
        return false;
    }
    real_context = SDL_GL_CreateContext(real_window);
    if (!real_context || SDL_GL_MakeCurrent(real_window, real_context) != 0) {
        platform_error_set(SDL_GetError());
        if (real_context) SDL_GL_DeleteContext(real_context);
        SDL_DestroyWindow(real_window);
        real_context = nullptr;
        real_window = nullptr;
        return false;
    }
    // Without vsync the program paces itself by sleeping after each present.
    SDL_GL_SetSwapInterval((flags & DISPLAY_VSYNC) ? 1 : 0);
    real_graphics_context_ready(true);
    real_input_reset();
    return true;
}

void display_get_info(i32* width, i32* height, i32* refresh_rate) {
    *width = 0;
    *height = 0;
    *refresh_rate = 0;
    if (!real_window) return;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(real_window, &w, &h);
    *width = w;
    *height = h;
    SDL_DisplayMode mode;
    int display = SDL_GetWindowDisplayIndex(real_window);
    if (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0)
        *refresh_rate = mode.refresh_rate;
}

bool display_is_closed() { return input.closed; }

// Always writes the current size, so a caller may hand its own fields over directly.
bool display_is_resized(i32* width, i32* height) {
    if (real_window) {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(real_window, &w, &h);
        *width = w;
        *height = h;
    }
    bool resized = input.resize_pending;
    input.resize_pending = false;
    return resized;
}

void display_set_icon(i32 width, i32 height, const u8* rgba_pixels) {
    if (!real_window || !rgba_pixels || width <= 0 || height <= 0) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
        (void*)rgba_pixels, width, height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return;
    SDL_SetWindowIcon(real_window, surface);
    SDL_FreeSurface(surface);
}

void display_close() {
    if (!real_window) return;
    real_graphics_context_ready(false);
    if (real_context) SDL_GL_DeleteContext(real_context);
    SDL_DestroyWindow(real_window);
    real_context = nullptr;
    real_window = nullptr;
}
