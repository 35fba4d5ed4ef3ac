// The drawing layer's state, its reset, and the allocator settings the rasteriser likes.
#include <malloc.h>

#include "core/core.h"
#include "render/render_internal.h"

RenderState Render;

RenderState::RenderState() = default;
RenderState::~RenderState() = default;
RenderState& RenderState::operator=(RenderState&&) noexcept = default;

void ResetRenderState() {
  CloseScreen();
  Render = RenderState{};
}

void SetAppTitle(const std::string& title) {
  Render.AppTitle = title;
  if (Render.Window && Render.OwnsWindow) SDL_SetWindowTitle(Render.Window, Utf8FromLatin1(title).c_str());
}

void TuneMemoryForDrawing() {
  // Mesa's software rasteriser allocates and frees large scene buffers every frame. With the C
  // library's defaults each of them is a fresh mmap whose pages fault in again every frame, and
  // freed heap is handed back to the system only to be asked for again. Keeping big blocks in the
  // heap and the heap's top resident removes that churn.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024 * 1024);
  mallopt(M_TOP_PAD, 16 * 1024 * 1024);
}
