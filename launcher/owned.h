// A move-only owner for one Windows handle or runtime resource, closed exactly once.
#pragma once

#include <utility>

// Owned<Handle, Close, Empty> holds a value of type Handle and calls Close on it when the owner
// goes away, unless the value is Empty. Close is taken by value (a function pointer known at
// compile time), so the owner stays as small as the handle itself.
template <typename Handle, auto Close, Handle Empty>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle handle) : handle_(handle) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    ~Owned() { Reset(); }

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Empty; }

    // The place to receive a handle from an API that writes it through a pointer; whatever the
    // owner held before is closed first.
    Handle* Receive() {
        Reset();
        return &handle_;
    }

    Handle Release() { return std::exchange(handle_, Empty); }

    void Reset(Handle handle = Empty) {
        Handle old = std::exchange(handle_, handle);
        if (old != Empty) {
            Close(old);
        }
    }

private:
    Handle handle_ = Empty;
};
