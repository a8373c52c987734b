// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsStore.h"

#include <algorithm>
#include <cstring>

// The settings file's rules on its bytes: finding a value and storing one, with no disk in sight.

namespace {

constexpr qsizetype kMaxValueLength = 2047;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(QByteArrayView text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        if (p[1] < low || p[1] > high)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

// Windows-1252's characters at 0x80..0x9F; the five it leaves undefined keep their Latin-1 codes.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromWindows1252(QByteArrayView text)
{
    QString result(text.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(result.data());
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        *out++ = (c >= 0x80 && c < 0xA0) ? kWindows1252High[c - 0x80] : char16_t(c);
    }
    return result;
}

QString decodeText(QByteArrayView text)
{
    return isValidUtf8(text) ? QString::fromUtf8(text) : fromWindows1252(text);
}

// Only the first 2047 characters of a value are read, so only their bytes are decoded: a 10 MB
// line costs no more than a short one. A UTF-8 character takes at most three bytes per UTF-16
// unit; the cut backs off to the start of a character so valid UTF-8 stays valid.
QString decodeValue(QByteArrayView value)
{
    qsizetype cut = std::min(value.size(), kMaxValueLength * 3);
    if (cut < value.size()) {
        for (int i = 0; i < 3 && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80;
             ++i)
            --cut;
    }
    const QByteArrayView head = value.first(cut);
    QString text = isValidUtf8(head) ? QString::fromUtf8(head)
                                     : fromWindows1252(head.first(std::min(cut, kMaxValueLength)));
    if (text.size() > kMaxValueLength) {
        qsizetype length = kMaxValueLength;
        if (text.at(length - 1).isHighSurrogate())
            --length; // never half a character
        text.truncate(length);
    }
    return text;
}

QByteArrayView withoutQuotes(QByteArrayView value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// A section or key name as the caller gives it, matched against names in the file.
class Name {
public:
    explicit Name(QStringView name) : m_text(name.trimmed().toString())
    {
        m_utf8 = m_text.toUtf8();
        m_ascii = std::all_of(m_utf8.cbegin(), m_utf8.cend(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    }

    const QString& text() const { return m_text; }
    const QByteArray& utf8() const { return m_utf8; }

    bool matches(QByteArrayView candidate) const
    {
        if (m_ascii) {
            // Every name Quendel uses is ASCII: compare bytes, no decoding and no allocation.
            if (candidate.size() != m_utf8.size())
                return false;
            for (qsizetype i = 0; i < candidate.size(); ++i)
                if (asciiLower(candidate[i]) != asciiLower(m_utf8[i]))
                    return false;
            return true;
        }
        return decodeText(candidate).compare(m_text, Qt::CaseInsensitive) == 0;
    }

private:
    QString m_text;
    QByteArray m_utf8;
    bool m_ascii = true;
};

// One line of the file, as offsets into it.
struct Line {
    qsizetype begin = 0;
    qsizetype end = 0;  // the text ends here; the line end ("\n" or "\r\n") is not part of it
    qsizetype next = 0; // where the following line begins
    bool terminated = false;
};

class LineReader {
public:
    explicit LineReader(QByteArrayView text) : m_text(text)
    {
        // A byte order mark written by a Windows editor is not part of the first line.
        if (text.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }

    bool next(Line& line)
    {
        const qsizetype size = m_text.size();
        if (m_pos >= size)
            return false;
        const char* base = m_text.data();
        line.begin = m_pos;
        const void* found = std::memchr(base + m_pos, '\n', static_cast<size_t>(size - m_pos));
        if (found != nullptr) {
            line.end = static_cast<const char*>(found) - base;
            line.next = line.end + 1;
            line.terminated = true;
        } else {
            line.end = size;
            line.next = size;
            line.terminated = false;
        }
        if (line.end > line.begin && base[line.end - 1] == '\r')
            --line.end;
        m_pos = line.next;
        return true;
    }

private:
    QByteArrayView m_text;
    qsizetype m_pos = 0;
};

// Where a key is, or would go, in the file.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    qsizetype insertAt = 0;          // after the section's last key line (or its header)
    bool insertAfterEndless = false; // that line is the file's last and has no line end
    qsizetype valueStart = 0;        // the key's line: the value begins after "=" and blanks
    qsizetype lineEnd = 0;           // the key's line: end of its text
    QByteArrayView value;            // the key's value, blanks trimmed
};

// One pass over the lines up to the key, or to the end of the first section with the wanted name.
Place locate(QByteArrayView text, const Name& section, const Name& key)
{
    Place place;
    LineReader reader(text);
    Line line;
    bool inSection = false;
    while (reader.next(line)) {
        qsizetype first = line.begin;
        while (first < line.end && isBlank(text[first]))
            ++first;
        if (first == line.end)
            continue;
        const char lead = text[first];
        if (lead == '[') {
            const QByteArrayView rest = text.sliced(first + 1, line.end - first - 1);
            const qsizetype close = rest.indexOf(']');
            if (close < 0)
                continue; // no section header, and no key either
            if (inSection)
                break; // a later section with the same name does not count
            if (section.matches(trimmed(rest.first(close)))) {
                inSection = true;
                place.sectionFound = true;
                place.insertAt = line.next;
                place.insertAfterEndless = !line.terminated;
            }
            continue;
        }
        if (!inSection || lead == ';')
            continue;
        const QByteArrayView content = text.sliced(first, line.end - first);
        const qsizetype equals = content.indexOf('=');
        if (equals < 0)
            continue;
        place.insertAt = line.next;
        place.insertAfterEndless = !line.terminated;
        if (!key.matches(trimmed(content.first(equals))))
            continue;
        place.keyFound = true;
        qsizetype valueStart = first + equals + 1;
        while (valueStart < line.end && isBlank(text[valueStart]))
            ++valueStart;
        place.valueStart = valueStart;
        place.lineEnd = line.end;
        place.value = trimmed(text.sliced(valueStart, line.end - valueStart));
        break;
    }
    return place;
}

// The line end the file already uses, so that added lines match it.
QByteArrayView lineEndOf(QByteArrayView text)
{
    const qsizetype newline = text.indexOf('\n');
    if (newline > 0 && text[newline - 1] == '\r')
        return "\r\n";
    return "\n";
}

bool endsWithBlankLine(QByteArrayView text)
{
    if (!text.endsWith('\n'))
        return false;
    const QByteArrayView body = text.first(text.size() - 1);
    const qsizetype previous = body.lastIndexOf('\n');
    return trimmed(body.sliced(previous + 1)).isEmpty();
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool canHoldSection(const Name& section)
{
    return !section.text().isEmpty() && !section.text().contains(u']') &&
           !hasLineBreak(section.text());
}

bool canHoldKey(const Name& key)
{
    const QString& text = key.text();
    return !text.isEmpty() && !text.contains(u'=') && !text.startsWith(u';') &&
           !text.startsWith(u'[') && !hasLineBreak(text);
}

QByteArray storedValue(QStringView value)
{
    QString text = value.toString();
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    const auto blankAt = [&](qsizetype i) {
        const char16_t c = text.at(i).unicode();
        return c < 0x80 && isBlank(static_cast<char>(c));
    };
    const bool quoted = text.size() >= 2 && (text.front() == u'"' || text.front() == u'\'') &&
                        text.back() == text.front();
    if (!text.isEmpty() && (blankAt(0) || blankAt(text.size() - 1) || quoted))
        text = u'"' + text + u'"';
    return text.toUtf8();
}

} // namespace

std::optional<QString> FindSettingValue(QByteArrayView text, QStringView section, QStringView key)
{
    const Name sectionName(section);
    const Name keyName(key);
    if (sectionName.text().isEmpty() || keyName.text().isEmpty())
        return std::nullopt;
    const Place place = locate(text, sectionName, keyName);
    if (!place.keyFound)
        return std::nullopt;
    return decodeValue(withoutQuotes(place.value));
}

QStringList SettingKeysIn(QByteArrayView text, QStringView section)
{
    const Name wanted(section);
    QStringList keys;
    LineReader reader(text);
    Line line;
    bool inSection = false;
    while (reader.next(line)) {
        qsizetype first = line.begin;
        while (first < line.end && isBlank(text[first]))
            ++first;
        if (first == line.end || text[first] == ';')
            continue;
        const QByteArrayView content = text.sliced(first, line.end - first);
        if (content[0] == '[') {
            const qsizetype close = content.indexOf(']');
            if (close < 0)
                continue;
            if (inSection)
                break;
            inSection = wanted.matches(trimmed(content.sliced(1, close - 1)));
            continue;
        }
        const qsizetype equals = content.indexOf('=');
        if (!inSection || equals < 0)
            continue;
        const QString key = decodeText(trimmed(content.first(equals)));
        if (!key.isEmpty() && !keys.contains(key, Qt::CaseInsensitive))
            keys.append(key);
    }
    return keys;
}

QByteArray TextWithSetting(QByteArrayView text, QStringView section, QStringView key,
                           QStringView value)
{
    const Name sectionName(section);
    const Name keyName(key);
    if (!canHoldSection(sectionName) || !canHoldKey(keyName))
        return text.toByteArray();
    const Place place = locate(text, sectionName, keyName);
    const QByteArray stored = storedValue(value);
    QByteArray result;

    if (place.keyFound) {
        // The key keeps its line as written (its case, its indent, the blanks around "="): only
        // the value after them changes.
        result.reserve(text.size() + stored.size());
        result.append(text.first(place.valueStart));
        result.append(stored);
        result.append(text.sliced(place.lineEnd));
        return result;
    }

    const QByteArrayView lineEnd = lineEndOf(text);
    QByteArray keyLine = keyName.utf8();
    keyLine.append('=').append(stored).append(lineEnd);

    if (place.sectionFound) {
        result.reserve(text.size() + keyLine.size() + lineEnd.size());
        result.append(text.first(place.insertAt));
        if (place.insertAfterEndless)
            result.append(lineEnd);
        result.append(keyLine);
        result.append(text.sliced(place.insertAt));
        return result;
    }

    result.reserve(text.size() + sectionName.utf8().size() + keyLine.size() + 8);
    result.append(text);
    const bool empty = text.isEmpty() || text == QByteArrayView("\xEF\xBB\xBF");
    if (!empty) {
        if (!text.endsWith('\n'))
            result.append(lineEnd);
        if (!endsWithBlankLine(result))
            result.append(lineEnd);
    }
    result.append('[').append(sectionName.utf8()).append(']').append(lineEnd);
    result.append(keyLine);
    return result;
}

QString SettingIn(QByteArrayView text, QStringView section, QStringView key,
                  const QString& defaultValue)
{
    const std::optional<QString> value = FindSettingValue(text, section, key);
    return value && !value->isEmpty() ? *value : defaultValue;
}
