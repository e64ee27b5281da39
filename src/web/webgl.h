// The page's drawing calls (page.js): the WebGL 2 context, meshes, textures, a recorded frame.
// Only gl.cpp and glu.cpp call these.
#pragma once

#include <stdint.h>

// What a draw is made with, as GL had it at the call; the vertex shader takes it per
// instance from a uniform block for a mesh (eleven vec4s, as std140 lays them out), per
// vertex for the frame's own vertices.
struct WebState {
    float modelview[16];
    float normalMatrix[12];  // the inverse transpose of the modelview's upper 3 x 3, by columns of four
    float ambient[4], diffuse[4], emission[4];  // the front material
    float texCoord[4];       // s, t; for a mesh, the current one: its vertices give none
};

// One vertex sent between glBegin and glEnd: in object space, with the state it was sent under.
struct WebVertex {
    float position[3];
    float normal[3];
    WebState state;
};

// The rest of what the shader needs, shared by many draws.
struct WebEnvironment {
    float projection[16];
    float modelAmbient[4];
    float switches[4];        // lighting, light 0, light 1: 1 on, 0 off
    float lights[2][3][4];    // ambient, diffuse, position (in eye coordinates, as set)
};

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

extern "C" {
int webglCreateContext(int width, int height);
// A mesh's vertices as position and normal (six floats each) and its triangles; made once, drawn by number.
void webglCreateMesh(int mesh, const float* vertices, int vertexCount, const uint32_t* indices, int indexCount);
void webglSubmitFrame(const WebVertex* vertices, int vertexCount, const uint32_t* indices, int indexCount,
                      const WebState* instances, int instanceCount, const WebEnvironment* environments,
                      int environmentCount, const WebCommand* commands, int commandCount);
int webglCreateTexture(void);
void webglTexParameter(int texture, int pname, int value);
void webglTexImage(int texture, int width, int height, const uint8_t* rgba);
}
