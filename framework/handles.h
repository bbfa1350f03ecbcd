// RAII owners for the Win32 handles the project uses. Each owner closes its
// handle exactly once; release() hands the handle over to code that keeps it.
#pragma once

#include "win.h"

#include <cstddef>
#include <utility>

namespace framework {

template <typename Traits>
class UniqueOwner {
public:
    using H = typename Traits::Handle;

    UniqueOwner() = default;
    explicit UniqueOwner(H handle) : handle_(handle) {}
    UniqueOwner(const UniqueOwner&) = delete;
    UniqueOwner& operator=(const UniqueOwner&) = delete;
    UniqueOwner(UniqueOwner&& other) noexcept : handle_(other.release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~UniqueOwner() { reset(); }

    H get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    H release() { return std::exchange(handle_, Traits::None()); }
    void reset(H handle = Traits::None())
    {
        if (handle_ != Traits::None())
            Traits::Close(handle_);
        handle_ = handle;
    }
    // For out-parameters of the API calls that open a handle.
    H* put()
    {
        reset();
        return &handle_;
    }
    // An owner equals nullptr when it holds no handle, as a unique_ptr does.
    friend bool operator==(const UniqueOwner& owner, std::nullptr_t) { return !owner; }
    friend bool operator!=(const UniqueOwner& owner, std::nullptr_t) { return bool(owner); }

private:
    H handle_ = Traits::None();
};

#define FRAMEWORK_HANDLE_TRAITS(Name, Type, none, close) \
    struct Name {                                         \
        using Handle = Type;                              \
        static Type None() { return none; }               \
        static void Close(Type h) { close(h); }           \
    }

FRAMEWORK_HANDLE_TRAITS(KernelTraits, HANDLE, nullptr, CloseHandle);
FRAMEWORK_HANDLE_TRAITS(FileTraits, HANDLE, INVALID_HANDLE_VALUE, CloseHandle);
FRAMEWORK_HANDLE_TRAITS(RegKeyTraits, HKEY, nullptr, RegCloseKey);
FRAMEWORK_HANDLE_TRAITS(FindTraits, HANDLE, INVALID_HANDLE_VALUE, FindClose);
FRAMEWORK_HANDLE_TRAITS(InternetTraits, HINTERNET, nullptr, InternetCloseHandle);
FRAMEWORK_HANDLE_TRAITS(LibraryTraits, HMODULE, nullptr, FreeLibrary);
#undef FRAMEWORK_HANDLE_TRAITS

using Handle = UniqueOwner<KernelTraits>;
using FileHandle = UniqueOwner<FileTraits>;
using RegKey = UniqueOwner<RegKeyTraits>;
using FindHandle = UniqueOwner<FindTraits>;
using InternetHandle = UniqueOwner<InternetTraits>;
using Library = UniqueOwner<LibraryTraits>;

}  // namespace framework
