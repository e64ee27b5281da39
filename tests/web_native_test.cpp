// The browser build's solids and image scaling, compiled natively and held against the
// libraries they stand in for: freeglut's and GLU's solids under GL's feedback mode
// (positions, normals, primitives in order), and GLU's rescaled level 0 read back from GL.
#include <gtest/gtest.h>

#include "scene/surface.h"
#include "texture/tga.h"
#include "web/scale.h"
#include "web/solids.h"

#include <GL/freeglut.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

// One vertex as feedback reports it: window position and, through normal-map texture
// generation under an identity modelview, the normal GL was given.
struct FedVertex { float x, y, z, nx, ny, nz; };
struct Primitive { std::vector<FedVertex> vertices; };

std::vector<Primitive> feedbackOf(const std::function<void()>& draw)
{
    static std::vector<GLfloat> buffer(16 << 20);
    glViewport(0, 0, 400, 400);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    // Texture coordinates are generated only for a complete texture.
    static GLuint white;
    if (!white) {
        const unsigned char texel[4] = {255, 255, 255, 255};
        glGenTextures(1, &white);
        glBindTexture(GL_TEXTURE_2D, white);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    }
    glBindTexture(GL_TEXTURE_2D, white);
    glEnable(GL_TEXTURE_2D);
    for (GLenum coord : {GL_S, GL_T, GL_R}) glTexGeni(coord, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_GEN_R);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_4D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    int n = glRenderMode(GL_RENDER);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    EXPECT_GE(n, 0) << "feedback buffer too small";
    std::vector<Primitive> out;
    const int perVertex = 4 + 4 + 4;
    for (int i = 0; i < n;) {
        int token = (int)buffer[i++];
        EXPECT_EQ(token, GL_POLYGON_TOKEN);
        if (token != GL_POLYGON_TOKEN) break;
        int count = (int)buffer[i++];
        Primitive p;
        for (int v = 0; v < count; ++v, i += perVertex) {
            const GLfloat* f = &buffer[i];
            p.vertices.push_back({f[0], f[1], f[2], f[8], f[9], f[10]});
        }
        out.push_back(p);
    }
    return out;
}

void expectSameFeedback(const std::function<void()>& native, const std::function<void()>& ours, const char* what)
{
    std::vector<Primitive> want = feedbackOf(native), got = feedbackOf(ours);
    ASSERT_FALSE(want.empty()) << what;
    ASSERT_EQ(got.size(), want.size()) << what << ": primitive count";
    int reported = 0;
    for (size_t p = 0; p < want.size(); ++p) {
        ASSERT_EQ(got[p].vertices.size(), want[p].vertices.size()) << what << " primitive " << p;
        for (size_t v = 0; v < want[p].vertices.size(); ++v) {
            const FedVertex &a = got[p].vertices[v], &b = want[p].vertices[v];
            float position = std::max({std::fabs(a.x - b.x), std::fabs(a.y - b.y), std::fabs(a.z - b.z) * 400});
            float normal = std::max({std::fabs(a.nx - b.nx), std::fabs(a.ny - b.ny), std::fabs(a.nz - b.nz)});
            if ((position > 1e-3f || normal > 1e-5f) && reported++ < 5)
                ADD_FAILURE() << what << " primitive " << p << " vertex " << v << ": (" << a.x << ", " << a.y
                              << ", " << a.z << ") n (" << a.nx << ", " << a.ny << ", " << a.nz << ") where GL has ("
                              << b.x << ", " << b.y << ", " << b.z << ") n (" << b.nx << ", " << b.ny << ", " << b.nz
                              << ")";
        }
    }
}

// Each solid as the lab sizes it, scaled up so that it spans many pixels.
void scaled(float s, const std::function<void()>& draw)
{
    glPushMatrix();
    glRotatef(30, 1, 1, 0);
    glScalef(s, s, s);
    draw();
    glPopMatrix();
}

TEST(WebSolids, CubesMatchGlut)
{
    for (double size : {1.0, 4.0})
        expectSameFeedback([&] { scaled(10, [&] { glutSolidCube(size); }); },
                           [&] { scaled(10, [&] { labSolidCube(size); }); }, "cube");
}

