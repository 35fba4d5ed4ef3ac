// render: the drawing layer. One current screen (a window or a fullscreen mode over SDL2 with an
// OpenGL 1.1 context) and its drawing state; images of one or more frames; fonts rendered from
// TrueType files, and a built-in one; pixel buffers read back from the screen and written as PNG;
// the frame flip with its optional software pacing.
//
// Drawing positions are virtual units (SetVirtualSize); GrabPixmap, GrabImageFrame and screen sizes
// are real pixels. Angles are degrees, colours 0..255, alpha 0..1. Images and fonts are shared
// pointers, nullptr meaning "nothing loaded": drawing one draws nothing, its sizes are 0, and a
// nullptr font selects the built-in font.
//
// Drawing is batched: every shape is a quad in one vertex array, sent to OpenGL when the texture or
// the blend mode changes, when the batch is full, or when something needs the frame buffer (Cls,
// grabs, Flip). FlushDrawing sends it and starts the rasteriser working.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct SDL_Window;
struct DrawBatch;
struct FreeTypeLibrary;
struct TexturePage;
class TImageFont;
class TPelmoDriver;

// ---- Types -----------------------------------------------------------------------------------------
struct TGraphicsMode {
  int width = 0, height = 0;
  int depth = 0;  // bits per pixel
  int hertz = 0;  // 0 when the display does not say
};

inline constexpr int PixmapRGB888 = 4;
inline constexpr int PixmapRGBA8888 = 6;

// A pixel buffer: rows top to bottom, bytes R, G, B(, A) per pixel.
class TPixmap {
 public:
  TPixmap(int width, int height, int format = PixmapRGBA8888);
  uint32_t ReadPixel(int x, int y) const;        // 0xAARRGGBB; 0 outside the buffer
  void WritePixel(int x, int y, uint32_t argb);  // does nothing outside the buffer
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  int pitch = 0;  // bytes per row
  int format = PixmapRGBA8888;
  int capacity = 0;  // bytes held
};

// Where one frame of an image sits in a texture (the frames of a strip share one).
struct TImageFrame {
  std::shared_ptr<TexturePage> page;
  int cell = -1;
  float u0 = 0, v0 = 0, u1 = 0, v1 = 0;
};

inline constexpr int ImageMasked = 1, ImageFiltered = 2, ImageMipmapped = 4, ImageDynamic = 8;

class TImage {
 public:
  int width = 0, height = 0;  // size of one frame, pixels
  int flags = 0;              // ImageMasked | ImageFiltered | ImageMipmapped | ImageDynamic
  int mask_r = 0, mask_g = 0, mask_b = 0;  // the mask colour when the image was made
  float handle_x = 0, handle_y = 0;        // pixels from the frame's top-left to the drawing position
  std::vector<std::shared_ptr<TPixmap>> pixmaps;  // per-frame source pixels, kept for re-uploads
  std::vector<TImageFrame> frames;                // per-frame texture placement
  std::vector<int> seqs;  // per frame: the screen whose texture holds it (0 none yet)
};

struct TImageGlyph {
  std::shared_ptr<TImage> _image;  // nullptr for a glyph without a picture (a space)
  float _advance = 0;              // pen advance, pixels
  int _x = 0, _y = 0;              // picture's top-left from the pen position
  int _w = 0, _h = 0;              // picture size
};

inline constexpr int FontBold = 1, FontItalic = 2, FontSmooth = 4;

class TImageFont {
 public:
  // Opens a TrueType file at a pixel size; nullptr when it is missing or unreadable.
  static std::shared_ptr<TImageFont> Load(const std::string& path, int size, int style);
  TImageFont();
  ~TImageFont();
  TImageFont(const TImageFont&) = delete;
  TImageFont& operator=(const TImageFont&) = delete;
  int CharToGlyph(int code) const;       // glyph index of an 8-bit character code, -1 when absent
  const TImageGlyph* Glyph(int index);   // made on first use; nullptr for a bad index
  int Height() const { return height_; }  // line height, pixels

  void* _src_font = nullptr;  // the FreeType face; nullptr for the built-in font
  std::vector<std::unique_ptr<TImageGlyph>> _glyphs;
  int _imageFlags = 0;  // flags of the glyph images: 6 for smooth fonts, else 0

 private:
  friend struct FontMaker;
  std::shared_ptr<FreeTypeLibrary> library_;
  std::shared_ptr<const std::vector<unsigned char>> fileData_;  // the face reads it for its whole life
  int style_ = 0, size_ = 0, height_ = 0, ascender_ = 0;
  int cellSize_ = 0;  // texture block of one glyph picture
  std::vector<std::shared_ptr<TexturePage>> pages_;
};

