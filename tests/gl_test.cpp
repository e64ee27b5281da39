// The lab in a real GLUT window on Mesa: state after start-up and after frames, and
// the picture from fixed poses. Starts the lab once for this binary's other tests too.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it

#include "lab_gl.h"

#include "gl_probe.h"

#include "app/frame.h"
#include "app/startup.h"
#include "camera/camera.h"
#include "scene/lighting.h"
#include "scene/surface.h"
#include "texture/tga.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

static const Pose START = {{0, 0, 0}, {0, 0, -30}};
static const Pose BEHIND_BACK_ROW = {{30, 20, 58}, {0, -5, -30}};
static const Pose OUTSIDE = {{0, 20, 200}, {0, 0, 0}};

class LabFrame : public ::testing::Test {
protected:
    void SetUp() override { setCamera(START); }
    void TearDown() override { setCamera(START); }
};

// ---- start-up state

TEST_F(LabFrame, WindowIsTheLabsOwn)
{
    EXPECT_EQ(glutGet(GLUT_WINDOW_WIDTH), 500);
    EXPECT_EQ(glutGet(GLUT_WINDOW_HEIGHT), 500);
    EXPECT_EQ(glutGet(GLUT_WINDOW_DOUBLEBUFFER), 1);
    EXPECT_GT(glutGet(GLUT_WINDOW_DEPTH_SIZE), 0);
}

TEST_F(LabFrame, LightsAndLightModelAreSetOnce)
{
    GLfloat v[4];
    auto expect4 = [&](GLfloat a, GLfloat b, GLfloat c, GLfloat d) {
        EXPECT_FLOAT_EQ(v[0], a); EXPECT_FLOAT_EQ(v[1], b); EXPECT_FLOAT_EQ(v[2], c); EXPECT_FLOAT_EQ(v[3], d);
    };
    for (GLenum light : {GL_LIGHT0, GL_LIGHT1}) {
        glGetLightfv(light, GL_AMBIENT, v); expect4(1, 1, 1, 1);
        glGetLightfv(light, GL_DIFFUSE, v); expect4(0.2f, 0.2f, 0.2f, 1);
        glGetLightfv(light, GL_SPECULAR, v); expect4(1, 1, 1, 1);
        EXPECT_TRUE(glIsEnabled(light));
    }
    // Positions were given under an identity modelview: they stay in eye coordinates.
    glGetLightfv(GL_LIGHT0, GL_POSITION, v); expect4(-20, 5, -8, 1);
    glGetLightfv(GL_LIGHT1, GL_POSITION, v); expect4(0, 50, -29, 1);
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, v); expect4(0, 0, 0, 1);
    GLboolean localViewer = GL_TRUE;
    glGetBooleanv(GL_LIGHT_MODEL_LOCAL_VIEWER, &localViewer);
    EXPECT_FALSE(localViewer);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, v); expect4(0.3f, 0.5f, 0.7f, 1);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
}

TEST_F(LabFrame, FirstFrameUsesTheReshapeProjection)
{
    GLdouble m[16];
    glGetDoublev(GL_PROJECTION_MATRIX, m);
    double f = 1 / tan(60 * M_PI / 180);  // 120 degrees, aspect 1, near 0.5, far 300
    EXPECT_NEAR(m[0], f, 1e-6);
    EXPECT_NEAR(m[5], f, 1e-6);
    EXPECT_NEAR(m[10], -300.5 / 299.5, 1e-6);
    EXPECT_NEAR(m[14], -300.0 / 299.5, 1e-6);
    EXPECT_NEAR(m[11], -1, 1e-9);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 500);
    EXPECT_EQ(vp[3], 500);
}

TEST_F(LabFrame, CameraStartsAtTheOriginLookingDownMinusZ)
{
    drawFrame();
    GLdouble m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], i % 5 == 0 ? 1 : 0, 1e-9) << i;
}

// ---- what a frame leaves behind, and what it must not make

