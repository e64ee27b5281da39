// Where the 23 workstation places stand and the order they are drawn in.
#pragma once

void drawRowGroups();
