// Files that ship beside the program (the help file) are found through the
// program's own folder, wherever it was installed.  The tray command and the
// settings sheet's Help button both open the help file through it.
#pragma once

#include "framework/String.h"

// The running program's full path; empty when it cannot be read whole or
// the code page cannot express it.
CString GetProgramPath();

// The running program's folder joined with `name`; with an empty name, the
// folder itself without a trailing backslash.  Empty when the program's path
// cannot be read whole or holds no backslash.
CString GetProgramFilePath(CString name);

// Opens the help file, Tapestrix.chm beside the program, through the shell
// (maximised).  FALSE when the shell could not; the caller says so.
BOOL LaunchHelpFile();
