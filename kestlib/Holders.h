// Owners of operating-system resources: each releases what it holds on
// every path, so a function never has to remember to.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include <cstdint>
#include <utility>
#include <memory>
#include <type_traits>

#include "kestlib/Hresult.h"

// Every release below keeps the thread's last error, so that a holder going
// out of scope between a failing call and the check of its error cannot
// change what the check reads.
namespace kestlib {

// A handle whose "none" value is given by the traits.
template <typename Traits>
class UniqueHandleT {
 public:
  UniqueHandleT() = default;
  explicit UniqueHandleT(HANDLE h) : m_handle(h) {}
  ~UniqueHandleT() { reset(); }
  UniqueHandleT(UniqueHandleT&& other) noexcept : m_handle(other.release()) {}
  UniqueHandleT& operator=(UniqueHandleT&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandleT(const UniqueHandleT&) = delete;
  UniqueHandleT& operator=(const UniqueHandleT&) = delete;

  HANDLE get() const { return m_handle; }
  explicit operator bool() const { return m_handle != Traits::None(); }
  HANDLE release() {
    HANDLE h = m_handle;
    m_handle = Traits::None();
    return h;
  }
  void reset(HANDLE h = Traits::None()) {
    if (m_handle != Traits::None()) {
      const LastErrorKeeper kept;
      CloseHandle(m_handle);
    }
    m_handle = h;
  }

 private:
  HANDLE m_handle = Traits::None();
};

struct NullHandleTraits {
  static HANDLE None() { return nullptr; }
};
// CreateFileW reports failure with INVALID_HANDLE_VALUE, not null.
struct FileHandleTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
};

using UniqueHandle = UniqueHandleT<NullHandleTraits>;
using UniqueFile = UniqueHandleT<FileHandleTraits>;

// A module loaded with LoadLibrary*, freed again when its owner goes.
struct ModuleFreer {
  void operator()(HMODULE module) const {
    const LastErrorKeeper kept;
    FreeLibrary(module);
  }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

// A GDI object (brush, pen, font, bitmap) deleted when its owner goes; it
// must no longer be selected into a device context by then.
struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const {
    const LastErrorKeeper kept;
    DeleteObject(object);
  }
};
using UniqueBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, GdiObjectDeleter>;

// An icon loaded with LoadImage (not a shared one), destroyed with its owner.
struct IconDestroyer {
  void operator()(HICON icon) const {
    const LastErrorKeeper kept;
    DestroyIcon(icon);
  }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

// A windows hook, removed when its owner goes.
struct HookRemover {
  void operator()(HHOOK hook) const {
    const LastErrorKeeper kept;
    UnhookWindowsHookEx(hook);
  }
};
using UniqueHook = std::unique_ptr<std::remove_pointer_t<HHOOK>, HookRemover>;

// A read-only view of a file and the mapping object behind it. The file
// handle stays with the caller.
class MappedView {
 public:
  MappedView() = default;
  ~MappedView() {
    const LastErrorKeeper kept;
    Unmap();
  }
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  // Maps size bytes (0: the rest of the file) from the given offset.
  HRESULT Map(HANDLE file, std::uint32_t size, std::uint32_t offsetLow, std::uint32_t offsetHigh,
              DWORD protect, DWORD access);
  // Unmaps the view and closes the mapping; the first failure, or 0.
  HRESULT Unmap();

  const std::uint8_t* base() const { return m_base; }
  std::uint32_t size() const { return m_size; }

 private:
  const std::uint8_t* m_base = nullptr;
  std::uint32_t m_size = 0;
  HANDLE m_mapping = nullptr;
};

// A search started by FindFirstFileW; FindClose, not CloseHandle, ends it.
class UniqueFind {
 public:
  UniqueFind() = default;
  explicit UniqueFind(HANDLE h) : m_handle(h) {}
  ~UniqueFind() {
    const LastErrorKeeper kept;
    if (m_handle != INVALID_HANDLE_VALUE) FindClose(m_handle);
  }
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;

  HANDLE get() const { return m_handle; }
  explicit operator bool() const { return m_handle != INVALID_HANDLE_VALUE; }

 private:
  HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// A COM interface pointer that holds one reference.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      m_ptr = std::exchange(other.m_ptr, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }
  // For a call that hands out a new reference: drops the one held first.
  T** put() {
    reset();
    return &m_ptr;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    const LastErrorKeeper kept;
    if (m_ptr) std::exchange(m_ptr, nullptr)->Release();
  }

 private:
  T* m_ptr = nullptr;
};

// A VARIANT that is cleared (freeing a string or releasing an object it
// holds) when it goes.
class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&m_value); }
  ~UniqueVariant() {
    const LastErrorKeeper kept;
    VariantClear(&m_value);
  }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;

  VARIANT& get() { return m_value; }

 private:
  VARIANT m_value;
};

// COM on the calling thread for as long as the holder lives. A thread that
// already runs another apartment model keeps it (result() tells), and is not
// uninitialized by the holder.
class ComInitialization {
 public:
  explicit ComInitialization(DWORD model) : m_result(CoInitializeEx(nullptr, model)) {}
  ~ComInitialization() {
    if (SUCCEEDED(m_result)) CoUninitialize();
  }
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

  HRESULT result() const { return m_result; }

 private:
  HRESULT m_result;
};

// Memory that the system allocated with LocalAlloc for the caller.
template <typename T>
class UniqueLocal {
 public:
  UniqueLocal() = default;
  ~UniqueLocal() { put(); }
  UniqueLocal(const UniqueLocal&) = delete;
  UniqueLocal& operator=(const UniqueLocal&) = delete;

  T* get() const { return m_ptr; }
  T** put() {
    const LastErrorKeeper kept;
    if (m_ptr) LocalFree(std::exchange(m_ptr, nullptr));
    return &m_ptr;
  }

 private:
  T* m_ptr = nullptr;
};

// Memory that the system allocated with the COM task allocator, such as
// an item id list or a property string.
struct CoTaskMemFreer {
  void operator()(void* memory) const {
    const LastErrorKeeper kept;
    CoTaskMemFree(memory);
  }
};
template <typename T>
using UniqueCoTaskMem = std::unique_ptr<T, CoTaskMemFreer>;

}  // namespace kestlib
