#include "platform/system.h"
#include "prereq/check_driver.h"

int main(int argc, char** argv) { kv::ExitProcess(static_cast<kv::DWORD>(kv::RunCheck(argc, argv))); }
