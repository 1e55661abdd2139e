#pragma once
// Writes that fail the way a full or failing disk fails them, when the
// machine image asks (machine.json "disk"):
//
//   "disk": { "write_faults": [ { "file": "registry.reg", "error": "ENOSPC",
//                                 "after": 0 } ] }
//
// A write to a file whose path within the image ends with "file" (whole
// names: "registry.reg" matches drive_c/x/registry.reg but not
// oldregistry.reg) takes the first "after" bytes that the process writes to
// that file, then fails with "error" ("ENOSPC" or "EIO"). Every file the
// machine writes goes through WriteAll: the registry, logs, downloads, the
// store's documents.

#include <cstddef>
#include <cstdio>
#include <string>

namespace kv::posix {

// Writes all size bytes to fd (a file the machine writes at hostPath, empty
// when the caller does not know it); 0, or the errno of the failure, with
// done set to the bytes written.
int WriteAll(int fd, const void* data, std::size_t size, std::size_t* done, const std::string& hostPath = {});

// Whether writes to the host path may fail (the image names faults for it).
bool HasWriteFault(const std::string& hostPath);

// A stream over fd whose writes go through WriteAll (null when it cannot
// be made); for the files HasWriteFault names.
std::FILE* FaultingStream(int fd, const char* mode, const std::string& hostPath);

}  // namespace kv::posix
