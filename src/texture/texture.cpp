#include "texture/texture.h"

#include "scene/lighting.h"
#include "texture/tga.h"

#include <GL/glu.h>
#include <stdlib.h>

// ---- texture table: one object per image file, made when first drawn
const char* const labImageFiles[LAB_IMAGE_COUNT] = {
    "data/drywall.tga", "data/screens.tga", "data/freehand1.tga", "data/carpet.tga",
    "data/login.tga",   "data/smallscr.tga", "data/Keyboard.tga",
};
GLuint textureIds[LAB_IMAGE_COUNT];

void loadTexture(GLuint* table, const char* fileName, int slot)
{
    if (!fileName) return;
    TGAImage* image = loadTGA(fileName);
    if (!image) exit(1);  // the reader has said which file and why
    glGenTextures(1, &table[slot]);
    glBindTexture(GL_TEXTURE_2D, table[slot]);
    GLenum format = image->bytesPerPixel == 4 ? GL_RGBA : GL_RGB;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // rows are tightly packed, whatever their length
    gluBuild2DMipmaps(GL_TEXTURE_2D, image->bytesPerPixel, image->width, image->height,
                      format, GL_UNSIGNED_BYTE, image->imageData);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    freeTGA(image);
}

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
