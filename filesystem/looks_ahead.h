#ifndef VARNELO_FILESYSTEM_LOOKS_AHEAD_H_
#define VARNELO_FILESYSTEM_LOOKS_AHEAD_H_

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "filesystem/file_system.h"

namespace varnelo {

// Looks taken on a thread of its own, in the order the paths were added, so
// that a caller busy with changes finds each answer waiting. A place asked
// for before the thread came to it is looked at by the caller there and then.
// REQUIRES: Add and At are called from one thread.
class LooksAhead : public FileSystem::Looks {
 public:
  // REQUIRES: `look` may be called from any thread, with others at once.
  using Look = std::function<std::optional<EntryInfo>(const std::string& path)>;
  // Made at the first Add, on the caller's thread, so that the looks may be
  // walked from what the caller holds open then.
  using MakeLook = std::function<Look()>;
  explicit LooksAhead(MakeLook make_look);
  ~LooksAhead() override;

  void Add(std::string path) override;
  std::optional<EntryInfo> At(size_t place) override;
  bool Ahead() const override { return true; }

 private:
  enum State : uint8_t { kWaiting, kLooking, kDone };
  struct Slot {
    std::string path;
    std::atomic<uint8_t> state = kWaiting;
    std::optional<EntryInfo> info;
    std::exception_ptr failure;
  };

  void Work(std::stop_token stop);
  // Looks at `slot` unless another thread has begun to; true when it did.
  bool LookIfFirst(Slot& slot) noexcept;

  MakeLook make_look_;
  Look look_;  // set at the first Add, under mutex_
  std::mutex mutex_;
  std::condition_variable_any added_;
  std::deque<Slot> slots_;  // grown under mutex_; a slot stays where it is
  size_t reached_ = 0;      // the places the thread has come to, under mutex_
  std::jthread worker_;     // last: stopped and joined before the rest goes
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_LOOKS_AHEAD_H_
