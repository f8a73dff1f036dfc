#ifndef VARNELO_FILESYSTEM_TAKEN_AHEAD_H_
#define VARNELO_FILESYSTEM_TAKEN_AHEAD_H_

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "filesystem/file_system.h"

namespace varnelo {

// Answers about paths taken on a thread of its own, in the order the paths
// were added, so that a caller busy with changes finds each answer waiting.
// The caller asks for them in about that order, some skipped; a place asked
// for before the thread came to it is answered by the caller there and then,
// so any order is answered right, if slower.
// REQUIRES: Add and At are called from one thread.
template <typename Answer>
class TakenAhead {
 public:
  // REQUIRES: `take` may be called from any thread, with others at once.
  using Take = std::function<Answer(const std::string& path)>;
  // Made at the first Add, on the caller's thread, so that the answers may
  // be taken from what the caller holds open then.
  using MakeTake = std::function<Take()>;
  static constexpr size_t kUnbounded = std::numeric_limits<size_t>::max();

  // The thread takes no place `most_ahead` or more past the last one asked
  // for, so that large answers waiting are bounded.
  TakenAhead(MakeTake make_take, size_t most_ahead)
      : make_take_(std::move(make_take)), most_ahead_(most_ahead) {
    try {
      worker_ = std::jthread([this](std::stop_token stop) { Work(stop); });
    } catch (const std::system_error&) {
      // No thread to spare: every answer is taken when asked for.
    }
  }

  void Add(std::string path) {
    std::lock_guard lock(mutex_);
    if (!take_) take_ = make_take_();
    slots_.emplace_back().path = std::move(path);
    if (slots_.size() - reached_ == kBatch) added_.notify_one();
  }

  // REQUIRES: `place` was added, and is asked for once.
  Answer At(size_t place) {
    Tell(place);
    // Unlocked: the slots grow only in Add, on this same thread, and the
    // thread taking answers ahead only reads them.
    Slot* slot = &slots_[place];
    if (!TakeIfFirst(*slot)) {
      for (uint8_t state; (state = slot->state.load(std::memory_order_acquire)) != kDone;) {
        slot->state.wait(state, std::memory_order_acquire);
      }
    }
    if (slot->failure) std::rethrow_exception(slot->failure);
    return std::move(slot->answer);
  }

 private:
  // The thread is woken for this many paths at once: a caller adds one a
  // change, and a wake-up for each would cost it what the answer saves.
  static constexpr size_t kBatch = 64;
  static constexpr size_t kNear = 4;
  enum State : uint8_t { kWaiting, kTaking, kDone };
  struct Slot {
    std::string path;
    std::atomic<uint8_t> state = kWaiting;
    Answer answer{};
    std::exception_ptr failure;
  };

  // Where the caller is, for a thread that keeps within reach of it.
  void Tell(size_t place) {
    asked_.store(place, std::memory_order_release);
    if (place >= next_told_) {
      asked_.notify_one();
      next_told_ = place + kBatch;
    }
  }

  void Work(std::stop_token stop) {
    std::stop_callback wake(stop, [this] {
      asked_.store(kUnbounded / 2, std::memory_order_release);
      asked_.notify_all();
    });
    std::unique_lock lock(mutex_);
    while (added_.wait(lock, stop, [this] { return slots_.size() - reached_ >= kBatch; })) {
      while (reached_ < slots_.size()) {
        // Right behind the caller, or just ahead, the two would meet at
        // every place: the thread leaves it a batch to take itself instead.
        if (const size_t asked = asked_.load(std::memory_order_acquire); reached_ < asked + kNear) {
          reached_ = std::min(slots_.size(), asked + kBatch);
          continue;
        }
        const size_t place = reached_++;
        Slot& slot = slots_[place];  // under the lock: Add may grow the slots meanwhile
        lock.unlock();
        WaitForCaller(place);
        if (stop.stop_requested()) return;  // the places left are asked for by none
        TakeIfFirst(slot);
        lock.lock();
      }
    }
  }

  void WaitForCaller(size_t place) {
    if (most_ahead_ == kUnbounded) return;
    for (size_t asked; place >= (asked = asked_.load(std::memory_order_acquire)) + most_ahead_;) {
      asked_.wait(asked, std::memory_order_acquire);
    }
  }

  // Takes the answer for `slot` unless another thread has begun to; true
  // when it did.
  bool TakeIfFirst(Slot& slot) noexcept {
    uint8_t waiting = kWaiting;
    if (!slot.state.compare_exchange_strong(waiting, kTaking, std::memory_order_acquire)) {
      return false;
    }
    try {
      slot.answer = take_(slot.path);
    } catch (...) {
      slot.failure = std::current_exception();
    }
    std::string().swap(slot.path);  // needed no more: a long run adds thousands
    slot.state.store(kDone, std::memory_order_release);
    slot.state.notify_all();
    return true;
  }

  MakeTake make_take_;
  const size_t most_ahead_;
  Take take_;  // set at the first Add, under mutex_
  std::mutex mutex_;
  std::condition_variable_any added_;
  std::deque<Slot> slots_;         // grown under mutex_; a slot stays where it is
  size_t reached_ = 0;             // the places the thread has come to, under mutex_
  std::atomic<size_t> asked_ = 0;  // about the last place asked for
  size_t next_told_ = 0;           // the caller's: when it next tells the thread
  std::jthread worker_;            // last: stopped and joined before the rest goes
};

// Looks taken ahead of their asking.
class LooksAhead : public FileSystem::Looks {
 public:
  using MakeLook = TakenAhead<std::optional<EntryInfo>>::MakeTake;
  explicit LooksAhead(MakeLook make_look)
      : looks_(std::move(make_look), TakenAhead<std::optional<EntryInfo>>::kUnbounded) {}

  void Add(std::string path) override { looks_.Add(std::move(path)); }
  std::optional<EntryInfo> At(size_t place) override { return looks_.At(place); }
  bool Ahead() const override { return true; }

 private:
  TakenAhead<std::optional<EntryInfo>> looks_;
};

// Reads of the start of files taken ahead of their asking, at most
// `most_ahead` places past the last one asked for. Each is held apart from
// its slot, which stays for the whole run, and let go once asked for.
class ReadsAhead : public FileSystem::Reads {
 public:
  using Read = std::function<FileStart(const std::string& path)>;
  using MakeRead = std::function<Read()>;
  ReadsAhead(MakeRead make_read, size_t most_ahead)
      : reads_(
            [make_read = std::move(make_read)] {
              return [read = make_read()](const std::string& path) {
                return std::make_unique<FileStart>(read(path));
              };
            },
            most_ahead) {}

  void Add(std::string path) override { reads_.Add(std::move(path)); }
  FileStart At(size_t place, const std::string& /*path*/) override {
    return std::move(*reads_.At(place));
  }

 private:
  TakenAhead<std::unique_ptr<FileStart>> reads_;
};

}  // namespace varnelo

#endif  // VARNELO_FILESYSTEM_TAKEN_AHEAD_H_
