// The page's drawing calls (page.js) and the layout of the structs they hand over.
// The WebGL 2 context, meshes, textures, a recorded frame; gl.cpp, glu.cpp and glut.cpp call these.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The page reads these structs as 32-bit words: floats through a Float32Array, ints through
// an Int32Array, attributes as gl.FLOAT.
static_assert(sizeof(float) == 4 && sizeof(int) == 4, "the page reads 32-bit words");
// WebGL takes no attribute stride above 255 bytes.
const size_t WEBGL_MAX_STRIDE = 255;
// A uniform vec4's size: the environment is read as an array of them.
const size_t VEC4_BYTES = 4 * sizeof(float);

// What a draw is made with, as GL had it at the call; the vertex shader takes it as
// attributes, per instance for a mesh, per vertex for the frame's own vertices.
struct WebState {
    float modelview[16];     // a mat4: four columns of four
    float normalMatrix[12];  // a mat3: the inverse transpose of the modelview's upper 3 x 3, by columns of four
    float ambient[4], diffuse[4], emission[4];  // the front material
    float texCoord[4];       // s, t; for a mesh, the current one: its vertices give none
};
static_assert(sizeof(WebState::modelview) == 4 * VEC4_BYTES, "the shader's mat4 modelview");
static_assert(sizeof(WebState::normalMatrix) == 3 * VEC4_BYTES, "the shader's mat3: a column every four floats");
static_assert(sizeof(WebState::texCoord) >= 2 * sizeof(float), "the shader's vec2 texCoord");
static_assert(sizeof(WebState) <= WEBGL_MAX_STRIDE, "a mesh instance is one attribute stride");

// One vertex sent between glBegin and glEnd: in object space, with the state it was sent under.
struct WebVertex {
    float position[3];
    float normal[3];
    WebState state;
};
static_assert(sizeof(WebVertex) <= WEBGL_MAX_STRIDE, "a vertex is one attribute stride");

// A mesh's vertex: the state comes per instance.
struct WebMeshVertex {
    float position[3];
    float normal[3];
};

// The rest of what the shader needs, shared by many draws; the shader takes it whole as a
// uniform array of vec4s, so every field starts on one.
struct WebLight {
    float ambient[4], diffuse[4];
    float position[4];  // in eye coordinates, as set
};
struct WebEnvironment {
    float projection[16];
    float modelAmbient[4];
    float switches[4];  // lighting, light 0, light 1: 1 on, 0 off
    WebLight lights[2];
};
static_assert(sizeof(WebLight) % VEC4_BYTES == 0 && offsetof(WebLight, diffuse) % VEC4_BYTES == 0 &&
                  offsetof(WebLight, position) % VEC4_BYTES == 0,
              "a light's fields are whole vec4s");
static_assert(sizeof(WebEnvironment) % VEC4_BYTES == 0 && offsetof(WebEnvironment, modelAmbient) % VEC4_BYTES == 0 &&
                  offsetof(WebEnvironment, switches) % VEC4_BYTES == 0 &&
                  offsetof(WebEnvironment, lights) % VEC4_BYTES == 0,
              "the environment's fields are whole vec4s");

// What a frame asks of the page, in order.
enum WebCommandKind { WEB_VIEWPORT, WEB_CLEAR, WEB_DRAW };
struct WebCommand {
    int kind;
    int mesh;              // draw: 0 for the frame's own vertices, else a mesh from webglCreateMesh
    int first, count;      // draw: a range of the frame's indices, or of its instances for a mesh
    int texture;           // draw: 0 untextured
    int depthTest;         // draw
    int environment;       // draw: index into the frame's environments
    int viewport[4];       // viewport: x, y, width, height
    int clearMask;         // clear
    float clearColour[4];  // clear
};

// The page learns the structs above from the program, not from numbers of its own: each
// one's size, each field's offset and size, and the command kinds, by their C++ names
// ("sizeof WebState", "offsetof WebState.ambient", "sizeof WebState.ambient", "WEB_CLEAR"),
// as this compiler lays them out. A name the page asks for and is not given stops it.
struct WebLayoutEntry {
    const char* name;
    int value;
};
#define WEB_SIZE(type) WebLayoutEntry{"sizeof " #type, (int)sizeof(type)}
#define WEB_FIELD(type, field) \
    WebLayoutEntry{"offsetof " #type "." #field, (int)offsetof(type, field)}, \
    WebLayoutEntry{"sizeof " #type "." #field, (int)sizeof(type::field)}
#define WEB_VALUE(name) WebLayoutEntry{#name, name}
inline constexpr WebLayoutEntry WEB_LAYOUT[] = {
    WEB_SIZE(WebState), WEB_FIELD(WebState, modelview), WEB_FIELD(WebState, normalMatrix),
    WEB_FIELD(WebState, ambient), WEB_FIELD(WebState, diffuse), WEB_FIELD(WebState, emission),
    WEB_FIELD(WebState, texCoord),
    WEB_SIZE(WebVertex), WEB_FIELD(WebVertex, position), WEB_FIELD(WebVertex, normal), WEB_FIELD(WebVertex, state),
    WEB_SIZE(WebMeshVertex), WEB_FIELD(WebMeshVertex, position), WEB_FIELD(WebMeshVertex, normal),
    WEB_SIZE(WebLight), WEB_FIELD(WebLight, ambient), WEB_FIELD(WebLight, diffuse), WEB_FIELD(WebLight, position),
    WEB_SIZE(WebEnvironment), WEB_FIELD(WebEnvironment, projection), WEB_FIELD(WebEnvironment, modelAmbient),
    WEB_FIELD(WebEnvironment, switches), WEB_FIELD(WebEnvironment, lights),
    WEB_SIZE(WebCommand), WEB_FIELD(WebCommand, kind), WEB_FIELD(WebCommand, mesh), WEB_FIELD(WebCommand, first),
    WEB_FIELD(WebCommand, count), WEB_FIELD(WebCommand, texture), WEB_FIELD(WebCommand, depthTest),
    WEB_FIELD(WebCommand, environment), WEB_FIELD(WebCommand, viewport), WEB_FIELD(WebCommand, clearMask),
    WEB_FIELD(WebCommand, clearColour),
    WEB_VALUE(WEB_VIEWPORT), WEB_VALUE(WEB_CLEAR), WEB_VALUE(WEB_DRAW),
};
#undef WEB_SIZE
#undef WEB_FIELD
#undef WEB_VALUE

extern "C" {
// One entry of WEB_LAYOUT; all of them come before the context.
void webglLayout(const char* name, int value);
int webglCreateContext(int width, int height);
// A mesh's vertices and its triangles; made once, drawn by number.
void webglCreateMesh(int mesh, const WebMeshVertex* vertices, int vertexCount, const uint32_t* indices, int indexCount);
void webglSubmitFrame(const WebVertex* vertices, int vertexCount, const uint32_t* indices, int indexCount,
                      const WebState* instances, int instanceCount, const WebEnvironment* environments,
                      int environmentCount, const WebCommand* commands, int commandCount);
int webglCreateTexture(void);
void webglTexParameter(int texture, int pname, int value);
void webglTexImage(int texture, int width, int height, const uint8_t* rgba);
}
