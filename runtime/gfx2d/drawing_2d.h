// The 2D commands: sprite loading and drawing, collisions, grabbing, points, lines,
// rectangles, polygons, alpha modes, the viewport, backgrounds and saving pictures.
// Without an engine every command does nothing and returns 0; sprite numbers outside
// 0..65535 and tiled-image numbers outside 0..15 are ignored the same way.
#pragma once

#include <cstdint>

#include "runtime/core/dyn_string.h"
#include "runtime/gfx2d/image_files.h"
#include "runtime/gfx2d/opengl_rainbows.h"

namespace runtime {

// Loads a picture into the sprite with the transparent colour as key; 1, or 0 on failure.
double load_sprite(const DynString& file_name, double sprite);
// As load_sprite with key 0x8000FF and the picture turned into a normal map.
double load_bump_sprite(const DynString& file_name, double sprite);
// load_sprite, then sets the frame size when the picture is not empty.
double load_animated_sprite(const DynString& file_name, double sprite, double frame_width,
                            double frame_height);
// Width and height of the sprite's picture (0, 0 when empty).
void get_sprite_size(double sprite, double& width, double& height);
// Draws the picture at its own size, the position rounded up.
void draw_sprite(double sprite, double x, double y);
// Draws the picture stretched to width x height; one negative size mirrors it.
void draw_sprite_stretched(double sprite, double x, double y, double width, double height);
// Draws the picture zoomed, centred where the unzoomed picture would be.
void draw_sprite_zoomed(double sprite, double x, double y, double zoom_x, double zoom_y);
// Draws the picture rotated about its centre (degrees, counter-clockwise) and scaled.
void draw_sprite_rotozoomed(double sprite, double x, double y, double angle, double zoom = 1.0);
// Draws one animation frame (frames row by row from the top-left); nothing without frames.
void draw_sprite_frame(double sprite, double frame, double x, double y);
// 1 when the opaque pixels of the two sprites overlap, else 0.
double sprite_collision(double sprite1, double x1, double y1, double sprite2, double x2,
                        double y2);
// The same for one animation frame of each sprite.
double sprite_frame_collision(double sprite1, double frame1, double x1, double y1,
                              double sprite2, double frame2, double x2, double y2);
// Copies a rectangle of the screen into the sprite (transparent colour -> transparent).
void grab_sprite(double sprite, double x, double y, double width, double height);
// Writes the sprite's picture to a BMP or PNG file (by the name's ending); 1 or 0.
double save_sprite_image(const DynString& file_name, double sprite);
// Writes the whole back buffer to a BMP or PNG file; 1 or 0.
double save_screen_image(const DynString& file_name);
// Sets the transparent colour of sprites and the colour key of fonts.
void set_transparent_colour(double colour);
// 0: opaque; > 0: additive with alpha min(v, 1); < 0: blended with alpha min(-v, 1).
void set_alpha_mode(double value);
// One point in a colour.
void plot(double x, double y, double colour);
// A line including both end points.
void draw_line(double x1, double y1, double x2, double y2, double colour);
// A filled rectangle; negative sizes extend left and up.
void fill_rect(double x, double y, double width, double height, double colour);
// Colour (red | green << 8 | blue << 16) of a back-buffer pixel.
double read_pixel(double x, double y);
// Begins a polygon textured with the sprite (-1: untextured).
void start_polygon(double sprite);
// Adds a vertex at (x, y) with texture pixel (texture_x, texture_y) and a colour.
void add_polygon_vertex(double x, double y, double texture_x, double texture_y, double colour);
// Draws the polygon as one triangle fan.
void end_polygon();
// Leaves 3D mode and sets the 2D viewport; width or height <= 0: the whole screen.
void set_2d_viewport(double x, double y, double width, double height);
// Size of the window's drawing area.
void get_screen_size(double& width, double& height);
// Loads a picture as the background, cross-fading to it over 1500 ms; 1 or 0.
double load_background(const DynString& file_name);
// Makes the current back buffer the background (clear_screen, in the frame loop, removes it).
void use_screen_as_background();
// Draws the sprite and text quads collected so far; call it before touching OpenGL directly.
void flush_sprite_batch();

// Internal operations the other modules use.
bool valid_sprite(int64_t sprite);
bool valid_tiled_image(int64_t image);
// Deletes the sprite's textures (when OpenGL is ready), marks it empty, frees its alpha map.
void free_sprite(int32_t sprite);
// free_sprite, load the picture with a key, upload it; true on success.
bool load_sprite_image(const char* file_name, int32_t sprite, int64_t colour_key, bool normal_map);
// Adds quads (count vertices, 4 per quad) drawn with the sprite's texture, counter-clockwise
// or, for mirrored pictures, clockwise; the collected quads are drawn first when the texture
// or winding differs. False when there is no memory.
bool batch_quads(OpenGLRainbows* engine, int32_t sprite, bool clockwise,
                 const BatchVertex* vertices, int32_t count);
// Binds a sprite (and a second one on texture unit 0) for drawing; -1 disables texturing.
void bind_sprite(int32_t sprite, int32_t second_sprite = -1, bool mipmapped = false,
                 const uint32_t* texture_list = nullptr);
// One GL_QUADS primitive of four vertices x, y, u, v.
void draw_quad(const float vertices[16]);
// Draws batch_vertices as the primitive; nothing for an empty batch.
void draw_batch(uint32_t primitive);
void grab_screen_tiles(int32_t image);
void draw_tiled_image(int32_t image);
bool load_tiled_image(int32_t image, const char* file_name);
void free_tiled_image(int32_t image);
// 2D viewport and the fixed 2D OpenGL state; width or height <= 0: the whole screen.
void reset_2d_state(int32_t x, int32_t y, int32_t width, int32_t height);
// Stores the screen size and resets the 2D state for the whole screen.
void set_screen_size(int32_t width, int32_t height);
// Empties all sprite slots and tiled images.
void free_all_sprites();
// Alpha mode 0, then the background (tiled image 0); the frame loop calls this right
// after presenting a frame.
void draw_background();

}  // namespace runtime
