// Process entry: the toolkit creates the application object and runs its loop.
#include "ProgrammerApp.h"

wxIMPLEMENT_APP(hc12::ProgrammerApp);
