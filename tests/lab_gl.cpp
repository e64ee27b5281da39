// Shared by the in-process tests: drawing the lab from a camera pose.
#include "lab_gl.h"

#include "app/frame.h"
#include "camera/camera.h"

void drawFrame() { display(); }

void setCamera(const Pose& p)
{
    eyeX = p.eye[0]; eyeY = p.eye[1]; eyeZ = p.eye[2];
    centerX = p.center[0]; centerY = p.center[1]; centerZ = p.center[2];
}

std::string sourcePath(const std::string& relative) { return std::string(OSTREL_SOURCE) + "/" + relative; }

std::string offReference(const char* name, long differing)
{
    return std::to_string(differing) + " pixels differ by more than " + std::to_string(REFERENCE_TOLERANCE) +
           " from tests/reference/" + name + ".ppm, where at most " + std::to_string(REFERENCE_PIXELS_OFF) +
           " may. A change meant to show (an image, a place, the camera)? Then write the references again with "
           "OSTREL_UPDATE_REFERENCES=1 ./lab test gl-tests, look at them and commit them";
}
