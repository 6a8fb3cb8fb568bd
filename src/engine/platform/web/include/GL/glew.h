// The web build's <GL/glew.h>: WebGL2 (OpenGL ES 3.0) under the OpenGL 4.5
// calls that the engine makes. Compiled only into the web build, where this
// folder comes first on the include path; the desktop build never sees it and
// keeps GLEW and OpenGL 4.5 with direct state access.
//
// The engine edits objects by name (glTextureStorage2D, glNamedBufferData,
// glProgramUniform*, …). WebGL2 edits only what is bound, so each of those
// calls is carried out here as: remember the binding it needs, bind the
// object, make the ES 3.0 call, put the binding back. The engine's OpenGL
// state contract therefore holds on the web too: no call changes a binding,
// a unit, a program or a framebuffer that the game can see.
//
// Stand-ins for what WebGL2 lacks (docs/engine.md, "On the web", lists them):
// - BGRA uploads (glTexImage2D, glTextureSubImage2D with GL_BGRA): the
//   pixels are swapped to RGBA on the way in.
// - Texture swizzles (GL_TEXTURE_SWIZZLE_RGBA): one- to three-channel images
//   are stored as RGBA8, and the swizzle is applied to the pixels when they
//   are uploaded; glGetTextureParameteriv reads the swizzle back.
// - glMultiDrawElements: one glDrawElements for runs that follow one another
//   in the index buffer (a sprite batch's always do), else one per run.
// - glGetTextureImage, glGetTextureSubImage: the texture is attached to a
//   framebuffer of this layer's own and read with glReadPixels.
// - glClearTexImage: the texture is attached to that framebuffer and cleared
//   with glClearBufferfv (scissor, masks and discard set aside meanwhile).
// - Vertex attribute formats and binding points (glVertexArrayAttribFormat,
//   glVertexArrayAttribBinding, glVertexArrayVertexBuffer): recorded per
//   vertex array and issued as glVertexAttribPointer once both are known.
// - A buffer's kind: WebGL2 forbids using a buffer as indices once it held
//   vertices, and the reverse. Data given before a buffer is attached to a
//   vertex array is kept here and uploaded once its kind is known.
// - Shaders: the "#version" line becomes "#version 300 es" with high
//   precision; layout(binding = N) on samplers and layout(location = N) on
//   uniforms, which ES 3.0 lacks, are taken out and carried out after linking
//   (glUniform1i for the unit). For a program with explicit locations,
//   glGetUniformLocation gives a uniform's explicit number, and any other
//   uniform its linked location plus 0x100000, so the two never meet; the
//   glProgramUniform*, glUniform* and glGetUniform* calls map them back.
// - Pixel store names that WebGL2 lacks (swap bytes, LSB first, pack image
//   height and skip images) read as 0 and are ignored when set.
// - glNamedFramebufferParameteri (default width and height): ignored, since
//   every framebuffer the engine makes has an attachment when drawn to.
// - glClearDepth: glClearDepthf.
// - Per-draw-buffer blending (glEnablei, glBlendFuncSeparatei, …): WebGL2
//   has one blending for all draw buffers; these set and read it.
// - State reads: the layer keeps a shadow of the state set through this
//   header (bindings, the active unit, the program, blending, switches,
//   write masks, viewport, scissor box, pixel store), and glGetIntegerv,
//   glGetBooleanv and glIsEnabled answer from it without asking WebGL, which
//   would wait for the browser's GPU process. Only names it keeps no shadow
//   of are asked (the context's limits once each). State set around this
//   header (WebGL called from JavaScript, or ES calls compiled without it)
//   is unknown to the shadow.
#pragma once

#include <GLES3/gl3.h>

#include <cstddef>

// Desktop GL's header (which GLFW's would include) has no place here: the
// calls it declares are this layer's.
#define __gl_h_

typedef double GLdouble;

#define GLEW_OK 0
#define GL_BGRA 0x80E1
#define GL_TEXTURE_SWIZZLE_RGBA 0x8E46
#define GL_UNPACK_SWAP_BYTES 0x0CF0
#define GL_UNPACK_LSB_FIRST 0x0CF1
#define GL_PACK_SWAP_BYTES 0x0D00
#define GL_PACK_LSB_FIRST 0x0D01
#define GL_PACK_IMAGE_HEIGHT 0x806C
#define GL_PACK_SKIP_IMAGES 0x806B
#define GL_FRAMEBUFFER_DEFAULT_WIDTH 0x9310
#define GL_FRAMEBUFFER_DEFAULT_HEIGHT 0x9311

// Nothing to load: Emscripten links every entry point.
extern GLboolean glewExperimental;
GLenum glewInit();

// Direct state access, carried out with bind-to-edit calls.
void glCreateTextures(GLenum target, GLsizei n, GLuint* textures);
void glTextureStorage2D(GLuint texture, GLsizei levels, GLenum internalFormat, GLsizei width,
                        GLsizei height);
void glTextureSubImage2D(GLuint texture, GLint level, GLint x, GLint y, GLsizei width,
                         GLsizei height, GLenum format, GLenum type, const void* pixels);
