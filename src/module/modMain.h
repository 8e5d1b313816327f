#pragma once
// The program's module: the log, the cleaning tasks, the tray, the folders and Explorer helpers.
// (The browser closer's own lists are in module/BrowserWindows.h.)
#include "module/Explorer.h"
#include "module/Log.h"
#include "module/Paths.h"
#include "module/Tasks.h"
#include "module/Tray.h"
