// The menu bar of the frame: its buttons, drawn after the panels, and the actions of their
// clicks and of the file shortcuts, run at the end of the frame. Main thread.
#pragma once

void menu_bar_draw();
void menu_bar_actions();
