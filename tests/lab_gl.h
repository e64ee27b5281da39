// Shared by the tests that draw the lab in their own process, in a real GLUT window.
#pragma once

#include "gl_probe.h"

#include <GL/gl.h>

#include <string>

struct Pose { double eye[3], center[3]; };

void drawFrame();  // one display() call, as GLUT makes it
void setCamera(const Pose& pose);
std::string sourcePath(const std::string& relative);
