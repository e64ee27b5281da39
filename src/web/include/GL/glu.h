// The part of GLU the lab uses, implemented by src/web/glu.cpp.
#pragma once

#include <GL/gl.h>

typedef struct GLUquadric GLUquadric;
typedef GLUquadric GLUquadricObj;

#ifdef __cplusplus
extern "C" {
#endif

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ);
void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);
GLUquadric* gluNewQuadric(void);
void gluCylinder(GLUquadric* quad, GLdouble base, GLdouble top, GLdouble height, GLint slices, GLint stacks);
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data);

#ifdef __cplusplus
}
#endif
