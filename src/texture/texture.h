// Image files into mipmapped GL textures.
#pragma once

#include <GL/gl.h>

// Reads fileName and makes table[slot] a new mipmapped texture, left bound.
// A null name does nothing. An image that cannot be read ends the program with status 1;
// whenMissing, if not empty, ends the reader's line for a file that is not there.
void loadTexture(GLuint* table, const char* fileName, int slot, const char* whenMissing = "");