static void expectFrameEndState()
{
    GLint depth = 0, mode = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLfloat v[4];
    for (GLenum which : {GL_AMBIENT, GL_EMISSION}) {
        glGetMaterialfv(GL_FRONT, which, v);
        EXPECT_FLOAT_EQ(v[0], 0); EXPECT_FLOAT_EQ(v[1], 0); EXPECT_FLOAT_EQ(v[2], 0); EXPECT_FLOAT_EQ(v[3], 1);
    }
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
}

TEST_F(LabFrame, FramesLeaveTheSameStateAndMakeNothingNew)
{
    drawFrame();
    expectFrameEndState();
    EXPECT_EQ(texturesAlive(), LAB_IMAGE_COUNT);
    GLUquadric* handles[3] = {quadric, pillarQuadric, lensQuadric};
    int menus = menusCreated();
    for (int i = 0; i < 60; ++i) {
        autoMove();  // the orbit moves the eye between frames, as 'a' does
        drawFrame();
    }
    expectFrameEndState();
    EXPECT_EQ(texturesAlive(), LAB_IMAGE_COUNT);
    EXPECT_EQ(menusCreated(), menus + 1);  // only the probe itself
    EXPECT_EQ(quadric, handles[0]);
    EXPECT_EQ(pillarQuadric, handles[1]);
    EXPECT_EQ(lensQuadric, handles[2]);
    initCamera();
}

TEST_F(LabFrame, EveryImageHasItsOwnTexture)
{
    drawFrame();
    for (int i = 0; i < LAB_IMAGE_COUNT; ++i) {
        ASSERT_NE(textureIds[i], 0u) << labImageFiles[i];
        for (int j = 0; j < i; ++j) EXPECT_NE(textureIds[i], textureIds[j]);
        glBindTexture(GL_TEXTURE_2D, textureIds[i]);
        GLint w = 0, h = 0, filter = 0, format = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
        EXPECT_EQ(w & (w - 1), 0) << "GLU scales every side to a power of two";
        EXPECT_EQ(h & (h - 1), 0);
        EXPECT_EQ(filter, GL_NEAREST);
        TGAImage* image = loadTGA(labImagePath((LabImage)i).c_str());
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(format, image->bytesPerPixel);  // components 3 or 4, as the image has
        freeTGA(image);
    }
}

TEST_F(LabFrame, TwoFramesWithTheSameCameraMatch)
{
    drawFrame();
    Shot a = readFrame(500, 500);
    drawFrame();
    EXPECT_TRUE(a == readFrame(500, 500));
}

// ---- pictures from fixed poses

struct Pixel { int r, g, b; };

