// The browser build's GL layer compiled natively, with the page's calls caught: what a frame
// hands to WebGL at the swap. Solids become one mesh per set of parameters; each draw carries
// the matrices, material and lights in force at its call.
#include <gtest/gtest.h>

#include "web/gl_state.h"
#include "web/meshes.h"
#include "web/webgl.h"

#include <GL/gl.h>

#include <map>
#include <vector>

namespace {

struct Frame {
    std::vector<WebVertex> vertices;
    std::vector<WebState> instances;
    std::vector<WebEnvironment> environments;
    std::vector<WebCommand> commands;
};
Frame lastFrame;
std::map<int, int> meshIndexCounts;  // by mesh number, as made

}  // namespace

extern "C" {
int webglCreateContext(int, int) { return 1; }
void webglCreateMesh(int mesh, const WebMeshVertex*, int, const uint32_t*, int indexCount) { meshIndexCounts[mesh] = indexCount; }
void webglSubmitFrame(const WebVertex* vertices, int vertexCount, const uint32_t*, int, const WebState* instances,
                      int instanceCount, const WebEnvironment* environments, int environmentCount,
                      const WebCommand* commands, int commandCount)
{
    lastFrame = {{vertices, vertices + vertexCount},
                 {instances, instances + instanceCount},
                 {environments, environments + environmentCount},
                 {commands, commands + commandCount}};
}
int webglCreateTexture(void) { return 1; }
void webglTexParameter(int, int, int) {}
void webglTexImage(int, int, int, const uint8_t*) {}
}

namespace {

// Each test starts from GL's state as a new context has it, its own frame empty.
class WebGL : public testing::Test {
protected:
    void SetUp() override
    {
        resetGLState();
        lastFrame = {};
    }
};

std::vector<WebCommand> draws()
{
    std::vector<WebCommand> out;
    for (const WebCommand& c : lastFrame.commands)
        if (c.kind == WEB_DRAW) out.push_back(c);
    return out;
}

void expectNear(const float* got, std::initializer_list<float> want, const char* what)
{
    int i = 0;
    for (float w : want) {
        EXPECT_NEAR(got[i], w, 1e-6f) << what << " [" << i << "]";
        ++i;
    }
}

TEST_F(WebGL, ASolidIsMadeOnceForEachSetOfParameters)
{
    size_t before = meshIndexCounts.size();
    glEnable(GL_DEPTH_TEST);
    for (int i = 0; i < 3; ++i) {
        drawSolidTorus(0.05, 0.5, 60, 60);
        drawSolidCube(4);
    }
    drawSolidTorus(0.05, 0.7, 60, 60);  // each parameter its own mesh
    drawSolidTorus(0.1, 0.5, 60, 60);
    drawSolidTorus(0.05, 0.5, 30, 60);
    drawSolidCube(1);
    drawCylinder(0.5, 0.5, 6, 16, 16);
    drawCylinder(0.5, 0.5, 6, 16, 16);
    submitFrame();
    EXPECT_EQ(meshIndexCounts.size() - before, 7u);
    // Shared vertices once: a torus's 60 x 60 quads are 7200 triangles; a cube 12.
    auto made = meshIndexCounts.begin();
    std::advance(made, before);
    EXPECT_EQ(made->second, 3 * 7200);
    EXPECT_EQ(std::next(made)->second, 3 * 12);
    // One instanced draw a mesh, in the order first drawn, each instance with its own state.
    std::vector<WebCommand> d = draws();
    ASSERT_EQ(d.size(), 7u);
    EXPECT_EQ(d[0].count, 3);
    EXPECT_EQ(d[1].count, 3);
    EXPECT_EQ(d[6].count, 2);
    EXPECT_EQ(lastFrame.instances.size(), 12u);
}

TEST_F(WebGL, EachDrawKeepsTheMatricesAndMaterialOfItsCall)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat red[4] = {1, 0, 0, 1}, blue[4] = {0, 0, 1, 0.5f};
    glMaterialfv(GL_FRONT, GL_DIFFUSE, red);
    glPushMatrix();
    glTranslatef(1, 2, 3);
    glScalef(2, 4, 8);
    drawSolidCube(1);
    glPopMatrix();
    glMaterialfv(GL_FRONT, GL_DIFFUSE, blue);
    drawSolidCube(1);
    submitFrame();
    ASSERT_EQ(lastFrame.instances.size(), 2u);
    const WebState &scaled = lastFrame.instances[0], &plain = lastFrame.instances[1];
    expectNear(scaled.modelview, {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1}, "modelview under the push");
    expectNear(scaled.normalMatrix, {0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0}, "its normal matrix");
    expectNear(scaled.diffuse, {1, 0, 0, 1}, "its material");
    expectNear(plain.modelview, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "modelview after the pop");
    expectNear(plain.normalMatrix, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}, "normal matrix after the pop");
    expectNear(plain.diffuse, {0, 0, 1, 0.5f}, "the material set since");
}

