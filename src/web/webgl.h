// The page's drawing calls (page.js): the WebGL 2 context, textures, a recorded frame.
// Only gl.cpp, glu.cpp and glut.cpp call these.
#pragma once

#include <stdint.h>

// One vertex as the page draws it: clip coordinates, lit colour, texture coordinate.
struct WebVertex {
    float x, y, z, w;
    uint8_t r, g, b, a;
    float s, t;
};

// What a frame asks of the page, in order.
enum WebCommandKind { WEB_VIEWPORT, WEB_CLEAR, WEB_DRAW };
struct WebCommand {
    int kind;
    int a, b, c, d;    // viewport x, y, width, height; clear mask; draw: first index, index count, texture, depth test
    float colour[4];   // clear colour
};

extern "C" {
int webglCreateContext(int width, int height);
void webglSubmitFrame(const WebVertex* vertices, int vertexCount, const uint32_t* indices, int indexCount,
                      const WebCommand* commands, int commandCount);
int webglCreateTexture(void);
void webglBindTexture(int texture);
void webglTexParameter(int pname, int value);
void webglTexImage(int width, int height, const uint8_t* rgba);
}
