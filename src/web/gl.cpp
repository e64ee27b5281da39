// GL 1.1's fixed-function pipeline, the part the lab uses, on the CPU: matrix stacks,
// immediate mode, per-vertex lighting. A frame is recorded as lit, transformed vertices
// and handed to the page whole at the swap, so nothing of a frame that stops midway shows.
#include "gl_state.h"

#include "webgl.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

// ---- matrices: column-major, as GL keeps them
struct Matrix { GLfloat m[16]; };

static const Matrix IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
static const size_t MODELVIEW_DEPTH = 32, PROJECTION_DEPTH = 2;  // GL's minimum depths

// ---- GL state
static std::vector<Matrix> modelviewStack(1, IDENTITY), projectionStack(1, IDENTITY);
static GLenum matrixMode = GL_MODELVIEW;
static bool normalMatrixStale = true;
static GLfloat normalMatrix[9];  // inverse transpose of the modelview's upper 3 x 3, row-major

static GLfloat clearColour[4] = {0, 0, 0, 0};
static bool depthTest, lighting, texturing;
static GLint unpackAlignment = 4;

struct Light {
    bool enabled;
    GLfloat ambient[4], diffuse[4], specular[4];
    GLfloat position[4];  // in eye coordinates, as transformed when set
};
static Light lights[2] = {
    {false, {0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 1, 0}},
    {false, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 1, 0}},
};
static GLfloat modelAmbient[4] = {0.2f, 0.2f, 0.2f, 1};

// The front material; with one-sided lighting it lights back faces too. The lab never sets
// the specular colour, whose default is black, so no specular term is ever computed.
static GLfloat materialAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
static GLfloat materialDiffuse[4] = {0.8f, 0.8f, 0.8f, 1};
static GLfloat materialEmission[4] = {0, 0, 0, 1};

// Current attributes: they persist across primitives and frames, as GL's do.
static GLfloat currentNormal[3] = {0, 0, 1};
static GLfloat currentTexCoord[2] = {0, 0};
static const GLfloat currentColour[4] = {1, 1, 1, 1};  // used when lighting is off

static GLuint boundTexture;

// ---- the frame being recorded
static std::vector<WebVertex> frameVertices;
static std::vector<uint32_t> frameIndices;
static std::vector<WebCommand> frameCommands;
static GLenum primitiveMode;
static bool insidePrimitive;
static size_t primitiveStart;

// ---- matrices

static std::vector<Matrix>& currentStack() { return matrixMode == GL_PROJECTION ? projectionStack : modelviewStack; }
static Matrix& top() { return currentStack().back(); }

static void changed()
{
    if (matrixMode == GL_MODELVIEW) normalMatrixStale = true;
}

static Matrix multiply(const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            GLfloat sum = 0;
            for (int k = 0; k < 4; ++k) sum += a.m[k * 4 + row] * b.m[c * 4 + k];
            r.m[c * 4 + row] = sum;
        }
    return r;
}

static void multiplyTop(const Matrix& m)
{
    top() = multiply(top(), m);
    changed();
}

void glMatrixMode(GLenum mode) { matrixMode = mode; }

void glLoadIdentity()
{
    top() = IDENTITY;
    changed();
}

void glPushMatrix()
{
    std::vector<Matrix>& stack = currentStack();
    if (stack.size() < (matrixMode == GL_PROJECTION ? PROJECTION_DEPTH : MODELVIEW_DEPTH))
        stack.push_back(stack.back());
}

void glPopMatrix()
{
    std::vector<Matrix>& stack = currentStack();
    if (stack.size() > 1) stack.pop_back();
    changed();
}

void glMultMatrixf(const GLfloat* m)
{
    Matrix r;
    memcpy(r.m, m, sizeof r.m);
    multiplyTop(r);
}

