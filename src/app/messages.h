// Where the program's messages go when it has nowhere to write them: on Windows, a box.
#pragma once

// Called first in main. A program started from Windows' desktop has no standard error, so
// it runs itself again with one kept in a temporary file, waits, and when that run fails
// (an image it cannot read, GLUT's own errors) shows what it wrote in a message box; then
// it ends with that run's status and never returns. Elsewhere, or when standard error goes
// somewhere, it returns at once.
void keepMessagesInSight();
