// The 2D engine object: 65536 sprite slots, alpha maps, 16 tiled images, 32 render
// targets, the vertex batch, and the state every 2D drawing command works with.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace runtime {

constexpr int32_t SPRITE_COUNT = 65536;
constexpr int32_t FONT_SLOT_BASE = 0xFFE0;
constexpr int32_t FONT_COUNT = 32;
constexpr int32_t SCRATCH_SLOT = 65503;
constexpr int32_t TILED_IMAGE_COUNT = 16;
constexpr int32_t MAX_TILE_COLUMNS = 64;
constexpr int32_t MAX_TILE_ROWS = 64;
constexpr int32_t RENDER_TARGET_COUNT = 32;
constexpr int32_t VERTEX_GROWTH_STEP = 128;
constexpr int32_t VERTEX_MIN_CAPACITY = 512;

// One numbered sprite: the picture in the lower-left corner of a power-of-two texture.
struct SpriteSlot {
    uint32_t texture;
    uint32_t mip_texture;
    int16_t texture_width;   // -1 when empty
    int16_t texture_height;  // -1 when empty
    int16_t width;
    int16_t height;
    int16_t frame_width;     // 0: no frames set
    int16_t frame_height;
};
static_assert(sizeof(SpriteSlot) == 20);

// One vertex of a batch: position x, y, z and texture coordinates u, v.
struct BatchVertex {
    float x, y, z, u, v;
};
static_assert(sizeof(BatchVertex) == 20);

// One polygon vertex: position, texture coordinates, colour red, green, blue, alpha.
struct PolygonVertex {
    float x, y, u, v, red, green, blue, alpha;
};
static_assert(sizeof(PolygonVertex) == 32);

// A growable vertex array: at least VERTEX_MIN_CAPACITY, grown in VERTEX_GROWTH_STEP steps.
template <class T>
struct VertexList {
    T* items = nullptr;
    int32_t count = 0;
    int32_t capacity = 0;
    int32_t growth_count = 0;  // reallocations so far, for figures and tests

    VertexList() = default;
    VertexList(const VertexList&) = delete;
    VertexList& operator=(const VertexList&) = delete;
    ~VertexList() { std::free(items); }

    // Room for n vertices; false when memory runs out (the list is unchanged then).
    bool reserve(int32_t n) {
        if (n <= capacity) return true;
        int64_t grown = (static_cast<int64_t>(n) + VERTEX_GROWTH_STEP - 1) / VERTEX_GROWTH_STEP *
                        VERTEX_GROWTH_STEP;
        if (grown < VERTEX_MIN_CAPACITY) grown = VERTEX_MIN_CAPACITY;
        if (grown > (int64_t{1} << 28)) return false;
        void* p = std::realloc(items, static_cast<size_t>(grown) * sizeof(T));
        if (!p) return false;
        items = static_cast<T*>(p);
        capacity = static_cast<int32_t>(grown);
        ++growth_count;
        return true;
    }
    void clear() { count = 0; }
    bool push(const T& vertex) {
        if (!reserve(count + 1)) return false;
        items[count++] = vertex;
        return true;
    }
};

// Sprite and text quads collected for one draw call: all of one sprite's texture and one
// winding, drawn when a command needs the OpenGL state or the frame.
struct SpriteBatch {
    VertexList<BatchVertex> vertices;
    int32_t sprite = -1;  // the sprite bound for them
    uint32_t texture = 0;
    bool clockwise = false;  // mirrored quads: front faces clockwise while they are drawn
    bool alone = false;      // quads that reach beyond the viewport: never joined by others
    // The alpha mode last set while nothing but sprite drawing touched OpenGL, so that
    // setting it again need not end the batch.
    bool alpha_mode_known = false;
    int32_t blending = 0;  // 0 off, 1 additive, 2 blended
    float alpha = 0.0f;
    int32_t draw_calls = 0;  // batches drawn so far, for figures and tests
};

