#pragma once

#include <QString>

// The settings file: an INI file of sections and "key=value" lines. Section and key names match
// without regard to case. Every call opens, reads or writes, and closes the file; nothing is
// cached, so a value written by one window is seen by the next read anywhere.

// The value of key in section, or defaultValue when the file, the section or the key is missing
// or the value is empty. A value holds at most 2047 characters.
QString ReadSetting(const QString& section, const QString& key, const QString& file,
                    const QString& defaultValue);

// Stores value under key in section, creating the file and the section when missing. Every other
// line stays byte for byte. The file is replaced atomically; a failed write leaves it as it was.
void WriteSetting(const QString& section, const QString& key, const QString& value,
                  const QString& file);
