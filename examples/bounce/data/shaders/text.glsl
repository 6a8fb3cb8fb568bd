// Glyph program: one quad per character, cut out of the font image, which is
// white with the glyph's coverage in alpha. The vertex colour tints the text.
// The loader supplies the version line and the stage macro. The sampler is
// called "texture" like in the sprite program, so it is read with textureLod.

#ifdef VERTEX_SHADER
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texCoord;

uniform mat4 modelMatrix;
uniform mat4 viewMatrix;
uniform mat4 projectionMatrix;

out vec4 vertexColour;
out vec2 uv;

void main() {
    vertexColour = colour;
    uv = texCoord;
    gl_Position = projectionMatrix * viewMatrix * modelMatrix * vec4(position, 1.0);
}
#endif

#ifdef FRAGMENT_SHADER
in vec4 vertexColour;
in vec2 uv;

layout(binding = 0) uniform sampler2D texture;

out vec4 fragColour;

void main() {
    vec4 texel = textureLod(texture, uv, 0.0) * vertexColour;
    // Without blending, half coverage is the glyph's edge.
    if (texel.a < 0.5) {
        discard;
    }
    fragColour = texel;
}
#endif