void glMultMatrixd(const GLdouble* m)
{
    Matrix r;
    for (int i = 0; i < 16; ++i) r.m[i] = (GLfloat)m[i];
    multiplyTop(r);
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z)
{
    Matrix t = IDENTITY;
    t.m[12] = x; t.m[13] = y; t.m[14] = z;
    multiplyTop(t);
}

void glTranslated(GLdouble x, GLdouble y, GLdouble z) { glTranslatef((GLfloat)x, (GLfloat)y, (GLfloat)z); }

void glScalef(GLfloat x, GLfloat y, GLfloat z)
{
    Matrix s = IDENTITY;
    s.m[0] = x; s.m[5] = y; s.m[10] = z;
    multiplyTop(s);
}

void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    GLfloat length = std::sqrt(x * x + y * y + z * z);
    if (length == 0) return;
    x /= length; y /= length; z /= length;
    GLfloat radians = angle * (GLfloat)(M_PI / 180.0);
    GLfloat s = std::sin(radians), c = std::cos(radians), k = 1 - c;
    Matrix r = IDENTITY;
    r.m[0] = x * x * k + c;     r.m[4] = x * y * k - z * s; r.m[8] = x * z * k + y * s;
    r.m[1] = y * x * k + z * s; r.m[5] = y * y * k + c;     r.m[9] = y * z * k - x * s;
    r.m[2] = x * z * k - y * s; r.m[6] = y * z * k + x * s; r.m[10] = z * z * k + c;
    multiplyTop(r);
}

static void updateNormalMatrix()
{
    const GLfloat* m = modelviewStack.back().m;
    // a = the upper 3 x 3, row-major
    GLfloat a[9] = {m[0], m[4], m[8], m[1], m[5], m[9], m[2], m[6], m[10]};
    GLfloat c[9] = {a[4] * a[8] - a[5] * a[7], a[5] * a[6] - a[3] * a[8], a[3] * a[7] - a[4] * a[6],
                    a[2] * a[7] - a[1] * a[8], a[0] * a[8] - a[2] * a[6], a[1] * a[6] - a[0] * a[7],
                    a[1] * a[5] - a[2] * a[4], a[2] * a[3] - a[0] * a[5], a[0] * a[4] - a[1] * a[3]};
    GLfloat det = a[0] * c[0] + a[1] * c[1] + a[2] * c[2];
    // The cofactor matrix over the determinant is the inverse's transpose.
    for (int i = 0; i < 9; ++i) normalMatrix[i] = det != 0 ? c[i] / det : 0;
    normalMatrixStale = false;
}

static void transform(const Matrix& m, const GLfloat in[4], GLfloat out[4])
{
    for (int row = 0; row < 4; ++row)
        out[row] = m.m[row] * in[0] + m.m[4 + row] * in[1] + m.m[8 + row] * in[2] + m.m[12 + row] * in[3];
}

// ---- state

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a)
{
    const GLfloat c[4] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) clearColour[i] = std::min(1.0f, std::max(0.0f, c[i]));
}

void glClear(GLbitfield mask)
{
    WebCommand c{WEB_CLEAR, (int)(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT)), 0, 0, 0, {0, 0, 0, 0}};
    memcpy(c.colour, clearColour, sizeof c.colour);
    frameCommands.push_back(c);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    frameCommands.push_back({WEB_VIEWPORT, x, y, width, height, {0, 0, 0, 0}});
}

static bool* capability(GLenum cap)
{
    switch (cap) {
    case GL_DEPTH_TEST: return &depthTest;
    case GL_LIGHTING: return &lighting;
    case GL_TEXTURE_2D: return &texturing;
    case GL_LIGHT0: return &lights[0].enabled;
    case GL_LIGHT1: return &lights[1].enabled;
    default: return nullptr;
    }
}

void glEnable(GLenum cap)
{
    if (bool* c = capability(cap)) *c = true;
}

void glDisable(GLenum cap)
{
    if (bool* c = capability(cap)) *c = false;
}

void glShadeModel(GLenum) {}  // the lab asks for smooth shading, the only kind drawn here

