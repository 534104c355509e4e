// The real back end's graphics calls on OpenGL 3.3 core through libepoxy. Owns the one
// table that turns the platform's numeric codes into GL enumerations, and knows whether
// a context exists (without one every call does nothing). Main thread only.
#include <epoxy/gl.h>
#include <string.h>

#include "platform/real_internal.h"

// ---------------------------------------------------------------------------
// Code table. A code that the table does not hold makes the call do nothing, rather
// than hand GL a value it would reject or misread.
// ---------------------------------------------------------------------------
enum CodeFamily : u8 {
    FAMILY_BUFFER_TARGET,
    FAMILY_BUFFER_USAGE,
    FAMILY_ATTRIBUTE_TYPE,
    FAMILY_DRAW_MODE,
    FAMILY_INDEX_TYPE,
    FAMILY_TEXTURE_TARGET,
    FAMILY_INTERNAL_FORMAT,
    FAMILY_PIXEL_FORMAT,
    FAMILY_PIXEL_TYPE,
    FAMILY_WRAP_AXIS,
    FAMILY_WRAP,
    FAMILY_FILTER_SLOT,
    FAMILY_FILTER,
    FAMILY_FLOAT_PARAMETER,
    FAMILY_FRAME_BUFFER_TARGET,
    FAMILY_ATTACHMENT,
    FAMILY_DRAW_BUFFER,
    FAMILY_STORAGE_FORMAT,
    FAMILY_CLEAR_BIT,
    FAMILY_BLEND_FACTOR,
    FAMILY_STATUS,
    FAMILY_COUNT
};

struct CodeEntry {
    CodeFamily family;
    u8 code;
    GLenum value;
};

