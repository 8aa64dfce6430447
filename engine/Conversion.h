// Conversion of pictures for the normal desktop, which shows only Windows
// bitmaps: a .bmp is used as it is, a .jpg or .gif is converted into the one
// bitmap file named by the "ConvertedBmpPath" setting, anything else is
// refused.  The kind of a file is judged only by the last four characters of
// its name.
#pragma once

#include "framework/String.h"

#define CONVERT_DONE 100        // converted; `path` now names the bitmap file
#define CONVERT_NOT_USABLE 101  // not a bitmap and not converted: apply nothing
#define CONVERT_IS_BITMAP 102   // already a bitmap: apply it unchanged

// Silent: converts only when the "ConvertToBmp" setting is on, or when the
// user has agreed to this one conversion (`agreed`).
int ConvertToBitmap(CString& path, BOOL agreed = FALSE);
// TRUE when converting `path` needs the user's word first: a JPEG or GIF
// while "ConvertToBmp" is off.  The change flow asks; the engine never does.
BOOL IsConversionAsked(const CString& path);

// TRUE when the last four characters of `path` equal `ending` ignoring case
// (".bmp", ".jpg", ".gif"); multibyte-aware.
BOOL HasFileEnding(LPCSTR path, LPCSTR ending);
