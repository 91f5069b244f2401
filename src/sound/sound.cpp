#include "sound/sound.h"

namespace sorv {

// No channel can be playing yet: nothing to open and nothing to stop.
void InitialiseSound(Engine&) {}
void StopAllSound(Engine&) {}

}  // namespace sorv
