// SPDX-License-Identifier: MIT
// The fixed-function program. Coordinate mapping, once for every draw:
// Direct3D's row-vector matrices are uploaded as they are, which OpenGL reads
// as their transposes, so `M * v` in GLSL is Direct3D's `v * M`. Clip-space
// z of 0..1 becomes OpenGL's -1..1 (z' = 2z - w). Clip-space y is negated so
// that row 0 of every target is Direct3D's top row: locks, read-backs and
// render-to-texture then need no flips, and Present flips once for the
// window. The negation mirrors the screen, so OpenGL sees Direct3D's
// clockwise triangles as counter-clockwise: glFrontFace(GL_CCW) with
// D3DCULL_CCW culling GL_BACK (Draw.cpp). Direct3D 9 puts pixel centres on
// whole coordinates, OpenGL on halves, hence the half-pixel shift below.
#include "d3d9/FixedFunction.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "d3d9/Format.h"
#include "d3d9/Log.h"

namespace d3d9 {
namespace {

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in float aPointSize;
layout(location = 5) in vec4 aTex0;
layout(location = 6) in vec4 aTex1;
layout(location = 7) in vec4 aTex2;
layout(location = 8) in vec4 aTex3;

uniform mat4 uWorldView;
uniform mat4 uProjection;
uniform mat3 uNormalMatrix;
uniform bool uPretransformed;
uniform vec4 uViewport;
uniform vec2 uDepthRange;
uniform bool uHasNormal, uHasDiffuse, uHasSpecular, uHasPointSize;
uniform bool uLighting, uNormalize, uLocalViewer, uColorVertex, uSpecularEnable;
uniform int uDiffuseSource, uAmbientSource, uSpecularSource, uEmissiveSource;
uniform vec4 uMaterialDiffuse, uMaterialAmbient, uMaterialSpecular, uMaterialEmissive;
uniform float uMaterialPower;
uniform vec4 uGlobalAmbient;
uniform int uLightCount;
uniform int uLightType[8];
uniform vec4 uLightDiffuse[8], uLightSpecular[8], uLightAmbient[8];
uniform vec3 uLightPosition[8], uLightDirection[8];
uniform vec4 uLightAttenuation[8];
uniform vec3 uLightSpot[8];
uniform int uFogMode; // D3DFOGMODE; 4: the specular alpha is the factor
uniform bool uRangeFog;
uniform float uFogStart, uFogEnd, uFogDensity;
uniform float uPointSize;
uniform int uTexSet[4];

out vec4 vDiffuse;
out vec4 vSpecular;
out float vFog;
out vec4 vTex0, vTex1, vTex2, vTex3;

vec4 materialColor(int source, vec4 material) {
    if (uColorVertex) {
        if (source == 1 && uHasDiffuse) return aDiffuse;
        if (source == 2 && uHasSpecular) return aSpecular;
    }
    return material;
}

vec4 texSet(int index) {
    if (index == 1) return aTex1;
    if (index == 2) return aTex2;
    if (index == 3) return aTex3;
    return aTex0;
}

void main() {
    vec3 eye = vec3(0.0);
    float depth = 0.0;
    if (uPretransformed) {
        float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
        vec2 ndc = vec2((aPosition.x + 0.5 - uViewport.x) / uViewport.z,
                        (aPosition.y + 0.5 - uViewport.y) / uViewport.w) * 2.0 - 1.0;
        float span = uDepthRange.y - uDepthRange.x;
        float z = span > 0.0 ? (aPosition.z - uDepthRange.x) / span : 0.0;
        gl_Position = vec4(ndc, z * 2.0 - 1.0, 1.0) * w;
        depth = aPosition.z;
    } else {
        vec4 position = uWorldView * aPosition;
        eye = position.xyz;
        vec4 clip = uProjection * position;
        gl_Position = vec4(clip.x + clip.w / uViewport.z, -clip.y + clip.w / uViewport.w,
                           2.0 * clip.z - clip.w, clip.w);
        depth = uRangeFog ? length(eye) : abs(eye.z);
    }

    if (uLighting && !uPretransformed) {
        vec3 n = uHasNormal ? uNormalMatrix * aNormal : vec3(0.0);
        if (uNormalize && dot(n, n) > 0.0) n = normalize(n);
        vec4 md = materialColor(uDiffuseSource, uMaterialDiffuse);
        vec4 ma = materialColor(uAmbientSource, uMaterialAmbient);
        vec4 ms = materialColor(uSpecularSource, uMaterialSpecular);
        vec4 me = materialColor(uEmissiveSource, uMaterialEmissive);
        vec3 toEye = uLocalViewer ? -normalize(eye) : vec3(0.0, 0.0, -1.0);
        vec3 ambient = uGlobalAmbient.rgb;
        vec3 diffuse = vec3(0.0);
        vec3 specular = vec3(0.0);
        for (int i = 0; i < uLightCount; ++i) {
            vec3 l;
            float attenuation = 1.0;
            if (uLightType[i] == 3) {
                l = -uLightDirection[i];
            } else {
                vec3 toLight = uLightPosition[i] - eye;
                float distance = length(toLight);
                if (distance > uLightAttenuation[i].w) continue;
                l = distance > 0.0 ? toLight / distance : vec3(0.0, 0.0, -1.0);
                float a = uLightAttenuation[i].x + uLightAttenuation[i].y * distance +
                          uLightAttenuation[i].z * distance * distance;
                attenuation = a > 0.0 ? 1.0 / a : 1.0;
                if (uLightType[i] == 2) {
                    float rho = dot(-l, uLightDirection[i]);
                    vec3 spot = uLightSpot[i];
                    if (rho <= spot.y) attenuation = 0.0;
                    else if (rho <= spot.x && spot.x > spot.y)
                        attenuation *= pow((rho - spot.y) / (spot.x - spot.y), spot.z);
                }
            }
            ambient += attenuation * uLightAmbient[i].rgb;
            float nl = dot(n, l);
            if (nl > 0.0) {
                diffuse += attenuation * nl * uLightDiffuse[i].rgb;
                if (uSpecularEnable) {
                    float nh = dot(n, normalize(l + toEye));
                    if (nh > 0.0)
                        specular += attenuation * pow(nh, uMaterialPower) * uLightSpecular[i].rgb;
                }
            }
        }
        vDiffuse = vec4(clamp(me.rgb + ambient * ma.rgb + diffuse * md.rgb, 0.0, 1.0), md.a);
        vSpecular = vec4(clamp(specular * ms.rgb, 0.0, 1.0), uHasSpecular ? aSpecular.a : 0.0);
    } else {
        vDiffuse = uHasDiffuse ? aDiffuse : vec4(1.0);
        vSpecular = uHasSpecular ? aSpecular : vec4(0.0);
    }

    if (uFogMode == 4) {
        vFog = uHasSpecular ? aSpecular.a : 1.0;
    } else if (uFogMode == 3) {
        float range = uFogEnd - uFogStart;
        vFog = range != 0.0 ? (uFogEnd - depth) / range : (depth < uFogEnd ? 1.0 : 0.0);
    } else if (uFogMode == 1) {
        vFog = exp(-uFogDensity * depth);
    } else if (uFogMode == 2) {
        vFog = exp(-(uFogDensity * depth) * (uFogDensity * depth));
    } else {
        vFog = 1.0;
    }
    vFog = clamp(vFog, 0.0, 1.0);

    gl_PointSize = uHasPointSize ? aPointSize : uPointSize;
    vTex0 = texSet(uTexSet[0]);
    vTex1 = texSet(uTexSet[1]);
    vTex2 = texSet(uTexSet[2]);
    vTex3 = texSet(uTexSet[3]);
}
)";

const char* kFragmentShader = R"(#version 330 core
in vec4 vDiffuse;
in vec4 vSpecular;
in float vFog;
in vec4 vTex0, vTex1, vTex2, vTex3;

uniform sampler2D uTexture0, uTexture1, uTexture2, uTexture3;
uniform bool uHasTexture[4];
uniform int uColorOp[4], uColorArg1[4], uColorArg2[4];
uniform int uAlphaOp[4], uAlphaArg1[4], uAlphaArg2[4];
uniform vec4 uTextureFactor;
uniform bool uSpecularAdd;
uniform bool uFogOn;
uniform vec3 uFogColor;
uniform int uAlphaFunc;
uniform float uAlphaRef;

out vec4 fragColor;

vec4 argument(int arg, vec4 current, vec4 tex) {
    int which = arg & 15;
    vec4 v = current;
    if (which == 0) v = vDiffuse;
    else if (which == 2) v = tex;
    else if (which == 3) v = uTextureFactor;
    else if (which == 4) v = vSpecular;
    if ((arg & 16) != 0) v = vec4(1.0) - v;
    if ((arg & 32) != 0) v = vec4(v.a);
    return v;
}

vec4 operation(int op, vec4 a, vec4 b) {
    vec4 r = a;
    if (op == 3) r = b;
    else if (op == 4) r = a * b;
    else if (op == 5) r = a * b * 2.0;
    else if (op == 6) r = a * b * 4.0;
    else if (op == 7) r = a + b;
    else if (op == 8) r = a + b - 0.5;
    else if (op == 9) r = (a + b - 0.5) * 2.0;
    else if (op == 10) r = a - b;
    else if (op == 11) r = a + b - a * b;
    return clamp(r, 0.0, 1.0);
}

bool passes(int func, float value, float reference) {
    if (func == 1) return false;
    if (func == 2) return value < reference;
    if (func == 3) return value == reference;
    if (func == 4) return value <= reference;
    if (func == 5) return value > reference;
    if (func == 6) return value != reference;
    if (func == 7) return value >= reference;
    return true;
}

void main() {
    vec4 tex[4];
    tex[0] = uHasTexture[0] ? texture(uTexture0, vTex0.xy) : vec4(1.0);
    tex[1] = uHasTexture[1] ? texture(uTexture1, vTex1.xy) : vec4(1.0);
    tex[2] = uHasTexture[2] ? texture(uTexture2, vTex2.xy) : vec4(1.0);
    tex[3] = uHasTexture[3] ? texture(uTexture3, vTex3.xy) : vec4(1.0);
    vec4 current = vDiffuse;
    for (int i = 0; i < 4; ++i) {
        if (uColorOp[i] == 1) break;
        vec4 t = tex[i];
        vec3 color = operation(uColorOp[i], argument(uColorArg1[i], current, t),
                               argument(uColorArg2[i], current, t)).rgb;
        float alpha = current.a;
        if (uAlphaOp[i] != 1)
            alpha = operation(uAlphaOp[i], argument(uAlphaArg1[i], current, t),
                              argument(uAlphaArg2[i], current, t)).a;
        current = vec4(color, alpha);
    }
    if (uSpecularAdd) current.rgb = clamp(current.rgb + vSpecular.rgb, 0.0, 1.0);
    // Direct3D compares the alpha as an 8-bit value with the 8-bit reference.
    if (!passes(uAlphaFunc, floor(current.a * 255.0 + 0.5), uAlphaRef)) discard;
    if (uFogOn) current.rgb = mix(uFogColor, current.rgb, vFog);
    fragColor = current;
}
)";

