// What glu.cpp, glut.cpp and meshes.cpp need of the GL state kept by gl.cpp.
#pragma once

#include <GL/gl.h>

// GL's state as a new context has it, no frame recorded: the window's creation sets it, and
// each of the layer's tests starts from it.
void resetGLState();
int currentUnpackAlignment();  // as glPixelStorei set it
GLuint currentTextureBinding();  // as glBindTexture set it for GL_TEXTURE_2D
void submitFrame();  // hands the frame recorded since the last swap to the page, and starts a new one

// A mesh made from immediate-mode calls: between beginMesh and endMesh, glBegin ... glEnd
// build it (object space, shared vertices once) instead of drawing.
struct Mesh {
    int id;
    int indexCount;
    bool normalGiven;      // false if its calls sent no normal
    GLfloat lastNormal[3]; // the current normal its calls left behind
};
void beginMesh();
Mesh endMesh();
// Called, when set, every few thousand vertices of a mesh being made: the layer's loop cuts
// a long one (GLU's 360 x 360 cylinder) over several tasks of the page.
void setMeshProgress(void (*progress)());
// One draw of a mesh with the current state; the current normal becomes the mesh's last,
// as if its vertices had been sent one by one.
void drawMesh(const Mesh& mesh);
