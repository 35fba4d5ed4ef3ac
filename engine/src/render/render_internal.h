// What the drawing layer's own files share: the back-end interface, texture pages, the vertex
// batch and the PNG codec. Nothing outside src/render includes this.
#pragma once

#include <GL/gl.h>
#include <SDL.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/render.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_TEXTURE_MAX_LEVEL
#define GL_TEXTURE_MAX_LEVEL 0x813D
#endif

// ---- Back ends ---------------------------------------------------------------------------------------
// The operations every back end provides, in slot order: the screen-driver operations, then the
// drawing operations. Coordinates reaching the drawing operations are virtual units already moved
// by the origin; the back end applies the transform it was given.
class TPelmoDriver {
 public:
  explicit TPelmoDriver(std::string name) : name_(std::move(name)) {}
  virtual ~TPelmoDriver() = default;
  const std::string& Name() const { return name_; }

  virtual const std::vector<TGraphicsMode>& GraphicsModes() = 0;
  virtual bool AttachGraphics(SDL_Window* window, int flags) = 0;
  virtual bool CreateGraphics(int width, int height, int depth, int hertz, int flags) = 0;
  virtual void SetGraphics(TPelmoGraphics* g) = 0;
  virtual void Flip(int sync) = 0;

  virtual bool CreateFrameFromPixmap(TImage& image, int frame) = 0;
  virtual void SetBlend(int mode) = 0;
  virtual void SetAlpha(float alpha) = 0;
  virtual void SetColor(int r, int g, int b) = 0;
  virtual void SetClsColor(int r, int g, int b) = 0;
  virtual void SetViewport(int x, int y, int w, int h) = 0;
  virtual void SetTransform(float ix, float iy, float jx, float jy) = 0;
  virtual void SetLineWidth(float width) = 0;
  virtual void Cls() = 0;
  virtual void Plot(float x, float y) = 0;
  virtual void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawPoly(const std::vector<float>& xy, float handleX, float handleY, float tx, float ty) = 0;
  virtual void DrawPixmap(const TPixmap& pixmap, float x, float y) = 0;
  virtual std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) = 0;
  virtual void SetResolution(float width, float height) = 0;

 protected:
  std::vector<TGraphicsMode> modes_;
  bool modesListed_ = false;

 private:
  std::string name_;
};

// The OpenGL back end. The two Direct3D choices are this back end under their own names, each
// with its own cached mode list.
class TGLPelmoDriver : public TPelmoDriver {
 public:
  TGLPelmoDriver() : TPelmoDriver("OpenGL") {}
  explicit TGLPelmoDriver(std::string name) : TPelmoDriver(std::move(name)) {}
  const std::vector<TGraphicsMode>& GraphicsModes() override;
  bool AttachGraphics(SDL_Window* window, int flags) override;
  bool CreateGraphics(int width, int height, int depth, int hertz, int flags) override;
  void SetGraphics(TPelmoGraphics* g) override;
  void Flip(int sync) override;
  bool CreateFrameFromPixmap(TImage& image, int frame) override;
  void SetBlend(int mode) override;
  void SetAlpha(float alpha) override;
  void SetColor(int r, int g, int b) override;
  void SetClsColor(int r, int g, int b) override;
  void SetViewport(int x, int y, int w, int h) override;
  void SetTransform(float ix, float iy, float jx, float jy) override;
  void SetLineWidth(float width) override;
  void Cls() override;
  void Plot(float x, float y) override;
  void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void DrawPoly(const std::vector<float>& xy, float handleX, float handleY, float tx, float ty) override;
  void DrawPixmap(const TPixmap& pixmap, float x, float y) override;
  std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) override;
  void SetResolution(float width, float height) override;
};
class TD3D9PelmoDriver : public TGLPelmoDriver {
 public:
  TD3D9PelmoDriver() : TGLPelmoDriver("Direct3D 9") {}
};
class TD3D7PelmoDriver : public TGLPelmoDriver {
 public:
  TD3D7PelmoDriver() : TGLPelmoDriver("Direct3D 7") {}
};

// ---- Texture pages -----------------------------------------------------------------------------------
// One texture holding one or more cells. A cell owns a block of the page: its picture, a gutter of
// its edge pixels repeated around it, and (in mipmapped pages) that repetition continued to the end
// of a power-of-two block, so neither filtering nor the smaller mipmap levels ever mix in colour
// from outside the cell's own pixels.
struct TextureCell {
  std::shared_ptr<TPixmap> pixels;  // nullptr: a white block (for shapes drawn with this texture bound)
  int x = 0, y = 0;                 // picture's top-left in the page
  int blockX = 0, blockY = 0, blockW = 0, blockH = 0;
  bool uploaded = false;
};

