// Stencil shadows: while the pass runs, occluders count their shadow volumes into the
// stencil buffer (front faces up, back faces down); ending the pass darkens every pixel
// whose count is not zero and clears the stencil.
#include "runtime/gfx3d/shadow_pass.h"

#include <GL/gl.h>

#include <algorithm>

#include "runtime/gfx2d/drawing_2d.h"
#include "runtime/gfx2d/opengl_rainbows.h"
#include "runtime/gfx3d/rainbows3d.h"
#include "runtime/gfx3d/shaders_internal.h"
#include "runtime/platform/gl_extensions.h"

namespace runtime {

namespace {

// The darkening rectangle covers at least this much, and the whole screen beyond it.
constexpr int SHADE_WIDTH = 3000;
constexpr int SHADE_HEIGHT = 2000;
constexpr float SHADE_ALPHA = 0.5f;

// Texturing off on both units (the caller has saved the enable bits).
void disable_texturing() {
    const platform::GlExtensions& ext = platform::gl_extensions();
    if (ext.glActiveTextureARB) {
        ext.glActiveTextureARB(GL_TEXTURE1_ARB);
        glDisable(GL_TEXTURE_2D);
        ext.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glDisable(GL_TEXTURE_2D);
}

void begin_pass() {
    glShadeModel(GL_FLAT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_STENCIL_TEST);
    glDepthMask(GL_FALSE);
    glStencilFunc(GL_ALWAYS, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
}

// The pass's end: the counted pixels darkened over the whole screen. The 3D state (its
// viewport, depth test, lighting, fog) is kept, so drawing in 3D can go on afterwards.
void finish_pass(Rainbows3D& scene) {
    flush_sprite_batch();
    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    const OpenGLRainbows* e = scene.renderer;
    const int width = e ? e->screen_width : 0, height = e ? e->screen_height : 0;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT);
    glViewport(0, 0, width, height);
    use_program(0);
    disable_texturing();
    for (GLenum cap :
         std::initializer_list<GLenum>{GL_LIGHTING, GL_FOG, GL_DEPTH_TEST, GL_ALPHA_TEST, GL_CULL_FACE}) {
        glDisable(cap);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, SHADE_ALPHA);
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 0, ~0u);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    const float right = static_cast<float>(std::max(SHADE_WIDTH, width));
    const float bottom = static_cast<float>(std::max(SHADE_HEIGHT, height));
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(0, bottom);
    glVertex2f(right, bottom);
    glVertex2f(right, 0);
    glEnd();
    glPopAttrib();
    set_alpha_mode(0);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glShadeModel(GL_SMOOTH);
    glDepthFunc(GL_LESS);
    glDisable(GL_STENCIL_TEST);
    glClear(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    use_program(program_in_use(scene));
}

// A vertex of the volume: the mesh point itself, or its direction away from the light
// as a point at infinity.
void emit(const float* v, const float light[3], bool at_infinity) {
    if (at_infinity) {
        glVertex4f(v[0] - light[0], v[1] - light[1], v[2] - light[2], 0);
    } else {
        glVertex4f(v[0], v[1], v[2], 1);
    }
}

// The three vertices of triangle t, or false when an index lies outside the mesh.
bool triangle_vertices(const ShadowVolumeMesh& mesh, int32_t t, const float* v[3]) {
    for (int i = 0; i < 3; ++i) {
        const int64_t index = mesh.triangles ? mesh.triangles[static_cast<int64_t>(t) * 3 + i]
                                             : static_cast<int64_t>(t) * 3 + i;
        if (index < 0 || index >= mesh.vertex_count) return false;
        v[i] = mesh.positions + index * 3;
    }
    return true;
}

void draw_volume_geometry(const ShadowVolumeMesh& mesh, const float light[3], bool caps) {
    glBegin(GL_QUADS);
    for (int32_t t = 0; t < mesh.triangle_count; ++t) {
        const uint8_t flags = mesh.flags[t];
        const float* v[3];
        if (!(flags & SHADOW_FACES_LIGHT) || !triangle_vertices(mesh, t, v)) continue;
        for (int i = 0; i < 3; ++i) {
            if (!(flags & (SHADOW_SILHOUETTE_EDGE_0 << i))) continue;
            const float* a = v[i];
            const float* b = v[(i + 1) % 3];
            emit(b, light, false);
            emit(a, light, false);
            emit(a, light, true);
            emit(b, light, true);
        }
    }
    glEnd();
    if (!caps) return;
    glBegin(GL_TRIANGLES);
    for (int32_t t = 0; t < mesh.triangle_count; ++t) {
        const float* v[3];
        if (!triangle_vertices(mesh, t, v)) continue;
        const bool far_cap = !(mesh.flags[t] & SHADOW_FACES_LIGHT);
        for (int i = 2; i >= 0; --i) emit(v[i], light, far_cap);
    }
    glEnd();
}

}  // namespace

void set_shadow_pass(bool on) {
    Rainbows3D* scene = scene_for_gl();
    if (!scene || scene->shadow_pass_active == on) return;
    scene->shadow_pass_active = on;
    if (on) {
        begin_pass();
    } else {
        finish_pass(*scene);
    }
}

void end_shadow_pass() { set_shadow_pass(false); }

void draw_shadow_volume(const ShadowVolumeMesh& mesh, const float light[3], bool caps) {
    const Rainbows3D* scene = scene_for_gl();
    if (!scene || !scene->shadow_pass_active || !light || !mesh.positions || !mesh.flags ||
        mesh.vertex_count <= 0 || mesh.triangle_count <= 0) {
        return;
    }
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT | GL_STENCIL_BUFFER_BIT);
    use_program(0);
    disable_texturing();
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glStencilFunc(GL_ALWAYS, 0, ~0u);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    draw_volume_geometry(mesh, light, caps);
    glCullFace(GL_FRONT);
    glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
    draw_volume_geometry(mesh, light, caps);
    glPopAttrib();
    use_program(program_in_use(*scene));
}

}  // namespace runtime
