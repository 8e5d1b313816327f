#pragma once
// State that holds for a scope and is undone at its end, however the scope is left.
#include <utility>

namespace pb {

// One more in `count` for the guard's life: a plain or an atomic counter.
template <typename Counter> class [[nodiscard]] ScopedCount {
  public:
    explicit ScopedCount(Counter& count) : count_(count) { ++count_; }
    ~ScopedCount() { --count_; }
    ScopedCount(const ScopedCount&) = delete;
    ScopedCount& operator=(const ScopedCount&) = delete;

  private:
    Counter& count_;
};

// `value` in `place` for the guard's life, then what was there before.
template <typename T> class [[nodiscard]] ScopedValue {
  public:
    ScopedValue(T& place, T value)
        : place_(place), before_(std::exchange(place, std::move(value))) {}
    ~ScopedValue() { place_ = std::move(before_); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

  private:
    T& place_;
    T before_;
};

} // namespace pb
