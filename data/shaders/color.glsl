#version 330 core
// The colour picker's field: for the hue carried in the vertex colour (all four components
// hold it), saturation grows to the right and value upwards, computed exactly as the picker
// turns a click into a colour. The result is taken to linear light like every other draw.

#ifdef VERTEX
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 texture_coordinate;

uniform mat4 matrix_model_view_projection;

out float hue;
out vec2 uv;

void main() {
    gl_Position = matrix_model_view_projection * vec4(position, 1.0);
    hue = color.r;
    uv = texture_coordinate;
}
#endif

#ifdef FRAGMENT
in float hue;
in vec2 uv;

// Bound by the renderer as for every draw; the field is computed, not sampled.
uniform sampler2D diffuse_map;
uniform float gamma;

out vec4 fragment_color;

void main() {
    float saturation = clamp(uv.x, 0.0, 1.0);
    float value = clamp(uv.y, 0.0, 1.0);
    float h6 = mod(hue * 6.0, 6.0);
    float c = value * saturation;
    float x = c * (1.0 - abs(mod(h6, 2.0) - 1.0));
    vec3 rgb;
    if (h6 < 1.0) rgb = vec3(c, x, 0.0);
    else if (h6 < 2.0) rgb = vec3(x, c, 0.0);
    else if (h6 < 3.0) rgb = vec3(0.0, c, x);
    else if (h6 < 4.0) rgb = vec3(0.0, x, c);
    else if (h6 < 5.0) rgb = vec3(x, 0.0, c);
    else rgb = vec3(c, 0.0, x);
    rgb += value - c;
    fragment_color = vec4(pow(rgb, vec3(gamma)), 1.0);
}
#endif
