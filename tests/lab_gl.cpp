// Shared by the in-process tests: drawing the lab from a camera pose and reading the frame back.
#include "lab_gl.h"

#include "app/frame.h"
#include "camera/camera.h"

#include <vector>

void drawFrame() { display(); }

void setCamera(const Pose& p)
{
    eyeX = p.eye[0]; eyeY = p.eye[1]; eyeZ = p.eye[2];
    centerX = p.center[0]; centerY = p.center[1]; centerZ = p.center[2];
}

Shot readFrame(int width, int height)
{
    std::vector<unsigned char> bottomUp((size_t)width * height * 3);
    glFinish();
    glReadBuffer(GL_BACK);  // Mesa copies the back buffer out on a swap and keeps it
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    Shot shot;
    shot.width = width;
    shot.height = height;
    for (int y = height - 1; y >= 0; --y)
        shot.rgb.insert(shot.rgb.end(), bottomUp.begin() + (size_t)y * width * 3,
                        bottomUp.begin() + (size_t)(y + 1) * width * 3);
    return shot;
}

std::string sourcePath(const std::string& relative) { return std::string(OSTREL_SOURCE) + "/" + relative; }