void glPixelStorei(GLenum pname, GLint param)
{
    if (pname == GL_UNPACK_ALIGNMENT && (param == 1 || param == 2 || param == 4 || param == 8))
        unpackAlignment = param;
}

int glUnpackAlignment() { return unpackAlignment; }

// ---- lights and materials

void glLightfv(GLenum light, GLenum pname, const GLfloat* params)
{
    if (light != GL_LIGHT0 && light != GL_LIGHT1) return;
    Light& l = lights[light - GL_LIGHT0];
    switch (pname) {
    case GL_AMBIENT: memcpy(l.ambient, params, sizeof l.ambient); break;
    case GL_DIFFUSE: memcpy(l.diffuse, params, sizeof l.diffuse); break;
    case GL_SPECULAR: memcpy(l.specular, params, sizeof l.specular); break;
    case GL_POSITION: transform(modelviewStack.back(), params, l.position); break;
    }
}

void glLightModelfv(GLenum pname, const GLfloat* params)
{
    // The local viewer matters only to specular light, which the lab's materials never reflect.
    if (pname == GL_LIGHT_MODEL_AMBIENT) memcpy(modelAmbient, params, sizeof modelAmbient);
}

void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params)
{
    if (face != GL_FRONT && face != GL_FRONT_AND_BACK) return;
    switch (pname) {
    case GL_AMBIENT: memcpy(materialAmbient, params, sizeof materialAmbient); break;
    case GL_DIFFUSE: memcpy(materialDiffuse, params, sizeof materialDiffuse); break;
    case GL_AMBIENT_AND_DIFFUSE:
        memcpy(materialAmbient, params, sizeof materialAmbient);
        memcpy(materialDiffuse, params, sizeof materialDiffuse);
        break;
    case GL_EMISSION: memcpy(materialEmission, params, sizeof materialEmission); break;
    }
}

// GL's lighting equation for one vertex, positional or directional lights without
// attenuation or spot, the normal as transformed (not renormalised); clamped.
static void lightVertex(const GLfloat eye[4], GLfloat colour[4])
{
    if (normalMatrixStale) updateNormalMatrix();
    const GLfloat* nm = normalMatrix;
    const GLfloat* n = currentNormal;
    GLfloat normal[3] = {nm[0] * n[0] + nm[1] * n[1] + nm[2] * n[2], nm[3] * n[0] + nm[4] * n[1] + nm[5] * n[2],
                         nm[6] * n[0] + nm[7] * n[1] + nm[8] * n[2]};
    for (int i = 0; i < 3; ++i) colour[i] = materialEmission[i] + materialAmbient[i] * modelAmbient[i];
    for (const Light& l : lights) {
        if (!l.enabled) continue;
        GLfloat toLight[3];
        for (int i = 0; i < 3; ++i)
            toLight[i] = l.position[3] != 0 ? l.position[i] / l.position[3] - eye[i] / eye[3] : l.position[i];
        GLfloat length = std::sqrt(toLight[0] * toLight[0] + toLight[1] * toLight[1] + toLight[2] * toLight[2]);
        GLfloat facing = 0;
        if (length > 0)
            facing = std::max(0.0f, (normal[0] * toLight[0] + normal[1] * toLight[1] + normal[2] * toLight[2]) / length);
        for (int i = 0; i < 3; ++i)
            colour[i] += materialAmbient[i] * l.ambient[i] + facing * materialDiffuse[i] * l.diffuse[i];
    }
    colour[3] = materialDiffuse[3];
    for (int i = 0; i < 4; ++i) colour[i] = std::min(1.0f, std::max(0.0f, colour[i]));
}

// ---- immediate mode

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    currentNormal[0] = x; currentNormal[1] = y; currentNormal[2] = z;
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    currentTexCoord[0] = s; currentTexCoord[1] = t;
}

