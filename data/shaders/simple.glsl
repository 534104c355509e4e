#version 330 core
// Everything drawn into the frame buffer: texture x vertex colour. Colours arrive as they
// should look on screen and are taken to linear light here ("gamma"), so that blending
// happens in linear light; the resolve through gamma.glsl brings them back. Alpha is kept
// as it is: it is a coverage, not a light value.

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
    vec4 color = texture(diffuse_map, uv) * vertex_color * diffuse;
    fragment_color = vec4(pow(max(color.rgb, vec3(0.0)), vec3(gamma)), color.a);
}
#endif
