// The web build's OpenGL layer: what <GL/glew.h> of src/engine/platform/web/include
// declares, carried out with WebGL2's bind-to-edit calls. Every call puts
// back each binding it changed. What WebGL2 lacks, and its stand-in, is
// listed in that header.
#define VELMORA_WEB_GL_LAYER
#include <GL/glew.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <utility>
#include <vector>

GLboolean glewExperimental = GL_FALSE;

GLenum glewInit() {
    return GLEW_OK;
}

namespace {

// What this layer remembers of a texture: its size, and the swizzle that
// the engine asked for (applied to the pixels at upload).
struct TextureFacts {
    GLsizei width = 0;
    GLsizei height = 0;
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
};

// One vertex attribute as the engine stated it, and one binding point.
struct Attribute {
    bool formatted = false;
    GLint size = 4;
    GLenum type = GL_FLOAT;
    GLboolean normalized = GL_FALSE;
    GLuint offset = 0;
    GLuint binding = 0;
};
struct BindingPoint {
    GLuint buffer = 0;
    GLintptr offset = 0;
    GLsizei stride = 0;
};
struct VertexArrayFacts {
    std::map<GLuint, Attribute> attributes;
    std::map<GLuint, BindingPoint> bindings;
};

// A buffer's kind, which WebGL2 fixes at its first binding.
enum class BufferKind { Unknown, Vertices, Indices };
struct BufferFacts {
    BufferKind kind = BufferKind::Unknown;
    std::vector<unsigned char> pending; // data given before the kind was known
    GLenum usage = GL_STATIC_DRAW;
    bool hasPending = false;
};

std::map<GLuint, TextureFacts> textures;
std::map<GLuint, VertexArrayFacts> vertexArrays;
std::map<GLuint, BufferFacts> buffers;
// Per shader: sampler units and explicit uniform locations taken out of its
// text; per program, after linking: explicit location -> linked location.
std::map<GLuint, std::vector<std::pair<std::string, GLint>>> shaderBindings;
std::map<GLuint, std::vector<std::pair<std::string, GLint>>> shaderLocations;
std::map<GLuint, std::map<GLint, GLint>> programLocations;
std::map<GLuint, std::map<std::string, GLint>> programExplicitNames;
GLuint ownFramebuffer = 0;

// Calls that asked WebGL itself for state, and draw calls issued: what the
// web layer's checks count.
unsigned long readBacks = 0;
unsigned long drawCalls = 0;

// The state that the engine and a game set through this layer, kept here so
// that reading it back never waits for the browser's GPU process. Each
// value starts as WebGL2 starts a context; the viewport and scissor box,
// which start at the canvas's size, are asked for once, at their first read
// before any set.
constexpr GLuint kUnits = 96; // at least WebGL2's MAX_COMBINED_TEXTURE_IMAGE_UNITS
struct BlendState {
    GLint source = GL_ONE, destination = GL_ZERO, sourceAlpha = GL_ONE, destinationAlpha = GL_ZERO;
    GLint equation = GL_FUNC_ADD, equationAlpha = GL_FUNC_ADD;
};
struct Shadow {
    GLuint vertexArray = 0;
    GLuint program = 0;
    GLenum activeUnit = GL_TEXTURE0;
    std::map<GLenum, std::vector<GLuint>> textures; // per target, per unit
    std::vector<GLuint> samplers = std::vector<GLuint>(kUnits, 0);
    std::map<GLenum, GLuint> buffers;               // per target but indices
    std::map<GLuint, GLuint> elementBuffers;        // per vertex array
    GLuint drawFramebuffer = 0, readFramebuffer = 0;
    GLint viewport[4] = {}, scissorBox[4] = {};
    bool viewportKnown = false, scissorKnown = false;
    BlendState blend;
    GLboolean colourMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    GLboolean depthMask = GL_TRUE;
    GLint stencilMask = -1, stencilBackMask = -1;
    std::map<GLenum, bool> enabled = {
        {GL_BLEND, false},          {GL_CULL_FACE, false},
        {GL_DEPTH_TEST, false},     {GL_DITHER, true},
        {GL_POLYGON_OFFSET_FILL, false}, {GL_RASTERIZER_DISCARD, false},
        {GL_SAMPLE_ALPHA_TO_COVERAGE, false}, {GL_SAMPLE_COVERAGE, false},
        {GL_SCISSOR_TEST, false},   {GL_STENCIL_TEST, false},
        {GL_PRIMITIVE_RESTART_FIXED_INDEX, false}};
    std::map<GLenum, GLint> pixelStore = {
        {GL_UNPACK_ALIGNMENT, 4},   {GL_UNPACK_ROW_LENGTH, 0}, {GL_UNPACK_IMAGE_HEIGHT, 0},
        {GL_UNPACK_SKIP_ROWS, 0},   {GL_UNPACK_SKIP_PIXELS, 0}, {GL_UNPACK_SKIP_IMAGES, 0},
        {GL_PACK_ALIGNMENT, 4},     {GL_PACK_ROW_LENGTH, 0},   {GL_PACK_SKIP_ROWS, 0},
        {GL_PACK_SKIP_PIXELS, 0}};
};
Shadow shadow;

GLuint& textureBinding(GLenum target, GLenum unit) {
    std::vector<GLuint>& units = shadow.textures[target];
    if (units.empty()) {
        units.assign(kUnits, 0);
    }
    return units[std::min<GLuint>(unit - GL_TEXTURE0, kUnits - 1)];
}

GLuint& bufferBinding(GLenum target) {
    if (target == GL_ELEMENT_ARRAY_BUFFER) {
        return shadow.elementBuffers[shadow.vertexArray];
    }
    return shadow.buffers[target];
}

// WebGL's own answer: a wait for the GPU process in most browsers. The
// context's limits never change, so each is asked once.
void askWebGl(GLenum name, GLint* values) {
    static std::map<GLenum, GLint> limits;
    const bool limit = name == GL_MAX_TEXTURE_SIZE || name == GL_MAX_RENDERBUFFER_SIZE ||
                       name == GL_MAX_DRAW_BUFFERS || name == GL_MAX_COLOR_ATTACHMENTS ||
                       name == GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS ||
                       name == GL_MAX_TEXTURE_IMAGE_UNITS || name == GL_MAX_VERTEX_ATTRIBS;
    const auto known = limits.find(name);
    if (limit && known != limits.end()) {
        *values = known->second;
        return;
    }
    ++readBacks;
    glGetIntegerv(name, values);
    if (limit) {
        limits[name] = *values;
    }
}

// The shadow's answer for `name`, or false when it keeps no such state.
bool shadowed(GLenum name, GLint* values) {
    const auto one = [values](GLint value) {
        *values = value;
        return true;
    };
    switch (name) {
    case GL_VERTEX_ARRAY_BINDING:
        return one(static_cast<GLint>(shadow.vertexArray));
    case GL_CURRENT_PROGRAM:
        return one(static_cast<GLint>(shadow.program));
    case GL_ACTIVE_TEXTURE:
        return one(static_cast<GLint>(shadow.activeUnit));
    case GL_TEXTURE_BINDING_2D:
        return one(static_cast<GLint>(textureBinding(GL_TEXTURE_2D, shadow.activeUnit)));
    case GL_TEXTURE_BINDING_CUBE_MAP:
        return one(static_cast<GLint>(textureBinding(GL_TEXTURE_CUBE_MAP, shadow.activeUnit)));
    case GL_TEXTURE_BINDING_3D:
        return one(static_cast<GLint>(textureBinding(GL_TEXTURE_3D, shadow.activeUnit)));
    case GL_TEXTURE_BINDING_2D_ARRAY:
        return one(static_cast<GLint>(textureBinding(GL_TEXTURE_2D_ARRAY, shadow.activeUnit)));
    case GL_SAMPLER_BINDING:
        return one(static_cast<GLint>(
            shadow.samplers[std::min<GLuint>(shadow.activeUnit - GL_TEXTURE0, kUnits - 1)]));
    case GL_ARRAY_BUFFER_BINDING:
        return one(static_cast<GLint>(bufferBinding(GL_ARRAY_BUFFER)));
    case GL_ELEMENT_ARRAY_BUFFER_BINDING:
        return one(static_cast<GLint>(bufferBinding(GL_ELEMENT_ARRAY_BUFFER)));
    case GL_PIXEL_PACK_BUFFER_BINDING:
        return one(static_cast<GLint>(bufferBinding(GL_PIXEL_PACK_BUFFER)));
    case GL_PIXEL_UNPACK_BUFFER_BINDING:
        return one(static_cast<GLint>(bufferBinding(GL_PIXEL_UNPACK_BUFFER)));
    case GL_DRAW_FRAMEBUFFER_BINDING:
        return one(static_cast<GLint>(shadow.drawFramebuffer));
    case GL_READ_FRAMEBUFFER_BINDING:
        return one(static_cast<GLint>(shadow.readFramebuffer));
    case GL_BLEND_SRC_RGB:
        return one(shadow.blend.source);
    case GL_BLEND_DST_RGB:
        return one(shadow.blend.destination);
    case GL_BLEND_SRC_ALPHA:
        return one(shadow.blend.sourceAlpha);
    case GL_BLEND_DST_ALPHA:
        return one(shadow.blend.destinationAlpha);
    case GL_BLEND_EQUATION_RGB:
        return one(shadow.blend.equation);
    case GL_BLEND_EQUATION_ALPHA:
        return one(shadow.blend.equationAlpha);
    case GL_STENCIL_WRITEMASK:
        return one(shadow.stencilMask);
    case GL_STENCIL_BACK_WRITEMASK:
        return one(shadow.stencilBackMask);
    case GL_VIEWPORT:
    case GL_SCISSOR_BOX: {
        const bool viewport = name == GL_VIEWPORT;
        GLint* box = viewport ? shadow.viewport : shadow.scissorBox;
        bool& known = viewport ? shadow.viewportKnown : shadow.scissorKnown;
        if (!known) {
            askWebGl(name, box);
            known = true;
        }
        std::copy(box, box + 4, values);
        return true;
    }
    default: {
        const auto store = shadow.pixelStore.find(name);
        return store != shadow.pixelStore.end() && one(store->second);
    }
    }
}

GLint integer(GLenum name) {
    GLint value = 0;
    if (!shadowed(name, &value)) {
        askWebGl(name, &value);
    }
    return value;
}

// Binds a texture to unit 0's 2D target... of the active unit, for the
// length of one edit.
class TextureBound {
  public:
    explicit TextureBound(GLuint texture) : previous(integer(GL_TEXTURE_BINDING_2D)) {
        velmoraWebBindTexture(GL_TEXTURE_2D, texture);
    }
    ~TextureBound() { velmoraWebBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(previous)); }
    TextureBound(const TextureBound&) = delete;
    TextureBound& operator=(const TextureBound&) = delete;