static constexpr CodeEntry CODE_TABLE[] = {
    {FAMILY_BUFFER_TARGET, 0, GL_ARRAY_BUFFER},
    {FAMILY_BUFFER_TARGET, 1, GL_ELEMENT_ARRAY_BUFFER},
    {FAMILY_BUFFER_USAGE, 0, GL_STREAM_DRAW},
    {FAMILY_BUFFER_USAGE, 1, GL_STATIC_DRAW},
    {FAMILY_BUFFER_USAGE, 3, GL_DYNAMIC_DRAW},
    {FAMILY_ATTRIBUTE_TYPE, 0, GL_BYTE},
    {FAMILY_ATTRIBUTE_TYPE, 1, GL_UNSIGNED_BYTE},
    {FAMILY_ATTRIBUTE_TYPE, 2, GL_SHORT},
    {FAMILY_ATTRIBUTE_TYPE, 3, GL_UNSIGNED_SHORT},
    {FAMILY_ATTRIBUTE_TYPE, 4, GL_INT},
    {FAMILY_ATTRIBUTE_TYPE, 5, GL_UNSIGNED_INT},
    {FAMILY_ATTRIBUTE_TYPE, 6, GL_FLOAT},
    {FAMILY_DRAW_MODE, 0, GL_POINTS},
    {FAMILY_DRAW_MODE, 1, GL_LINES},
    {FAMILY_DRAW_MODE, 2, GL_LINE_LOOP},
    {FAMILY_DRAW_MODE, 3, GL_LINE_STRIP},
    {FAMILY_DRAW_MODE, 4, GL_TRIANGLES},
    {FAMILY_DRAW_MODE, 5, GL_TRIANGLE_STRIP},
    {FAMILY_DRAW_MODE, 6, GL_TRIANGLE_FAN},
    {FAMILY_INDEX_TYPE, 0, GL_UNSIGNED_BYTE},
    {FAMILY_INDEX_TYPE, 1, GL_UNSIGNED_SHORT},
    {FAMILY_INDEX_TYPE, 2, GL_UNSIGNED_INT},
    {FAMILY_TEXTURE_TARGET, 1, GL_TEXTURE_2D},
    {FAMILY_INTERNAL_FORMAT, 13, GL_RGBA8},
    {FAMILY_INTERNAL_FORMAT, 29, GL_RGBA16F},
    {FAMILY_PIXEL_FORMAT, 8, GL_RGBA},
    {FAMILY_PIXEL_TYPE, 0, GL_UNSIGNED_BYTE},
    {FAMILY_WRAP_AXIS, 0, GL_TEXTURE_WRAP_S},
    {FAMILY_WRAP_AXIS, 1, GL_TEXTURE_WRAP_T},
    {FAMILY_WRAP_AXIS, 2, GL_TEXTURE_WRAP_R},
    {FAMILY_WRAP, 0, GL_REPEAT},
    {FAMILY_WRAP, 1, GL_MIRRORED_REPEAT},
    {FAMILY_WRAP, 2, GL_CLAMP_TO_EDGE},
    {FAMILY_WRAP, 3, GL_CLAMP_TO_BORDER},
    {FAMILY_FILTER_SLOT, 3, GL_TEXTURE_MIN_FILTER},
    {FAMILY_FILTER_SLOT, 4, GL_TEXTURE_MAG_FILTER},
    {FAMILY_FILTER, 0, GL_NEAREST},
    {FAMILY_FILTER, 1, GL_LINEAR},
    {FAMILY_FILTER, 2, GL_NEAREST_MIPMAP_NEAREST},
    {FAMILY_FILTER, 3, GL_LINEAR_MIPMAP_NEAREST},
    {FAMILY_FILTER, 4, GL_NEAREST_MIPMAP_LINEAR},
    {FAMILY_FILTER, 5, GL_LINEAR_MIPMAP_LINEAR},
    {FAMILY_FLOAT_PARAMETER, 10, GL_TEXTURE_MAX_ANISOTROPY_EXT},
    {FAMILY_FRAME_BUFFER_TARGET, 0, GL_FRAMEBUFFER},
    {FAMILY_FRAME_BUFFER_TARGET, 1, GL_DRAW_FRAMEBUFFER},
    {FAMILY_FRAME_BUFFER_TARGET, 2, GL_READ_FRAMEBUFFER},
    {FAMILY_ATTACHMENT, 0, GL_DEPTH_ATTACHMENT},
    {FAMILY_ATTACHMENT, 1, GL_STENCIL_ATTACHMENT},
    {FAMILY_ATTACHMENT, 2, GL_DEPTH_STENCIL_ATTACHMENT},
    {FAMILY_ATTACHMENT, 3, GL_COLOR_ATTACHMENT0},
    {FAMILY_ATTACHMENT, 4, GL_COLOR_ATTACHMENT1},
    {FAMILY_ATTACHMENT, 5, GL_COLOR_ATTACHMENT2},
    {FAMILY_ATTACHMENT, 6, GL_COLOR_ATTACHMENT3},
    {FAMILY_DRAW_BUFFER, 0, GL_COLOR_ATTACHMENT0},
    {FAMILY_DRAW_BUFFER, 1, GL_COLOR_ATTACHMENT1},
    {FAMILY_DRAW_BUFFER, 2, GL_COLOR_ATTACHMENT2},
    {FAMILY_DRAW_BUFFER, 3, GL_COLOR_ATTACHMENT3},
    {FAMILY_STORAGE_FORMAT, 3, GL_DEPTH_COMPONENT24},
    {FAMILY_CLEAR_BIT, 0, GL_COLOR_BUFFER_BIT},
    {FAMILY_CLEAR_BIT, 1, GL_STENCIL_BUFFER_BIT},
    {FAMILY_CLEAR_BIT, 2, GL_DEPTH_BUFFER_BIT},
    {FAMILY_BLEND_FACTOR, 0, GL_ZERO},
    {FAMILY_BLEND_FACTOR, 1, GL_ONE},
    {FAMILY_BLEND_FACTOR, 2, GL_SRC_COLOR},
    {FAMILY_BLEND_FACTOR, 3, GL_SRC_ALPHA},
    {FAMILY_BLEND_FACTOR, 4, GL_DST_COLOR},
    {FAMILY_BLEND_FACTOR, 5, GL_DST_ALPHA},
    {FAMILY_BLEND_FACTOR, 6, GL_SRC_ALPHA_SATURATE},
    {FAMILY_BLEND_FACTOR, 7, GL_ONE_MINUS_SRC_COLOR},
    {FAMILY_BLEND_FACTOR, 8, GL_ONE_MINUS_DST_COLOR},
    {FAMILY_BLEND_FACTOR, 9, GL_ONE_MINUS_SRC_ALPHA},
    {FAMILY_BLEND_FACTOR, 10, GL_ONE_MINUS_DST_ALPHA},
    {FAMILY_STATUS, 0, GL_FRAMEBUFFER_COMPLETE},
    {FAMILY_STATUS, 1, GL_FRAMEBUFFER_UNDEFINED},
    {FAMILY_STATUS, 2, GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT},
    {FAMILY_STATUS, 3, GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT},
    {FAMILY_STATUS, 4, GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER},
    {FAMILY_STATUS, 5, GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER},
    {FAMILY_STATUS, 6, GL_FRAMEBUFFER_INCOMPLETE_MULTISAMPLE},
    {FAMILY_STATUS, 7, GL_FRAMEBUFFER_INCOMPLETE_LAYER_TARGETS},
    {FAMILY_STATUS, 8, GL_FRAMEBUFFER_UNSUPPORTED},
};

