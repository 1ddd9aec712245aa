// The speaker beep. Windows plays the tone itself; elsewhere the toolkit's bell
// stands in, since a desktop has no portable way to play a given frequency.
#pragma once

namespace hc12 {

void SpeakerBeep(unsigned frequencyHz, unsigned durationMs);

}  // namespace hc12
