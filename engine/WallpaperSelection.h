// The folder scan that builds the candidate list for the random and the
// sequential wallpaper choice (the choice itself is part of
// CWallpaperChanger).
//
// Order: every folder is walked in the order NTFS keeps its entries, that is
// by name compared ordinally after upper-casing (CompareStringOrdinal with
// ignore-case on the UTF-16 names, which uses the system's upper-case table
// as NTFS does), on every file system.  Other file systems (Wine on Linux,
// FAT) may return entries in their own order; sorting here keeps the sequence
// the same everywhere (a listing already in that order, as NTFS and Wine give
// it, is only checked).  Names that differ only in case (possible on Linux) follow
// each other in ordinal byte order.  A sub-folder's files are listed at the
// position of the sub-folder (depth-first, pre-order).
//
// Each directory is visited once, identified by volume serial number and file
// index, so links (symbolic links, junctions) that lead back to an ancestor or
// to a folder already scanned do not make the scan loop or repeat itself.
// A folder is listed through one open handle (GetFileInformationByHandleEx),
// whose listing also gives each sub-folder's file index; only links, and
// folders on file systems that report no index (0 or -1), need an identity
// query of their own.  A folder whose identity stays unknown is scanned.
// Paths are the folder's full path joined with the names in the ANSI code
// page (UTF-8 under the program's manifest, so any name fits); see
// WalkFolderTree for a name the code page cannot express.
#pragma once

#include <atomic>
#include <functional>

#include "framework/String.h"

// One file the walk found: the folder that holds it, as the walk reached it
// (the folder given, or a sub-folder's path joined from it, without a
// trailing backslash of its own), that folder's number (0 the folder given,
// then every folder the walk lists, in the order it comes to them: a
// caller's table of folders needs no look-up per file), and the file's name
// with its length in bytes.  Valid for the visit only.
struct CFoundFile {
    const CString& folder;
    UINT folderNumber;
    LPCSTR name;
    int nameLength;
};
using FolderFileVisitor = std::function<void(const CFoundFile& file)>;
// Whether a file name counts; files it refuses are not visited.
using FolderFileFilter = std::function<bool(LPCSTR name)>;

// The walk the scan is made of, for every listing of a folder tree: every
// file below `folder` in the order above, every directory once, links that
// lead back ending there.  A name holding a character the code page lacks
// (the A functions would give "?" or a look-alike, which opens nothing) is
// given as the file's short name with `shortNamesForUnmappable`, when the
// file system keeps one; otherwise the entry is left out.
// A walk on another thread ends at the next entry once `stop` turns true.
// A file costs no allocation of its own: the walk keeps one listing per
// depth and reuses it.
void WalkFolderTree(const CString& folder, const FolderFileVisitor& visit, const FolderFileFilter& accept = nullptr,
                    BOOL shortNamesForUnmappable = FALSE, const std::atomic<bool>* stop = nullptr);

// A file's path from its folder and name, one backslash between them.
CString JoinFolderPath(const CString& folder, const CString& name);

// Appends to `list` the full paths of the wallpaper candidates in `folder`
// and all its sub-folders: every file when `acceptAllFiles` (Active Desktop
// shows anything), otherwise names ending in ".bmp", and also ".jpg" and
// ".gif" while the "ConvertToBmp" setting is on; a name the code page cannot
// express comes as its short name, or not at all.  An empty folder text scans
// nothing; a folder that cannot be searched contributes nothing.
void CollectWallpapers(CString folder, CStringArray* list, BOOL acceptAllFiles);
