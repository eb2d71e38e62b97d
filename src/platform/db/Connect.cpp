#include "platform/db/Connect.h"

#include <cctype>

#include "platform/db/OdbcBackend.h"
#include "platform/db/SqliteBackend.h"

namespace db {

namespace {

constexpr const char* kAccessDriver = "Microsoft Access Driver (*.mdb)";

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(const std::string& s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

std::string ConnectionValue(const std::string& value) {
  const bool plain = value.find_first_of(";{}") == std::string::npos &&
                     (value.empty() || (value.front() != ' ' && value.back() != ' '));
  if (plain) return value;
  std::string out = "{";
  for (char c : value) {
    out += c;
    if (c == '}') out += '}';
  }
  return out + "}";
}

std::map<std::string, std::string> ParseConnectionString(const std::string& text) {
  std::map<std::string, std::string> pairs;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eq = text.find('=', pos);
    if (eq == std::string::npos) break;
    std::string key = Upper(Trim(text.substr(pos, eq - pos)));
    std::size_t valueStart = eq + 1;
    std::string value;
    std::size_t next;
    bool braced = valueStart < text.size() && text[valueStart] == '{';
    if (braced) {
      // A braced value may contain ';' and '{'; "}}" is one '}' of the value.
      std::size_t at = valueStart + 1;
      for (; at < text.size(); ++at) {
        if (text[at] != '}') {
          value += text[at];
        } else if (at + 1 < text.size() && text[at + 1] == '}') {
          value += '}';
          ++at;
        } else {
          break;
        }
      }
      next = text.find(';', at);
    } else {
      next = text.find(';', valueStart);
      value = text.substr(valueStart,
                          next == std::string::npos ? std::string::npos : next - valueStart);
    }
    if (!key.empty() && pairs.count(key) == 0) pairs[key] = braced ? value : Trim(value);
    if (next == std::string::npos) break;
    pos = next + 1;
  }
  return pairs;
}

std::unique_ptr<Backend> OpenBackend(
    const std::string& connectionString,
    const std::function<std::string(const std::string&)>& nativePath,
    std::vector<std::string>& errors) {
  auto pairs = ParseConnectionString(connectionString);
  const std::string driver = pairs.count("DRIVER") ? pairs["DRIVER"] : "";
  if (Upper(driver) != Upper(kAccessDriver)) return OpenOdbc(connectionString, errors);

  const std::string file = pairs.count("DBQ") ? pairs["DBQ"] : "";
  if (file.empty()) {
    errors.push_back("The connection names no database file (DBQ=).");
    return nullptr;
  }
  const std::string native = nativePath(file);
  if (OdbcDriverInstalled(kAccessDriver)) {
    // Drivers that take the file as Database= ignore DBQ= and the reverse;
    // the logged connection string stays as it was built.
    return OpenOdbc(connectionString + "Database=" + ConnectionValue(native) + ";", errors);
  }
  return OpenSqlite(native, errors);
}

}  // namespace db
