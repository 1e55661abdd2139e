// Writes numbered values into the registry of the machine KV_MACHINE names,
// one persisted write after another, so that tests can run several writers
// at once or kill one in the middle.
//
//   kv_reg_writer PREFIX COUNT     values PREFIX0000 .. under HKLM\SOFTWARE\KvTest,
//                                  each REG_SZ holding its own number; COUNT 0
//                                  writes until the process is killed.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kv_reg_writer PREFIX COUNT\n");
    return 2;
  }
  const std::string prefix = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);

  kv::HKEY key = nullptr;
  kv::LONG rc = kv::RegCreateKeyExA(kv::HKEY_LOCAL_MACHINE, "SOFTWARE\\KvTest", 0, kv::KEY_ALL_ACCESS, &key, nullptr);
  if (rc != kv::ERROR_SUCCESS) {
    std::fprintf(stderr, "kv_reg_writer: creating the key failed: %d\n", rc);
    return 1;
  }
  for (long i = 0; count == 0 || i < count; ++i) {
    char name[64];
    char data[32];
    std::snprintf(name, sizeof name, "%s%04ld", prefix.c_str(), i);
    const int length = std::snprintf(data, sizeof data, "%ld", i);
    rc = kv::RegSetValueExA(key, name, kv::REG_SZ, reinterpret_cast<const kv::BYTE*>(data),
                            static_cast<kv::DWORD>(length + 1));
    if (rc != kv::ERROR_SUCCESS) {
      std::fprintf(stderr, "kv_reg_writer: writing %s failed: %d\n", name, rc);
      return 1;
    }
  }
  kv::RegCloseKey(key);
  return 0;
}
