// GL 1.1's fixed-function pipeline, the part the lab uses: matrix stacks, lights and
// materials, immediate mode, recorded for the GPU. Each draw keeps the state it was made
// under (modelview, normal matrix, material, lights, texture, depth test); the page's vertex
// shader transforms and lights it as GL would. Solids are meshes made once (meshes.cpp),
// drawn by number. A frame is handed to the page whole at the swap, so nothing of a frame
// that stops midway shows.
#include "gl_state.h"

#include "webgl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>
#include <vector>

// ---- matrices: column-major, as GL keeps them
struct Matrix { GLfloat m[16]; };

static const Matrix IDENTITY = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
static const size_t MODELVIEW_DEPTH = 32, PROJECTION_DEPTH = 2;  // GL's minimum depths

// ---- GL state, as a new context has it once resetGLState has run
static std::vector<Matrix> modelviewStack, projectionStack;
static GLenum matrixMode;
static bool normalMatrixStale;
static GLfloat normalMatrix[12];  // inverse transpose of the modelview's upper 3 x 3, by columns of four

static GLfloat clearColour[4];
static bool depthTest, lighting, texturing;
static GLint unpackAlignment;

struct Light {
    bool enabled;
    GLfloat ambient[4], diffuse[4], specular[4];
    GLfloat position[4];  // in eye coordinates, as transformed when set
};
static Light lights[2];
static GLfloat modelAmbient[4];

// The front material; with one-sided lighting it lights back faces too. The lab never sets
// the specular colour, whose default is black, so no specular term is ever computed.
static GLfloat materialAmbient[4], materialDiffuse[4], materialEmission[4];

// Current attributes: they persist across primitives and frames, as GL's do.
static GLfloat currentNormal[3];
static GLfloat currentTexCoord[2];

static GLuint boundTexture;
static std::map<std::pair<GLuint, GLenum>, GLint> textureParameters;  // as last handed to the page

// ---- the frame being recorded: its own vertices, mesh instances, and draws in call order
static std::vector<WebVertex> frameVertices;
static std::vector<uint32_t> frameIndices;
static std::vector<WebState> frameInstances;
static std::vector<WebEnvironment> frameEnvironments;
static std::vector<WebCommand> frameCommands;
static int currentEnvironment = -1;  // in frameEnvironments; -1 when lights or projection changed since
// The viewport the frame began in: each frame opens with it, so that the page can draw the
// frame again on its own (on a restored context) whether or not the frame itself set one.
static std::optional<WebCommand> frameViewport, currentViewport;

// ---- the primitive between glBegin and glEnd, into the frame or into a mesh being made
static GLenum primitiveMode;
static bool insidePrimitive;
static std::vector<uint32_t> primitive;  // its vertices, as indices into the frame's or the mesh's

static bool makingMesh;
static std::vector<WebMeshVertex> meshVertices;
static std::vector<uint32_t> meshIndices;
struct VertexKey {
    GLfloat v[6];
    bool operator==(const VertexKey& o) const { return memcmp(v, o.v, sizeof v) == 0; }
};
struct VertexKeyHash {
    size_t operator()(const VertexKey& k) const
    {
        uint32_t bits[6];
        memcpy(bits, k.v, sizeof bits);
        size_t h = 0;
        for (uint32_t b : bits) h = h * 1000003u ^ b;
        return h;
    }
};
static std::unordered_map<VertexKey, uint32_t, VertexKeyHash> meshVertexIndex;
static bool meshNormalGiven;
static void (*meshProgress)();
static const unsigned MESH_PROGRESS_VERTICES = 4096;
static unsigned meshVerticesSent;
static int meshesMade;

// A new frame, nothing recorded yet.
static void clearFrame()
{
    frameVertices.clear();
    frameIndices.clear();
    frameInstances.clear();
    frameEnvironments.clear();
    frameCommands.clear();
    currentEnvironment = -1;
}

// The objects made (meshes, textures) stay: the page keeps them.
void resetGLState()
{
    modelviewStack.assign(1, IDENTITY);
    projectionStack.assign(1, IDENTITY);
    matrixMode = GL_MODELVIEW;
    normalMatrixStale = true;
    std::fill(clearColour, clearColour + 4, 0.0f);
    depthTest = lighting = texturing = false;
    unpackAlignment = 4;
    lights[0] = Light{false, {0, 0, 0, 1}, {1, 1, 1, 1}, {1, 1, 1, 1}, {0, 0, 1, 0}};
    lights[1] = Light{false, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 1, 0}};
    const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1}, diffuse[4] = {0.8f, 0.8f, 0.8f, 1}, black[4] = {0, 0, 0, 1};
    memcpy(modelAmbient, ambient, sizeof modelAmbient);
    memcpy(materialAmbient, ambient, sizeof materialAmbient);
    memcpy(materialDiffuse, diffuse, sizeof materialDiffuse);
    memcpy(materialEmission, black, sizeof materialEmission);
    currentNormal[0] = currentNormal[1] = 0;
    currentNormal[2] = 1;
    currentTexCoord[0] = currentTexCoord[1] = 0;
    boundTexture = 0;
    frameViewport.reset();
    currentViewport.reset();
    clearFrame();
    insidePrimitive = false;  // nor a primitive or a mesh begun
    primitive.clear();
    makingMesh = false;
    meshVertices.clear();
    meshIndices.clear();
    meshVertexIndex.clear();
}

