#include "meshes.h"

#include "gl_state.h"
#include "solids.h"

#include <map>
#include <tuple>

// A solid's kind and its parameters exactly as given: any other value makes another mesh.
enum SolidKind { CUBE, TORUS, CYLINDER };
typedef std::tuple<int, double, double, double, int, int> SolidKey;

static std::map<SolidKey, Mesh> meshes;

template <typename Make>
static void drawSolid(const SolidKey& key, Make make)
{
    auto found = meshes.find(key);
    if (found == meshes.end()) {
        beginMesh();
        make();
        found = meshes.emplace(key, endMesh()).first;
    }
    drawMesh(found->second);
}

void drawSolidCube(double size)
{
    drawSolid(SolidKey(CUBE, size, 0, 0, 0, 0), [&] { labSolidCube(size); });
}

void drawSolidTorus(double innerRadius, double outerRadius, int sides, int rings)
{
    drawSolid(SolidKey(TORUS, innerRadius, outerRadius, 0, sides, rings),
              [&] { labSolidTorus(innerRadius, outerRadius, sides, rings); });
}

void drawCylinder(double base, double top, double height, int slices, int stacks)
{
    drawSolid(SolidKey(CYLINDER, base, top, height, slices, stacks),
              [&] { labCylinder(base, top, height, slices, stacks); });
}
