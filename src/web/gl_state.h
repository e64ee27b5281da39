// What glu.cpp and glut.cpp need of the GL state kept by gl.cpp.
#pragma once

#include <stddef.h>

int glUnpackAlignment();
void submitFrame();  // hands the frame recorded since the last swap to the page, and starts a new one
