#include "platform/terminal.h"

#include <io.h>

#include <cstdio>

namespace kv {

bool IsStandardInputTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace kv