  private:
    GLint previous;
};

class VertexArrayBound {
  public:
    explicit VertexArrayBound(GLuint array) : previous(integer(GL_VERTEX_ARRAY_BINDING)) {
        velmoraWebBindVertexArray(array);
    }
    ~VertexArrayBound() { velmoraWebBindVertexArray(static_cast<GLuint>(previous)); }
    VertexArrayBound(const VertexArrayBound&) = delete;
    VertexArrayBound& operator=(const VertexArrayBound&) = delete;

  private:
    GLint previous;
};

class ProgramInUse {
  public:
    explicit ProgramInUse(GLuint program) : previous(integer(GL_CURRENT_PROGRAM)) {
        if (static_cast<GLuint>(previous) != program) {
            velmoraWebUseProgram(program);
        }
        current = program;
    }
    ~ProgramInUse() {
        if (static_cast<GLuint>(previous) != current) {
            velmoraWebUseProgram(static_cast<GLuint>(previous));
        }
    }
    ProgramInUse(const ProgramInUse&) = delete;
    ProgramInUse& operator=(const ProgramInUse&) = delete;

  private:
    GLint previous;
    GLuint current = 0;
};

// The texture attached to this layer's own framebuffer at `target`, for
// reading or clearing it; the game's framebuffer binding comes back after.
class TextureAsFramebuffer {
  public:
    TextureAsFramebuffer(GLenum target, GLuint texture, GLint level)
        : target(target), previous(integer(target == GL_READ_FRAMEBUFFER
                                                ? GL_READ_FRAMEBUFFER_BINDING
                                                : GL_DRAW_FRAMEBUFFER_BINDING)) {
        if (ownFramebuffer == 0) {
            glGenFramebuffers(1, &ownFramebuffer);
        }
        velmoraWebBindFramebuffer(target, ownFramebuffer);
        glFramebufferTexture2D(target, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, level);
    }
    ~TextureAsFramebuffer() {
        glFramebufferTexture2D(target, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
        velmoraWebBindFramebuffer(target, static_cast<GLuint>(previous));
    }
    TextureAsFramebuffer(const TextureAsFramebuffer&) = delete;
    TextureAsFramebuffer& operator=(const TextureAsFramebuffer&) = delete;

  private:
    GLenum target;
    GLint previous;
};

int channelsOf(GLenum format) {
    switch (format) {
    case GL_RED:
        return 1;
    case GL_RG:
        return 2;
    case GL_RGB:
        return 3;
    default:
        return 4;
    }
}

// One channel of a texel, picked by a swizzle value.
unsigned char swizzled(const unsigned char* texel, int channels, GLint source) {
    switch (source) {
    case GL_ZERO:
        return 0;
    case GL_ONE:
        return 255;
    case GL_RED:
        return texel[0];
    case GL_GREEN:
        return channels > 1 ? texel[1] : 0;
    case GL_BLUE:
        return channels > 2 ? texel[2] : 0;
    default:
        return channels > 3 ? texel[3] : 255;
    }
}

// Bytes in GL_UNSIGNED_BYTE pixels of `format` laid out as RGBA, each
// channel through the texture's swizzle; BGRA is swapped. Rows of the source
// are padded to the unpack alignment.
std::vector<unsigned char> asRgba(const void* pixels, GLsizei width, GLsizei height,
                                  GLenum format, const GLint* swizzle) {
    const int channels = channelsOf(format);
    const GLint alignment = std::max(integer(GL_UNPACK_ALIGNMENT), 1);
    const std::size_t rowBytes =
        (static_cast<std::size_t>(width) * channels + alignment - 1) / alignment * alignment;
    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
    const auto* source = static_cast<const unsigned char*>(pixels);
    for (GLsizei y = 0; y < height; ++y) {
        for (GLsizei x = 0; x < width; ++x) {
            unsigned char texel[4];
            std::memcpy(texel, source + y * rowBytes + static_cast<std::size_t>(x) * channels,
                        static_cast<std::size_t>(channels));
            if (format == GL_BGRA) {
                std::swap(texel[0], texel[2]);
            }
            unsigned char* out = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            for (int c = 0; c < 4; ++c) {
                out[c] = swizzled(texel, channels, swizzle[c]);
            }
        }
    }
    return rgba;
}

bool needsConversion(GLenum format, GLenum type, const GLint* swizzle) {
    if (type != GL_UNSIGNED_BYTE) {
        return false;
    }
    const bool plain = swizzle[0] == GL_RED && swizzle[1] == GL_GREEN && swizzle[2] == GL_BLUE &&
                       swizzle[3] == GL_ALPHA;
    return format == GL_BGRA || format == GL_RED || format == GL_RG || format == GL_RGB || !plain;
}

// Sizes of one to three channels are stored as RGBA8 (see asRgba).
GLenum storedFormat(GLenum internalFormat) {
    switch (internalFormat) {
    case GL_R8:
    case GL_RG8:
    case GL_RGB8:
        return GL_RGBA8;
    default:
        return internalFormat;
    }
}

// Issues glVertexAttribPointer for every attribute of the bound array whose
// format and buffer are both known.
void applyAttributes(VertexArrayFacts& facts) {
    const GLint previousBuffer = integer(GL_ARRAY_BUFFER_BINDING);
    for (const auto& [index, attribute] : facts.attributes) {
        const auto point = facts.bindings.find(attribute.binding);
        if (!attribute.formatted || point == facts.bindings.end() || point->second.buffer == 0) {
            continue;
        }
        velmoraWebBindBuffer(GL_ARRAY_BUFFER, point->second.buffer);
        glVertexAttribPointer(index, attribute.size, attribute.type, attribute.normalized,
                              point->second.stride,
                              reinterpret_cast<const void*>(static_cast<std::uintptr_t>(
                                  point->second.offset + attribute.offset)));
    }
    velmoraWebBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previousBuffer));
}

