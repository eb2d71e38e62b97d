#include "platform/FileChannels.h"

namespace platform {

namespace {

// "a\run.txt" numbered n: "a\run-n.txt" (the number before the extension).
std::string Numbered(const std::string& path, int n) {
  const std::size_t cut = path.find_last_of("\\/");
  const std::size_t dot = path.rfind('.');
  const std::size_t at =
      dot != std::string::npos && (cut == std::string::npos || dot > cut + 1) ? dot : path.size();
  return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
}

// Names tried before giving up: far more than runs that share one second.
constexpr int kMaxNumbered = 1000;

}  // namespace

std::int16_t FileChannels::Open(Env& env, const std::string& path, std::string* opened,
                                std::string* reason) {
  std::int16_t number = 1;
  while (files_.count(number) != 0) {
    if (number == INT16_MAX) return 0;
    ++number;
  }
  std::string why;
  std::string name = path;
  std::unique_ptr<WritableFile> file;
  for (int n = 2; n <= kMaxNumbered; ++n) {
    bool taken = false;
    file = env.OpenForWriting(name, taken, why);
    if (file || !taken) break;
    name = Numbered(path, n);
  }
  if (!file) {
    if (reason != nullptr) *reason = why;
    return 0;
  }
  if (opened != nullptr) *opened = name;
  files_.emplace(number, std::move(file));
  return number;
}

bool FileChannels::Write(std::int16_t number, std::string_view bytes) {
  auto it = files_.find(number);
  if (it == files_.end()) return false;
  // Flushed per write: the log must survive a crash up to the last line.
  return it->second->Append(bytes) && it->second->Flush();
}

bool FileChannels::Close(std::int16_t number) {
  auto it = files_.find(number);
  if (it == files_.end()) return false;
  bool ok = it->second->Close();
  files_.erase(it);
  return ok;
}

}  // namespace platform
