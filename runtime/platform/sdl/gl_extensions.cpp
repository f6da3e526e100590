// OpenGL extension entry points by name through SDL. Lookups alone prove nothing (GLX
// and EGL hand out addresses for any name), so each group waits for its extension.
#include <SDL2/SDL.h>

#include <cstring>

#include "runtime/platform/gl_extensions.h"

namespace runtime::platform {

GlExtensions& gl_extensions() {
    static GlExtensions record;
    return record;
}

void* gl_entry_point(const char* name) { return SDL_GL_GetProcAddress(name); }

bool extension_listed(const char* extension_string, const char* name) {
    if (!extension_string || !name || !*name) return false;
    const size_t n = std::strlen(name);
    for (const char* p = std::strstr(extension_string, name); p; p = std::strstr(p + 1, name)) {
        const bool starts = p == extension_string || p[-1] == ' ';
        const bool ends = p[n] == '\0' || p[n] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

namespace {
template <typename Fn>
void fetch(Fn& slot, const char* name, void* (*lookup)(const char*)) {
    slot = reinterpret_cast<Fn>(lookup(name));
}
}  // namespace

void load_gl_extensions_from(const char* ext, void* (*lookup)(const char* name)) {
    GlExtensions& e = gl_extensions();
    e = GlExtensions{};
    if (!ext || !lookup) return;
    if (std::strstr(ext, "GL_ARB_multitexture")) {
        fetch(e.glActiveTextureARB, "glActiveTextureARB", lookup);
        fetch(e.glMultiTexCoord2fARB, "glMultiTexCoord2fARB", lookup);
        fetch(e.glClientActiveTextureARB, "glClientActiveTextureARB", lookup);
        if (extension_listed(ext, "GL_ARB_vertex_buffer_object")) {
            fetch(e.glGenBuffersARB, "glGenBuffersARB", lookup);
            fetch(e.glBindBufferARB, "glBindBufferARB", lookup);
            fetch(e.glBufferDataARB, "glBufferDataARB", lookup);
            fetch(e.glDeleteBuffersARB, "glDeleteBuffersARB", lookup);
            fetch(e.glMapBufferARB, "glMapBufferARB", lookup);
            fetch(e.glUnmapBufferARB, "glUnmapBufferARB", lookup);
            fetch(e.glGetBufferParameterivARB, "glGetBufferParameterivARB", lookup);
        }
    }
    if (std::strstr(ext, "GL_ARB_fragment_program") &&
        extension_listed(ext, "GL_ARB_shader_objects")) {
        fetch(e.glCreateProgramObjectARB, "glCreateProgramObjectARB", lookup);
        fetch(e.glDeleteObjectARB, "glDeleteObjectARB", lookup);
        fetch(e.glCreateShaderObjectARB, "glCreateShaderObjectARB", lookup);
        fetch(e.glShaderSourceARB, "glShaderSourceARB", lookup);
        fetch(e.glCompileShaderARB, "glCompileShaderARB", lookup);
        fetch(e.glGetObjectParameterivARB, "glGetObjectParameterivARB", lookup);
        fetch(e.glAttachObjectARB, "glAttachObjectARB", lookup);
        fetch(e.glGetInfoLogARB, "glGetInfoLogARB", lookup);
        fetch(e.glLinkProgramARB, "glLinkProgramARB", lookup);
        fetch(e.glUseProgramObjectARB, "glUseProgramObjectARB", lookup);
        fetch(e.glGetUniformLocationARB, "glGetUniformLocationARB", lookup);
        fetch(e.glUniform1fARB, "glUniform1fARB", lookup);
        fetch(e.glUniform2fARB, "glUniform2fARB", lookup);
        fetch(e.glUniform3fARB, "glUniform3fARB", lookup);
        fetch(e.glUniform4fARB, "glUniform4fARB", lookup);
        fetch(e.glUniform1iARB, "glUniform1iARB", lookup);
    }
    if (extension_listed(ext, "GL_EXT_framebuffer_object")) {
        fetch(e.glBindRenderbufferEXT, "glBindRenderbufferEXT", lookup);
        fetch(e.glDeleteRenderbuffersEXT, "glDeleteRenderbuffersEXT", lookup);
        fetch(e.glGenRenderbuffersEXT, "glGenRenderbuffersEXT", lookup);
        fetch(e.glRenderbufferStorageEXT, "glRenderbufferStorageEXT", lookup);
        fetch(e.glBindFramebufferEXT, "glBindFramebufferEXT", lookup);
        fetch(e.glDeleteFramebuffersEXT, "glDeleteFramebuffersEXT", lookup);
        fetch(e.glGenFramebuffersEXT, "glGenFramebuffersEXT", lookup);
        fetch(e.glCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT", lookup);
        fetch(e.glFramebufferTexture2DEXT, "glFramebufferTexture2DEXT", lookup);
        fetch(e.glFramebufferRenderbufferEXT, "glFramebufferRenderbufferEXT", lookup);
    }
}

void load_gl_extensions() {
    if (!SDL_GL_GetCurrentContext()) {
        gl_extensions() = GlExtensions{};
        return;
    }
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    load_gl_extensions_from(ext, &gl_entry_point);
}

}  // namespace runtime::platform
