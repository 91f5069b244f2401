// Sound output. The channels, music and CD audio are not built in this
// version; these are the calls the shell makes into the sound code.
#pragma once

namespace sorv {

struct Engine;

// Opens the audio device (once per process).
void InitialiseSound(Engine& e);
// Stops every channel, the music, CD audio and movie sound.
void StopAllSound(Engine& e);

}  // namespace sorv
