// The glow example's post-effect: the scene's canvas shown as on an old
// screen, with scanlines that drift, a vignette and a slight colour fringe.
// Drawn through a sprite batch, so it takes the batch's vertex layout and
// the three matrices; "time" (seconds) moves the scanlines and
// "resolution" is the size of the picture in pixels.

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
uniform float time;
uniform vec2 resolution;

out vec4 fragColour;

void main() {
    // A fringe: red a little to the left of the middle, blue to the right.
    vec2 fromMiddle = uv - vec2(0.5);
    float fringe = 0.0015 * length(fromMiddle);
    vec3 colour = vec3(textureLod(texture, uv - fromMiddle * fringe * 4.0, 0.0).r,
                       textureLod(texture, uv, 0.0).g,
                       textureLod(texture, uv + fromMiddle * fringe * 4.0, 0.0).b);
    // Scanlines, two pixels apart, drifting slowly upwards.
    float line = 0.5 + 0.5 * sin((uv.y * resolution.y - time * 12.0) * 3.14159);
    colour *= 0.78 + 0.22 * line;
    // Darker towards the corners.
    colour *= 1.0 - 0.9 * dot(fromMiddle, fromMiddle);
    fragColour = vec4(colour, 1.0) * vertexColour;
}
#endif