// The table spread out for direct indexing, built at compile time.
enum { CODES_PER_FAMILY = 32, STATUS_UNKNOWN = 9 };
static constexpr GLenum NO_CODE = 0xFFFFFFFFu;

struct CodeMap {
    GLenum value[FAMILY_COUNT][CODES_PER_FAMILY];
};

static constexpr CodeMap code_map_build() {
    CodeMap map = {};
    for (i32 family = 0; family < FAMILY_COUNT; family += 1)
        for (i32 code = 0; code < CODES_PER_FAMILY; code += 1) map.value[family][code] = NO_CODE;
    for (const CodeEntry& entry : CODE_TABLE) map.value[entry.family][entry.code] = entry.value;
    return map;
}
static constexpr CodeMap code_map = code_map_build();

static GLenum gl_code(CodeFamily family, i32 code) {
    if (code < 0 || code >= CODES_PER_FAMILY) return NO_CODE;
    return code_map.value[family][code];
}

static i32 platform_code(CodeFamily family, GLenum value, i32 unknown) {
    for (const CodeEntry& entry : CODE_TABLE)
        if (entry.family == family && entry.value == value) return entry.code;
    return unknown;
}

// ---------------------------------------------------------------------------
// Context state
// ---------------------------------------------------------------------------
struct GraphicsState {
    bool ready;
    bool anisotropy;  // GL_EXT_texture_filter_anisotropic is present
    f32 anisotropy_max;
};
static GraphicsState graphics;

void real_graphics_context_ready(bool ready) {
    graphics = GraphicsState{};
    if (!ready) return;
    graphics.ready = true;
    graphics.anisotropy = epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                          epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    if (graphics.anisotropy)
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &graphics.anisotropy_max);
    // Rows of RGBA pixels are tightly packed whatever their width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

// ---------------------------------------------------------------------------
// Buffers and vertex arrays
// ---------------------------------------------------------------------------
u32 buffer_create() {
    if (!graphics.ready) return 0;
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    return buffer;
}

void buffer_bind(i32 target, u32 buffer) {
    GLenum gl_target = gl_code(FAMILY_BUFFER_TARGET, target);
    if (graphics.ready && gl_target != NO_CODE) glBindBuffer(gl_target, buffer);
}

void buffer_data(i32 target, i64 size, const void* data, i32 usage) {
    GLenum gl_target = gl_code(FAMILY_BUFFER_TARGET, target);
    GLenum gl_usage = gl_code(FAMILY_BUFFER_USAGE, usage);
    if (!graphics.ready || gl_target == NO_CODE || gl_usage == NO_CODE || size < 0) return;
    glBufferData(gl_target, (GLsizeiptr)size, data, gl_usage);
}

void buffer_destroy(u32 buffer) {
    if (graphics.ready && buffer) glDeleteBuffers(1, &buffer);
}

u32 vertex_array_create() {
    if (!graphics.ready) return 0;
    GLuint vertex_array = 0;
    glGenVertexArrays(1, &vertex_array);
    return vertex_array;
}

void vertex_array_bind(u32 vertex_array) {
    if (graphics.ready) glBindVertexArray(vertex_array);
}

void vertex_array_unbind() {
    if (graphics.ready) glBindVertexArray(0);
}

