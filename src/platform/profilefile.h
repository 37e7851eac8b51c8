#pragma once

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

ProfileValue readProfileString(const QString &path, const QString &section, const QString &key);

// The integer read of the profile functions: an absent or empty value gives the default;
// otherwise optional sign, "0x"/"0o"/"0b" prefixes and digits up to the first other character,
// wrapped to 32 bits (no digits gives 0).
std::int32_t readProfileInt(const QString &path, const QString &section, const QString &key,
                            std::int32_t defaultValue, ProfileStatus *status = nullptr);
std::int32_t parseProfileInt(const QString &text);

// Creates the file, section or key as needed. Returns false with a reason when the file could
// not be written; the file is then left as it was.
bool writeProfileString(const QString &path, const QString &section, const QString &key,
                        const QString &value, QString *error = nullptr);

} // namespace Movendi::Platform
