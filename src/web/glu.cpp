// GLU's viewing matrices, its quadric cylinder and mipmap building, as GLU computes them.
#include "gl_state.h"
#include "scale.h"
#include "meshes.h"
#include "slices.h"
#include "webgl.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <vector>

// Only GLU's defaults are ever used: filled, smooth normals, outside, no texture coordinates.
struct GLUquadric { int unused; };

static void normalize(GLfloat v[3])
{
    GLfloat r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0) return;
    for (int i = 0; i < 3; ++i) v[i] /= r;
}

static void cross(const GLfloat a[3], const GLfloat b[3], GLfloat out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// In float, like GLU: the frame's basis, then the eye moved to the origin.
void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY, GLdouble centerZ,
               GLdouble upX, GLdouble upY, GLdouble upZ)
{
    GLfloat forward[3] = {(GLfloat)(centerX - eyeX), (GLfloat)(centerY - eyeY), (GLfloat)(centerZ - eyeZ)};
    GLfloat up[3] = {(GLfloat)upX, (GLfloat)upY, (GLfloat)upZ}, side[3];
    normalize(forward);
    cross(forward, up, side);
    normalize(side);
    cross(side, forward, up);
    GLfloat m[16] = {side[0], up[0], -forward[0], 0, side[1], up[1], -forward[1], 0,
                     side[2], up[2], -forward[2], 0, 0,       0,     0,           1};
    glMultMatrixf(m);
    glTranslated(-eyeX, -eyeY, -eyeZ);
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar)
{
    double radians = fovy / 2 * M_PI / 180;
    double deltaZ = zFar - zNear, sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return;
    double cotangent = std::cos(radians) / sine;
    GLdouble m[16] = {cotangent / aspect, 0, 0, 0, 0, cotangent, 0, 0, 0, 0, -(zFar + zNear) / deltaZ, -1,
                      0, 0, -2 * zNear * zFar / deltaZ, 0};
    glMultMatrixd(m);
}

GLUquadric* gluNewQuadric() { return new GLUquadric{0}; }

void gluCylinder(GLUquadric* quad, GLdouble base, GLdouble top, GLdouble height, GLint slices, GLint stacks)
{
    if (!quad) return;
    yieldIfLong();
    drawCylinder(base, top, height, slices, stacks);
}

// Level 0 only, rescaled to the power-of-two size GLU picks; the page makes the smaller
// levels, which only a mipmapping filter would show.
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height, GLenum format,
                        GLenum type, const void* data)
{
    (void)internalFormat;  // the page keeps every texture as RGBA, and the lab draws no alpha
    if (target != GL_TEXTURE_2D || type != GL_UNSIGNED_BYTE || width < 1 || height < 1) return 1;
    int components = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 0;
    if (!components) return 1;
    int align = currentUnpackAlignment();
    int rowBytes = (width * components + align - 1) / align * align;
    // One spare pixel past the last row: GLU's box can reach it at the image's corner.
    std::vector<unsigned char> source((const unsigned char*)data,
                                      (const unsigned char*)data + (size_t)rowBytes * (height - 1) + width * components);
    source.resize((size_t)rowBytes * height + components, 0);
    int newWidth = nearestPowerOfTwo(width), newHeight = nearestPowerOfTwo(height);
    yieldIfLong();
    std::vector<unsigned char> scaled((size_t)newWidth * newHeight * components);
    if (newWidth == width && newHeight == height) {
        for (int y = 0; y < height; ++y)
            std::copy(source.begin() + (size_t)y * rowBytes, source.begin() + (size_t)y * rowBytes + width * components,
                      scaled.begin() + (size_t)y * width * components);
    } else {
        scaleImage(components, width, height, source.data(), rowBytes, newWidth, newHeight, scaled.data());
    }
    std::vector<unsigned char> rgba((size_t)newWidth * newHeight * 4, 255);
    for (size_t p = 0; p < (size_t)newWidth * newHeight; ++p)
        for (int k = 0; k < components; ++k) rgba[p * 4 + k] = scaled[p * components + k];
    yieldIfLong();
    webglTexImage((int)currentTextureBinding(), newWidth, newHeight, rgba.data());
    yieldIfLong();
    return 0;
}
