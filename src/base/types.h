// Basic types shared by every layer, the platform included: fixed-width integers,
// floats and the counted string `Str`. Nothing here allocates.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef int8_t i8;
typedef int16_t i16;
typedef int32_t i32;
typedef int64_t i64;
typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef float f32;
typedef double f64;

// Counted byte string, never NUL-terminated; all text is UTF-8.
struct Str {
    u8* data;
    i64 length;
};

// Exact rational number: every time, length and pitch of a piece is one.
struct Fraction {
    i64 numerator;
    i64 denominator;
};

#define STR(literal) (Str{(u8*)(literal), (i64)(sizeof(literal) - 1)})
#define ARRAY_COUNT(array) ((i64)(sizeof(array) / sizeof((array)[0])))

inline Str str_make(const void* data, i64 length) { return Str{(u8*)data, length}; }

// Byte-for-byte comparison, lengths first.
inline bool str_equal(Str a, Str b) {
    if (a.length != b.length) return false;
    for (i64 i = 0; i < a.length; i += 1)
        if (a.data[i] != b.data[i]) return false;
    return true;
}

// A view of a NUL-terminated C string (no copy).
inline Str str_from_cstring(const char* text) {
    i64 length = 0;
    if (text)
        while (text[length]) length += 1;
    return Str{(u8*)text, length};
}
