// Placeholder until the sound code lands.
#include "sound/sounds.h"

void sounds_load() {}
