#include "platform/terminal.h"

#include <unistd.h>

namespace kv {

bool IsStandardInputTerminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace kv