// The drawing state of one screen.
struct TPelmoGraphics {
  int color_red = 255, color_green = 255, color_blue = 255;
  float color_alpha = 1;
  int clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
  float line_width = 1;  // real pixels
  float tform_rot = 0;
  float tform_scale_x = 1, tform_scale_y = 1;
  float tform_ix = 1, tform_iy = 0, tform_jx = 0, tform_jy = 1;
  int viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;  // virtual units
  float origin_x = 0, origin_y = 0;
  float handle_x = 0, handle_y = 0;  // stored negated
  std::shared_ptr<TImageFont> image_font;  // nullptr: the built-in font
  int blend_mode = 1;
  float vres_width = 0, vres_height = 0;
  float vres_mousexscale = 1, vres_mouseyscale = 1;  // virtual units per real pixel
  int g_width = 0, g_height = 0;                     // real pixels

  // The screen and the back end it draws through.
  TPelmoDriver* driver = nullptr;
  int depth = 0, hertz = 0, flags = 0;  // how the screen was opened
  bool opened = true;                    // false for a screen attached to a window made elsewhere
  float trig_rot = 0;                    // the rotation trig_cos and trig_sin belong to
  double trig_cos = 1, trig_sin = 0;
};

// ---- State -----------------------------------------------------------------------------------------
struct RenderState {
  RenderState();
  ~RenderState();
  RenderState& operator=(RenderState&&) noexcept;

  std::string AppTitle;  // the window title
  SDL_Window* Window = nullptr;
  void* GLContext = nullptr;
  bool OwnsWindow = true;
  std::unique_ptr<TPelmoGraphics> Current;  // the open screen, if any
  int ScreenSeq = 0;                        // numbers the screens; textures carry the one they belong to
  std::shared_ptr<int> ScreenAlive;         // held while the screen's GL context lives
  int MaxTextureSize = 16384;               // pixels, from the last screen opened
  int SwapInterval = -2;                    // last asked of the window system (-2 not yet)

  // Back ends: created on first use, the selected one and the flags it adds to every screen.
  std::unique_ptr<TPelmoDriver> Drivers[3];
  TPelmoDriver* Driver = nullptr;
  int DriverFlags = 0;

  // Layer-wide image settings.
  int MaskRed = 0, MaskGreen = 0, MaskBlue = 0;
  bool AutoCentre = false;
  int DefaultImageFlags = ImageMasked | ImageFiltered;  // used when a load passes -1

  std::shared_ptr<TImageFont> BuiltinFont;  // made on first use
  std::shared_ptr<FreeTypeLibrary> FreeType;
  // The bytes of each font file in use, shared by every size opened from it.
  std::map<std::string, std::weak_ptr<const std::vector<unsigned char>>> FontFiles;
  std::unique_ptr<DrawBatch> Batch;  // the open screen's vertex batch

  // Software pacing of Flip(-1) in a window.
  uint32_t PaceDue = 0;  // ms
  int PaceCarry = 0;
  bool PaceStarted = false;
};
extern RenderState Render;

// Closes any screen and forgets the layer's state (tests).
void ResetRenderState();
// Sets the title that windows carry.
void SetAppTitle(const std::string& title);
// Tunes the C allocator for the OpenGL rasteriser's per-frame buffers; call once at start-up.
void TuneMemoryForDrawing();

// ---- Back ends and modes -------------------------------------------------------------------------
TPelmoDriver* GLPelmoDriver();    // the OpenGL back end
TPelmoDriver* D3D9PelmoDriver();  // the Direct3D 9 choice (draws through OpenGL here)
TPelmoDriver* D3D7PelmoDriver();  // the Direct3D 7 choice (draws through OpenGL here)
TPelmoDriver* CurrentGraphicsDriver();
std::string GraphicsDriverName(const TPelmoDriver* driver);  // "OpenGL", "Direct3D 9", "Direct3D 7"
// Makes a back end current for later screens, closing the open screen when it changes.
void SelectGraphicsDriver(TPelmoDriver* driver, int defaultFlags);
int CountScreenModes();  // display modes of the current back end (listed once, then cached)
// Fields of mode index (from 0); false (and zeros) for an index outside the list.
bool GetScreenMode(int index, int& width, int& height, int& depth, int& hertz);
int ScreenModeExists(int width, int height, int depth, int hertz);  // 1 when listed; 0 matches anything

