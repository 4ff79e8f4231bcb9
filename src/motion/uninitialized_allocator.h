#pragma once

#include <memory>
#include <new>
#include <type_traits>
#include <utility>

// std::allocator, except that elements a vector adds without a value (resize) are left
// uninitialised: for large buffers that are written in full right after they are sized, so that
// sizing one costs no pass over its memory, and the pages are first touched by whichever thread
// writes them.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };

    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};
