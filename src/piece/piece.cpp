// Placeholder until the piece code lands: an empty piece never has unsaved changes.
#include "piece/piece.h"

Piece g_piece;

void piece_reset() {}
void piece_default_group_create() {}
bool piece_check_unsaved() { return false; }