// ---- Screen --------------------------------------------------------------------------------------
// Opens a screen: depth 0 a window whose drawable area is width x height pixels, otherwise
// fullscreen at that mode; hertz paces Flip(-1). nullptr when the screen cannot be opened.
TPelmoGraphics* OpenScreen(int width, int height, int depth, int hertz, int flags);
// Makes a screen of a window opened elsewhere current (Flip(-1) then waits for the retrace).
TPelmoGraphics* AttachScreen(SDL_Window* window, int flags);
void CloseScreen();
TPelmoGraphics* CurrentScreen();  // nullptr when none is open
// Presents the back buffer after processing window events. sync 0 at once, 1 on the retrace,
// -1 paced in software in a window opened with hertz > 0, on the retrace in fullscreen.
void Flip(int sync = -1);
// Sends the queued drawing to OpenGL and starts it rasterising (the frame end calls it before it sleeps).
void FlushDrawing();
// Maps virtual (0, 0)-(width, height) onto the whole screen; sets the mouse scales.
void SetVirtualSize(float width, float height);
float VirtualMouseX();  // pointer position in virtual units
float VirtualMouseY();
void MovePointer(float x, float y);  // moves the pointer to a virtual position
void SetPointerVisible(int visible);  // shows (1) or hides (0) the system pointer

// ---- Drawing state ----------------------------------------------------------------------------------
void SetColor(int r, int g, int b);  // clamped to 0..255 when used
void GetColor(int& r, int& g, int& b);
void SetAlpha(float a);  // clamped to 0..1 when used
float GetAlpha();
void SetClsColor(int r, int g, int b);
// 1 masked (alpha test at 0.5), 2 solid, 3 alpha, 4 additive, 5 multiply.
void SetBlend(int mode);
int GetBlend();
void SetRotation(float degrees);
float GetRotation();
void SetScale(float sx, float sy);
void GetScale(float& sx, float& sy);
void SetOrigin(float x, float y);  // added to every drawing position
void SetHandle(float x, float y);  // the point of rectangles and text that lands on the position
void SetLineWidth(float width);    // real pixels
void SetViewport(int x, int y, int w, int h);  // clip rectangle, virtual units

// ---- Primitives ------------------------------------------------------------------------------------
void Cls();  // fills the whole back buffer with the clear colour
void DrawRect(float x, float y, float w, float h);
void DrawLine(float x, float y, float x2, float y2);  // the last pixel is drawn
void Plot(float x, float y);                            // one real pixel
void DrawOval(float x, float y, float w, float h);     // filled, inside the rectangle
void DrawPoly(const std::vector<float>& xy, float x = 0, float y = 0);  // filled convex polygon
void DrawPixmap(const TPixmap* pixmap, float x, float y);  // unscaled, in real pixels

// ---- Images ----------------------------------------------------------------------------------------
// flags -1 take the default (masked + filtered). nullptr when the file is missing or damaged.
std::shared_ptr<TImage> LoadImageFile(const std::string& path, int flags = -1);
// Cells first .. first + count - 1 of a grid of cellWidth x cellHeight cells, row by row;
// nullptr when the picture holds fewer whole cells.
std::shared_ptr<TImage> LoadImageStrip(const std::string& path, int cellWidth, int cellHeight, int first,
                                       int count, int flags = -1);
void SetMaskColor(int r, int g, int b);  // pixels of this colour become transparent in masked loads
void SetAutoCentreHandle(int on);        // new images get their handle at the centre
// An image whose frames start transparent; flag 8 (dynamic) is always added.
std::shared_ptr<TImage> CreateBlankImage(int width, int height, int frames, int flags);
// Copies the image-sized block of real back-buffer pixels at (x, y) into a frame.
void GrabImageFrame(const std::shared_ptr<TImage>& image, int x, int y, int frame);
void DrawImageFrame(TImage* image, float x, float y, int frame = 0);
// Makes the textures of every frame now for the open screen (they are otherwise made on first draw),
// so that the first frame of a loop that draws the image does not stall on uploads.
void PrepareImage(const std::shared_ptr<TImage>& image);
inline void DrawImageFrame(const std::shared_ptr<TImage>& image, float x, float y, int frame = 0) {
  DrawImageFrame(image.get(), x, y, frame);
}
int ImageWidth(const TImage* image);
int ImageHeight(const TImage* image);
int ImageFrames(const TImage* image);

// ---- Text ------------------------------------------------------------------------------------------
void SelectFont(std::shared_ptr<TImageFont> font);  // nullptr: the built-in 8 x 16 font
void DrawString(const std::string& text, float x, float y);
int StringWidth(const std::string& text);  // unscaled pixels
int FontHeight();

// ---- Pixel buffers ----------------------------------------------------------------------------------
// A copy of a block of the back buffer in real pixels, RGBA; parts outside the screen are 0.
std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h);
// Writes a PNG with that zlib level (0..9) and no row filter; 1 on success, 0 on failure (and no
// half file left behind).
int SavePixmapAsPNG(const TPixmap* pixmap, const std::string& path, int compression = 9);
// Decodes a PNG into RGBA (tests and tools); nullptr when missing or damaged.
std::shared_ptr<TPixmap> LoadPixmapPNG(const std::string& path);
