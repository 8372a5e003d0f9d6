// A field that several threads read and write without a lock: the transposition, PV,
// history and gain tables. Every read and write is a relaxed atomic access, which on
// x86-64 is the same plain load or store as before, but tells the compiler (and the
// thread sanitizer) that another thread may be at the same value. A reader sees either the
// old or the new value of the field, never a torn one; fields of one entry may still come
// from different writers, which the searches tolerate by design.
//
// Reading converts implicitly and assigning stores, so the code that uses the tables reads
// like code on plain fields. Copying an entry copies it field by field, each field atomic.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>

template <typename T>
class Relaxed {
public:
    static_assert(std::is_integral_v<T>, "a relaxed field holds an integer");

    Relaxed() = default;
    constexpr Relaxed(T v) : value(v) {}
    Relaxed(const Relaxed& other) : value(other.load()) {}
    Relaxed& operator=(const Relaxed& other) {
        store(other.load());
        return *this;
    }
    Relaxed& operator=(T v) {
        store(v);
        return *this;
    }

    operator T() const { return load(); }
    T load() const { return std::atomic_ref<T>(value).load(std::memory_order_relaxed); }
    void store(T v) { std::atomic_ref<T>(value).store(v, std::memory_order_relaxed); }

    // Read, combine and write back: two accesses, not one atomic step. A concurrent write
    // between them is lost, as it would be with plain fields.
    Relaxed& operator|=(T bits) {
        store(T(load() | bits));
        return *this;
    }

private:
    mutable T value;
};

static_assert(sizeof(Relaxed<uint16_t>) == 2 && alignof(Relaxed<uint16_t>) == 2 &&
                  std::is_trivially_destructible_v<Relaxed<uint64_t>>,
              "a relaxed field is laid out as the plain value");