// Binds `buffer` where its kind allows, runs `edit(target)`, binds back.
template <typename Edit> void editBuffer(GLuint buffer, BufferKind kind, Edit edit) {
    if (kind == BufferKind::Indices) {
        // Indices are vertex array state: edit them through array 0.
        const VertexArrayBound none(0);
        const GLint previous = integer(GL_ELEMENT_ARRAY_BUFFER_BINDING);
        velmoraWebBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
        edit(GL_ELEMENT_ARRAY_BUFFER);
        velmoraWebBindBuffer(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLuint>(previous));
    } else {
        const GLint previous = integer(GL_ARRAY_BUFFER_BINDING);
        velmoraWebBindBuffer(GL_ARRAY_BUFFER, buffer);
        edit(GL_ARRAY_BUFFER);
        velmoraWebBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(previous));
    }
}

// Fixes a buffer's kind and uploads what was given for it before.
void settleKind(GLuint buffer, BufferKind kind) {
    if (buffer == 0) {
        return;
    }
    BufferFacts& facts = buffers[buffer];
    if (facts.kind != BufferKind::Unknown) {
        return;
    }
    facts.kind = kind;
    if (facts.hasPending) {
        editBuffer(buffer, kind, [&facts](GLenum target) {
            glBufferData(target, static_cast<GLsizeiptr>(facts.pending.size()),
                         facts.pending.data(), facts.usage);
        });
        facts.pending.clear();
        facts.pending.shrink_to_fit();
        facts.hasPending = false;
    }
}

