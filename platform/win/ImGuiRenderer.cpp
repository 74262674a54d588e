// SPDX-License-Identifier: MIT
#include "win/ImGuiRenderer.h"

#include <cstddef>
#include <cstring>
#include <string>

#include <epoxy/gl.h>
#include <imgui.h>

#include "win/WinInternal.h"

namespace win::imgui_gl {
namespace {

struct Objects {
    GLuint program = 0, vao = 0, vbo = 0, ebo = 0, fontTexture = 0, sampler = 0;
    GLint textureUniform = -1, projectionUniform = -1;
} gl;

GLuint compile(GLenum type, const char* source) {
    GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char message[512] = {};
        glGetShaderInfoLog(shader, sizeof message, nullptr, message);
        log(u"win::imgui_gl: shader compile failed: " +
            std::u16string(message, message + std::strlen(message)));
    }
    return shader;
}

void setupRenderState(const ImDrawData& data, int fbWidth, int fbHeight) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glEnable(GL_BLEND);
    glBlendEquation(GL_FUNC_ADD);
    glBlendFuncSeparate(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_FRAMEBUFFER_SRGB);
    glEnable(GL_SCISSOR_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glViewport(0, 0, fbWidth, fbHeight);
    const float l = data.DisplayPos.x, r = data.DisplayPos.x + data.DisplaySize.x;
    const float t = data.DisplayPos.y, b = data.DisplayPos.y + data.DisplaySize.y;
    const float projection[4][4] = {
        {2.0f / (r - l), 0, 0, 0},
        {0, 2.0f / (t - b), 0, 0},
        {0, 0, -1, 0},
        {(r + l) / (l - r), (t + b) / (b - t), 0, 1},
    };
    glUseProgram(gl.program);
    glUniform1i(gl.textureUniform, 0);
    glUniformMatrix4fv(gl.projectionUniform, 1, GL_FALSE, &projection[0][0]);
    glActiveTexture(GL_TEXTURE0);
    glBindSampler(0, gl.sampler);
    glBindVertexArray(gl.vao);
    glBindBuffer(GL_ARRAY_BUFFER, gl.vbo);
}

void blendOff(const ImDrawList*, const ImDrawCmd*) {
    glDisable(GL_BLEND);
}
void blendOn(const ImDrawList*, const ImDrawCmd*) {
    glEnable(GL_BLEND);
}

} // namespace

bool init(ImFontAtlas& atlas) {
    IM_ASSERT(!gl.program && "The ImGui renderer is already initialised");
    const char* vertex = R"(#version 330 core
layout (location = 0) in vec2 position;
layout (location = 1) in vec2 uv;
layout (location = 2) in vec4 color;
uniform mat4 projection;
out vec2 fragUV;
out vec4 fragColor;
void main() {
    fragUV = uv;
    fragColor = color;
    gl_Position = projection * vec4(position, 0.0, 1.0);
})";
    const char* fragment = R"(#version 330 core
