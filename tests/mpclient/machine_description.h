#pragma once
// Where the stand-in Defender library reads its answer.

#include <string>

// The machine.json of the machine the library is installed in: on the
// emulated machine the image's (the directory above the drive_c/ that holds
// the library), on Windows the one beside the library.
std::string MachineDescription();
