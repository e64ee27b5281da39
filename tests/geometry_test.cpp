// Where every piece of the lab lands in world coordinates, read back from GL's feedback
// mode: the frame is drawn under an orthographic view that maps the room 1:1 onto the window.
#include <gtest/gtest.h>  // ahead of Xlib, whose macros clash with it

#include "lab_gl.h"

#include "camera/camera.h"
#include "scene/lighting.h"

#include <GL/glu.h>

#include <cmath>
#include <iterator>
#include <map>
#include <set>
#include <tuple>
#include <vector>

namespace {

struct Vertex { float x, y, z, s, t; };

// Window (0..200) back to world (-100..100); depth 0..1 back to z 100..-100.
std::vector<Vertex> feedbackOfOneFrame(int* polygons)
{
    static std::vector<GLfloat> buffer(24 << 20);
    glViewport(0, 0, 200, 200);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-100, 100, -100, 100, -100, 100);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    drawFrame();
    int n = glRenderMode(GL_RENDER);
    reshape(500, 500);

    std::vector<Vertex> out;
    *polygons = 0;
    const int perVertex = 3 + 4 + 4;
    for (int i = 0; i < n;) {
        int token = (int)buffer[i++];
        int count = 0;
        if (token == GL_POLYGON_TOKEN) { count = (int)buffer[i++]; ++*polygons; }
        else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) count = 2;
        else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN ||
                 token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN) count = 1;
        else if (token == GL_PASS_THROUGH_TOKEN) { ++i; continue; }
        for (int v = 0; v < count; ++v, i += perVertex) {
            const GLfloat* f = &buffer[i];
            out.push_back({f[0] - 100, f[1] - 100, 100 - 200 * f[2], f[7], f[8]});
        }
    }
    return out;
}

// Positions rounded to 1/100 of a unit, each with the texture coordinates seen there.
using Key = std::tuple<long, long, long>;
Key key(double x, double y, double z) { return {lround(x * 100), lround(y * 100), lround(z * 100)}; }

class Geometry : public ::testing::Test {
protected:
    static std::map<Key, std::set<std::pair<int, int>>> seen;
    static std::map<Key, int> firstAt;  // where in the frame each position first comes
    static int polygons;
    static void SetUpTestSuite()
    {
        initCamera();  // the start view's look-at is the identity
        int i = 0;
        for (const Vertex& v : feedbackOfOneFrame(&polygons)) {
            seen[key(v.x, v.y, v.z)].insert({(int)lround(v.s), (int)lround(v.t)});
            firstAt.emplace(key(v.x, v.y, v.z), i++);
        }
    }
    static int drawnAt(double x, double y, double z)
    {
        int first = -1;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = firstAt.find(key(x + dx * 0.01, y + dy * 0.01, z + dz * 0.01));
                    if (it != firstAt.end() && (first < 0 || it->second < first)) first = it->second;
                }
        return first;
    }
    // A vertex within 0.01 of the point (rounding may put it in a neighbouring cell).
    static const std::set<std::pair<int, int>>* find(double x, double y, double z)
    {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = seen.find(key(x + dx * 0.01, y + dy * 0.01, z + dz * 0.01));
                    if (it != seen.end()) return &it->second;
                }
        return nullptr;
    }
    static bool has(double x, double y, double z) { return find(x, y, z) != nullptr; }
    static bool hasTextured(double x, double y, double z, int s, int t)
    {
        const auto* st = find(x, y, z);
        return st && st->count({s, t});
    }
    // Failures name the line where the box's expectation is written.
    static void expectBox(int line, const char* what, double x0, double x1, double y0, double y1, double z0, double z1)
    {
        for (double x : {x0, x1})
            for (double y : {y0, y1})
                for (double z : {z0, z1})
                    if (!has(x, y, z)) ADD_FAILURE_AT(__FILE__, line) << what << " corner " << x << ", " << y << ", " << z;
    }
};
std::map<Key, std::set<std::pair<int, int>>> Geometry::seen;
std::map<Key, int> Geometry::firstAt;
int Geometry::polygons;

struct Corner { int s, t; double x, y, z; };