void glTextureParameteri(GLuint texture, GLenum name, GLint value);
void glTextureParameteriv(GLuint texture, GLenum name, const GLint* values);
void glGetTextureParameteriv(GLuint texture, GLenum name, GLint* values);
void glGenerateTextureMipmap(GLuint texture);
void glBindTextureUnit(GLuint unit, GLuint texture);
void glClearTexImage(GLuint texture, GLint level, GLenum format, GLenum type, const void* data);
void glGetTextureImage(GLuint texture, GLint level, GLenum format, GLenum type, GLsizei size,
                       void* pixels);
void glGetTextureSubImage(GLuint texture, GLint level, GLint x, GLint y, GLint z, GLsizei width,
                          GLsizei height, GLsizei depth, GLenum format, GLenum type, GLsizei size,
                          void* pixels);
void glCreateBuffers(GLsizei n, GLuint* buffers);
void glNamedBufferData(GLuint buffer, GLsizeiptr size, const void* data, GLenum usage);
void glNamedBufferSubData(GLuint buffer, GLintptr offset, GLsizeiptr size, const void* data);
void glCreateVertexArrays(GLsizei n, GLuint* arrays);
void glEnableVertexArrayAttrib(GLuint array, GLuint index);
void glVertexArrayAttribFormat(GLuint array, GLuint index, GLint size, GLenum type,
                               GLboolean normalized, GLuint offset);
void glVertexArrayAttribBinding(GLuint array, GLuint index, GLuint binding);
void glVertexArrayVertexBuffer(GLuint array, GLuint binding, GLuint buffer, GLintptr offset,
                               GLsizei stride);
void glVertexArrayElementBuffer(GLuint array, GLuint buffer);
void glCreateFramebuffers(GLsizei n, GLuint* framebuffers);
void glNamedFramebufferTexture(GLuint framebuffer, GLenum attachment, GLuint texture,
                               GLint level);
void glNamedFramebufferParameteri(GLuint framebuffer, GLenum name, GLint value);
GLenum glCheckNamedFramebufferStatus(GLuint framebuffer, GLenum target);
void glMultiDrawElements(GLenum mode, const GLsizei* counts, GLenum type,
                         const void* const* starts, GLsizei runs);
void glProgramUniform1i(GLuint program, GLint location, GLint value);
void glProgramUniform1f(GLuint program, GLint location, GLfloat value);
void glProgramUniform2f(GLuint program, GLint location, GLfloat x, GLfloat y);
void glProgramUniform3f(GLuint program, GLint location, GLfloat x, GLfloat y, GLfloat z);
void glProgramUniform4f(GLuint program, GLint location, GLfloat x, GLfloat y, GLfloat z,
                        GLfloat w);
void glProgramUniformMatrix4fv(GLuint program, GLint location, GLsizei count,
                               GLboolean transpose, const GLfloat* values);
void glClearDepth(GLdouble depth);

// ES 3.0 calls whose use by the engine needs more than WebGL2 gives.
void velmoraWebGetIntegerv(GLenum name, GLint* values);
void velmoraWebPixelStorei(GLenum name, GLint value);
void velmoraWebTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width,
                          GLsizei height, GLint border, GLenum format, GLenum type,
                          const void* pixels);
void velmoraWebShaderSource(GLuint shader, GLsizei count, const GLchar* const* sources,
                            const GLint* lengths);
void velmoraWebLinkProgram(GLuint program);
void velmoraWebUniformMatrix4fv(GLint location, GLsizei count, GLboolean transpose,
                                const GLfloat* values);
void velmoraWebUniform1i(GLint location, GLint value);
void velmoraWebUniform1f(GLint location, GLfloat value);
void velmoraWebUniform2f(GLint location, GLfloat x, GLfloat y);
void velmoraWebUniform3f(GLint location, GLfloat x, GLfloat y, GLfloat z);
void velmoraWebUniform4f(GLint location, GLfloat x, GLfloat y, GLfloat z, GLfloat w);
GLint velmoraWebGetUniformLocation(GLuint program, const GLchar* name);
void velmoraWebGetUniformiv(GLuint program, GLint location, GLint* values);
void velmoraWebGetUniformfv(GLuint program, GLint location, GLfloat* values);
void velmoraWebDeleteTextures(GLsizei n, const GLuint* textures);
void velmoraWebDeleteBuffers(GLsizei n, const GLuint* buffers);
void velmoraWebDeleteVertexArrays(GLsizei n, const GLuint* arrays);

// State setters and getters with the layer's shadow of the state (see
// above): a get answers from it, without asking WebGL.
void velmoraWebEnable(GLenum cap);
void velmoraWebDisable(GLenum cap);
GLboolean velmoraWebIsEnabled(GLenum cap);
void velmoraWebBlendFunc(GLenum source, GLenum destination);
void velmoraWebBlendFuncSeparate(GLenum source, GLenum destination, GLenum sourceAlpha,
                                 GLenum destinationAlpha);