TEST_F(WebGL, LightsAreFixedInEyeCoordinatesWhenSet)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -5);
    glRotatef(90, 0, 1, 0);
    const GLfloat positional[4] = {1, 2, 3, 1}, ambient[4] = {0.1f, 0.2f, 0.3f, 1};
    glLightfv(GL_LIGHT1, GL_POSITION, positional);
    glLightfv(GL_LIGHT1, GL_AMBIENT, ambient);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT1);
    glLoadIdentity();  // moving the eye afterwards does not move the light
    drawSolidCube(1);
    glDisable(GL_LIGHT1);
    drawSolidCube(1);
    submitFrame();
    std::vector<WebCommand> d = draws();
    ASSERT_EQ(d.size(), 2u) << "another light switch, another draw";
    const WebEnvironment &on = lastFrame.environments[d[0].environment], &off = lastFrame.environments[d[1].environment];
    expectNear(on.lights[1].position, {3, 2, -6, 1}, "light 1 position");
    expectNear(on.lights[1].ambient, {0.1f, 0.2f, 0.3f, 1}, "light 1 ambient");
    expectNear(on.switches, {1, 0, 1, 0}, "lighting and light 1 on");
    expectNear(off.switches, {1, 0, 0, 0}, "light 1 off");
}

TEST_F(WebGL, TheCurrentNormalAfterASolidIsTheLastItGave)
{
    glLoadIdentity();
    for (int pass = 0; pass < 2; ++pass) {  // made, then drawn from the mesh
        glNormal3f(0, 1, 0);
        drawSolidTorus(0.3, 1, 5, 7);
        const GLfloat white[4] = {1, 1, 1, 1};
        glBegin(GL_TRIANGLES);
        glMaterialfv(GL_FRONT, GL_AMBIENT, white);  // inside the primitive: it holds from the next vertex
        glVertex3f(0, 0, 0);
        glNormal3f(0, 0, 1);
        glVertex3f(1, 0, 0);
        glVertex3f(0, 1, 0);
        glEnd();
        drawSolidCube(2);
        glBegin(GL_TRIANGLES);
        for (int i = 0; i < 3; ++i) glVertex3f((float)i, 0, 0);
        glEnd();
        submitFrame();
        ASSERT_EQ(lastFrame.vertices.size(), 6u);
        expectNear(lastFrame.vertices[0].normal, {1, 0, 0}, "after the torus");
        expectNear(lastFrame.vertices[1].normal, {0, 0, 1}, "sent");
        expectNear(lastFrame.vertices[0].state.ambient, {1, 1, 1, 1}, "material set inside glBegin");
        expectNear(lastFrame.vertices[3].normal, {0, 0, -1}, "after the cube");
    }
}

TEST_F(WebGL, EachFrameOpensWithTheViewportItIsDrawnIn)  // drawn again alone on a restored context
{
    glViewport(0, 0, 7, 9);
    submitFrame();
    submitFrame();
    ASSERT_EQ(lastFrame.commands.size(), 1u);
    EXPECT_EQ(lastFrame.commands[0].viewport[3], 9);
}

// Last, after the tests above have changed all of it.
TEST_F(WebGL, EachTestStartsFromGLsStartState)
{
    drawSolidCube(1);
    submitFrame();
    ASSERT_EQ(draws().size(), 1u);
    const WebState& s = lastFrame.instances[0];
    expectNear(s.modelview, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "modelview");
    expectNear(s.ambient, {0.2f, 0.2f, 0.2f, 1}, "material ambient");
    expectNear(s.diffuse, {0.8f, 0.8f, 0.8f, 1}, "material diffuse");
    const WebEnvironment& e = lastFrame.environments[draws()[0].environment];
    expectNear(e.switches, {0, 0, 0, 0}, "lighting and both lights off");
    expectNear(e.lights[1].position, {0, 0, 1, 0}, "light 1 where GL puts it");
    EXPECT_EQ(draws()[0].depthTest, 0);
}

}  // namespace
