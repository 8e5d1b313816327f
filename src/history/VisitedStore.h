#pragma once
#include "platform/Handles.h"
#include <urlhist.h>

namespace pb {

// A URL history store of our own, for systems whose store is missing or not implemented.
// It keeps its records where Windows keeps the history, as entries of WinInet's "Visited:"
// container: so the history persists, other programs' entries are seen, and the program
// writes no file of its own.
ComPtr<IUrlHistoryStg2> CreateVisitedStore();

} // namespace pb
