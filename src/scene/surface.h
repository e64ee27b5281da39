// The lab's pictures as textures, where each is read from, and the one way a textured quad of the lab is drawn.
#pragma once

#include "scene/images.h"

#include <GL/gl.h>

#include <string>

// One texture object per picture: 0 until the image's first surface is drawn.
extern GLuint textureIds[LAB_IMAGE_COUNT];

// Where the image is read from: in $OSTREL_LAB_DATA when it is set (and then nothing
// else), else in data/ under the working folder when that file is there, else in
// the images the program came with: installed (../share/ostrel-lab/data from its folder;
// on Windows data beside the .exe) or beside it (data/ in a build folder). Each image is
// looked up alone; the path is joined with the system's own separator. An image found
// nowhere is reported with the folders looked in.
std::string labImagePath(LabImage image);

// Emissive surfaces light themselves (the room); ambient-only ones keep the emission black.
enum SurfaceVariant { EMISSIVE, AMBIENT_ONLY };

// One textured corner: texture coordinate, then vertex.
struct TexturedCorner { GLfloat s, t, x, y, z; };

// Binds the image's texture (making it at first use) and draws the quad with it,
// leaving texturing off and ambient and emission black.
void drawTexturedQuad(LabImage image, SurfaceVariant variant, const TexturedCorner corners[4]);