// ---- matrices

static std::vector<Matrix>& currentStack() { return matrixMode == GL_PROJECTION ? projectionStack : modelviewStack; }
static Matrix& top() { return currentStack().back(); }

static void changed()
{
    if (matrixMode == GL_MODELVIEW) normalMatrixStale = true;
    else currentEnvironment = -1;
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
    // The cofactor matrix over the determinant is the inverse's transpose; kept by columns.
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) normalMatrix[col * 4 + row] = det != 0 ? c[row * 3 + col] / det : 0;
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
    WebCommand c{};
    c.kind = WEB_CLEAR;
    c.clearMask = (int)(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT));
    memcpy(c.clearColour, clearColour, sizeof c.clearColour);
    frameCommands.push_back(c);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    WebCommand c{};
    c.kind = WEB_VIEWPORT;
    c.viewport[0] = x; c.viewport[1] = y; c.viewport[2] = width; c.viewport[3] = height;
    frameCommands.push_back(c);
    currentViewport = c;
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

static void setCapability(GLenum cap, bool on)
{
    bool* c = capability(cap);
    if (!c) return;
    *c = on;
    if (cap != GL_DEPTH_TEST && cap != GL_TEXTURE_2D) currentEnvironment = -1;
}

void glEnable(GLenum cap) { setCapability(cap, true); }
void glDisable(GLenum cap) { setCapability(cap, false); }

void glShadeModel(GLenum) {}  // the lab asks for smooth shading, the only kind drawn here

void glPixelStorei(GLenum pname, GLint param)
{
    if (pname == GL_UNPACK_ALIGNMENT && (param == 1 || param == 2 || param == 4 || param == 8))
        unpackAlignment = param;
}

int currentUnpackAlignment() { return unpackAlignment; }

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
    currentEnvironment = -1;
}

