#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// A stand-in for the system registry: keys and typed values read from files in the .reg text
// form, one file per root. The machine root's file belongs to the administrator; a user
// who may not write it can still open it for reading.
namespace registry {

enum Root : std::uint32_t { HKEY_CURRENT_USER = 0x80000001u, HKEY_LOCAL_MACHINE = 0x80000002u };

// Access mask.
inline constexpr std::uint32_t KEY_READ = 0x20019;

// Value types.
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_DWORD = 4;

// Results.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_MORE_DATA = 234;

struct OpenKey;
using HKEY = OpenKey*;

// The file that holds a root. The machine root: $AMBRELLE_MACHINE_REGISTRY, else
// /etc/Ambrelle/registry.reg; the user root: registry.reg in the settings store's folder.
QString RootFile(Root root);
// Points a root at another file (tests); an empty path restores the default.
void SetRootFile(Root root, const QString& path);

// Opens `subKey` ("SOFTWARE\Vendor\Tool", without case). Asking for any right to change
// the key needs a file the user may write.
long RegOpenKeyEx(Root root, const QString& subKey, std::uint32_t samDesired, HKEY* result);
// Reads one value ("" is the key's default value). `data` comes in sized to the caller's
// buffer and goes out holding the value's bytes: a text with its closing NUL, a 32-bit
// number in four bytes, low byte first. A value larger than the buffer gives ERROR_MORE_DATA.
long RegQueryValueEx(HKEY key, const QString& valueName, std::uint32_t* type, QByteArray* data);
long RegCloseKey(HKEY key);

}  // namespace registry