static Pixel pixelAt(const Shot& shot, double wx, double wy, double wz, bool* onScreen)
{
    GLdouble mv[16], pr[16], x, y, z;
    GLint vp[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glGetIntegerv(GL_VIEWPORT, vp);
    gluProject(wx, wy, wz, mv, pr, vp, &x, &y, &z);
    int px = (int)x, py = (int)y;
    *onScreen = px >= 0 && py >= 0 && px < 500 && py < 500 && z > 0 && z < 1;
    if (!*onScreen) return {0, 0, 0};
    const unsigned char* p = shot.at(px, 499 - py);  // GL counts rows from the bottom
    return {p[0], p[1], p[2]};
}

// The decoded image's texel at (s, t), as GL_NEAREST picks it.
static Pixel texel(const char* file, double s, double t)
{
    TGAImage* image = loadTGA(file);
    if (!image) return {-1, -1, -1};
    int x = (int)(s * image->width), y = (int)(t * image->height);
    const unsigned char* p = image->imageData + ((size_t)y * image->width + x) * image->bytesPerPixel;
    Pixel px{p[0], p[1], p[2]};
    freeTGA(image);
    return px;
}

static void expectNear(Pixel got, Pixel want, int tolerance, const char* what)
{
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
}

static Shot pictureOf(const Pose& pose)
{
    setCamera(pose);
    drawFrame();
    return readFrame(500, 500);
}

static void compareWithReference(const char* name, const Shot& picture)
{
    std::string path = sourcePath(std::string("tests/reference/") + name + ".ppm");
    if (getenv("OSTREL_UPDATE_REFERENCES")) {
        ASSERT_TRUE(writePpm(path, picture)) << path;
        printf("OSTREL_UPDATE_REFERENCES: rewrote %s\n", path.c_str());
    }
    Shot reference;
    ASSERT_TRUE(readPpm(path, reference)) << path << " cannot be read: write it with OSTREL_UPDATE_REFERENCES=1";
    long differing = 0;
    maxDifference(picture, reference, REFERENCE_TOLERANCE, &differing);
    if (differing < 0) differing = (long)picture.width * picture.height;  // another size: every pixel
    EXPECT_LE(differing, REFERENCE_PIXELS_OFF) << offReference(name, differing, picture, reference);
}

TEST_F(LabFrame, StartViewShowsTheFrontOfTheLab)
{
    Shot rgb = pictureOf(START);
    bool on;
    // The slide's title bar, its white page, and the freehand panel's board.
    expectNear(pixelAt(rgb, -20 + 40 * 0.05, -9 + 38 * 0.95, -58, &on), texel("data/screens.tga", 0.05, 0.95), 2,
               "projection screen title bar");
    EXPECT_TRUE(on);
    expectNear(pixelAt(rgb, 0, 10, -58, &on), texel("data/screens.tga", 0.5, 0.5), 2, "projection screen centre");
    expectNear(pixelAt(rgb, 38, 27, -58, &on), texel("data/freehand1.tga", 0.9, 0.95), 2, "freehand panel");
    Pixel white = pixelAt(rgb, -30, 10, -59, &on);
    expectNear(white, {255, 255, 255}, 1, "whiteboard left of the screen");
    Pixel brown = pixelAt(rgb, -59, 8.5, -50, &on);  // above the door's panel
    EXPECT_TRUE(on);
    EXPECT_GT(brown.r, brown.g);
    EXPECT_GT(brown.g, brown.b);
    EXPECT_NEAR(brown.r, 0.5 * 255, 0.3 * 255) << "door";
    expectNear(pixelAt(rgb, -58.5, -1, -54, &on), {255, 255, 255}, 1, "door panel");
    compareWithReference("start", rgb);
}

TEST_F(LabFrame, ViewFromBehindTheBackRow)
{
    Shot rgb = pictureOf(BEHIND_BACK_ROW);
    bool on;
    // The back right desk, between the first case and the second keyboard.
    Pixel desk = pixelAt(rgb, 26.5, -10, 49, &on);  // its front edge
    EXPECT_TRUE(on);
    EXPECT_GT(desk.r, desk.b + 60) << "desk top's yellow-brown";
    expectNear(pixelAt(rgb, 0, 10, -58, &on), texel("data/screens.tga", 0.5, 0.5), 2, "projection screen centre");
    compareWithReference("behind-back-row", rgb);
}

TEST_F(LabFrame, ViewFromOutsideShowsTheClearColourAroundTheRoom)
{
    Shot rgb = pictureOf(OUTSIDE);
    Pixel corner{rgb.at(0, 0)[0], rgb.at(0, 0)[1], rgb.at(0, 0)[2]};
    expectNear(corner, {77, 128, 179}, 1, "clear colour");
    bool on;
    // The back wall seen from outside: not culled, still the drywall image.
    expectNear(pixelAt(rgb, 0, 20, 60, &on), {236, 233, 224}, 20, "back wall from outside, off-white");
    EXPECT_TRUE(on);
    compareWithReference("outside", rgb);
}

// The camera's and the layout's expectations are numbers written in their tests: each failure
// there ends with the line that holds its number, which is where an intended change is accepted.
class WhereToAccept : public ::testing::EmptyTestEventListener {
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        std::string file = result.file_name() ? result.file_name() : "";
        file = file.substr(file.find("tests/") == std::string::npos ? 0 : file.rfind("tests/"));
        if (result.failed() && (file == "tests/camera_test.cpp" || file == "tests/geometry_test.cpp"))
            printf("An intended change? Accept it where this expectation is written: %s:%d\n", file.c_str(),
                   result.line_number());
    }
};

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new WhereToAccept);
    startLab(&argc, argv);
    if (!showFirstFrame(500)) {
        fprintf(stderr, "gl-tests: the first frame was never drawn\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
