#version 330 core
// The resolve: the frame buffer (linear light, 16-bit float) drawn over the whole window
// with its colours raised to 1 / "gamma", so a colour written in the theme reaches the
// screen as written. The window gets an opaque frame whatever alpha the frame buffer holds.

#ifdef VERTEX
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texture_coordinate;

uniform mat4 matrix_model_view_projection;
uniform vec4 uv_rect;

out vec4 vertex_color;
out vec2 uv;

void main() {
    gl_Position = matrix_model_view_projection * vec4(position, 1.0);
    vertex_color = color;
    uv = uv_rect.xy + texture_coordinate * uv_rect.zw;
}
#endif

#ifdef FRAGMENT
in vec4 vertex_color;
in vec2 uv;

uniform sampler2D diffuse_map;
uniform vec4 diffuse;
uniform float gamma;

out vec4 fragment_color;

void main() {
    vec3 linear = texture(diffuse_map, uv).rgb * vertex_color.rgb * diffuse.rgb;
    fragment_color = vec4(pow(clamp(linear, 0.0, 1.0), vec3(1.0 / gamma)), 1.0);
}
#endif