static uint8_t channel(GLfloat c) { return (uint8_t)std::lround(c * 255.0f); }

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!insidePrimitive) return;
    const GLfloat object[4] = {x, y, z, 1};
    GLfloat eye[4], clip[4], colour[4];
    transform(modelviewStack.back(), object, eye);
    transform(projectionStack.back(), eye, clip);
    if (lighting) lightVertex(eye, colour);
    else memcpy(colour, currentColour, sizeof colour);
    frameVertices.push_back({clip[0], clip[1], clip[2], clip[3], channel(colour[0]), channel(colour[1]),
                             channel(colour[2]), channel(colour[3]), currentTexCoord[0], currentTexCoord[1]});
}

void glVertex3fv(const GLfloat* v) { glVertex3f(v[0], v[1], v[2]); }

void glBegin(GLenum mode)
{
    if (insidePrimitive) return;
    insidePrimitive = true;
    primitiveMode = mode;
    primitiveStart = frameVertices.size();
}

static void triangle(size_t a, size_t b, size_t c)
{
    frameIndices.push_back((uint32_t)a);
    frameIndices.push_back((uint32_t)b);
    frameIndices.push_back((uint32_t)c);
}

// Appends to the last draw when texture and depth test are unchanged, else starts a draw.
static void addToDraw(size_t firstIndex)
{
    int texture = texturing ? (int)boundTexture : 0;
    int count = (int)(frameIndices.size() - firstIndex);
    if (count == 0) return;
    if (!frameCommands.empty()) {
        WebCommand& last = frameCommands.back();
        if (last.kind == WEB_DRAW && last.c == texture && last.d == (int)depthTest) {
            last.b += count;
            return;
        }
    }
    frameCommands.push_back({WEB_DRAW, (int)firstIndex, count, texture, (int)depthTest, {0, 0, 0, 0}});
}

// Polygons and fans fan out from the first vertex; a quad (a, b, c, d) is split along b-d
// for quads and along the strip's a-d for quad strips, as Mesa splits them.
void glEnd()
{
    if (!insidePrimitive) return;
    insidePrimitive = false;
    size_t first = frameIndices.size();
    size_t s = primitiveStart, n = frameVertices.size() - primitiveStart;
    switch (primitiveMode) {
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3) triangle(s + i, s + i + 1, s + i + 2);
        break;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < n; ++i)
            if (i % 2 == 0) triangle(s + i, s + i + 1, s + i + 2);
            else triangle(s + i + 1, s + i, s + i + 2);
        break;
    case GL_TRIANGLE_FAN:
    case GL_POLYGON:
        for (size_t i = 1; i + 1 < n; ++i) triangle(s, s + i, s + i + 1);
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            triangle(s + i, s + i + 1, s + i + 3);
            triangle(s + i + 1, s + i + 2, s + i + 3);
        }
        break;
    case GL_QUAD_STRIP:
        for (size_t i = 0; i + 3 < n; i += 2) {
            triangle(s + i + 2, s + i, s + i + 3);
            triangle(s + i, s + i + 1, s + i + 3);
        }
        break;
    }
    addToDraw(first);
}

// ---- textures

void glGenTextures(GLsizei n, GLuint* textures)
{
    for (GLsizei i = 0; i < n; ++i) textures[i] = (GLuint)webglCreateTexture();
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (target != GL_TEXTURE_2D) return;
    boundTexture = texture;
    webglBindTexture((int)texture);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (target == GL_TEXTURE_2D && boundTexture) webglTexParameter((int)pname, param);
}

void glTexParameterf(GLenum target, GLenum pname, GLfloat param) { glTexParameteri(target, pname, (GLint)param); }

// ---- the frame

void submitFrame()
{
    webglSubmitFrame(frameVertices.data(), (int)frameVertices.size(), frameIndices.data(), (int)frameIndices.size(),
                     frameCommands.data(), (int)frameCommands.size());
    frameVertices.clear();
    frameIndices.clear();
    frameCommands.clear();
}