// Locations handed out for a program with explicit uniform locations: the
// explicit number for such a uniform, and for any other the linked location
// plus this, so that the two never meet.
constexpr GLint kLinkedBase = 0x100000;

// The linked location of `location` in `program` (see kLinkedBase); a
// program without explicit locations has only linked ones.
GLint linkedLocation(GLuint program, GLint location) {
    const auto found = programLocations.find(program);
    if (found == programLocations.end() || location < 0) {
        return location;
    }
    if (location >= kLinkedBase) {
        return location - kLinkedBase;
    }
    const auto mapped = found->second.find(location);
    return mapped != found->second.end() ? mapped->second : -1;
}

GLint currentLocation(GLint location) {
    return linkedLocation(static_cast<GLuint>(integer(GL_CURRENT_PROGRAM)), location);
}

} // namespace

void glCreateTextures(GLenum /*target*/, GLsizei n, GLuint* names) {
    glGenTextures(n, names);
    for (GLsizei i = 0; i < n; ++i) {
        textures[names[i]] = TextureFacts{};
    }
}

void glTextureStorage2D(GLuint texture, GLsizei levels, GLenum internalFormat, GLsizei width,
                        GLsizei height) {
    const TextureBound bound(texture);
    glTexStorage2D(GL_TEXTURE_2D, levels, storedFormat(internalFormat), width, height);
    TextureFacts& facts = textures[texture];
    facts.width = width;
    facts.height = height;
}

void glTextureSubImage2D(GLuint texture, GLint level, GLint x, GLint y, GLsizei width,
                         GLsizei height, GLenum format, GLenum type, const void* pixels) {
    const TextureBound bound(texture);
    const GLint* swizzle = textures[texture].swizzle;
    if (pixels != nullptr && needsConversion(format, type, swizzle)) {
        const std::vector<unsigned char> rgba = asRgba(pixels, width, height, format, swizzle);
        const GLint alignment = integer(GL_UNPACK_ALIGNMENT);
        velmoraWebPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, level, x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                        rgba.data());
        velmoraWebPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        return;
    }
    glTexSubImage2D(GL_TEXTURE_2D, level, x, y, width, height, format, type, pixels);
}

void glTextureParameteri(GLuint texture, GLenum name, GLint value) {
    const TextureBound bound(texture);
    glTexParameteri(GL_TEXTURE_2D, name, value);
}

void glTextureParameteriv(GLuint texture, GLenum name, const GLint* values) {
    if (name == GL_TEXTURE_SWIZZLE_RGBA) {
        std::copy(values, values + 4, textures[texture].swizzle);
        return;
    }
    const TextureBound bound(texture);
    glTexParameteriv(GL_TEXTURE_2D, name, values);
}

void glGetTextureParameteriv(GLuint texture, GLenum name, GLint* values) {
    if (name >= GL_TEXTURE_SWIZZLE_R && name <= GL_TEXTURE_SWIZZLE_A) {
        *values = textures[texture].swizzle[name - GL_TEXTURE_SWIZZLE_R];
        return;
    }
    if (name == GL_TEXTURE_SWIZZLE_RGBA) {
        std::copy(textures[texture].swizzle, textures[texture].swizzle + 4, values);
        return;
    }
    const TextureBound bound(texture);
    glGetTexParameteriv(GL_TEXTURE_2D, name, values);
}

void glGenerateTextureMipmap(GLuint texture) {
    const TextureBound bound(texture);
    glGenerateMipmap(GL_TEXTURE_2D);
}

void glBindTextureUnit(GLuint unit, GLuint texture) {
    const GLenum active = shadow.activeUnit;
    velmoraWebActiveTexture(GL_TEXTURE0 + unit);
    velmoraWebBindTexture(GL_TEXTURE_2D, texture);
    velmoraWebActiveTexture(active);
}

void glClearTexImage(GLuint texture, GLint level, GLenum /*format*/, GLenum type,
                     const void* data) {
    GLfloat colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (data != nullptr && type == GL_FLOAT) {
        std::memcpy(colour, data, sizeof colour);
    } else if (data != nullptr && type == GL_UNSIGNED_BYTE) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (int c = 0; c < 4; ++c) {
            colour[c] = bytes[c] / 255.0f;
        }
    }
    const TextureAsFramebuffer attached(GL_DRAW_FRAMEBUFFER, texture, level);
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    velmoraWebGetBooleanv(GL_COLOR_WRITEMASK, mask);
    const GLboolean scissor = velmoraWebIsEnabled(GL_SCISSOR_TEST);
    const GLboolean discard = velmoraWebIsEnabled(GL_RASTERIZER_DISCARD);
    velmoraWebColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    velmoraWebDisable(GL_SCISSOR_TEST);
    velmoraWebDisable(GL_RASTERIZER_DISCARD);
    glClearBufferfv(GL_COLOR, 0, colour);
    velmoraWebColorMask(mask[0], mask[1], mask[2], mask[3]);
    if (scissor != GL_FALSE) {
        velmoraWebEnable(GL_SCISSOR_TEST);
    }
    if (discard != GL_FALSE) {
        velmoraWebEnable(GL_RASTERIZER_DISCARD);
    }
}

