// Owners of operating-system resources: each releases what it holds on
// every path, so a function never has to remember to.
#pragma once

#include <windows.h>

#include <cstdint>

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
    if (m_handle != Traits::None()) CloseHandle(m_handle);
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

// A read-only view of a file and the mapping object behind it. The file
// handle stays with the caller.
class MappedView {
 public:
  MappedView() = default;
  ~MappedView() { Unmap(); }
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

}  // namespace kestlib
