// Where the program's messages go when it has nowhere to write them: on Windows, a box.
#pragma once

// Called first in main. A program started from Windows' desktop has no standard error, so
// it runs itself again (as it was started, once) with one kept in a temporary file, waits,
// and when that run fails (an image it cannot read, GLUT's own errors, an exception) shows
// in a message box what stopped it, then freeglut's start-up words; then it ends with that
// run's status and never returns. Elsewhere, or when standard error goes somewhere, it
// returns at once (a console is first set to show the program's code page).
void keepMessagesInSight();

// Called once glutInit is done: what the run writes from here on is the lab's, and the box
// shows it first.
void glutHasStarted();
