// The lab's pictures: one LabImage each, and the file each is read from. The one list of
// them: the textures, the shipped files, make-images and the tests all take it from here.
#pragma once

enum LabImage { DRYWALL, SCREENS, FREEHAND, CARPET, LOGIN, SMALLSCR, KEYBOARD, LAB_IMAGE_COUNT };

// Names within the image folder, in LabImage's order. constexpr, so that the compiler sees
// a name for every LabImage: one left out would be a null. No GL here, so that the reader's
// tests and the image tools, which know no GL, read the same table.
inline constexpr const char* labImageFiles[LAB_IMAGE_COUNT] = {
    "drywall.tga", "screens.tga", "freehand1.tga", "carpet.tga", "login.tga", "smallscr.tga", "Keyboard.tga",
};
static_assert(labImageFiles[LAB_IMAGE_COUNT - 1], "labImageFiles: a LabImage has no file name: the table holds "
                                                  "one name per LabImage, LAB_IMAGE_COUNT of them");
