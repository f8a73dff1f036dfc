#ifndef VARNELO_FILESYSTEM_KEPT_READINGS_H_
#define VARNELO_FILESYSTEM_KEPT_READINGS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "filesystem/folder_cache.h"
#include "filesystem/run_record.h"

namespace varnelo {

// What reading files told, each with the identity of the file it was read
// from (see FileIdentity): a preview keeps what it read for the run it
// confirms, which reads again only a file that is another one, or changed,
// by then. It belongs to the command that runs both, and goes with it.
class KeptReadings {
 public:
  // What was read of the file at `path`, where that file is the one `now`
  // tells of, unchanged.
  std::optional<uint64_t> Find(std::string_view path, const EntryInfo& now) const {
    auto kept = kept_.find(path);
    if (kept == kept_.end() || !kept->second.first.Matches(now)) return std::nullopt;
    return kept->second.second;
  }
  bool Holds(std::string_view path) const { return kept_.find(path) != kept_.end(); }
  bool empty() const { return kept_.empty(); }
  // `read_from` is the file as it stood when it was opened to be read: one
  // changed since is then read again.
  void Keep(const std::string& path, const EntryInfo& read_from, uint64_t result) {
    kept_.insert_or_assign(path, std::pair{FileIdentity::Of(read_from), result});
  }

 private:
  TextMap<std::pair<FileIdentity, uint64_t>> kept_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_KEPT_READINGS_H_
