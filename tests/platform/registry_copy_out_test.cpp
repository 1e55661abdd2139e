// How both registry backends hand a queried value to the caller's buffer.

#include "platform/registry_copy_out.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv::registry_backend {
namespace {

const std::vector<BYTE> kValue{1, 2, 3, 4};

TEST(RegistryCopyOut, ABufferOfExactlyTheSizeFillsAndOneByteShortIsUntouched) {
  std::vector<BYTE> buffer(8, 0xEE);
  DWORD size = 4;
  EXPECT_EQ(CopyValueOut(kValue, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer, (std::vector<BYTE>{1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE}));

  buffer.assign(8, 0xEE);
  size = 3;
  EXPECT_EQ(CopyValueOut(kValue, buffer.data(), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(buffer, std::vector<BYTE>(8, 0xEE));

  // A larger buffer learns the value's own size.
  size = 8;
  EXPECT_EQ(CopyValueOut(kValue, buffer.data(), &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
}

TEST(RegistryCopyOut, WithoutABufferOnlyTheSizeIsTold) {
  DWORD size = 0;
  EXPECT_EQ(CopyValueOut(kValue, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(CopyValueOut(kValue, nullptr, nullptr), ERROR_SUCCESS);

  // An empty value fits any buffer, even one of no size.
  BYTE untouched = 0xEE;
  size = 0;
  EXPECT_EQ(CopyValueOut({}, &untouched, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(untouched, 0xEE);
}

}  // namespace
}  // namespace kv::registry_backend
