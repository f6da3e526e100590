// GLSL programs through the shader-object entry points: loading a slot from two files,
// choosing the program drawing uses, and float uniforms.
#include "runtime/gfx3d/shaders.h"

#include <string>

#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/scene_math.h"
#include "runtime/gfx3d/shaders_internal.h"
#include "runtime/platform/files.h"
#include "runtime/platform/gl_extensions.h"
#include "runtime/platform/window.h"

namespace runtime {

namespace {

using gfx3d_detail::whole;

// A shader source larger than this is refused rather than read into memory.
constexpr int64_t MAX_SHADER_SOURCE = 16 * 1024 * 1024;

bool valid_slot(int32_t slot) { return slot >= 0 && slot < SHADER_SLOT_COUNT; }

void delete_object(uint32_t& object) {
    if (object) platform::gl_extensions().glDeleteObjectARB(object);
    object = 0;
}

void delete_slot(ShaderSlot& slot) {
    delete_object(slot.program);
    delete_object(slot.vertex_shader);
    delete_object(slot.fragment_shader);
}

// The info log of a shader or program object, or "" when it has none.
std::string info_log(GLhandleARB object) {
    const platform::GlExtensions& ext = platform::gl_extensions();
    GLint length = 0;
    ext.glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    if (length <= 1) return "";
    std::string log(static_cast<size_t>(length), '\0');
    GLsizei written = 0;
    ext.glGetInfoLogARB(object, length, &written, log.data());
    log.resize(static_cast<size_t>(written > 0 && written < length ? written : 0));
    return log;
}

// The whole file, or nothing when it cannot be read or is too large.
bool read_source(const char* file_name, std::string& source) {
    char name[platform::NAME_BUFFER_SIZE];
    if (!platform::to_system_name(file_name, name)) return false;
    platform::FileHandle file = platform::open_for_reading(name);
    if (!file.is_open()) return false;
    const int64_t length = platform::file_length(file);
    if (length < 0 || length > MAX_SHADER_SOURCE) return false;
    source.assign(static_cast<size_t>(length), '\0');
    return platform::read_at(file, source.data(), source.size(), 0) == length;
}

// A shader object from the file (0 when the name is empty or the file unreadable); a
// failed compile keeps its object, so the link fails and the result says so.
uint32_t compile_file(const DynString& file_name, GLenum kind) {
    if (file_name.size() == 0) return 0;
    std::string source;
    if (!read_source(file_name.text_of(), source)) {
        report_3d_error((std::string("Cannot read shader file ") + file_name.text_of()).c_str());
        return 0;
    }
    const platform::GlExtensions& ext = platform::gl_extensions();
    const GLhandleARB shader = ext.glCreateShaderObjectARB(kind);
    if (!shader) return 0;
    const GLcharARB* text = source.c_str();
    ext.glShaderSourceARB(shader, 1, &text, nullptr);
    ext.glCompileShaderARB(shader);
    GLint compiled = 0;
    ext.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    if (!compiled) report_3d_error(info_log(shader).c_str());
    return shader;
}

void set_uniform(double slot_number, const DynString& name, int count, const double* v) {
    Rainbows3D* scene = scene_for_gl();
    const int32_t slot = whole(slot_number);
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (!scene || !valid_slot(slot) || !ext.has_shader_objects()) return;
    const uint32_t program = scene->shader_programs[slot].program;
    if (!program) return;
    // Uniforms go to the program in use, so the slot's program is made current briefly.
    use_program(program);
    const GLint location = ext.glGetUniformLocationARB(program, name.text_of());
    const auto f = [v](int i) { return static_cast<float>(v[i]); };
    if (location >= 0) {
        switch (count) {
            case 1: ext.glUniform1fARB(location, f(0)); break;
            case 2: ext.glUniform2fARB(location, f(0), f(1)); break;
            case 3: ext.glUniform3fARB(location, f(0), f(1), f(2)); break;
            default: ext.glUniform4fARB(location, f(0), f(1), f(2), f(3)); break;
        }
    }
    use_program(program_in_use(*scene));
}

}  // namespace

double load_shader(double slot_number, const DynString& vertex_file,
                   const DynString& fragment_file) {
    Rainbows3D* scene = scene_for_gl();
    const int32_t slot = whole(slot_number);
    if (!scene || !valid_slot(slot)) return 0;
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (!ext.has_shader_objects() || !ext.glUniform4fARB) {
        if (!scene->shader_support_reported) report_3d_error("No OpenGL 2.0 Shader Support");
        scene->shader_support_reported = true;
        return 0;
    }
    ShaderSlot& s = scene->shader_programs[slot];
    // Drawing must not go on with a program that is about to be deleted.
    if (scene->current_shader == slot) select_no_shader(*scene);
    delete_slot(s);
    s.vertex_shader = compile_file(vertex_file, GL_VERTEX_SHADER_ARB);
    s.fragment_shader = compile_file(fragment_file, GL_FRAGMENT_SHADER_ARB);
    if (!s.vertex_shader && !s.fragment_shader) return 0;
    s.program = ext.glCreateProgramObjectARB();
    if (!s.program) return 0;
    if (s.vertex_shader) ext.glAttachObjectARB(s.program, s.vertex_shader);
    if (s.fragment_shader) ext.glAttachObjectARB(s.program, s.fragment_shader);
    ext.glLinkProgramARB(s.program);
    GLint linked = 0;
    ext.glGetObjectParameterivARB(s.program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (linked) return 1;
    report_3d_error(info_log(s.program).c_str());
    return 0;
}

void use_shader(double slot_number) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene) return;
    const int32_t slot = whole(slot_number);
    if (!valid_slot(slot) || !scene->shader_programs[slot].program) {
        select_no_shader(*scene);
        return;
    }
    scene->current_shader = slot;
    use_program(scene->shader_programs[slot].program);
}

void set_shader_uniform(double slot, const DynString& name, double a) {
    const double v[] = {a};
    set_uniform(slot, name, 1, v);
}
void set_shader_uniform(double slot, const DynString& name, double a, double b) {
    const double v[] = {a, b};
    set_uniform(slot, name, 2, v);
}
void set_shader_uniform(double slot, const DynString& name, double a, double b, double c) {
    const double v[] = {a, b, c};
    set_uniform(slot, name, 3, v);
}
void set_shader_uniform(double slot, const DynString& name, double a, double b, double c,
                        double d) {
    const double v[] = {a, b, c, d};
    set_uniform(slot, name, 4, v);
}

void use_program(uint32_t program) {
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (ext.glUseProgramObjectARB) ext.glUseProgramObjectARB(program);
}

uint32_t program_in_use(const Rainbows3D& scene) {
    const int32_t slot = scene.current_shader;
    return valid_slot(slot) ? scene.shader_programs[slot].program : 0;
}

void select_no_shader(Rainbows3D& scene) {
    scene.current_shader = -1;
    use_program(0);
}

void release_shader_programs(Rainbows3D& scene) {
    if (!platform::has_gl_context() || !platform::gl_extensions().glDeleteObjectARB) return;
    select_no_shader(scene);
    for (ShaderSlot& slot : scene.shader_programs) delete_slot(slot);
}

}  // namespace runtime