void vertex_array_destroy(u32 vertex_array) {
    if (graphics.ready && vertex_array) glDeleteVertexArrays(1, &vertex_array);
}

void attribute_enable(u32 slot, bool on) {
    if (!graphics.ready) return;
    if (on) glEnableVertexAttribArray(slot);
    else glDisableVertexAttribArray(slot);
}

void attribute_format(u32 slot, i32 components, i32 type, bool normalized, i32 stride,
                      i64 offset) {
    GLenum gl_type = gl_code(FAMILY_ATTRIBUTE_TYPE, type);
    if (!graphics.ready || gl_type == NO_CODE) return;
    glVertexAttribPointer(slot, components, gl_type, normalized ? GL_TRUE : GL_FALSE, stride,
                          (const void*)(uintptr_t)offset);
}

void draw_elements(i32 mode, i32 index_type, i64 offset, i64 count, i32 base_vertex,
                   i32 instances) {
    GLenum gl_mode = gl_code(FAMILY_DRAW_MODE, mode);
    GLenum gl_type = gl_code(FAMILY_INDEX_TYPE, index_type);
    if (!graphics.ready || gl_mode == NO_CODE || gl_type == NO_CODE || count <= 0) return;
    const void* start = (const void*)(uintptr_t)offset;
    if (instances <= 1 && base_vertex == 0) glDrawElements(gl_mode, (GLsizei)count, gl_type, start);
    else
        glDrawElementsInstancedBaseVertex(gl_mode, (GLsizei)count, gl_type, start,
                                          instances < 1 ? 1 : instances, base_vertex);
}

// ---------------------------------------------------------------------------
// Shaders: one source holds both stages, told apart by a definition inserted after the
// first line (the #version line must stay first). A #line directive follows it, so the
// compiler's messages count lines as the file does.
// ---------------------------------------------------------------------------
u32 shader_create() {
    if (!graphics.ready) return 0;
    return glCreateProgram();
}

// Writes `prefix` and then the GL log into the caller's buffer, always NUL-terminated.
struct LogWriter {
    u8* log;
    i64 capacity, used;
};

static void log_append(LogWriter* writer, const char* text, i64 length) {
    if (!writer->log || writer->capacity <= 0) return;
    i64 room = writer->capacity - 1 - writer->used;
    if (length > room) length = room;
    if (length > 0) memcpy(writer->log + writer->used, text, (size_t)length);
    writer->used += length > 0 ? length : 0;
    writer->log[writer->used] = 0;
}

static void log_append_info(LogWriter* writer, GLuint object, bool program) {
    if (!writer->log || writer->capacity <= 0) return;
    i64 room = writer->capacity - writer->used;
    if (room <= 1) return;
    GLsizei written = 0;
    GLsizei size = room > 0x7FFFFFFF ? 0x7FFFFFFF : (GLsizei)room;
    if (program) glGetProgramInfoLog(object, size, &written, (GLchar*)writer->log + writer->used);
    else glGetShaderInfoLog(object, size, &written, (GLchar*)writer->log + writer->used);
    writer->used += written;
    writer->log[writer->used] = 0;
}

static GLuint shader_compile(GLenum stage, Str source, const char* definition, LogWriter* writer) {
    i64 first_line = 0;
    while (first_line < source.length && source.data[first_line] != '\n') first_line += 1;
    bool has_newline = first_line < source.length;
    if (has_newline) first_line += 1;
    const GLchar* parts[4] = {(const GLchar*)source.data, "\n", definition,
                              (const GLchar*)source.data + first_line};
    GLint lengths[4] = {(GLint)first_line, has_newline ? 0 : 1, (GLint)strlen(definition),
                        (GLint)(source.length - first_line)};
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 4, parts, lengths);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (compiled) return shader;
    const char* label = stage == GL_VERTEX_SHADER ? "vertex shader:\n" : "fragment shader:\n";
    log_append(writer, label, (i64)strlen(label));
    log_append_info(writer, shader, false);
    glDeleteShader(shader);
    return 0;
}

