#include "texture/texture.h"

#include "texture/tga.h"

#include <GL/glu.h>
#include <stdlib.h>

void loadTexture(GLuint* table, const char* fileName, int slot, const char* whenMissing)
{
    if (!fileName) return;
    TGAImage* image = loadTGA(fileName, whenMissing);
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
