// Lights, projection, the material palette and the quadric handles the scene draws with.
#pragma once

#include <GL/glu.h>

// material palette: only ever set as the front ambient or emission
extern const GLfloat no_mat[4];
extern const GLfloat mat_specular[4];
extern const GLfloat mat_ambient_whiteboard[4];
extern const GLfloat mat_ambient_door[4];
extern const GLfloat mat_ambient_black[4];
extern const GLfloat mat_ambient_table[4];
extern const GLfloat mat_ambient_silver[4];

// made once by initGL; all keep GLU's default settings
extern GLUquadric* quadric;        // every workstation cylinder
extern GLUquadric* pillarQuadric;
extern GLUquadric* lensQuadric;

void initGL();
void reshape(int width, int height);
