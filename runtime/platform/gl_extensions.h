// OpenGL extension entry points, fetched by name for the current context. A new context
// refills the record; a pointer is null when its extension is not there.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace runtime::platform {

struct GlExtensions {
    // "GL_ARB_multitexture"
    PFNGLACTIVETEXTUREARBPROC glActiveTextureARB = nullptr;
    PFNGLMULTITEXCOORD2FARBPROC glMultiTexCoord2fARB = nullptr;
    PFNGLCLIENTACTIVETEXTUREARBPROC glClientActiveTextureARB = nullptr;
    // Buffer objects, fetched with the multitexture group.
    PFNGLGENBUFFERSARBPROC glGenBuffersARB = nullptr;
    PFNGLBINDBUFFERARBPROC glBindBufferARB = nullptr;
    PFNGLBUFFERDATAARBPROC glBufferDataARB = nullptr;
    PFNGLDELETEBUFFERSARBPROC glDeleteBuffersARB = nullptr;
    PFNGLMAPBUFFERARBPROC glMapBufferARB = nullptr;
    PFNGLUNMAPBUFFERARBPROC glUnmapBufferARB = nullptr;
    PFNGLGETBUFFERPARAMETERIVARBPROC glGetBufferParameterivARB = nullptr;
    // Shader objects, fetched under "GL_ARB_fragment_program".
    PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
    PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
    PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
    PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
    PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
    PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
    PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
    PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
    PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
    PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
    PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
    PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
    PFNGLUNIFORM2FARBPROC glUniform2fARB = nullptr;
    PFNGLUNIFORM3FARBPROC glUniform3fARB = nullptr;
    PFNGLUNIFORM4FARBPROC glUniform4fARB = nullptr;
    PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
    // Framebuffer objects.
    PFNGLBINDRENDERBUFFEREXTPROC glBindRenderbufferEXT = nullptr;
    PFNGLDELETERENDERBUFFERSEXTPROC glDeleteRenderbuffersEXT = nullptr;
    PFNGLGENRENDERBUFFERSEXTPROC glGenRenderbuffersEXT = nullptr;
    PFNGLRENDERBUFFERSTORAGEEXTPROC glRenderbufferStorageEXT = nullptr;
    PFNGLBINDFRAMEBUFFEREXTPROC glBindFramebufferEXT = nullptr;
    PFNGLDELETEFRAMEBUFFERSEXTPROC glDeleteFramebuffersEXT = nullptr;
    PFNGLGENFRAMEBUFFERSEXTPROC glGenFramebuffersEXT = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC glCheckFramebufferStatusEXT = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DEXTPROC glFramebufferTexture2DEXT = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFEREXTPROC glFramebufferRenderbufferEXT = nullptr;

    bool has_multitexture() const { return glActiveTextureARB != nullptr; }
    bool has_buffer_objects() const { return glGenBuffersARB != nullptr; }
    bool has_shader_objects() const { return glCreateProgramObjectARB != nullptr; }
    bool has_framebuffer_objects() const { return glGenFramebuffersEXT != nullptr; }
};
GlExtensions& gl_extensions();

// Entry point of the current context by name (no check that the driver has it: under
// GLX and EGL an unknown name can give a non-null address).
void* gl_entry_point(const char* name);
// Refills gl_extensions() for the current context from its extension string. A group
// is fetched only when the extension that defines it is listed.
void load_gl_extensions();
// The same from a given extension string and lookup (tests, and the real path above).
void load_gl_extensions_from(const char* extension_string, void* (*lookup)(const char* name));
// Whether the extension string lists the extension as a whole word.
bool extension_listed(const char* extension_string, const char* name);

}  // namespace runtime::platform
