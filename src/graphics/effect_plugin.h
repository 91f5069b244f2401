// Transition plug-ins: shared libraries exporting Effect, named by an
// effect of type 99 as "library/parameters". The record and the entry's
// signature are part of the installed plug-in header.
#pragma once

#include "sorv/plugin.h"