in vec2 fragUV;
in vec4 fragColor;
uniform sampler2D image;
layout (location = 0) out vec4 outColor;
void main() { outColor = fragColor * texture(image, fragUV); })";
    GLuint vs = compile(GL_VERTEX_SHADER, vertex), fs = compile(GL_FRAGMENT_SHADER, fragment);
    gl.program = glCreateProgram();
    glAttachShader(gl.program, vs);
    glAttachShader(gl.program, fs);
    glLinkProgram(gl.program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(gl.program, GL_LINK_STATUS, &linked);
    if (!linked) return false;
    gl.textureUniform = glGetUniformLocation(gl.program, "image");
    gl.projectionUniform = glGetUniformLocation(gl.program, "projection");

    glGenVertexArrays(1, &gl.vao);
    glGenBuffers(1, &gl.vbo);
    glGenBuffers(1, &gl.ebo);
    glBindVertexArray(gl.vao);
    glBindBuffer(GL_ARRAY_BUFFER, gl.vbo);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gl.ebo);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, sizeof(ImDrawVert),
                          reinterpret_cast<void*>(offsetof(ImDrawVert, pos)));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, sizeof(ImDrawVert),
                          reinterpret_cast<void*>(offsetof(ImDrawVert, uv)));
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(ImDrawVert),
                          reinterpret_cast<void*>(offsetof(ImDrawVert, col)));
    glBindVertexArray(0);

    // A sampler object of our own, so that whatever filters the engine's
    // renderer left on its textures, they sample complete and unfiltered.
    glGenSamplers(1, &gl.sampler);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glSamplerParameteri(gl.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    unsigned char* pixels = nullptr;
    int width = 0, height = 0;
    atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
    glGenTextures(1, &gl.fontTexture);
    glBindTexture(GL_TEXTURE_2D, gl.fontTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    atlas.SetTexID(reinterpret_cast<ImTextureID>(intptr_t(gl.fontTexture)));
    return glGetError() == GL_NO_ERROR;
}

void shutdown() {
    glDeleteProgram(gl.program);
    glDeleteVertexArrays(1, &gl.vao);
    glDeleteBuffers(1, &gl.vbo);
    glDeleteBuffers(1, &gl.ebo);
    glDeleteTextures(1, &gl.fontTexture);
    glDeleteSamplers(1, &gl.sampler);
    gl.program = gl.vao = gl.vbo = gl.ebo = gl.fontTexture = gl.sampler = 0;
}

void render(const ImDrawData& data, int fbWidth, int fbHeight) {
    if (fbWidth <= 0 || fbHeight <= 0) return;
    setupRenderState(data, fbWidth, fbHeight);
    const ImVec2 offset = data.DisplayPos, scaleBy = data.FramebufferScale;
    for (int n = 0; n < data.CmdListsCount; ++n) {
        const ImDrawList* list = data.CmdLists[n];
        glBufferData(GL_ARRAY_BUFFER,
                     GLsizeiptr(list->VtxBuffer.Size) * GLsizeiptr(sizeof(ImDrawVert)),
                     list->VtxBuffer.Data, GL_STREAM_DRAW);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                     GLsizeiptr(list->IdxBuffer.Size) * GLsizeiptr(sizeof(ImDrawIdx)),
                     list->IdxBuffer.Data, GL_STREAM_DRAW);
        for (const ImDrawCmd& cmd : list->CmdBuffer) {
            if (cmd.UserCallback) {
                if (cmd.UserCallback == ImDrawCallback_ResetRenderState)
                    setupRenderState(data, fbWidth, fbHeight);
                else
                    cmd.UserCallback(list, &cmd);
                continue;
            }
            const float x0 = (cmd.ClipRect.x - offset.x) * scaleBy.x,
                        y0 = (cmd.ClipRect.y - offset.y) * scaleBy.y;
            const float x1 = (cmd.ClipRect.z - offset.x) * scaleBy.x,
                        y1 = (cmd.ClipRect.w - offset.y) * scaleBy.y;
            if (x1 <= x0 || y1 <= y0) continue;
            glScissor(int(x0), int(float(fbHeight) - y1), int(x1 - x0), int(y1 - y0));
            glBindTexture(GL_TEXTURE_2D, GLuint(reinterpret_cast<intptr_t>(cmd.GetTexID())));
            glDrawElementsBaseVertex(
                GL_TRIANGLES, GLsizei(cmd.ElemCount),
                sizeof(ImDrawIdx) == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                reinterpret_cast<void*>(intptr_t(cmd.IdxOffset * sizeof(ImDrawIdx))),
                GLint(cmd.VtxOffset));
        }
    }
    glDisable(GL_SCISSOR_TEST);
    glBindSampler(0, 0);
    glBindVertexArray(0);
}

void drawOpaqueImage(ImDrawList* list, unsigned texture, float x0, float y0, float x1, float y1) {
    if (!texture) return;
    list->AddCallback(&blendOff, nullptr);
    list->AddImage(reinterpret_cast<ImTextureID>(intptr_t(texture)), ImVec2(x0, y0), ImVec2(x1, y1),
                   ImVec2(0, 1), ImVec2(1, 0));
    list->AddCallback(&blendOn, nullptr);
}

} // namespace win::imgui_gl
