// Runs a program with the rest of the command line, waits for it and writes
// its whole exit code (a Windows exit code has 32 bits; the status a Linux
// parent of Wine sees keeps 8) as decimal text into a file:
//   kv_exit_code <file> <program> [arguments...]
// The program shares this one's standard handles. Answers with the same code.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: kv_exit_code <file> <program> [arguments...]\n");
    return 2;
  }
  // The child's command line: this one's from the program on, as typed.
  const wchar_t* line = GetCommandLineW();
  for (int skip = 0; skip < 2; ++skip) {
    bool quoted = false;
    while (*line && (quoted || (*line != L' ' && *line != L'\t'))) {
      if (*line == L'"') quoted = !quoted;
      ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
  }
  std::wstring commandLine = line;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"kv_exit_code: cannot start %ls: error %lu\n", commandLine.c_str(), GetLastError());
    return 1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (FILE* out = _wfopen(argv[1], L"w")) {
    std::fprintf(out, "%lu\n", code);
    std::fclose(out);
  }
  return static_cast<int>(code);
}
