// What the system tells of itself, its timers, services, key containers,
// WMI and identity, held to the same answers on the emulated machine and on
// Windows (or said to be Wine's own where Wine differs from Windows).

#include "platform/system.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "platform/crypto.h"
#include "platform/identity.h"
#include "platform/last_error.h"
#include "platform/services.h"
#include "platform/system_info.h"
#include "platform/timer_queue.h"
#include "platform/wmi.h"
#include "tests/support/scratch.h"

namespace kv {
namespace {

class SystemTest : public ::testing::Test {
 protected:
  test::Scratch scratch;
};

TEST_F(SystemTest, VersionRecordsOfBothSizes) {
  OsVersionInfo basic, extended;
  ASSERT_EQ(GetVersionEx(&basic, false), ERROR_SUCCESS);
  ASSERT_EQ(GetVersionEx(&extended, true), ERROR_SUCCESS);
  EXPECT_EQ(basic.platformId, 2u);  // VER_PLATFORM_WIN32_NT
  EXPECT_EQ(basic.majorVersion, extended.majorVersion);
  EXPECT_EQ(basic.productType, 0);  // only the extended record has it
  EXPECT_GE(extended.productType, VER_NT_WORKSTATION);
  EXPECT_LE(extended.productType, VER_NT_SERVER);
  const WORD architecture = GetNativeProcessorArchitecture();
  EXPECT_TRUE(architecture == PROCESSOR_ARCHITECTURE_INTEL || architecture == PROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_TRUE(QueryWow64Process().has_value());
}

TEST_F(SystemTest, TimersFireOnTheQueueAndTheQueueGoesFromItsOwnCallback) {
  HTimerQueue queue = nullptr;
  ASSERT_EQ(CreateTimerQueue(&queue), ERROR_SUCCESS);
  struct Shared {
    HTimerQueue queue;
    std::atomic<int> fired{0};
    std::atomic<bool> deleted{false};
  } shared{queue};
  HTimer timer = nullptr;
  ASSERT_EQ(CreateTimerQueueTimer(
                queue,
                [](void* parameter, bool fired) {
                  auto* s = static_cast<Shared*>(parameter);
                  if (fired) ++s->fired;
                  s->deleted = DeleteTimerQueue(s->queue) == ERROR_SUCCESS;
                },
                &shared, 10, 0, WT_EXECUTEDEFAULT, &timer),
            ERROR_SUCCESS);
  EXPECT_NE(timer, nullptr);
  for (int i = 0; i < 500 && !shared.deleted; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(shared.deleted);
  EXPECT_EQ(shared.fired, 1);
  EXPECT_EQ(CreateTimerQueueTimer(
                nullptr, [](void*, bool) {}, nullptr, 0, 0, 0, nullptr),
            ERROR_INVALID_HANDLE);
}

TEST_F(SystemTest, AnUnknownServiceIsTheServiceThatDoesNotExist) {
  ServiceHandle manager, service;
  ASSERT_EQ(OpenSCManager(SC_MANAGER_CONNECT, &manager), ERROR_SUCCESS);
  EXPECT_EQ(OpenService(manager, u"KvNoSuchService", SERVICE_USER_DEFINED_CONTROL, &service),
            ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_FALSE(service.IsOpen());
}

TEST_F(SystemTest, AMissingEnvironmentVariableIsNotFound) {
  EXPECT_FALSE(GetEnvironmentVariable("KV_NO_SUCH_VARIABLE").has_value());
  EXPECT_EQ(GetLastError(), 203u);  // ERROR_ENVVAR_NOT_FOUND
}

TEST_F(SystemTest, KeyContainersAreMadeAndTheirKeysGenerated) {
  const std::string container = "KvBackendTests-" + std::to_string(GetCurrentThreadId());
  HCRYPTPROV provider = nullptr;
  EXPECT_FALSE(CryptAcquireContextA(&provider, container.c_str(), MS_DEF_PROV_A, PROV_RSA_FULL, 0));
  EXPECT_EQ(GetLastError(), NTE_BAD_KEYSET);
  ASSERT_TRUE(CryptAcquireContextA(&provider, container.c_str(), MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
  HCRYPTKEY key = nullptr;
  EXPECT_FALSE(CryptGetUserKey(provider, AT_SIGNATURE, &key));
  EXPECT_EQ(GetLastError(), NTE_NO_KEY);
  ASSERT_TRUE(CryptGenKey(provider, AT_SIGNATURE, 0, &key));
  EXPECT_TRUE(CryptDestroyKey(key));
  ASSERT_TRUE(CryptGetUserKey(provider, AT_SIGNATURE, &key));
  EXPECT_TRUE(CryptDestroyKey(key));
  EXPECT_TRUE(CryptReleaseContext(provider, 0));
  HCRYPTPROV again = nullptr;
  EXPECT_FALSE(CryptAcquireContextA(&again, container.c_str(), MS_DEF_PROV_A, PROV_RSA_FULL, CRYPT_NEWKEYSET));
  EXPECT_EQ(GetLastError(), NTE_EXISTS);
}

TEST_F(SystemTest, WmiAnswersAQueryForTheOperatingSystem) {
  const HRESULT init = CoInitializeEx(COINIT_MULTITHREADED);
  ASSERT_TRUE(init == S_OK || init == S_FALSE) << std::hex << init;
  {
    std::unique_ptr<WbemLocator> locator;
    ASSERT_EQ(CreateWbemLocator(&locator), S_OK);
    std::unique_ptr<WbemServices> services;
    ASSERT_EQ(locator->ConnectServer(u"root\\CIMV2", &services), S_OK);
    EXPECT_EQ(services->SetProxyBlanket(RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, RPC_C_AUTHN_LEVEL_CALL,
                                        RPC_C_IMP_LEVEL_IMPERSONATE, EOAC_NONE),
              S_OK);
    std::unique_ptr<WbemEnumerator> result;
    ASSERT_EQ(services->ExecQuery(u"WQL", u"SELECT * FROM Win32_OperatingSystem",
                                  WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, &result),
              S_OK);
    std::unique_ptr<WbemObject> object;
    ASSERT_EQ(result->Next(WBEM_INFINITE, &object), S_OK);
    Variant caption;
    ASSERT_EQ(object->Get(u"Caption", &caption), S_OK);
    EXPECT_EQ(caption.vt, VT_BSTR);
    ASSERT_TRUE(caption.text.has_value());
    EXPECT_NE(caption.text->find(u"Windows"), std::u16string::npos);
    EXPECT_EQ(object->Get(u"NoSuchProperty", &caption), WBEM_E_NOT_FOUND);
    EXPECT_EQ(result->Next(WBEM_INFINITE, &object), WBEM_S_FALSE);
  }
  CoUninitialize();
}

TEST_F(SystemTest, TheHostNameAsksForRoomWhenTheBufferIsShort) {
  char16_t small[2] = {};
  DWORD size = 2;
  EXPECT_FALSE(GetComputerNameExW(ComputerNameDnsHostname, small, &size));
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  ASSERT_GT(size, 2u);
  std::u16string name(size, u'\0');
  ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsHostname, name.data(), &size));
  EXPECT_EQ(name.find(u'\0'), size);
}

TEST_F(SystemTest, UniversalTimeIsLocalTimePlusTheBias) {
  const std::int64_t utc = SystemTimeToFileTime(GetSystemTime());
  const std::int64_t local = SystemTimeToFileTime(GetLocalTime());
  const std::int64_t biasTicks = std::int64_t{GetTimeZoneBias()} * 60 * 10'000'000;
  EXPECT_LT(std::llabs(local + biasTicks - utc), 2 * 10'000'000LL);
}

TEST_F(SystemTest, SystemMessagesAreWindowsTexts) {
  if (test::Scratch::RunsUnderWine()) GTEST_SKIP() << "Wine's message texts are its own, not Windows'";
  EXPECT_EQ(FormatSystemMessage(ERROR_FILE_NOT_FOUND, false), u"The system cannot find the file specified.\r\n");
  EXPECT_EQ(FormatSystemMessage(ERROR_ACCESS_DENIED, true), u"Access is denied. ");
}

}  // namespace
}  // namespace kv
