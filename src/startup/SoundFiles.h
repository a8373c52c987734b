#pragma once

#include <QString>

#include <string>

// A path as the audio control takes it: in the file system's own encoding.
std::string AudioPath(const QString& path);
