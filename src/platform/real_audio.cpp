// The real back end's audio device on SDL2: one output device of 32-bit float samples
// whose callback runs on SDL's audio thread. Owns the device id and the registered
// callback. Opening, closing, locking and pausing happen on the main thread.
#include "platform/real_internal.h"

struct AudioDevice {
    SDL_AudioDeviceID id;  // 0 while closed
    AudioCallback callback;
    void* user_data;
};
static AudioDevice device;

// SDL's audio thread: hands the buffer on as floats, size in bytes unchanged.
static void audio_trampoline(void*, Uint8* stream, int length) {
    device.callback(device.user_data, (f32*)stream, (i64)length);
}

bool audio_open(i32 format, i32 channels, i32 sample_rate, i32 frames, AudioCallback callback,
                void* user_data) {
    if (device.id) audio_close();
    // The callback receives floats, so no other sample format can be honoured.
    if (format != SAMPLE_FORMAT_F32 || !callback || channels <= 0 || channels > 255 ||
        sample_rate <= 0 || frames <= 0 || frames > 65535) {
        platform_error_set("unsupported audio format");
        return false;
    }
    device.callback = callback;
    device.user_data = user_data;
    SDL_AudioSpec wanted = {};
    wanted.freq = sample_rate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = (u8)channels;
    wanted.samples = (u16)frames;
    wanted.callback = audio_trampoline;
    SDL_AudioSpec obtained = {};
    // No changes allowed: SDL converts behind the scenes when the hardware differs, so
    // the program always renders the layout it asked for.
    device.id = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (!device.id) {
        platform_error_set(SDL_GetError());
        return false;
    }
    return true;  // the device starts paused
}

void audio_lock() {
    if (device.id) SDL_LockAudioDevice(device.id);
}

void audio_unlock() {
    if (device.id) SDL_UnlockAudioDevice(device.id);
}

void audio_play() {
    if (device.id) SDL_PauseAudioDevice(device.id, 0);
}

void audio_pause() {
    if (device.id) SDL_PauseAudioDevice(device.id, 1);
}

void audio_close() {
    if (!device.id) return;
    SDL_CloseAudioDevice(device.id);  // waits for a running callback to return
    device = AudioDevice{};
}
