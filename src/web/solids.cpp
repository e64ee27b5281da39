#include "solids.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

// ---- the cube: eight corners, six faces of four, each face two triangles fanned from its first corner
static const GLfloat cubeCorners[8][3] = {{.5f, .5f, .5f},  {-.5f, .5f, .5f},  {-.5f, -.5f, .5f}, {.5f, -.5f, .5f},
                                          {.5f, -.5f, -.5f}, {.5f, .5f, -.5f}, {-.5f, .5f, -.5f}, {-.5f, -.5f, -.5f}};
static const GLfloat cubeNormals[6][3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
static const int cubeFaces[6][4] = {{0, 1, 2, 3}, {0, 3, 4, 5}, {0, 5, 6, 1}, {1, 6, 7, 2}, {7, 4, 3, 2}, {4, 7, 6, 5}};
static const int faceTriangles[6] = {0, 1, 2, 0, 2, 3};

void labSolidCube(double size)
{
    GLfloat s = (GLfloat)size;
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < 6; ++f)
        for (int corner : faceTriangles) {
            const GLfloat* v = cubeCorners[cubeFaces[f][corner]];
            glNormal3f(cubeNormals[f][0], cubeNormals[f][1], cubeNormals[f][2]);
            glVertex3f(s * v[0], s * v[1], s * v[2]);
        }
    glEnd();
}

// ---- the torus: GLUT's circle tables in float, the angle stepped in float before the sine
static void circleTable(std::vector<GLfloat>& sines, std::vector<GLfloat>& cosines, int n)
{
    int size = std::abs(n);
    const GLfloat angle = 2 * (GLfloat)M_PI / (GLfloat)(n == 0 ? 1 : n);
    sines.assign(size + 1, 0);
    cosines.assign(size + 1, 0);
    sines[0] = 0;
    cosines[0] = 1;
    for (int i = 1; i < size; ++i) {
        sines[i] = (GLfloat)sin(angle * i);
        cosines[i] = (GLfloat)cos(angle * i);
    }
    sines[size] = sines[0];
    cosines[size] = cosines[0];
}

// One triangle strip per side, running round the rings and back to the first.
void labSolidTorus(double innerRadius, double outerRadius, int sides, int rings)
{
    if (sides < 2 || rings < 2) return;
    GLfloat inner = (GLfloat)innerRadius, outer = (GLfloat)outerRadius;
    std::vector<GLfloat> spsi, cpsi, sphi, cphi;
    circleTable(spsi, cpsi, rings);
    circleTable(sphi, cphi, -sides);
    std::vector<GLfloat> vertices((size_t)sides * rings * 3), normals((size_t)sides * rings * 3);
    for (int j = 0; j < rings; ++j)
        for (int i = 0; i < sides; ++i) {
            size_t o = 3 * ((size_t)j * sides + i);
            vertices[o] = cpsi[j] * (outer + cphi[i] * inner);
            vertices[o + 1] = spsi[j] * (outer + cphi[i] * inner);
            vertices[o + 2] = sphi[i] * inner;
            normals[o] = cpsi[j] * cphi[i];
            normals[o + 1] = spsi[j] * cphi[i];
            normals[o + 2] = sphi[i];
        }
    auto send = [&](int index) {
        glNormal3f(normals[3 * index], normals[3 * index + 1], normals[3 * index + 2]);
        glVertex3f(vertices[3 * index], vertices[3 * index + 1], vertices[3 * index + 2]);
    };
    for (int i = 0; i < sides; ++i) {
        int next = i == sides - 1 ? -i : 1;
        glBegin(GL_TRIANGLE_STRIP);
        for (int j = 0; j <= rings; ++j) {
            int offset = (j == rings ? 0 : j) * sides + i;
            send(offset);
            send(offset + next);
        }
        glEnd();
    }
}

// ---- the cylinder: GLU keeps at most 239 slices, and puts x on the sine and y on the cosine
static const int MAX_SLICES = 239;

void labCylinder(double base, double top, double height, int slices, int stacks)
{
    if (slices > MAX_SLICES) slices = MAX_SLICES;
    if (slices < 2 || stacks < 1 || base < 0 || top < 0 || height < 0) return;
    GLfloat deltaRadius = (GLfloat)(base - top);
    GLfloat length = (GLfloat)sqrt(deltaRadius * deltaRadius + height * height);
    if (length == 0) return;
    GLfloat zNormal = deltaRadius / length;
    GLfloat xyNormalRatio = (GLfloat)(height / length);
    GLfloat sines[MAX_SLICES + 1], cosines[MAX_SLICES + 1], normalSines[MAX_SLICES + 1], normalCosines[MAX_SLICES + 1];
    for (int i = 0; i < slices; ++i) {
        GLfloat angle = (GLfloat)(2 * M_PI * i / slices);
        sines[i] = (GLfloat)sin(angle);
        cosines[i] = (GLfloat)cos(angle);
        normalSines[i] = xyNormalRatio * sines[i];
        normalCosines[i] = xyNormalRatio * cosines[i];
    }
    sines[slices] = sines[0];
    cosines[slices] = cosines[0];
    normalSines[slices] = normalSines[0];
    normalCosines[slices] = normalCosines[0];
    for (int j = 0; j < stacks; ++j) {
        GLfloat zLow = (GLfloat)(j * height / stacks);
        GLfloat zHigh = (GLfloat)((j + 1) * height / stacks);
        GLfloat radiusLow = (GLfloat)(base - deltaRadius * ((float)j / stacks));
        GLfloat radiusHigh = (GLfloat)(base - deltaRadius * ((float)(j + 1) / stacks));
        glBegin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            glNormal3f(normalSines[i], normalCosines[i], zNormal);
            glVertex3f(radiusLow * sines[i], radiusLow * cosines[i], zLow);
            glVertex3f(radiusHigh * sines[i], radiusHigh * cosines[i], zHigh);
        }
        glEnd();
    }
}
