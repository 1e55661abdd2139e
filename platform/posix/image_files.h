#pragma once
// The files the emulated machine keeps for itself in its image directory
// (machine.json, registry.reg and its lock, exit-code, scm-controls.log).
// Whoever prepared the image may have put anything at those names: a file
// there is used only when it is a regular file and, for the files the machine
// writes, not a symbolic link, so that the machine never writes outside its
// image nor waits on a FIFO or a device.

#include <sys/stat.h>

#include <string>

namespace kv::posix {

// Modes the machine creates files and directories with (at most; the umask
// may take more away).
inline constexpr mode_t kFileMode = 0644;
inline constexpr mode_t kDirectoryMode = 0755;

// Opens a regular file with open(2) flags, never following a symbolic link
// at its last component and never blocking on a FIFO. Returns the
// descriptor, or -1 with errno set (ELOOP for a link, EINVAL for anything
// that is not a regular file).
int OpenImageFile(const std::string& path, int flags);

// Reads a whole regular file; 0, or the errno of the failure (ENOENT when
// it is absent). followLink lets a symbolic link stand for the file (files
// the machine only reads). st receives the file's status when it is read.
int ReadImageFile(const std::string& path, std::string& bytes, bool followLink, struct stat* st = nullptr);

}  // namespace kv::posix
