// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

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

// Replaces file with text as one atomic step (the old file stays whole when any byte cannot be
// written); false when it could not. For a set file, or many settings written at once.
bool WriteWholeFile(const QString& file, QByteArrayView text);

// Whether WriteSetting can store changes in file: its folder is there and takes new files (a
// write puts a new file beside the old one), and the file, when it is there, is a plain file
// that may be read and written.
bool SettingsCanBeSaved(const QString& file);

// Told of every change WriteSetting could not store, with the file's path, on the writing
// thread; one listener at a time (an empty function: none). Set on the UI thread.
void SetSettingsNotSavedListener(std::function<void(const QString& file)> listener);

// The whole settings file in one read, or nothing when it is missing, not a plain file (a folder,
// a pipe, which is never waited on), unreadable or absurdly large. For a reader that wants
// several values of one moment: one read, then SettingIn for each.
std::optional<QByteArray> ReadSettingsText(const QString& file);

// What ReadSetting gives for key in section of text read from a settings file.
QString SettingIn(QByteArrayView text, QStringView section, QStringView key,
                  const QString& defaultValue);

// The two calls above work on the file's bytes through these, so the file's rules can be checked
// without touching a disk.
//
// Lines end in LF or CRLF; blanks and tabs around names and values do not count. A line whose
// first non-blank character is ";" is a comment. "[name]" starts a section (text after "]" is
// ignored); "key=value" lines belong to the section above them; a line without "=" holds no key.
// A value wrapped in matching single or double quotes stands for the text between them. The
// first of two sections, or of two keys in a section, with the same name is the one that counts.
// Values are UTF-8; a value whose bytes are not UTF-8 was written by a Windows editor and is read
// as Windows-1252 (Latin-1 with the printable characters of 0x80..0x9F).

// The value stored under key in section, cut to 2047 characters (it may be empty), or nothing
// when the section or the key is not there.
std::optional<QString> FindSettingValue(QByteArrayView text, QStringView section, QStringView key);

// The key names of the first section named section, in the file's order, each once (a repeated
// key counts where it first stands); none when the section is missing.
QStringList SettingKeysIn(QByteArrayView text, QStringView section);

// text with value stored under key in section: an existing key gets the new value in place, a new
// key goes after the last key of its section, a new section goes at the end. Every other line is
// kept byte for byte. Names that a file cannot hold (empty; a section with "]"; a key with "=",
// or starting with ";" or "["; either with a line break) leave text as it is. Line breaks in the
// value become blanks, and a value that would not read back as it is (blanks at its ends, or
// wrapped in quotes) is written inside double quotes.
QByteArray TextWithSetting(QByteArrayView text, QStringView section, QStringView key,
                           QStringView value);
