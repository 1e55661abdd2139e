// Writes to, or rotates, a log in C:\logs of the machine KV_MACHINE names, so
// that tests can run several at once on one log.
//
//   kv_log_writer append NAME ENTRIES BYTES   ENTRIES entries "P<pid> E<n> <BYTES letters> END"
//   kv_log_writer rotate NAME ROTATIONS BACKUPS   rotates NAME ROTATIONS times, keeping BACKUPS files

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/log_writer.h"
#include "runtime/log_rotation.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: kv_log_writer append|rotate NAME COUNT SIZE\n");
    return 2;
  }
  const std::string mode = argv[1];
  const char* name = argv[2];
  const long count = std::strtol(argv[3], nullptr, 10);
  const long size = std::strtol(argv[4], nullptr, 10);
  if (mode == "rotate") {
    for (long i = 0; i < count; ++i) {
      // Racing the writers, a rotation may be refused; the test judges the files.
      (void)kv::RotateSpecificLogs("C:\\logs\\", name, static_cast<int>(size));
      usleep(500);
    }
    return 0;
  }
  if (!kv::InitLoggerDefaults() || !kv::SetLoggerParams(name, "C:\\logs", kv::LOG_LEVEL_INFO) || !kv::OpenLogFile())
    return 1;
  const std::string filler(static_cast<std::size_t>(size), static_cast<char>('a' + getpid() % 26));
  for (long i = 0; i < count; ++i) {
    kv::LogInfo("P%d E%ld %s END\n", static_cast<int>(getpid()), i, filler.c_str());
    usleep(200);
  }
  kv::CloseLogFile();
  return 0;
}
