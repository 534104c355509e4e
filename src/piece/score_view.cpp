// Placeholder until the canvas lands: the canvas shows nothing of the piece.
#include "piece/score_view.h"

void score_view_draw() {}