void glGetTextureSubImage(GLuint texture, GLint level, GLint x, GLint y, GLint /*z*/,
                          GLsizei width, GLsizei height, GLsizei /*depth*/, GLenum format,
                          GLenum type, GLsizei /*size*/, void* pixels) {
    const TextureAsFramebuffer attached(GL_READ_FRAMEBUFFER, texture, level);
    glReadPixels(x, y, width, height, format, type, pixels);
}

void glGetTextureImage(GLuint texture, GLint level, GLenum format, GLenum type, GLsizei size,
                       void* pixels) {
    const TextureFacts& facts = textures[texture];
    glGetTextureSubImage(texture, level, 0, 0, 0, std::max(facts.width >> level, 1),
                         std::max(facts.height >> level, 1), 1, format, type, size, pixels);
}

void glCreateBuffers(GLsizei n, GLuint* names) {
    glGenBuffers(n, names);
    for (GLsizei i = 0; i < n; ++i) {
        buffers[names[i]] = BufferFacts{};
    }
}

void glNamedBufferData(GLuint buffer, GLsizeiptr size, const void* data, GLenum usage) {
    BufferFacts& facts = buffers[buffer];
    if (facts.kind == BufferKind::Unknown) {
        facts.pending.assign(static_cast<std::size_t>(size), 0);
        if (data != nullptr) {
            std::memcpy(facts.pending.data(), data, static_cast<std::size_t>(size));
        }
        facts.usage = usage;
        facts.hasPending = true;
        return;
    }
    editBuffer(buffer, facts.kind,
               [&](GLenum target) { glBufferData(target, size, data, usage); });
}

void glNamedBufferSubData(GLuint buffer, GLintptr offset, GLsizeiptr size, const void* data) {
    BufferFacts& facts = buffers[buffer];
    if (facts.kind == BufferKind::Unknown) {
        if (facts.hasPending && offset >= 0 &&
            static_cast<std::size_t>(offset + size) <= facts.pending.size()) {
            std::memcpy(facts.pending.data() + offset, data, static_cast<std::size_t>(size));
        }
        return;
    }
    editBuffer(buffer, facts.kind,
               [&](GLenum target) { glBufferSubData(target, offset, size, data); });
}

void velmoraWebDeleteBuffers(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        buffers.erase(names[i]);
        for (auto& [target, bound] : shadow.buffers) {
            bound = bound == names[i] ? 0 : bound;
        }
        GLuint& indices = shadow.elementBuffers[shadow.vertexArray];
        indices = indices == names[i] ? 0 : indices;
    }
    glDeleteBuffers(n, names);
}

void glCreateVertexArrays(GLsizei n, GLuint* arrays) {
    glGenVertexArrays(n, arrays);
    for (GLsizei i = 0; i < n; ++i) {
        vertexArrays[arrays[i]] = VertexArrayFacts{};
    }
}

void velmoraWebDeleteVertexArrays(GLsizei n, const GLuint* arrays) {
    for (GLsizei i = 0; i < n; ++i) {
        vertexArrays.erase(arrays[i]);
        if (arrays[i] != 0) {
            shadow.elementBuffers.erase(arrays[i]);
            shadow.vertexArray = shadow.vertexArray == arrays[i] ? 0 : shadow.vertexArray;
        }
    }
    glDeleteVertexArrays(n, arrays);
}

void glEnableVertexArrayAttrib(GLuint array, GLuint index) {
    const VertexArrayBound bound(array);
    glEnableVertexAttribArray(index);
}

void glVertexArrayAttribFormat(GLuint array, GLuint index, GLint size, GLenum type,
                               GLboolean normalized, GLuint offset) {
    VertexArrayFacts& facts = vertexArrays[array];
    Attribute& attribute = facts.attributes[index];
    attribute.formatted = true;
    attribute.size = size;
    attribute.type = type;
    attribute.normalized = normalized;
    attribute.offset = offset;
    const VertexArrayBound bound(array);
    applyAttributes(facts);
}

void glVertexArrayAttribBinding(GLuint array, GLuint index, GLuint binding) {
    VertexArrayFacts& facts = vertexArrays[array];
    facts.attributes[index].binding = binding;
    const VertexArrayBound bound(array);
    applyAttributes(facts);
}

void glVertexArrayVertexBuffer(GLuint array, GLuint binding, GLuint buffer, GLintptr offset,
                               GLsizei stride) {
    settleKind(buffer, BufferKind::Vertices);
    VertexArrayFacts& facts = vertexArrays[array];
    facts.bindings[binding] = BindingPoint{buffer, offset, stride};
    const VertexArrayBound bound(array);
    applyAttributes(facts);
}

void glVertexArrayElementBuffer(GLuint array, GLuint buffer) {
    settleKind(buffer, BufferKind::Indices);
    const VertexArrayBound bound(array);
    velmoraWebBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
}

void glCreateFramebuffers(GLsizei n, GLuint* framebuffers) {
    glGenFramebuffers(n, framebuffers);
}

void glNamedFramebufferTexture(GLuint framebuffer, GLenum attachment, GLuint texture,
                               GLint level) {
    const GLint previous = integer(GL_DRAW_FRAMEBUFFER_BINDING);
    velmoraWebBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, attachment, GL_TEXTURE_2D, texture, level);
    velmoraWebBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(previous));
}

void glNamedFramebufferParameteri(GLuint /*framebuffer*/, GLenum /*name*/, GLint /*value*/) {}

GLenum glCheckNamedFramebufferStatus(GLuint framebuffer, GLenum target) {
    const GLenum binding =
        target == GL_READ_FRAMEBUFFER ? GL_READ_FRAMEBUFFER_BINDING : GL_DRAW_FRAMEBUFFER_BINDING;
    const GLint previous = integer(binding);
    velmoraWebBindFramebuffer(target, framebuffer);
    const GLenum status = glCheckFramebufferStatus(target);
    velmoraWebBindFramebuffer(target, static_cast<GLuint>(previous));
    return status;
}

