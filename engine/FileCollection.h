#pragma once
// Lists of files as JSON arrays of full paths: picked in the system's file-open dialog, or found
// by walking folders. Only names are gathered; no file is opened or read.
#include "core/JsonWrapper.h"

#include <string>
#include <vector>

// Shows the file-open dialog (folders instead of files with forFolder, several picks allowed) and
// answers the printed list; empty text when the dialog cannot be shown, is cancelled or gives
// nothing back. Picked folders are listed with includeDir and walked with the other flags.
std::wstring CollectFiles(bool forFolder, bool subDir, bool includeDir, bool dirOnly);

// Lists given paths as the dialog's picks are listed, with no dialog: a folder as itself (with
// includeDir) followed by its walk, a file as itself unless dirOnly. A path that names nothing is
// left out. Each path is first made full against the current folder, and a folder loses trailing
// backslashes (but a drive root keeps its own), so typed names list as picked ones do. Answers the
// printed list, "[]" when nothing is listed.
std::wstring CollectPaths(const std::vector<std::wstring>& paths, bool subDir, bool includeDir, bool dirOnly);

// Appends the entries of a folder to a list whose root is an array, depth-first in the order the
// file system gives them; the folder itself is not appended. subDir descends into subfolders,
// includeDir lists folders, dirOnly leaves files out. Each folder is entered once: a folder link
// that leads to a folder walked already (an ancestor, or one reached another way) is listed but
// not entered, so every walk ends and lists each folder's contents once.
void WalkFolder(const std::wstring& folder, JsonWrapper& list, bool subDir, bool includeDir, bool dirOnly);
