// The holders release what they own without disturbing the error that the
// caller is about to read, and the error helper never reads as success.
#include "kestlib/Holders.h"

#include <gtest/gtest.h>

#include "kestlib/Hresult.h"

namespace {

TEST(HresultFromLastError, FailureThatSetNoErrorIsStillAFailure) {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(kestlib::HresultFromLastError(), E_FAIL);
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(kestlib::HresultFromLastError(), E_ACCESSDENIED);
}

TEST(Holders, ReleasesKeepTheErrorOfTheCallThatFailed) {
  kestlib::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  {
    WIN32_FIND_DATAW data;
    const kestlib::UniqueFind search(FindFirstFileW(L"C:\\*", &data));
    ASSERT_TRUE(search);
    ASSERT_EQ(GetFileAttributesW(L"C:\\no-such-file-here"), INVALID_FILE_ATTRIBUTES);
    event.reset();
  }
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
}

}  // namespace
