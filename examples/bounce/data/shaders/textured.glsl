// Sprite program: every picture of the game is a quad cut out of the atlas.
// The loader puts the version line and one of VERTEX_SHADER / FRAGMENT_SHADER
// in front of this text. The sampler is called "texture", which hides the
// built-in texture() function, so the fragment stage reads with textureLod.

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
    // Nothing is blended, so cut-out shapes (bus, pointer, hint) keep their
    // outline by dropping the transparent part of their rectangle.
    if (texel.a < 0.5) {
        discard;
    }
    fragColour = vec4(texel.rgb, 1.0);
}
#endif
