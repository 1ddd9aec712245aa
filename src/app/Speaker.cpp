#include "Speaker.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <wx/utils.h>
#endif

namespace hc12 {

void SpeakerBeep(unsigned frequencyHz, unsigned durationMs) {
#ifdef _WIN32
    ::Beep(frequencyHz, durationMs);
#else
    (void)frequencyHz;
    (void)durationMs;
    wxBell();
#endif
}

}  // namespace hc12
