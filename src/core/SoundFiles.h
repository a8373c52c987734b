// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>

// A path as the audio control takes it: in the file system's own encoding.
std::string AudioPath(const QString& path);

// True when path names a file that can be opened for reading: a missing file, a folder, a device
// or pipe, or a file we may not read gives false.
bool FileExists(const QString& path);
