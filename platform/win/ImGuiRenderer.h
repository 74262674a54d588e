// SPDX-License-Identifier: MIT
// Draws ImGui's draw lists with OpenGL 3.3 core through libepoxy, so the
// window layer has one GL loader and can show the renderer's textures. Kept
// apart from the windows it paints for, as ImGui keeps its GL backend apart
// from its platform backend. Every call needs the layer's GL context current.
#pragma once

struct ImDrawData;
struct ImDrawList;
struct ImFontAtlas;

namespace win::imgui_gl {

// Builds the program, buffers, sampler and the atlas's font texture; once.
bool init(ImFontAtlas& atlas);
void shutdown();
// Into framebuffer 0 of `fbWidth` x `fbHeight` pixels.
void render(const ImDrawData& data, int fbWidth, int fbHeight);
// Draws a texture into `list` without blending, so that an alpha channel left
// at 0 by a renderer does not make it see-through. The texture's rows run
// bottom-up, as GL's do.
void drawOpaqueImage(ImDrawList* list, unsigned texture, float x0, float y0, float x1, float y1);

} // namespace win::imgui_gl