void glMultiDrawElements(GLenum mode, const GLsizei* counts, GLenum type,
                         const void* const* starts, GLsizei runs) {
    // Runs that follow one another in the index buffer (a sprite batch's
    // always do) are one draw: they are cut only for a software
    // rasteriser's sake on the desktop.
    const std::uintptr_t size = type == GL_UNSIGNED_INT     ? 4
                                : type == GL_UNSIGNED_SHORT ? 2
                                                            : 1;
    GLsizei i = 0;
    while (i < runs) {
        const auto first = reinterpret_cast<std::uintptr_t>(starts[i]);
        std::uintptr_t count = static_cast<std::uintptr_t>(std::max(counts[i], 0));
        GLsizei next = i + 1;
        while (next < runs && reinterpret_cast<std::uintptr_t>(starts[next]) ==
                                  first + count * size) {
            count += static_cast<std::uintptr_t>(std::max(counts[next], 0));
            ++next;
        }
        if (count > 0) {
            glDrawElements(mode, static_cast<GLsizei>(count), type, starts[i]);
            ++drawCalls;
        }
        i = next;
    }
}

void glProgramUniform1i(GLuint program, GLint location, GLint value) {
    const ProgramInUse use(program);
    glUniform1i(linkedLocation(program, location), value);
}

void glProgramUniform1f(GLuint program, GLint location, GLfloat value) {
    const ProgramInUse use(program);
    glUniform1f(linkedLocation(program, location), value);
}

void glProgramUniform2f(GLuint program, GLint location, GLfloat x, GLfloat y) {
    const ProgramInUse use(program);
    glUniform2f(linkedLocation(program, location), x, y);
}

void glProgramUniform3f(GLuint program, GLint location, GLfloat x, GLfloat y, GLfloat z) {
    const ProgramInUse use(program);
    glUniform3f(linkedLocation(program, location), x, y, z);
}

void glProgramUniform4f(GLuint program, GLint location, GLfloat x, GLfloat y, GLfloat z,
                        GLfloat w) {
    const ProgramInUse use(program);
    glUniform4f(linkedLocation(program, location), x, y, z, w);
}

void glProgramUniformMatrix4fv(GLuint program, GLint location, GLsizei count,
                               GLboolean transpose, const GLfloat* values) {
    const ProgramInUse use(program);
    glUniformMatrix4fv(linkedLocation(program, location), count, transpose, values);
}

void velmoraWebUniformMatrix4fv(GLint location, GLsizei count, GLboolean transpose,
                                const GLfloat* values) {
    glUniformMatrix4fv(currentLocation(location), count, transpose, values);
}

void velmoraWebUniform1i(GLint location, GLint value) {
    glUniform1i(currentLocation(location), value);
}

void velmoraWebUniform1f(GLint location, GLfloat value) {
    glUniform1f(currentLocation(location), value);
}

void velmoraWebUniform2f(GLint location, GLfloat x, GLfloat y) {
    glUniform2f(currentLocation(location), x, y);
}

void velmoraWebUniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z) {
    glUniform3f(currentLocation(location), x, y, z);
}

void velmoraWebUniform4f(GLint location, GLfloat x, GLfloat y, GLfloat z, GLfloat w) {
    glUniform4f(currentLocation(location), x, y, z, w);
}

GLint velmoraWebGetUniformLocation(GLuint program, const GLchar* name) {
    const GLint linked = glGetUniformLocation(program, name);
    const auto found = programExplicitNames.find(program);
    if (found == programExplicitNames.end() || name == nullptr) {
        return linked;
    }
    const auto named = found->second.find(name);
    if (named != found->second.end()) {
        return named->second;
    }
    return linked >= 0 ? linked + kLinkedBase : linked;
}

// Emscripten finds a location among the current program's: the program is
// made current for the call.
void velmoraWebGetUniformiv(GLuint program, GLint location, GLint* values) {
    const ProgramInUse use(program);
    glGetUniformiv(program, linkedLocation(program, location), values);
}

void velmoraWebGetUniformfv(GLuint program, GLint location, GLfloat* values) {
    const ProgramInUse use(program);
    glGetUniformfv(program, linkedLocation(program, location), values);
}

void glClearDepth(GLdouble depth) {
    glClearDepthf(static_cast<GLfloat>(depth));
}

void velmoraWebGetIntegerv(GLenum name, GLint* values) {
    switch (name) {
    case GL_UNPACK_SWAP_BYTES:
    case GL_UNPACK_LSB_FIRST:
    case GL_PACK_SWAP_BYTES:
    case GL_PACK_LSB_FIRST:
    case GL_PACK_IMAGE_HEIGHT:
    case GL_PACK_SKIP_IMAGES:
        *values = 0;
        return;
    default:
        if (!shadowed(name, values)) {
            askWebGl(name, values);
        }
    }
}

void velmoraWebPixelStorei(GLenum name, GLint value) {
    switch (name) {
    case GL_UNPACK_SWAP_BYTES:
    case GL_UNPACK_LSB_FIRST:
    case GL_PACK_SWAP_BYTES:
    case GL_PACK_LSB_FIRST:
    case GL_PACK_IMAGE_HEIGHT:
    case GL_PACK_SKIP_IMAGES:
        return;
    default:
        glPixelStorei(name, value);
        shadow.pixelStore[name] = value;
    }
}

void velmoraWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                          GLsizei height, GLint border, GLenum format, GLenum type,
                          const void* pixels) {
    const GLuint texture = static_cast<GLuint>(integer(GL_TEXTURE_BINDING_2D));
    if (level == 0) {
        textures[texture].width = width;
        textures[texture].height = height;
    }
    if (format == GL_BGRA && type == GL_UNSIGNED_BYTE) {
        const GLint plain[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
        std::vector<unsigned char> rgba;
        if (pixels != nullptr) {
            rgba = asRgba(pixels, width, height, format, plain);
        }
        const GLint alignment = integer(GL_UNPACK_ALIGNMENT);
        velmoraWebPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(target, level, GL_RGBA8, width, height, border, GL_RGBA, GL_UNSIGNED_BYTE,
                     pixels != nullptr ? rgba.data() : nullptr);
        velmoraWebPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
        return;
    }
    glTexImage2D(target, level, internalFormat, width, height, border, format, type, pixels);
}

void velmoraWebDeleteTextures(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        textures.erase(names[i]);
        for (auto& [target, units] : shadow.textures) {
            std::replace(units.begin(), units.end(), names[i], 0u);
        }
    }
    glDeleteTextures(n, names);
}

void velmoraWebShaderSource(GLuint shader, GLsizei count, const GLchar* const* sources,
                            const GLint* lengths) {
    std::string text;
    for (GLsizei i = 0; i < count; ++i) {
        if (lengths != nullptr && lengths[i] >= 0) {
            text.append(sources[i], static_cast<std::size_t>(lengths[i]));
        } else {
            text.append(sources[i]);
        }
    }
    // The desktop's version line, wherever the first one is, becomes ES 3.0's.
    static const std::regex version(R"(#version[^\n]*\n)");
    text = std::regex_replace(text, version,
                              "#version 300 es\nprecision highp float;\nprecision highp int;\n",
                              std::regex_constants::format_first_only);
    // layout(binding = N) uniform sampler2D name; and
    // layout(location = N) uniform type name; lose their layout.
    static const std::regex layout(
        R"(layout\s*\(\s*(binding|location)\s*=\s*(\d+)\s*\)\s*uniform\s+(\w+)\s+(\w+))");
    std::vector<std::pair<std::string, GLint>> bindings;
    std::vector<std::pair<std::string, GLint>> locations;
    std::string rewritten;
    auto from = text.cbegin();
    for (std::sregex_iterator match(text.begin(), text.end(), layout), end; match != end;
         ++match) {
        rewritten.append(from, (*match)[0].first);
        const GLint number = std::stoi((*match)[2].str());
        ((*match)[1].str() == "binding" ? bindings : locations)
            .emplace_back((*match)[4].str(), number);
        rewritten += "uniform " + (*match)[3].str() + " " + (*match)[4].str();
        from = (*match)[0].second;
    }
    rewritten.append(from, text.cend());
    shaderBindings[shader] = std::move(bindings);
    shaderLocations[shader] = std::move(locations);
    const GLchar* source = rewritten.c_str();
    glShaderSource(shader, 1, &source, nullptr);
}

void velmoraWebLinkProgram(GLuint program) {
    glLinkProgram(program);
    programLocations.erase(program);
    programExplicitNames.erase(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked == GL_FALSE) {
        return;
    }
    GLuint attached[8] = {};
    GLsizei count = 0;
    glGetAttachedShaders(program, 8, &count, attached);
    std::map<GLint, GLint> mapped;
    std::map<std::string, GLint> names;
    const ProgramInUse use(program);
    for (GLsizei i = 0; i < count; ++i) {
        for (const auto& [name, unit] : shaderBindings[attached[i]]) {
            glUniform1i(glGetUniformLocation(program, name.c_str()), unit);
        }
        for (const auto& [name, location] : shaderLocations[attached[i]]) {
            mapped[location] = glGetUniformLocation(program, name.c_str());
            names[name] = location;
        }
    }
    if (!mapped.empty()) {
        programLocations[program] = std::move(mapped);
        programExplicitNames[program] = std::move(names);
    }
}

// The state setters a game and the engine reach through <GL/glew.h>: each
// is WebGL's call, with the shadow kept.

void velmoraWebEnable(GLenum cap) {
    glEnable(cap);
    shadow.enabled[cap] = true;
}

void velmoraWebDisable(GLenum cap) {
    glDisable(cap);
    shadow.enabled[cap] = false;
}

GLboolean velmoraWebIsEnabled(GLenum cap) {
    const auto known = shadow.enabled.find(cap);
    if (known != shadow.enabled.end()) {
        return known->second ? GL_TRUE : GL_FALSE;
    }
    ++readBacks;
    return glIsEnabled(cap);
}

// WebGL2 has one blending for every draw buffer: the indexed calls of the
// desktop set it, and read it, whatever the index.
void glEnablei(GLenum cap, GLuint /*index*/) {
    velmoraWebEnable(cap);
}

void glDisablei(GLenum cap, GLuint /*index*/) {
    velmoraWebDisable(cap);
}

GLboolean glIsEnabledi(GLenum cap, GLuint /*index*/) {
    return velmoraWebIsEnabled(cap);
}

void velmoraWebBlendFuncSeparate(GLenum source, GLenum destination, GLenum sourceAlpha,
                                 GLenum destinationAlpha) {
    glBlendFuncSeparate(source, destination, sourceAlpha, destinationAlpha);
    shadow.blend.source = static_cast<GLint>(source);
    shadow.blend.destination = static_cast<GLint>(destination);
    shadow.blend.sourceAlpha = static_cast<GLint>(sourceAlpha);
    shadow.blend.destinationAlpha = static_cast<GLint>(destinationAlpha);
}

void velmoraWebBlendFunc(GLenum source, GLenum destination) {
    velmoraWebBlendFuncSeparate(source, destination, source, destination);
}

void glBlendFuncSeparatei(GLuint /*buffer*/, GLenum source, GLenum destination,
                          GLenum sourceAlpha, GLenum destinationAlpha) {
    velmoraWebBlendFuncSeparate(source, destination, sourceAlpha, destinationAlpha);
}