struct TexturePage {
  TexturePage(int width, int height, bool filtered, bool mipmapped);
  ~TexturePage();
  TexturePage(const TexturePage&) = delete;
  TexturePage& operator=(const TexturePage&) = delete;

  int width, height;  // powers of two
  bool filtered, mipmapped;
  int maxLevel = 0;  // mipmapped: the smallest level made
  std::vector<TextureCell> cells;
  GLuint texture = 0;
  int seq = 0;  // the screen the texture was made for
  std::weak_ptr<int> alive;
  bool hasWhite = false;
  float whiteU = 0, whiteV = 0;
};

// Adds a cell for a picture whose block is (bx, by, bw, bh); returns its index.
int AddCell(TexturePage& page, std::shared_ptr<TPixmap> pixels, int bx, int by, int bw, int bh);
// Adds a white block and remembers its centre as the page's white texel.
void AddWhiteCell(TexturePage& page, int bx, int by, int size);
// Makes sure the page's texture exists on the current screen and holds the cell; false when no
// screen is open or the texture cannot be made.
bool PrepareCell(TexturePage& page, int cell);
// Marks a cell to be uploaded again at its next use.
void InvalidateCell(TexturePage& page, int cell);
// Lays out the frames of an image in as few pages as the texture size limit allows and fills
// image.frames; false when a frame is larger than a texture may be.
bool PlaceFrames(TImage& image);
// Smallest power of two >= n (n >= 1).
int PowerOfTwo(int n);

// ---- The vertex batch -------------------------------------------------------------------------------
struct BatchVertex {
  float x, y;  // virtual units
  float u, v;
  uint32_t rgba;  // bytes R, G, B, A
};
inline constexpr int BatchQuads = 8192;  // 32768 vertices: 16-bit indices reach them all

struct DrawBatch {
  DrawBatch();
  std::vector<BatchVertex> vertices;  // BatchQuads * 4, never reallocated (GL points at it)
  std::vector<uint16_t> indices;      // two triangles per quad, built once
  int quads = 0;
  TexturePage* page = nullptr;  // texture of the queued quads
  int blend = 1;                // blend mode of the queued quads
  int drawBlend = 1;            // blend mode the next quads are drawn with
  // What OpenGL currently has.
  int appliedBlend = 0;
  GLuint boundTexture = 0;
  bool scissor = false;
  // The drawing state in the form the vertices need it.
  uint32_t color = 0xffffffffu;
  float ix = 1, iy = 0, jx = 0, jy = 1;
  float lineWidth = 1;
  std::shared_ptr<TexturePage> white;  // a plain white texture for shapes drawn before any image
  std::shared_ptr<TexturePage> scratch;  // DrawPixmap's texture
};

// Sends the queued quads to OpenGL.
void FlushBatch();
void ApplyBlend(int mode);
// Room for one quad drawn from page with the given blend mode, flushing first when either differs
// from the queued quads or the batch is full.
inline BatchVertex* BatchQuad(TexturePage* page, int blend) {
  DrawBatch& b = *Render.Batch;
  if (b.page != page || b.blend != blend || b.quads == BatchQuads) {
    if (b.quads) FlushBatch();
    b.page = page;
    b.blend = blend;
  }
  return &b.vertices[static_cast<size_t>(b.quads++) * 4];
}
// Room for one untextured quad: drawn with the white texel of the queued texture when it has one,
// so shapes between sprites do not break the batch. u, v receive the texel.
BatchVertex* ShapeQuad(float& u, float& v);
// Prepares a frame of an image for drawing on the current screen; false when it cannot be drawn.
bool PrepareFrame(TImage& image, int frame);

// ---- Pictures ------------------------------------------------------------------------------------
// Largest picture side a load accepts, and the most pixels (beyond either the load gives nullptr).
inline constexpr int MaxPictureSide = 1 << 20;
inline constexpr int64_t MaxPicturePixels = int64_t{1} << 26;
// Decodes a PNG file to RGBA; hasAlpha tells whether the file carried transparency.
std::shared_ptr<TPixmap> DecodePng(const std::string& path, bool& hasAlpha);
// Applies the mask colour: matching pixels become transparent with the average colour of their
// non-matching neighbours, every other pixel opaque.
void ApplyMask(TPixmap& pixmap, int r, int g, int b);
// New image with the layer's settings (mask colour, automatic centring).
std::shared_ptr<TImage> NewImage(int width, int height, int frames, int flags);

// ---- Fonts -------------------------------------------------------------------------------------------
// The built-in 8 x 16 font for codes 32..127.
std::shared_ptr<TImageFont> MakeBuiltinFont();
// Packs a glyph picture into the font's pages and makes its image.
std::shared_ptr<TImage> MakeGlyphImage(std::shared_ptr<TPixmap> pixels, int imageFlags, int cellSize,
                                       std::vector<std::shared_ptr<TexturePage>>& pages);