TEST(WebSolids, ToriMatchGlut)
{
    expectSameFeedback([] { scaled(100, [] { glutSolidTorus(0.05, 0.5, 60, 60); }); },
                       [] { scaled(100, [] { labSolidTorus(0.05, 0.5, 60, 60); }); }, "lab's torus");
    expectSameFeedback([] { scaled(50, [] { glutSolidTorus(0.3, 1, 5, 7); }); },
                       [] { scaled(50, [] { labSolidTorus(0.3, 1, 5, 7); }); }, "coarse torus");
}

TEST(WebSolids, CylindersMatchGlu)
{
    GLUquadric* q = gluNewQuadric();
    expectSameFeedback([&] { scaled(10, [&] { gluCylinder(q, 0.5, 0.5, 6, 16, 16); }); },
                       [&] { scaled(10, [&] { labCylinder(0.5, 0.5, 6, 16, 16); }); }, "post");
    expectSameFeedback([&] { scaled(1, [&] { gluCylinder(q, 5, 5, 79.8, 360, 360); }); },
                       [&] { scaled(1, [&] { labCylinder(5, 5, 79.8, 360, 360); }); }, "pillar");
    expectSameFeedback([&] { scaled(10, [&] { gluCylinder(q, 3, 1, 4, 7, 3); }); },
                       [&] { scaled(10, [&] { labCylinder(3, 1, 4, 7, 3); }); }, "cone");
    gluDeleteQuadric(q);
}

// ---- textures: the size GLU picks and the texels it makes, for each of the lab's images

TEST(WebScale, SidesRoundAsGluDoes)
{
    EXPECT_EQ(nearestPowerOfTwo(250), 256);
    EXPECT_EQ(nearestPowerOfTwo(85), 64);
    EXPECT_EQ(nearestPowerOfTwo(192), 256);
    EXPECT_EQ(nearestPowerOfTwo(390), 512);
    EXPECT_EQ(nearestPowerOfTwo(256), 256);
    EXPECT_EQ(nearestPowerOfTwo(1), 1);
}

TEST(WebScale, LevelZeroMatchesGluForEveryImage)
{
    for (int i = 0; i < LAB_IMAGE_COUNT; ++i) {
        std::string file = labImagePath((LabImage)i);
        TGAImage* image = loadTGA(file.c_str());
        ASSERT_TRUE(image) << file;
        int c = image->bytesPerPixel;
        GLenum format = c == 4 ? GL_RGBA : GL_RGB;
        GLuint id;
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gluBuild2DMipmaps(GL_TEXTURE_2D, c, image->width, image->height, format, GL_UNSIGNED_BYTE, image->imageData);
        GLint w = 0, h = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        EXPECT_EQ(w, nearestPowerOfTwo(image->width)) << file;
        EXPECT_EQ(h, nearestPowerOfTwo(image->height)) << file;
        std::vector<unsigned char> native((size_t)w * h * c);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, native.data());

        std::vector<unsigned char> padded(image->imageData,
                                          image->imageData + (size_t)image->width * image->height * c);
        padded.resize(padded.size() + c, 0);
        std::vector<unsigned char> ours((size_t)w * h * c);
        if (w == image->width && h == image->height)
            ours.assign(padded.begin(), padded.end() - c);
        else
            scaleImage(c, image->width, image->height, padded.data(), image->width * c, w, h, ours.data());
        int worst = 0;
        long off = 0;
        for (size_t i = 0; i < ours.size(); ++i) {
            int d = std::abs(ours[i] - native[i]);
            worst = std::max(worst, d);
            off += d > 0;
        }
        EXPECT_EQ(off, 0) << file << ": " << off << " of " << ours.size() << " bytes differ, by up to " << worst;
        printf("%s: %dx%d -> %dx%d, %ld of %zu bytes differ from GLU's, by at most %d\n", file.c_str(), image->width,
               image->height, w, h, off, ours.size(), worst);
        glDeleteTextures(1, &id);
        freeTGA(image);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(400, 400);
    glutCreateWindow("web solids");
    return RUN_ALL_TESTS();
}