bool shader_source(u32 program, Str source, u8* log, i64 log_capacity) {
    LogWriter writer = {log, log_capacity, 0};
    log_append(&writer, "", 0);
    if (!graphics.ready || !program || source.length <= 0 || !source.data ||
        source.length > 0x7FFFFFFF) {
        const char* reason = "no shader source or no graphics context";
        log_append(&writer, reason, (i64)strlen(reason));
        return false;
    }
    GLuint vertex = shader_compile(GL_VERTEX_SHADER, source, "#define VERTEX\n#line 2\n", &writer);
    GLuint fragment =
        shader_compile(GL_FRAGMENT_SHADER, source, "#define FRAGMENT\n#line 2\n", &writer);
    if (!vertex || !fragment) {
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return false;
    }
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    // The program keeps its compiled code; the stage objects are no longer needed.
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked) return true;
    const char* label = "link:\n";
    log_append(&writer, label, (i64)strlen(label));
    log_append_info(&writer, program, true);
    return false;
}

enum : u32 { NO_LOCATION = 0xFFFFFFFFu };

u32 shader_get_uniform_location(u32 program, Str name) {
    char text[256];
    if (!graphics.ready || !program || name.length <= 0 || !name.data ||
        name.length >= (i64)sizeof(text))
        return NO_LOCATION;
    memcpy(text, name.data, (size_t)name.length);
    text[name.length] = 0;
    GLint location = glGetUniformLocation(program, text);
    return location < 0 ? NO_LOCATION : (u32)location;
}

void shader_bind(u32 program) {
    if (graphics.ready) glUseProgram(program);
}

void shader_destroy(u32 program) {
    if (graphics.ready && program) glDeleteProgram(program);
}

static bool location_valid(u32 location) { return graphics.ready && location != NO_LOCATION; }

void shader_uniform1i(u32 location, i32 value) {
    if (location_valid(location)) glUniform1i((GLint)location, value);
}

void shader_uniform1f(u32 location, f32 value) {
    if (location_valid(location)) glUniform1f((GLint)location, value);
}

void shader_uniform4f(u32 location, f32 x, f32 y, f32 z, f32 w) {
    if (location_valid(location)) glUniform4f((GLint)location, x, y, z, w);
}

void shader_uniform_matrix3fa(u32 location, i32 count, bool transpose, const f32* values) {
    if (location_valid(location) && values && count > 0)
        glUniformMatrix3fv((GLint)location, count, transpose ? GL_TRUE : GL_FALSE, values);
}

void shader_uniform_matrix4fa(u32 location, i32 count, bool transpose, const f32* values) {
    if (location_valid(location) && values && count > 0)
        glUniformMatrix4fv((GLint)location, count, transpose ? GL_TRUE : GL_FALSE, values);
}

// ---------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------
u32 texture_create() {
    if (!graphics.ready) return 0;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    return texture;
}

void texture_unit(i32 unit) {
    if (graphics.ready && unit >= 0) glActiveTexture(GL_TEXTURE0 + (GLenum)unit);
}

void texture_bind(i32 target, u32 texture) {
    GLenum gl_target = gl_code(FAMILY_TEXTURE_TARGET, target);
    if (graphics.ready && gl_target != NO_CODE) glBindTexture(gl_target, texture);
}

void texture_unbind(i32 target) { texture_bind(target, 0); }

void texture_image_2d(i32 target, i32 level, i32 internal_format, i32 width, i32 height,
                      i32 format, i32 type, const void* pixels) {
    GLenum gl_target = gl_code(FAMILY_TEXTURE_TARGET, target);
    GLenum gl_internal = gl_code(FAMILY_INTERNAL_FORMAT, internal_format);
    GLenum gl_format = gl_code(FAMILY_PIXEL_FORMAT, format);
    GLenum gl_type = gl_code(FAMILY_PIXEL_TYPE, type);
    if (!graphics.ready || gl_target == NO_CODE || gl_internal == NO_CODE ||
        gl_format == NO_CODE || gl_type == NO_CODE || width < 0 || height < 0)
        return;
    glTexImage2D(gl_target, level, (GLint)gl_internal, width, height, 0, gl_format, gl_type,
                 pixels);
}

void texture_parameter_wrap(i32 target, i32 axis, i32 wrap) {
    GLenum gl_target = gl_code(FAMILY_TEXTURE_TARGET, target);
    GLenum gl_axis = gl_code(FAMILY_WRAP_AXIS, axis);
    GLenum gl_wrap = gl_code(FAMILY_WRAP, wrap);
    if (!graphics.ready || gl_target == NO_CODE || gl_axis == NO_CODE || gl_wrap == NO_CODE)
        return;
    glTexParameteri(gl_target, gl_axis, (GLint)gl_wrap);
}

