// Placeholder until the colour picker lands.
#include "ui/color_picker.h"

void color_picker_panel(Panel*, Rect) {}
