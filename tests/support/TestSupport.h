// The one header every test program includes: helpers for files and folders,
// the registry, windows and dialogs, processes (Tapestrix.exe running as a
// child), pictures, and GDI/USER counts.
#pragma once

#include "Dialogs.h"
#include "Files.h"
#include "GuiCounts.h"
#include "Pictures.h"
#include "Process.h"
#include "Registry.h"