void texture_parameter_filter(i32 target, i32 which, i32 filter) {
    GLenum gl_target = gl_code(FAMILY_TEXTURE_TARGET, target);
    GLenum gl_slot = gl_code(FAMILY_FILTER_SLOT, which);
    // Magnification never uses mipmaps: a mipmapped code keeps its in-level filter.
    if (gl_slot == GL_TEXTURE_MAG_FILTER && filter >= GPU_FILTER_NEAREST_MIPMAP_NEAREST &&
        filter <= GPU_FILTER_LINEAR_MIPMAP_LINEAR) {
        bool linear = filter == GPU_FILTER_LINEAR_MIPMAP_NEAREST ||
                      filter == GPU_FILTER_LINEAR_MIPMAP_LINEAR;
        filter = linear ? GPU_FILTER_LINEAR : GPU_FILTER_NEAREST;
    }
    GLenum gl_filter = gl_code(FAMILY_FILTER, filter);
    if (!graphics.ready || gl_target == NO_CODE || gl_slot == NO_CODE || gl_filter == NO_CODE)
        return;
    glTexParameteri(gl_target, gl_slot, (GLint)gl_filter);
}

void texture_parameterf(i32 target, i32 parameter, f32 value) {
    GLenum gl_target = gl_code(FAMILY_TEXTURE_TARGET, target);
    GLenum gl_parameter = gl_code(FAMILY_FLOAT_PARAMETER, parameter);
    if (!graphics.ready || gl_target == NO_CODE || gl_parameter == NO_CODE) return;
    if (gl_parameter == GL_TEXTURE_MAX_ANISOTROPY_EXT) {
        if (!graphics.anisotropy) return;
        if (value > graphics.anisotropy_max) value = graphics.anisotropy_max;
        if (value < 1.0f) value = 1.0f;
    }
    glTexParameterf(gl_target, gl_parameter, value);
}

void texture_generate_mipmap(i32 target) {
    GLenum gl_target = gl_code(FAMILY_TEXTURE_TARGET, target);
    if (graphics.ready && gl_target != NO_CODE) glGenerateMipmap(gl_target);
}

void texture_destroy(u32 texture) {
    if (graphics.ready && texture) glDeleteTextures(1, &texture);
}

// ---------------------------------------------------------------------------
// Frame buffers and render buffers
// ---------------------------------------------------------------------------
u32 frame_buffer_create() {
    if (!graphics.ready) return 0;
    GLuint frame_buffer = 0;
    glGenFramebuffers(1, &frame_buffer);
    return frame_buffer;
}

void frame_buffer_bind(i32 target, u32 frame_buffer) {
    GLenum gl_target = gl_code(FAMILY_FRAME_BUFFER_TARGET, target);
    if (graphics.ready && gl_target != NO_CODE) glBindFramebuffer(gl_target, frame_buffer);
}

void frame_buffer_unbind(i32 target) { frame_buffer_bind(target, 0); }

// The attachment takes the texture as it was created, so the texture's target code is
// not needed (GL knows it), and callers that pass another target code still attach.
void frame_buffer_texture(i32 target, i32 attachment, i32, u32 texture, i32 level) {
    GLenum gl_target = gl_code(FAMILY_FRAME_BUFFER_TARGET, target);
    GLenum gl_attachment = gl_code(FAMILY_ATTACHMENT, attachment);
    if (!graphics.ready || gl_target == NO_CODE || gl_attachment == NO_CODE) return;
    glFramebufferTexture(gl_target, gl_attachment, texture, level);
}

// GL has one kind of render buffer, so its target code has nothing to choose.
void frame_buffer_render_buffer(i32 target, i32 attachment, i32, u32 render_buffer) {
    GLenum gl_target = gl_code(FAMILY_FRAME_BUFFER_TARGET, target);
    GLenum gl_attachment = gl_code(FAMILY_ATTACHMENT, attachment);
    if (!graphics.ready || gl_target == NO_CODE || gl_attachment == NO_CODE) return;
    glFramebufferRenderbuffer(gl_target, gl_attachment, GL_RENDERBUFFER, render_buffer);
}

