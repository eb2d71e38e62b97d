// Conversion between the program's path form and the native POSIX form.
// The program writes paths with '\' and may start them with a drive prefix
// ("C:"); the operating system wants '/'. Conversion happens only here, at the
// boundary where the system is called.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

using VariableLookup = std::function<std::optional<std::string>(const std::string&)>;

// Program form -> native form: every '\' becomes '/', and a drive prefix "X:"
// becomes the folder named by INGESTOR_DRIVE_X (upper-case letter) when that
// variable is set and not empty, else "/". "C:\Kestova\Zev.ini" is therefore
// "/Kestova/Zev.ini" by default. Relative paths stay relative.
std::string ToNative(std::string_view path, const VariableLookup& variable);

// Native form -> program form: every '/' becomes '\'.
std::string ToProgramForm(std::string_view nativePath);

// When `nativePath` does not exist as written, looks for it component by
// component without regard to case (host data copied from Windows has names
// like LENDER.INI). Components found keep their real spelling; the first one
// that cannot be found, and everything after it, stay as written, so a path
// still to be created resolves its existing parents.
std::string ResolveCase(const std::string& nativePath);

}  // namespace platform
