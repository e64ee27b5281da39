// Opening the lab's window and wiring its callbacks; the caller then enters the main loop.
#pragma once

const int WINDOW_WIDTH = 500;
const int WINDOW_HEIGHT = 500;
const char* const WINDOW_TITLE = "Ostrel Lab";

// Everything start-up does before glutMainLoop. GLUT takes its own options from argc/argv.
void startLab(int* argc, char** argv);