i32 frame_buffer_get_status(i32 target) {
    GLenum gl_target = gl_code(FAMILY_FRAME_BUFFER_TARGET, target);
    if (!graphics.ready || gl_target == NO_CODE) return STATUS_UNKNOWN;
    return platform_code(FAMILY_STATUS, glCheckFramebufferStatus(gl_target), STATUS_UNKNOWN);
}

void frame_buffer_destroy(u32 frame_buffer) {
    if (graphics.ready && frame_buffer) glDeleteFramebuffers(1, &frame_buffer);
}

u32 render_buffer_create() {
    if (!graphics.ready) return 0;
    GLuint render_buffer = 0;
    glGenRenderbuffers(1, &render_buffer);
    return render_buffer;
}

void render_buffer_bind(u32 render_buffer) {
    if (graphics.ready) glBindRenderbuffer(GL_RENDERBUFFER, render_buffer);
}

void render_buffer_unbind() { render_buffer_bind(0); }

void render_buffer_storage(i32 format, i32 width, i32 height) {
    GLenum gl_format = gl_code(FAMILY_STORAGE_FORMAT, format);
    if (graphics.ready && gl_format != NO_CODE && width >= 0 && height >= 0)
        glRenderbufferStorage(GL_RENDERBUFFER, gl_format, width, height);
}

void render_buffer_destroy(u32 render_buffer) {
    if (graphics.ready && render_buffer) glDeleteRenderbuffers(1, &render_buffer);
}

// ---------------------------------------------------------------------------
// Pipeline state
// ---------------------------------------------------------------------------
void pipeline_viewport(i32 x, i32 y, i32 width, i32 height) {
    if (graphics.ready && width >= 0 && height >= 0) glViewport(x, y, width, height);
}

void pipeline_clear_color(f32 r, f32 g, f32 b, f32 a) {
    if (graphics.ready) glClearColor(r, g, b, a);
}

void pipeline_clear(u32 mask) {
    if (!graphics.ready) return;
    GLbitfield bits = 0;
    for (i32 bit = 0; bit < 32; bit += 1) {
        if (!(mask & (1u << bit))) continue;
        GLenum gl_bit = gl_code(FAMILY_CLEAR_BIT, bit);
        if (gl_bit != NO_CODE) bits |= gl_bit;
    }
    if (bits) glClear(bits);
}

static void capability_enable(GLenum capability, bool on) {
    if (!graphics.ready) return;
    if (on) glEnable(capability);
    else glDisable(capability);
}

void pipeline_blend_enable(bool on) { capability_enable(GL_BLEND, on); }
void pipeline_depth_enable(bool on) { capability_enable(GL_DEPTH_TEST, on); }
void pipeline_cull_enable(bool on) { capability_enable(GL_CULL_FACE, on); }
void pipeline_scissor_enable(bool on) { capability_enable(GL_SCISSOR_TEST, on); }

void pipeline_blend_factor(i32 source, i32 destination) {
    GLenum gl_source = gl_code(FAMILY_BLEND_FACTOR, source);
    GLenum gl_destination = gl_code(FAMILY_BLEND_FACTOR, destination);
    if (graphics.ready && gl_source != NO_CODE && gl_destination != NO_CODE)
        glBlendFunc(gl_source, gl_destination);
}

void pipeline_scissor_rect(i32 x, i32 y, i32 width, i32 height) {
    if (graphics.ready && width >= 0 && height >= 0) glScissor(x, y, width, height);
}

void pipeline_draw_buffers(i32 count, const u32* attachments) {
    enum { MOST = 4 };
    if (!graphics.ready || count < 0 || count > MOST || (count > 0 && !attachments)) return;
    GLenum buffers[MOST];
    for (i32 i = 0; i < count; i += 1) {
        buffers[i] = gl_code(FAMILY_DRAW_BUFFER, (i32)attachments[i]);
        if (buffers[i] == NO_CODE) return;
    }
    glDrawBuffers(count, buffers);
}

void pipeline_present() {
    if (real_window) SDL_GL_SwapWindow(real_window);
}
