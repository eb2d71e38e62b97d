#include "platform/FileChannels.h"

namespace platform {

std::int16_t FileChannels::Open(Env& env, const std::string& path) {
  std::int16_t number = 1;
  while (files_.count(number) != 0) {
    if (number == INT16_MAX) return 0;
    ++number;
  }
  auto file = env.OpenForWriting(path);
  if (!file) return 0;
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
