#include "scene/surface.h"

#include "scene/lighting.h"
#include "texture/texture.h"

// ---- texture table: one object per image file, made when first drawn
const char* const labImageFiles[LAB_IMAGE_COUNT] = {
    "data/drywall.tga", "data/screens.tga", "data/freehand1.tga", "data/carpet.tga",
    "data/login.tga",   "data/smallscr.tga", "data/Keyboard.tga",
};
GLuint textureIds[LAB_IMAGE_COUNT];

static void bindLabTexture(LabImage image)
{
    if (textureIds[image])
        glBindTexture(GL_TEXTURE_2D, textureIds[image]);
    else
        loadTexture(textureIds, labImageFiles[image], image);
}

void drawTexturedQuad(LabImage image, SurfaceVariant variant, const TexturedCorner corners[4])
{
    bindLabTexture(image);
    glEnable(GL_TEXTURE_2D);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glMaterialfv(GL_FRONT, GL_AMBIENT, mat_specular);
    if (variant == EMISSIVE) glMaterialfv(GL_FRONT, GL_EMISSION, mat_specular);
    glBegin(GL_POLYGON);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(corners[i].s, corners[i].t);
        glVertex3f(corners[i].x, corners[i].y, corners[i].z);
    }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glMaterialfv(GL_FRONT, GL_AMBIENT, no_mat);
    glMaterialfv(GL_FRONT, GL_EMISSION, no_mat);
}