GLuint compile(GLenum kind, const char* source) {
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(size_t(length) + 1);
        glGetShaderInfoLog(shader, length, nullptr, text.data());
        logLine(std::string("the fixed-function shader did not compile: ") + text.data());
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

float asFloat(DWORD bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

using Matrix = std::array<float, 16>; // row-major, Direct3D's layout

Matrix toArray(const D3DMATRIX& m) {
    Matrix out;
    std::memcpy(out.data(), m.m, sizeof out);
    return out;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix out{};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
            out[r * 4 + c] = sum;
        }
    return out;
}

// The inverse of the upper 3 x 3 block, row-major; identity when singular.
std::array<float, 9> inverse3(const Matrix& m) {
    float a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9], i = m[10];
    float det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (std::fabs(det) < 1e-20f) return {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float s = 1.0f / det;
    return {(e * i - f * h) * s, (c * h - b * i) * s, (b * f - c * e) * s,
            (f * g - d * i) * s, (a * i - c * g) * s, (c * d - a * f) * s,
            (d * h - e * g) * s, (b * g - a * h) * s, (a * e - b * d) * s};
}

} // namespace

VertexLayout VertexLayout::decode(DWORD fvf) {
    VertexLayout layout;
    layout.fvf = fvf;
    int offset = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: layout.positionFloats = 3; break;
    case D3DFVF_XYZRHW:
        layout.positionFloats = 4;
        layout.pretransformed = true;
        break;
    case 0x4002: layout.positionFloats = 4; break; // XYZW
    case 0x6:
    case 0x8:
    case 0xA:
    case 0xC:
    case 0xE: {
        // Blend weights follow the position; they are skipped.
        layout.positionFloats = 3;
        offset += 4 * int(((fvf & D3DFVF_POSITION_MASK) - 0x4) / 2);
        logOnce("blend", "vertex blending is not honoured");
        break;
    }
    default: return layout;
    }
    offset += 4 * layout.positionFloats;
    if (fvf & D3DFVF_NORMAL) {
        layout.normal = offset;
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        layout.pointSize = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuse = offset;
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specular = offset;
        offset += 4;
    }
    layout.texCount = int((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
    if (layout.texCount > 8) return layout;
    for (int i = 0; i < layout.texCount; ++i) {
        static constexpr int kFloats[4] = {2, 3, 4, 1};
        layout.tex[i] = offset;
        layout.texSize[i] = kFloats[(fvf >> (16 + 2 * i)) & 3];
        offset += 4 * layout.texSize[i];
    }
    layout.stride = UINT(offset);
    layout.valid = true;
    return layout;
}

FixedFunction::~FixedFunction() {
    if (program_) glDeleteProgram(program_);
}

bool FixedFunction::build() {
    GLuint vertex = compile(GL_VERTEX_SHADER, kVertexShader);
    GLuint fragment = compile(GL_FRAGMENT_SHADER, kFragmentShader);
    if (!vertex || !fragment) {
        if (vertex) glDeleteShader(vertex);
        if (fragment) glDeleteShader(fragment);
        return false;
    }
    program_ = glCreateProgram();
    glAttachShader(program_, vertex);
    glAttachShader(program_, fragment);
    glBindFragDataLocation(program_, 0, "fragColor");
    glLinkProgram(program_);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = 0;
    glGetProgramiv(program_, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(program_, GL_INFO_LOG_LENGTH, &length);
        std::vector<char> text(size_t(length) + 1);
        glGetProgramInfoLog(program_, length, nullptr, text.data());
        logLine(std::string("the fixed-function program did not link: ") + text.data());
        glDeleteProgram(program_);
        program_ = 0;
        return false;
    }
    glUseProgram(program_);
    for (int i = 0; i < kStages; ++i) glUniform1i(location("uTexture" + std::to_string(i)), i);
    glUseProgram(0);
    return true;
}

GLint FixedFunction::location(const std::string& name) {
    auto found = locations_.find(name);
    if (found != locations_.end()) return found->second;
    GLint where = glGetUniformLocation(program_, name.c_str());
    locations_.emplace(name, where);
    return where;
}

void FixedFunction::apply(const DeviceState& state, const VertexLayout& layout,
                          const std::array<bool, kStages>& stageTextures) {
    glUseProgram(program_);
    const auto& rs = state.render;
    auto setBool = [&](const char* name, bool value) { glUniform1i(location(name), value); };
    auto setInt = [&](const std::string& name, int value) { glUniform1i(location(name), value); };
    auto setFloat = [&](const char* name, float value) { glUniform1f(location(name), value); };
    auto setColor = [&](const std::string& name, const D3DCOLORVALUE& c) {
        glUniform4f(location(name), c.r, c.g, c.b, c.a);
    };

    // Transforms.
    Matrix world = toArray(state.transforms[0]);
    Matrix view = toArray(state.transforms[1]);
    Matrix worldView = multiply(world, view);
    glUniformMatrix4fv(location("uWorldView"), 1, GL_FALSE, worldView.data());
    glUniformMatrix4fv(location("uProjection"), 1, GL_FALSE, toArray(state.transforms[2]).data());
    // Normals go through the inverse transpose; in GLSL's column form that
    // is the plain inverse, uploaded transposed from our row-major layout.
    std::array<float, 9> normal = inverse3(worldView);
    glUniformMatrix3fv(location("uNormalMatrix"), 1, GL_TRUE, normal.data());
    const D3DVIEWPORT9& vp = state.viewport;
    glUniform4f(location("uViewport"), float(vp.X), float(vp.Y), float(vp.Width), float(vp.Height));
    glUniform2f(location("uDepthRange"), vp.MinZ, vp.MaxZ);
    setBool("uPretransformed", layout.pretransformed);

    // Vertex contents.
    setBool("uHasNormal", layout.normal >= 0);
    setBool("uHasDiffuse", layout.diffuse >= 0);
    setBool("uHasSpecular", layout.specular >= 0);
    setBool("uHasPointSize", layout.pointSize >= 0);
    setFloat("uPointSize", asFloat(rs[D3DRS_POINTSIZE]));

    // Lighting.
    setBool("uLighting", rs[D3DRS_LIGHTING] != 0);
    setBool("uNormalize", rs[D3DRS_NORMALIZENORMALS] != 0);
    setBool("uLocalViewer", rs[D3DRS_LOCALVIEWER] != 0);
    setBool("uColorVertex", rs[D3DRS_COLORVERTEX] != 0);
    setBool("uSpecularEnable", rs[D3DRS_SPECULARENABLE] != 0);
    setInt("uDiffuseSource", int(rs[D3DRS_DIFFUSEMATERIALSOURCE]));
    setInt("uAmbientSource", int(rs[D3DRS_AMBIENTMATERIALSOURCE]));
    setInt("uSpecularSource", int(rs[D3DRS_SPECULARMATERIALSOURCE]));
    setInt("uEmissiveSource", int(rs[D3DRS_EMISSIVEMATERIALSOURCE]));
    setColor("uMaterialDiffuse", state.material.Diffuse);
    setColor("uMaterialAmbient", state.material.Ambient);
    setColor("uMaterialSpecular", state.material.Specular);
    setColor("uMaterialEmissive", state.material.Emissive);
    setFloat("uMaterialPower", state.material.Power);
    auto ambient = colorToFloats(rs[D3DRS_AMBIENT]);
    glUniform4f(location("uGlobalAmbient"), ambient[0], ambient[1], ambient[2], ambient[3]);
    int lights = 0;
    for (const auto& [index, slot] : state.lights) {
        if (!slot.enabled || lights == 8) continue;
        const D3DLIGHT9& l = slot.light;
        std::string at = "[" + std::to_string(lights) + "]";
        setInt("uLightType" + at, int(l.Type));
        setColor("uLightDiffuse" + at, l.Diffuse);
        setColor("uLightSpecular" + at, l.Specular);
        setColor("uLightAmbient" + at, l.Ambient);
        // Positions and directions into view space, as Direct3D lights.
        float p[3], d[3];
        for (int c = 0; c < 3; ++c) {
            p[c] = l.Position.x * view[c] + l.Position.y * view[4 + c] +
                   l.Position.z * view[8 + c] + view[12 + c];
            d[c] =
                l.Direction.x * view[c] + l.Direction.y * view[4 + c] + l.Direction.z * view[8 + c];
        }
        float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        if (length > 0)
            for (float& v : d) v /= length;
        glUniform3f(location("uLightPosition" + at), p[0], p[1], p[2]);
        glUniform3f(location("uLightDirection" + at), d[0], d[1], d[2]);
        glUniform4f(location("uLightAttenuation" + at), l.Attenuation0, l.Attenuation1,
                    l.Attenuation2, l.Type == D3DLIGHT_DIRECTIONAL ? 1e30f : l.Range);
        glUniform3f(location("uLightSpot" + at), std::cos(l.Theta / 2), std::cos(l.Phi / 2),
                    l.Falloff);
        ++lights;
    }
    setInt("uLightCount", lights);

    // Fog: table fog is computed per vertex like vertex fog; without either
    // mode the specular alpha carries the fog factor, as Direct3D does.
    bool fog = rs[D3DRS_FOGENABLE] != 0;
    int fogMode = 0;
    if (fog) {
        if (rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE)
            fogMode = int(rs[D3DRS_FOGTABLEMODE]);
        else if (rs[D3DRS_FOGVERTEXMODE] != D3DFOG_NONE && !layout.pretransformed)
            fogMode = int(rs[D3DRS_FOGVERTEXMODE]);
        else
            fogMode = 4;
    }
    setInt("uFogMode", fogMode);
    setBool("uFogOn", fog);
    setBool("uRangeFog", rs[D3DRS_RANGEFOGENABLE] != 0);
    setFloat("uFogStart", asFloat(rs[D3DRS_FOGSTART]));
    setFloat("uFogEnd", asFloat(rs[D3DRS_FOGEND]));
    setFloat("uFogDensity", asFloat(rs[D3DRS_FOGDENSITY]));
    auto fogColor = colorToFloats(rs[D3DRS_FOGCOLOR]);
    glUniform3f(location("uFogColor"), fogColor[0], fogColor[1], fogColor[2]);

    // Texture stages.
    for (int s = 0; s < kStages; ++s) {
        const auto& t = state.stage[size_t(s)];
        std::string at = "[" + std::to_string(s) + "]";
        DWORD set = t[D3DTSS_TEXCOORDINDEX] & 0xFFFF;
        setInt("uTexSet" + at, set < 4 ? int(set) : 0);
        setInt("uHasTexture" + at, stageTextures[size_t(s)]);
        setInt("uColorOp" + at, int(t[D3DTSS_COLOROP]));
        setInt("uColorArg1" + at, int(t[D3DTSS_COLORARG1]));
        setInt("uColorArg2" + at, int(t[D3DTSS_COLORARG2]));
        setInt("uAlphaOp" + at, int(t[D3DTSS_ALPHAOP]));
        setInt("uAlphaArg1" + at, int(t[D3DTSS_ALPHAARG1]));
        setInt("uAlphaArg2" + at, int(t[D3DTSS_ALPHAARG2]));
    }
    auto factor = colorToFloats(rs[D3DRS_TEXTUREFACTOR]);
    glUniform4f(location("uTextureFactor"), factor[0], factor[1], factor[2], factor[3]);
    setBool("uSpecularAdd", rs[D3DRS_SPECULARENABLE] != 0);
    setInt("uAlphaFunc", rs[D3DRS_ALPHATESTENABLE] ? int(rs[D3DRS_ALPHAFUNC]) : int(D3DCMP_ALWAYS));
    setFloat("uAlphaRef", float(rs[D3DRS_ALPHAREF] & 0xFF));
}

} // namespace d3d9