TEST_F(Geometry, RoomSurfacesCarryTheirImagesOnceEach)
{
    const struct { const char* name; Corner c[4]; } surfaces[] = {
        {"front wall", {{0, 0, -60, -20, -60}, {0, 1, -60, 60, -60}, {1, 1, 60, 60, -60}, {1, 0, 60, -20, -60}}},
        {"projection screen", {{0, 0, -20, -9, -58}, {1, 0, 20, -9, -58}, {1, 1, 20, 29, -58}, {0, 1, -20, 29, -58}}},
        {"freehand panel", {{0, 0, 20, -10, -58}, {1, 0, 40, -10, -58}, {1, 1, 40, 29, -58}, {0, 1, 20, 29, -58}}},
        {"left wall", {{1, 0, -60, -20, 60}, {1, 1, -60, 60, 60}, {0, 1, -60, 60, -60}, {0, 0, -60, -20, -60}}},
        {"right wall", {{1, 0, 60, -20, 60}, {1, 1, 60, 60, 60}, {0, 1, 60, 60, -60}, {0, 0, 60, -20, -60}}},
        {"back wall", {{0, 0, -60, -20, 60}, {0, 1, -60, 60, 60}, {1, 1, 60, 60, 60}, {1, 0, 60, -20, 60}}},
        {"ceiling", {{0, 0, -60, 60, 60}, {0, 1, -60, 60, -60}, {1, 1, 60, 60, -60}, {1, 0, 60, 60, 60}}},
        {"floor", {{0, 0, -60, -20, 60}, {0, 1, -60, -20, -60}, {1, 1, 60, -20, -60}, {1, 0, 60, -20, 60}}},
    };
    for (const auto& surface : surfaces)
        for (const Corner& c : surface.c)
            EXPECT_TRUE(hasTextured(c.x, c.y, c.z, c.s, c.t))
                << surface.name << " at " << c.x << ", " << c.y << ", " << c.z << " with " << c.s << ", " << c.t;
}

TEST_F(Geometry, FixturesStandWhereTheRoomPutsThem)
{
    for (auto p : {std::make_tuple(-40, 30), std::make_tuple(-40, -10), std::make_tuple(40, -10), std::make_tuple(40, 30)})
        EXPECT_TRUE(has(std::get<0>(p), std::get<1>(p), -59)) << "whiteboard";
    for (double y : {10.0, -20.0})
        for (double z : {-45.0, -57.0}) EXPECT_TRUE(has(-59, y, z)) << "door " << y << ", " << z;
    for (double y : {7.0, -9.0})
        for (double z : {-52.0, -56.0}) EXPECT_TRUE(has(-58.5, y, z)) << "door panel " << y << ", " << z;
    // The pillar hangs from the ceiling to 0.2 above the carpet, radius 5 around (0, 47).
    EXPECT_TRUE(has(0, 60, 52));
    EXPECT_TRUE(has(0, -19.8, 52));
    EXPECT_FALSE(has(0, -20, 52));
    expectBox(__LINE__, "projector body", -4, 4, 47.5, 52.5, -27.5, -22.5);
    EXPECT_TRUE(has(0, 52, -28)) << "lens, back end";
    EXPECT_TRUE(has(0, 52, -27)) << "lens, front end";
}

// The resulting positions of every row group, in room coordinates, in the order they are
// drawn; a place whose keyboard comes before its stand post is a K. A failure of a group
// is told at its row's line here, where an intended change is accepted.
struct Row { double tx, tz; int bank; int places; double deskX0, deskX1, legX; const char* screens, *early; int line; };
#define ROW(...) {__VA_ARGS__, __LINE__}
const Row rows[] = {
    ROW(-65, 0, 0, 3, -50, -10, -11, "L-S", "K-K"),
    ROW(0, 0, 1, 3, 15, 55, 15.5, "S--", "---"),
    ROW(-65, 25, 0, 3, -50, -10, -11, "-S-", "---"),
    ROW(0, 25, 1, 3, 15, 55, 15.5, "--L", "---"),
    ROW(-65, 45, 0, 3, -50, -10, -11, "---", "---"),
    ROW(0, 45, 1, 3, 15, 55, 15.5, "SS-", "---"),
    ROW(-65, 65, 0, 2, -50, -18, -19.5, "-L", "--"),
    ROW(0, 65, 1, 3, 15, 55, 15.5, "-S-", "---"),
};
// Every group's places stand alike: these per-place tables come after the rows.
const double monitorX[3] = {19, 34, 47}, caseX[3] = {25, 40, 53};
const double keyboardD[3] = {0, 13, 26}, chairD[3] = {0, 15, 30};
const double footF[2][3] = {{6.5, 11.5, 15.75}, {6, 11, 15}};
const double screenD[2][3] = {{0, 15.5, 28}, {0, 15, 28}};
// Panel x at texture s = 0 and s = 1 (screens), s = 1 and s = 0 (keyboards), per bank.
const double screenXs[2][2] = {{22.2, 16.6}, {21.2, 15.7}};
const double keyboardXs[2][2] = {{23.7, 18.4}, {22.0, 15.7}};

// Which group a failure is in, by its place in `rows`.
::testing::Message group(const Row& r)
{
    return ::testing::Message() << "row group " << &r - rows + 1 << " of " << std::size(rows) << " ("
                                << (r.bank ? "right" : "left") << " bank, at " << r.tx << ", " << r.tz << ")";
}
#define EXPECT_IN_ROW(r, condition) \
    switch (0) case 0: default: if (condition) ; else ADD_FAILURE_AT(__FILE__, (r).line)

