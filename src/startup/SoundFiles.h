#pragma once

#include <QString>

#include <string>

// A path as the audio control takes it: in the file system's own encoding.
std::string AudioPath(const QString& path);

// A file whose name ends in "mp3" (in any case) plays as a stream; every other file as a sample.
bool PlaysAsStream(const QString& fileName);
