// The lab's seven pictures and the one way a textured quad of the lab is drawn.
#pragma once

#include <GL/gl.h>

// The seven pictures, one texture object each.
enum LabImage { DRYWALL, SCREENS, FREEHAND, CARPET, LOGIN, SMALLSCR, KEYBOARD, LAB_IMAGE_COUNT };

extern const char* const labImageFiles[LAB_IMAGE_COUNT];
extern GLuint textureIds[LAB_IMAGE_COUNT];  // 0 until the image's first surface is drawn

// Emissive surfaces light themselves (the room); ambient-only ones keep the emission black.
enum SurfaceVariant { EMISSIVE, AMBIENT_ONLY };

// One textured corner: texture coordinate, then vertex.
struct TexturedCorner { GLfloat s, t, x, y, z; };

// Binds the image's texture (making it at first use) and draws the quad with it,
// leaving texturing off and ambient and emission black.
void drawTexturedQuad(LabImage image, SurfaceVariant variant, const TexturedCorner corners[4]);