void velmoraWebBlendEquation(GLenum mode);
void velmoraWebBlendEquationSeparate(GLenum colour, GLenum alpha);
void velmoraWebGetIntegeri_v(GLenum name, GLuint index, GLint* values);
void velmoraWebGetBooleanv(GLenum name, GLboolean* values);
void velmoraWebBindVertexArray(GLuint array);
void velmoraWebUseProgram(GLuint program);
void velmoraWebActiveTexture(GLenum unit);
void velmoraWebBindTexture(GLenum target, GLuint texture);
void velmoraWebBindSampler(GLuint unit, GLuint sampler);
void velmoraWebDeleteSamplers(GLsizei n, const GLuint* samplers);
void velmoraWebBindBuffer(GLenum target, GLuint buffer);
void velmoraWebBindBufferBase(GLenum target, GLuint index, GLuint buffer);
void velmoraWebBindBufferRange(GLenum target, GLuint index, GLuint buffer, GLintptr offset,
                               GLsizeiptr size);
void velmoraWebBindFramebuffer(GLenum target, GLuint framebuffer);
void velmoraWebDeleteFramebuffers(GLsizei n, const GLuint* framebuffers);
void velmoraWebViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void velmoraWebScissor(GLint x, GLint y, GLsizei width, GLsizei height);
void velmoraWebColorMask(GLboolean red, GLboolean green, GLboolean blue, GLboolean alpha);
void velmoraWebDepthMask(GLboolean on);
void velmoraWebStencilMask(GLuint mask);
void velmoraWebStencilMaskSeparate(GLenum face, GLuint mask);

// The desktop's per-draw-buffer blending, on WebGL2's one blending.
void glEnablei(GLenum cap, GLuint index);
void glDisablei(GLenum cap, GLuint index);
GLboolean glIsEnabledi(GLenum cap, GLuint index);
void glBlendFuncSeparatei(GLuint buffer, GLenum source, GLenum destination, GLenum sourceAlpha,
                          GLenum destinationAlpha);
void glBlendEquationi(GLuint buffer, GLenum mode);
void glBlendEquationSeparatei(GLuint buffer, GLenum colour, GLenum alpha);

// For the web layer's own checks: how many gets asked WebGL itself (each a
// wait for the GPU process) and how many draws glMultiDrawElements issued,
// since the page started; and WebGL's own answer for `name`, uncounted.
unsigned long velmoraWebReadBacks();
unsigned long velmoraWebDrawCalls();
void velmoraWebGpuIntegerv(GLenum name, GLint* values);

#ifndef VELMORA_WEB_GL_LAYER
#define glGetIntegerv velmoraWebGetIntegerv
#define glPixelStorei velmoraWebPixelStorei
#define glTexImage2D velmoraWebTexImage2D
#define glShaderSource velmoraWebShaderSource
#define glLinkProgram velmoraWebLinkProgram
#define glUniformMatrix4fv velmoraWebUniformMatrix4fv
#define glUniform1i velmoraWebUniform1i
#define glUniform1f velmoraWebUniform1f
#define glUniform2f velmoraWebUniform2f
#define glUniform3f velmoraWebUniform3f
#define glUniform4f velmoraWebUniform4f
#define glGetUniformLocation velmoraWebGetUniformLocation
#define glGetUniformiv velmoraWebGetUniformiv
#define glGetUniformfv velmoraWebGetUniformfv
#define glDeleteTextures velmoraWebDeleteTextures
#define glDeleteBuffers velmoraWebDeleteBuffers
#define glDeleteVertexArrays velmoraWebDeleteVertexArrays
#define glEnable velmoraWebEnable
#define glDisable velmoraWebDisable
#define glIsEnabled velmoraWebIsEnabled
#define glBlendFunc velmoraWebBlendFunc
#define glBlendFuncSeparate velmoraWebBlendFuncSeparate
#define glBlendEquation velmoraWebBlendEquation
#define glBlendEquationSeparate velmoraWebBlendEquationSeparate
#define glGetIntegeri_v velmoraWebGetIntegeri_v
#define glGetBooleanv velmoraWebGetBooleanv
#define glBindVertexArray velmoraWebBindVertexArray
#define glUseProgram velmoraWebUseProgram
#define glActiveTexture velmoraWebActiveTexture
#define glBindTexture velmoraWebBindTexture
#define glBindSampler velmoraWebBindSampler
#define glDeleteSamplers velmoraWebDeleteSamplers
#define glBindBuffer velmoraWebBindBuffer
#define glBindBufferBase velmoraWebBindBufferBase
#define glBindBufferRange velmoraWebBindBufferRange
#define glBindFramebuffer velmoraWebBindFramebuffer
#define glDeleteFramebuffers velmoraWebDeleteFramebuffers
#define glViewport velmoraWebViewport
#define glScissor velmoraWebScissor
#define glColorMask velmoraWebColorMask
#define glDepthMask velmoraWebDepthMask
#define glStencilMask velmoraWebStencilMask
#define glStencilMaskSeparate velmoraWebStencilMaskSeparate
#endif