TEST_F(Geometry, EveryWorkstationPieceLandsInPlace)
{
    for (const Row& r : rows) {
        SCOPED_TRACE(group(r));
        double z = r.tz;
        expectBox(r.line, "desk top", r.deskX0, r.deskX1, -10.6, -9.4, z - 24, z - 16);
        expectBox(r.line, "desk leg", r.legX - 0.6, r.legX + 0.6, -19.95, -10.35, z - 21.5, z - 17.5);
        for (int p = 0; p < r.places; ++p) {
            SCOPED_TRACE(::testing::Message() << "place " << p + 1);
            double xm = r.tx + monitorX[p], xc = r.tx + caseX[p], xd = r.tx + chairD[p];
            expectBox(r.line, "monitor body", xm - 3, xm + 3, -7, -1, z - 20.5, z - 19.5);
            EXPECT_IN_ROW(r, has(xm, -4, z - 20.5) && has(xm, -10, z - 20.5)) << "stand post";
            // The foot's translation is in units of 3: its ring's outer edge at angle 0.
            EXPECT_IN_ROW(r, has(r.tx + 3 * footF[r.bank][p] + 1.65, -9, z - 20.1)) << "stand foot";
            expectBox(r.line, "computer case", xc - 0.75, xc + 0.75, -9.5, -2.5, z - 24, z - 18);
            double kd = r.tx + keyboardD[p];
            const double* kx = keyboardXs[r.bank];
            EXPECT_IN_ROW(r, hasTextured(kd + kx[0], -8.7, z - 18.3, 1, 1) && hasTextured(kd + kx[1], -8.7, z - 18.3, 0, 1)
                             && hasTextured(kd + kx[1], -9.0, z - 16.3, 0, 0) && hasTextured(kd + kx[0], -9.0, z - 16.3, 1, 0))
                << "keyboard panel";
            expectBox(r.line, "chair backrest", xd + 14, xd + 20, -15, -9, z - 8.66, z - 7.34);
            expectBox(r.line, "chair seat", xd + 14, xd + 20, -14.66, -13.34, z - 12.2, z - 8.2);
            EXPECT_IN_ROW(r, has(xd + 17, -12, z - 7.5) && has(xd + 17, -20, z - 7.5)) << "chair post";
            EXPECT_IN_ROW(r, has(xd + 17 + 3.3, -19.5, z - 8)) << "chair base";
            double sd = r.tx + screenD[r.bank][p];
            const double* sx = screenXs[r.bank];
            bool screen = hasTextured(sd + sx[0], -6.5, z - 19.3, 0, 0) && hasTextured(sd + sx[1], -6.5, z - 19.3, 1, 0) &&
                          hasTextured(sd + sx[1], -1.3, z - 19.3, 1, 1) && hasTextured(sd + sx[0], -1.3, z - 19.3, 0, 1);
            EXPECT_IN_ROW(r, screen == (r.screens[p] != '-'))
                << (screen ? "a screen panel, where the row has -" : "no screen panel");
            EXPECT_IN_ROW(r, !(has(sd + sx[0], -6.5, z - 19.3) && r.screens[p] == '-'))
                << "a screen panel's corner, where the row has -";
        }
    }
}

// Every place draws its keyboard after the monitor's stand post, but those marked K.
TEST_F(Geometry, KeyboardsFollowTheirStandPostsSaveTwo)
{
    for (const Row& r : rows)
        for (int p = 0; p < r.places; ++p) {
            SCOPED_TRACE(group(r) << ", place " << p + 1);
            int post = drawnAt(r.tx + monitorX[p], -4, r.tz - 20.5);
            int keyboard = drawnAt(r.tx + keyboardD[p] + keyboardXs[r.bank][0], -8.7, r.tz - 18.3);
            EXPECT_IN_ROW(r, post >= 0 && keyboard >= 0) << "no stand post or no keyboard";
            EXPECT_IN_ROW(r, (keyboard < post) == (r.early[p] == 'K'))
                << "the keyboard drawn " << (keyboard < post ? "before" : "after") << " the stand post";
        }
}

// A group of fewer places has no monitor after its last and no full-length desk.
TEST_F(Geometry, NothingStandsWhereNoPlaceIs)
{
    for (const Row& r : rows)
        if (r.places < 3) {
            SCOPED_TRACE(group(r));
            EXPECT_IN_ROW(r, !has(r.tx + monitorX[r.places] - 3, -7, r.tz - 19.5)) << "a monitor at place " << r.places + 1;
            EXPECT_IN_ROW(r, !has(r.tx + 55, -10.6, r.tz - 24)) << "a full-length desk";
        }
}

}  // namespace