void velmoraWebBlendEquationSeparate(GLenum colour, GLenum alpha) {
    glBlendEquationSeparate(colour, alpha);
    shadow.blend.equation = static_cast<GLint>(colour);
    shadow.blend.equationAlpha = static_cast<GLint>(alpha);
}

void velmoraWebBlendEquation(GLenum mode) {
    velmoraWebBlendEquationSeparate(mode, mode);
}

void glBlendEquationi(GLuint /*buffer*/, GLenum mode) {
    velmoraWebBlendEquationSeparate(mode, mode);
}

void glBlendEquationSeparatei(GLuint /*buffer*/, GLenum colour, GLenum alpha) {
    velmoraWebBlendEquationSeparate(colour, alpha);
}

void velmoraWebGetIntegeri_v(GLenum name, GLuint index, GLint* values) {
    switch (name) {
    case GL_BLEND_SRC_RGB:
    case GL_BLEND_DST_RGB:
    case GL_BLEND_SRC_ALPHA:
    case GL_BLEND_DST_ALPHA:
    case GL_BLEND_EQUATION_RGB:
    case GL_BLEND_EQUATION_ALPHA:
        shadowed(name, values);
        return;
    default:
        ++readBacks;
        glGetIntegeri_v(name, index, values);
    }
}

void velmoraWebGetBooleanv(GLenum name, GLboolean* values) {
    if (name == GL_COLOR_WRITEMASK) {
        std::copy(shadow.colourMask, shadow.colourMask + 4, values);
        return;
    }
    if (name == GL_DEPTH_WRITEMASK) {
        *values = shadow.depthMask;
        return;
    }
    const auto known = shadow.enabled.find(name);
    if (known != shadow.enabled.end()) {
        *values = known->second ? GL_TRUE : GL_FALSE;
        return;
    }
    ++readBacks;
    glGetBooleanv(name, values);
}

void velmoraWebBindVertexArray(GLuint array) {
    glBindVertexArray(array);
    shadow.vertexArray = array;
}

void velmoraWebUseProgram(GLuint program) {
    glUseProgram(program);
    shadow.program = program;
}

void velmoraWebActiveTexture(GLenum unit) {
    glActiveTexture(unit);
    shadow.activeUnit = unit;
}

void velmoraWebBindTexture(GLenum target, GLuint texture) {
    glBindTexture(target, texture);
    textureBinding(target, shadow.activeUnit) = texture;
}

void velmoraWebBindSampler(GLuint unit, GLuint sampler) {
    glBindSampler(unit, sampler);
    shadow.samplers[std::min(unit, kUnits - 1)] = sampler;
}

void velmoraWebDeleteSamplers(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        std::replace(shadow.samplers.begin(), shadow.samplers.end(), names[i], 0u);
    }
    glDeleteSamplers(n, names);
}

void velmoraWebBindBuffer(GLenum target, GLuint buffer) {
    glBindBuffer(target, buffer);
    bufferBinding(target) = buffer;
}

void velmoraWebBindBufferBase(GLenum target, GLuint index, GLuint buffer) {
    glBindBufferBase(target, index, buffer);
    bufferBinding(target) = buffer;
}

void velmoraWebBindBufferRange(GLenum target, GLuint index, GLuint buffer, GLintptr offset,
                               GLsizeiptr size) {
    glBindBufferRange(target, index, buffer, offset, size);
    bufferBinding(target) = buffer;
}

void velmoraWebBindFramebuffer(GLenum target, GLuint framebuffer) {
    glBindFramebuffer(target, framebuffer);
    if (target != GL_READ_FRAMEBUFFER) {
        shadow.drawFramebuffer = framebuffer;
    }
    if (target != GL_DRAW_FRAMEBUFFER) {
        shadow.readFramebuffer = framebuffer;
    }
}

void velmoraWebDeleteFramebuffers(GLsizei n, const GLuint* names) {
    for (GLsizei i = 0; i < n; ++i) {
        if (names[i] != 0 && shadow.drawFramebuffer == names[i]) {
            shadow.drawFramebuffer = 0;
        }
        if (names[i] != 0 && shadow.readFramebuffer == names[i]) {
            shadow.readFramebuffer = 0;
        }
    }
    glDeleteFramebuffers(n, names);
}

void velmoraWebViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    glViewport(x, y, width, height);
    shadow.viewport[0] = x;
    shadow.viewport[1] = y;
    shadow.viewport[2] = width;
    shadow.viewport[3] = height;
    shadow.viewportKnown = true;
}

void velmoraWebScissor(GLint x, GLint y, GLsizei width, GLsizei height) {
    glScissor(x, y, width, height);
    shadow.scissorBox[0] = x;
    shadow.scissorBox[1] = y;
    shadow.scissorBox[2] = width;
    shadow.scissorBox[3] = height;
    shadow.scissorKnown = true;
}

void velmoraWebColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha) {
    glColorMask(red, green, blue, alpha);
    shadow.colourMask[0] = red;
    shadow.colourMask[1] = green;
    shadow.colourMask[2] = blue;
    shadow.colourMask[3] = alpha;
}

void velmoraWebDepthMask(GLboolean on) {
    glDepthMask(on);
    shadow.depthMask = on;
}

void velmoraWebStencilMaskSeparate(GLenum face, GLuint mask) {
    glStencilMaskSeparate(face, mask);
    if (face != GL_BACK) {
        shadow.stencilMask = static_cast<GLint>(mask);
    }
    if (face != GL_FRONT) {
        shadow.stencilBackMask = static_cast<GLint>(mask);
    }
}

void velmoraWebStencilMask(GLuint mask) {
    velmoraWebStencilMaskSeparate(GL_FRONT_AND_BACK, mask);
}

unsigned long velmoraWebReadBacks() {
    return readBacks;
}

unsigned long velmoraWebDrawCalls() {
    return drawCalls;
}

void velmoraWebGpuIntegerv(GLenum name, GLint* values) {
    glGetIntegerv(name, values);
}
