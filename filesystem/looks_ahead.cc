#include "filesystem/looks_ahead.h"

#include <system_error>
#include <utility>

namespace varnelo {
namespace {

// The thread is woken for this many paths at once: a caller adds one a
// change, and a wake-up for each would cost it what the look saves.
constexpr size_t kBatch = 64;

}  // namespace

LooksAhead::LooksAhead(MakeLook make_look) : make_look_(std::move(make_look)) {
  try {
    worker_ = std::jthread([this](std::stop_token stop) { Work(stop); });
  } catch (const std::system_error&) {
    // No thread to spare: every look is taken when asked for.
  }
}

LooksAhead::~LooksAhead() = default;

void LooksAhead::Add(std::string path) {
  std::lock_guard lock(mutex_);
  if (!look_) look_ = make_look_();
  slots_.emplace_back().path = std::move(path);
  if (slots_.size() - reached_ == kBatch) added_.notify_one();
}

std::optional<EntryInfo> LooksAhead::At(size_t place) {
  // Unlocked: the slots grow only in Add, on this same thread, and the
  // thread looking ahead only reads them.
  Slot* slot = &slots_[place];
  if (!LookIfFirst(*slot)) {
    for (uint8_t state; (state = slot->state.load(std::memory_order_acquire)) != kDone;) {
      slot->state.wait(state, std::memory_order_acquire);
    }
  }
  if (slot->failure) std::rethrow_exception(slot->failure);
  return std::move(slot->info);
}

void LooksAhead::Work(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (added_.wait(lock, stop, [this] { return slots_.size() - reached_ >= kBatch; })) {
    while (reached_ < slots_.size()) {
      if (stop.stop_requested()) return;  // the places left are asked for by none
      Slot& slot = slots_[reached_++];
      lock.unlock();
      LookIfFirst(slot);
      lock.lock();
    }
  }
}

bool LooksAhead::LookIfFirst(Slot& slot) noexcept {
  uint8_t waiting = kWaiting;
  if (!slot.state.compare_exchange_strong(waiting, kLooking, std::memory_order_acquire)) {
    return false;
  }
  try {
    slot.info = look_(slot.path);
  } catch (...) {
    slot.failure = std::current_exception();
  }
  std::string().swap(slot.path);  // needed no more: a long run adds thousands
  slot.state.store(kDone, std::memory_order_release);
  slot.state.notify_all();
  return true;
}

}  // namespace varnelo