void glLightModelfv(GLenum pname, const GLfloat* params)
{
    // The local viewer matters only to specular light, which the lab's materials never reflect.
    if (pname == GL_LIGHT_MODEL_AMBIENT) memcpy(modelAmbient, params, sizeof modelAmbient);
    currentEnvironment = -1;
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

// ---- recording: the state a draw is made with

// The shader computes GL's lighting for one vertex from these: emission, ambient times the
// model's, per light on its ambient and its diffuse times max(0, n.L) with the normal as
// transformed (not renormalised), positional or directional lights without attenuation
// or spot; the colour clamped per vertex, alpha the diffuse alpha.
static void currentState(WebState& s)
{
    if (normalMatrixStale) updateNormalMatrix();
    memcpy(s.modelview, modelviewStack.back().m, sizeof s.modelview);
    memcpy(s.normalMatrix, normalMatrix, sizeof s.normalMatrix);
    memcpy(s.ambient, materialAmbient, sizeof s.ambient);
    memcpy(s.diffuse, materialDiffuse, sizeof s.diffuse);
    memcpy(s.emission, materialEmission, sizeof s.emission);
    memset(s.texCoord, 0, sizeof s.texCoord);  // past s and t, unread
    memcpy(s.texCoord, currentTexCoord, sizeof currentTexCoord);
}

static int environment()
{
    if (currentEnvironment >= 0) return currentEnvironment;
    WebEnvironment e{};
    memcpy(e.projection, projectionStack.back().m, sizeof e.projection);
    memcpy(e.modelAmbient, modelAmbient, sizeof e.modelAmbient);
    e.switches[0] = lighting;
    for (int i = 0; i < 2; ++i) {
        e.switches[1 + i] = lights[i].enabled;
        memcpy(e.lights[i].ambient, lights[i].ambient, sizeof e.lights[i].ambient);
        memcpy(e.lights[i].diffuse, lights[i].diffuse, sizeof e.lights[i].diffuse);
        memcpy(e.lights[i].position, lights[i].position, sizeof e.lights[i].position);
    }
    // Unchanged after all (a light set again to what it was): the draws can still merge.
    if (frameEnvironments.empty() || memcmp(&frameEnvironments.back(), &e, sizeof e) != 0) frameEnvironments.push_back(e);
    return currentEnvironment = (int)frameEnvironments.size() - 1;
}

static void recordDraw(int mesh, size_t first, size_t count)
{
    if (count == 0) return;
    WebCommand c{};
    c.kind = WEB_DRAW;
    c.mesh = mesh;
    c.first = (int)first;
    c.count = (int)count;
    c.texture = texturing ? (int)boundTexture : 0;
    c.depthTest = depthTest;
    c.environment = environment();
    frameCommands.push_back(c);
}

// ---- immediate mode

void glNormal3f(GLfloat x, GLfloat y, GLfloat z)
{
    currentNormal[0] = x; currentNormal[1] = y; currentNormal[2] = z;
    if (makingMesh) meshNormalGiven = true;
}

void glTexCoord2f(GLfloat s, GLfloat t)
{
    currentTexCoord[0] = s; currentTexCoord[1] = t;
}

// A mesh's vertex is its position and normal; one met again is shared, so it is shaded once.
static uint32_t meshVertex(const GLfloat position[3])
{
    VertexKey key = {{position[0], position[1], position[2], currentNormal[0], currentNormal[1], currentNormal[2]}};
    auto found = meshVertexIndex.emplace(key, (uint32_t)meshVertices.size());
    if (found.second)
        meshVertices.push_back({{position[0], position[1], position[2]}, {currentNormal[0], currentNormal[1], currentNormal[2]}});
    return found.first->second;
}

void glVertex3f(GLfloat x, GLfloat y, GLfloat z)
{
    if (!insidePrimitive) return;
    const GLfloat position[3] = {x, y, z};
    if (makingMesh) {
        primitive.push_back(meshVertex(position));
        if (meshProgress && ++meshVerticesSent % MESH_PROGRESS_VERTICES == 0) meshProgress();
        return;
    }
    WebVertex v;
    memcpy(v.position, position, sizeof v.position);
    memcpy(v.normal, currentNormal, sizeof v.normal);
    currentState(v.state);
    primitive.push_back((uint32_t)frameVertices.size());
    frameVertices.push_back(v);
}

void glVertex3fv(const GLfloat* v) { glVertex3f(v[0], v[1], v[2]); }

void glBegin(GLenum mode)
{
    if (insidePrimitive) return;
    insidePrimitive = true;
    primitiveMode = mode;
    primitive.clear();
}

// Fans fan out from the first vertex, and so do polygons, each triangle listing it last; a
// quad (a, b, c, d) is split along b-d for quads and along the strip's a-d for quad strips.
// Each triangle's vertices come in Mesa's order too: where it clips a triangle and which
// pixels on a shared edge fall to which side depend on it.
static void triangles(const std::vector<uint32_t>& p, GLenum mode, std::vector<uint32_t>& out)
{
    auto triangle = [&](size_t a, size_t b, size_t c) {
        out.push_back(p[a]);
        out.push_back(p[b]);
        out.push_back(p[c]);
    };
    size_t n = p.size();
    switch (mode) {
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3) triangle(i, i + 1, i + 2);
        break;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 0; i + 2 < n; ++i)
            if (i % 2 == 0) triangle(i, i + 1, i + 2);
            else triangle(i + 1, i, i + 2);
        break;
    case GL_TRIANGLE_FAN:
        for (size_t i = 1; i + 1 < n; ++i) triangle(0, i, i + 1);
        break;
    case GL_POLYGON:
        for (size_t i = 1; i + 1 < n; ++i) triangle(i, i + 1, 0);
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            triangle(i, i + 1, i + 3);
            triangle(i + 1, i + 2, i + 3);
        }
        break;
    case GL_QUAD_STRIP:
        for (size_t i = 0; i + 3 < n; i += 2) {
            triangle(i + 2, i, i + 3);
            triangle(i, i + 1, i + 3);
        }
        break;
    }
}

void glEnd()
{
    if (!insidePrimitive) return;
    insidePrimitive = false;
    if (makingMesh) {
        triangles(primitive, primitiveMode, meshIndices);
        return;
    }
    size_t first = frameIndices.size();
    triangles(primitive, primitiveMode, frameIndices);
    recordDraw(0, first, frameIndices.size() - first);
}

// ---- meshes

void setMeshProgress(void (*progress)()) { meshProgress = progress; }

void beginMesh()
{
    makingMesh = true;
    meshNormalGiven = false;
    meshVertices.clear();
    meshIndices.clear();
    meshVertexIndex.clear();
}

Mesh endMesh()
{
    makingMesh = false;
    insidePrimitive = false;
    Mesh m = {++meshesMade, (int)meshIndices.size(), meshNormalGiven, {0, 0, 0}};
    memcpy(m.lastNormal, currentNormal, sizeof m.lastNormal);
    webglCreateMesh(m.id, meshVertices.data(), (int)meshVertices.size(), meshIndices.data(),
                    (int)meshIndices.size());
    meshVertexIndex.clear();
    return m;
}

