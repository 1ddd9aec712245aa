#include "ProgressCounter.h"
// Implemented by the shell work.
