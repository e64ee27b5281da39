// Shared by the in-process tests: drawing the lab from a camera pose.
#include "lab_gl.h"

#include "app/frame.h"
#include "camera/camera.h"

#include <algorithm>
#include <filesystem>

void drawFrame() { display(); }

void setCamera(const Pose& p)
{
    eyeX = p.eye[0]; eyeY = p.eye[1]; eyeZ = p.eye[2];
    centerX = p.center[0]; centerY = p.center[1]; centerZ = p.center[2];
}

std::string sourcePath(const std::string& relative) { return std::string(OSTREL_SOURCE) + "/" + relative; }

// What a failed comparison leaves to look at: the frame, the reference and, over the
// reference in dim grey, the pixels off by more than the tolerance in red; as PNG files in
// test-pictures/ beside this program, named after it.
static std::string picturesToLookAt(const char* name, const Shot& got, const Shot& reference)
{
    std::error_code error;
    std::filesystem::path program = std::filesystem::canonical("/proc/self/exe", error);
    std::filesystem::path dir = program.parent_path() / "test-pictures";
    std::filesystem::create_directories(dir, error);
    Shot difference = reference;
    for (size_t i = 0; got.width == reference.width && got.height == reference.height && i < got.rgb.size(); i += 3) {
        int off = 0, grey = 0;
        for (int c = 0; c < 3; ++c) {
            off = std::max(off, std::abs(got.rgb[i + c] - reference.rgb[i + c]));
            grey += reference.rgb[i + c] / 9;
        }
        bool red = off > REFERENCE_TOLERANCE;
        difference.rgb[i] = red ? 255 : grey;
        difference.rgb[i + 1] = difference.rgb[i + 2] = red ? 0 : grey;
    }
    std::string said = "; to look at:";
    for (auto [kind, shot] : {std::pair{"got", &got}, {"reference", &reference}, {"difference", &difference}}) {
        std::string path = (dir / (program.filename().string() + "-" + name + "-" + kind + ".png")).string();
        said += " " + (writePng(path, *shot) ? path : "(cannot write " + path + ")");
    }
    return said;
}

std::string offReference(const char* name, long differing, const Shot& got, const Shot& reference)
{
    return std::to_string(differing) + " pixels differ by more than " + std::to_string(REFERENCE_TOLERANCE) +
           " from tests/reference/" + name + ".ppm, where at most " + std::to_string(REFERENCE_PIXELS_OFF) +
           " may. A change meant to show (an image, a place, the camera)? Then write the references again with "
           "OSTREL_UPDATE_REFERENCES=1 ./lab test gl-tests, look at them and commit them" +
           picturesToLookAt(name, got, reference);
}
