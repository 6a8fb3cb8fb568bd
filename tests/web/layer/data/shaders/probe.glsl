// The web layer's probe: uniforms of every kind the Shader setters take, a
// sampler on unit 1 and a matrix at an explicit location, which ES 3.0 lacks.
#ifdef VERTEX_SHADER
layout(location = 0) in vec2 position;
layout(location = 3) uniform mat4 placed;
uniform vec2 offset;
void main() {
    gl_Position = placed * vec4(position + offset, 0.0, 1.0);
}
#endif

#ifdef FRAGMENT_SHADER
layout(binding = 1) uniform sampler2D picture;
uniform int mode;
uniform float level;
uniform vec3 tint;
uniform vec4 extra;
out vec4 colour;
void main() {
    colour = texture(picture, vec2(0.5)) * vec4(tint, level) + extra * float(mode);
}
#endif