void drawMesh(const Mesh& mesh)
{
    if (insidePrimitive) return;  // as GL ignores a glBegin inside glBegin
    if (mesh.normalGiven) memcpy(currentNormal, mesh.lastNormal, sizeof currentNormal);
    if (mesh.indexCount == 0) return;
    WebState s;
    currentState(s);
    frameInstances.push_back(s);
    recordDraw(mesh.id, frameInstances.size() - 1, 1);
}

// ---- textures: the page makes the object, keeps its image and parameters, binds it to draw

void glGenTextures(GLsizei n, GLuint* textures)
{
    for (GLsizei i = 0; i < n; ++i) textures[i] = (GLuint)webglCreateTexture();
}

void glBindTexture(GLenum target, GLuint texture)
{
    if (target == GL_TEXTURE_2D) boundTexture = texture;
}

GLuint currentTextureBinding() { return boundTexture; }

// The lab sets the same parameters before every textured surface: only a change reaches the page.
void glTexParameteri(GLenum target, GLenum pname, GLint param)
{
    if (target != GL_TEXTURE_2D || !boundTexture) return;
    auto found = textureParameters.emplace(std::make_pair(boundTexture, pname), param);
    if (!found.second && found.first->second == param) return;
    found.first->second = param;
    webglTexParameter((int)boundTexture, (int)pname, param);
}

void glTexParameterf(GLenum target, GLenum pname, GLfloat param) { glTexParameteri(target, pname, (GLint)param); }

// ---- the frame

// Draws under depth testing with the same mesh, texture and environment are merged into one
// (one instanced draw for a mesh) between a clear or viewport and the next: the depth test
// sorts them out whatever their order. Draws without it keep their order, merged only with
// a like neighbour.
struct Group {
    WebCommand key;
    std::vector<size_t> draws;  // in frameCommands
};

static bool sameKind(const WebCommand& a, const WebCommand& b)
{
    return a.mesh == b.mesh && a.texture == b.texture && a.depthTest == b.depthTest && a.environment == b.environment;
}

static std::vector<uint32_t> mergedIndices;
static std::vector<WebState> mergedInstances;
static std::vector<WebCommand> mergedCommands;

static void flushGroups(std::vector<Group>& groups)
{
    for (const Group& g : groups) {
        WebCommand c = g.key;
        if (c.mesh == 0) {
            c.first = (int)mergedIndices.size();
            for (size_t d : g.draws) {
                const WebCommand& draw = frameCommands[d];
                mergedIndices.insert(mergedIndices.end(), frameIndices.begin() + draw.first,
                                     frameIndices.begin() + draw.first + draw.count);
            }
            c.count = (int)mergedIndices.size() - c.first;
        } else {
            c.first = (int)mergedInstances.size();
            for (size_t d : g.draws) mergedInstances.push_back(frameInstances[frameCommands[d].first]);
            c.count = (int)mergedInstances.size() - c.first;
        }
        mergedCommands.push_back(c);
    }
    groups.clear();
}

static void mergeDraws()
{
    mergedIndices.clear();
    mergedInstances.clear();
    mergedCommands.clear();
    if (frameViewport && (frameCommands.empty() || frameCommands[0].kind != WEB_VIEWPORT))
        mergedCommands.push_back(*frameViewport);
    std::vector<Group> groups;
    bool ordered = false;  // the groups hold draws without depth testing, whose order counts
    for (size_t i = 0; i < frameCommands.size(); ++i) {
        const WebCommand& c = frameCommands[i];
        if (c.kind != WEB_DRAW) {
            flushGroups(groups);
            mergedCommands.push_back(c);
            continue;
        }
        if (c.depthTest && !ordered) {
            auto g = std::find_if(groups.begin(), groups.end(), [&](const Group& g) { return sameKind(g.key, c); });
            if (g != groups.end()) g->draws.push_back(i);
            else groups.push_back({c, {i}});
            continue;
        }
        if (!groups.empty() && sameKind(groups.back().key, c)) {
            groups.back().draws.push_back(i);
            continue;
        }
        flushGroups(groups);
        ordered = !c.depthTest;
        groups.push_back({c, {i}});
    }
    flushGroups(groups);
}

void submitFrame()
{
    mergeDraws();
    webglSubmitFrame(frameVertices.data(), (int)frameVertices.size(), mergedIndices.data(), (int)mergedIndices.size(),
                     mergedInstances.data(), (int)mergedInstances.size(), frameEnvironments.data(),
                     (int)frameEnvironments.size(), mergedCommands.data(), (int)mergedCommands.size());
    frameViewport = currentViewport;
    clearFrame();
}
