#pragma once

#include <QList>
#include <QString>
#include <cstdint>

namespace Movendi::Platform {

// Reads and writes Windows profile ("ini") files the way the Windows profile functions do:
// sections and keys without regard to case, absent versus empty values, 254-character values,
// Windows-1252 or UTF-8 content, and writes that keep every other line as it was.

enum class ProfileStatus {
    Found,     // the key is present (its value may be empty)
    Absent,    // no such file, section or key
    Unreadable // the file exists but cannot be read
};

struct ProfileValue
{
    ProfileStatus status = ProfileStatus::Absent;
    QString value; // trimmed, without enclosing quotes, at most 254 characters
};

inline constexpr int ProfileValueMaxLength = 254;
// A profile file larger than this (the kiosk's are a few kilobytes) is not read: each key read
// would load it whole. It counts as unreadable, and is never rewritten.
inline constexpr qint64 ProfileFileMaxSize = 1024 * 1024;

ProfileValue readProfileString(const QString &path, const QString &section, const QString &key);

// The integer read of the profile functions: an absent or empty value gives the default;
// otherwise optional sign, "0x"/"0o"/"0b" prefixes and digits up to the first other character,
// wrapped to 32 bits (no digits gives 0).
std::int32_t readProfileInt(const QString &path, const QString &section, const QString &key,
                            std::int32_t defaultValue, ProfileStatus *status = nullptr);
std::int32_t parseProfileInt(const QString &text);

// Every "key=value" line of the file in its order, for a check of what the file holds. A line
// that readProfileString never reaches is marked hidden: a key before any section, in a second
// section of a name already used, or repeated in its section.
struct ProfileEntry
{
    QString section; // null before the first section
    QString key;
    QString value; // as readProfileString gives it
    int line = 0;  // 1-based
    bool hidden = false;
};
QList<ProfileEntry> readProfileEntries(const QString &path, ProfileStatus *status = nullptr);

// Creates the file, section or key as needed. Returns false with a reason when the file could
// not be written; the file is then left as it was.
bool writeProfileString(const QString &path, const QString &section, const QString &key,
                        const QString &value, QString *error = nullptr);

} // namespace Movendi::Platform
