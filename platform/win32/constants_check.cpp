// Compile-time proof that the seam's constants have Windows' values: a
// wrong number in a shared header fails the Windows build here instead of
// surfacing as a wrong answer on a customer's computer.

#include "platform/crypto.h"
#include "platform/files.h"
#include "platform/identity.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/services.h"
#include "platform/system_info.h"
#include "platform/timer_queue.h"
#include "platform/win32/windows_api.h"
#include "platform/win_types.h"
#include "platform/wmi.h"

namespace kv::win32 {

// Compares as the unsigned bits Windows keeps, whatever the declared types.
template <typename A, typename B>
constexpr bool SameBits(A a, B b) {
  return static_cast<std::uint32_t>(a) == static_cast<std::uint32_t>(b);
}

#define KV_WIN32_CHECK(name) static_assert(SameBits(kv::name, native::name##_), #name " differs from Windows");
KV_WIN32_COLLIDING_CONSTANTS(KV_WIN32_CHECK)
#undef KV_WIN32_CHECK

}  // namespace kv::win32
