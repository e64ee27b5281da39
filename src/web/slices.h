// The lab makes its textures and meshes in its first frame: more work than one task of the
// page should hold (a phone's browser answers nothing meanwhile). The pass that draws it
// is cut into tasks: at the places where that work is made, once the task has run for a
// slice, the program yields to the browser (webYield, through ASYNCIFY) and goes on in a
// task of its own. The frame is handed to WebGL whole at the swap, so nothing half-made
// is shown; the page holds back events until the pass is done (input.js).
#pragma once

void startSlice();   // a new task of the page has begun: the loop's pass (main is never cut)
void yieldIfLong();  // to the browser, if this task has run a slice