// A picture cut into square tiles, each its own texture; tile (column, row) at
// index column * MAX_TILE_ROWS + row.
struct TiledImage {
    struct Tile {
        int32_t texture = 0;
        int32_t texture_width = 0;
        int32_t texture_height = 0;
        int32_t used_width = 0;
        int32_t used_height = 0;
    };
    Tile tiles[MAX_TILE_COLUMNS * MAX_TILE_ROWS];
    int32_t columns = 0;
    int32_t rows = 0;
};

// A render target: a framebuffer object drawing into a sprite, or the emulation.
struct RenderTarget {
    uint32_t framebuffer = 0;
    uint32_t depth_buffer = 0;
    int32_t fb_width = 0;   // 0: no usable framebuffer
    int32_t fb_height = 0;
    int32_t sprite = 0;
};

class OpenGLRainbows {
public:
    // Sets the global engine pointer; the destructor clears it.
    OpenGLRainbows();
    virtual ~OpenGLRainbows();
    OpenGLRainbows(const OpenGLRainbows&) = delete;
    OpenGLRainbows& operator=(const OpenGLRainbows&) = delete;

    VertexList<BatchVertex> batch_vertices;
    int32_t bound_sprite = -1;
    int32_t bound_second_sprite = -1;
    int32_t bound_mipmapped = 0;
    std::unique_ptr<SpriteSlot[]> sprites;
    float alpha = 0.0f;
    RenderTarget render_targets[RENDER_TARGET_COUNT];
    int32_t current_render_target = -1;
    std::unique_ptr<std::unique_ptr<uint8_t[]>[]> alpha_maps;
    std::unique_ptr<TiledImage[]> tiled_images;
    int32_t screen_width = 0;
    int32_t screen_height = 0;
    int32_t colour_depth = 0;
    int32_t viewport_x = 0;
    int32_t viewport_y = 0;
    int32_t viewport_width = 0;
    int32_t viewport_height = 0;
    // NO_TRANSPARENT_COLOUR after set_transparent_colour(-1).
    uint32_t transparent_colour = 0x8000FF;
    uint32_t font_colour_key = 0;
    bool gl_ready = false;

    // Sprite and text quads waiting for their draw call.
    SpriteBatch sprite_batch;
    // The polygon under construction (start_polygon ... end_polygon).
    VertexList<PolygonVertex> polygon_vertices;
    // Alpha bits of the back buffer, once found non-zero (0: not yet found).
    int32_t back_buffer_alpha_bits = 0;
    // Scratch block of grab_sprite's key-colour path, kept between calls.
    std::vector<uint8_t> grab_scratch;
};

// The transparent colour set by set_transparent_colour(-1): no colour is transparent.
constexpr uint32_t NO_TRANSPARENT_COLOUR = 0xFFFFFFFFu;
// A transparent colour as the colour key of loads and saves: the 24-bit colour, or -1
// (no key) for NO_TRANSPARENT_COLOUR.
inline int64_t colour_key_of(uint32_t transparent) {
    return transparent == NO_TRANSPARENT_COLOUR ? -1 : static_cast<int64_t>(transparent & 0xFFFFFF);
}

// The engine (null when none exists).
OpenGLRainbows* rainbows();

// Seams and upward hooks of the 2D engine; defaults are the real thing or nothing.
struct Gfx2dHooks {
    // Leaves the 3D scene's 3D mode before set_2d_viewport (set by the 3D engine).
    std::function<void()> leave_3d_mode;
    // Releases the 3D scene bound to the engine, first thing in the engine's destruction
    // (set by the 3D engine).
    std::function<void()> release_3d_scene;
    // Presents a frame (load_background's cross-fade); default: the frame loop's show_screen.
    std::function<void()> show_frame;
    // Alpha bits of the back buffer; default: asks OpenGL. Tests force the key-colour path.
    std::function<int()> query_alpha_bits;
};
Gfx2dHooks& gfx2d_hooks();

// Creates the engine, joins it to the frame loop's hooks and registers its teardown as
// the 2D engine's shut-down step.
OpenGLRainbows* create_engine_2d();
// Destroys the engine (ends a render target, frees targets, sprites, the window); no-op
// without one.
void destroy_engine_2d();

}  // namespace runtime
