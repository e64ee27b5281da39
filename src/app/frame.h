// One frame of the lab, and the right-button menus.
#pragma once

void display();

// Menu values of the main menu
enum { MENU_ORIENTATION = 1, MENU_POSITION = 2, MENU_AUTO = 3, MENU_QUIT = 4 };
const int MENU_INFO = 1;  // every information entry

void buildMenus();
void mainMenu(int value);
void controlsMenu(int value);
