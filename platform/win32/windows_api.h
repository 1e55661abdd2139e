#pragma once
// The Windows API as the win32 backend sees it. Every file of the backend
// includes this header (itself or through wide.h), before its own code; the
// seam's headers may come before or after it.
//
// The seam's headers name Windows constants and functions as the agent's
// code is written (ERROR_SUCCESS, REG_SZ, KEY_READ, HKEY_LOCAL_MACHINE,
// S_OK, CreateFile, GetVersionEx, ...) and give them their Windows values,
// while <windows.h> makes the same names macros (numbers, casts, or the A/W
// choice of a function). One rule settles it for the whole backend: the
// headers of the Windows API come first, then every macro that a name of the
// seam would collide with is removed here, so that in the backend such a
// name always means the seam's (a seam header read before this one was read
// before the macros existed). The backend reaches Windows through its
// functions, called by their explicit W (or A) names with the :: prefix;
// kv::DWORD is std::uint32_t, not Windows' unsigned long, so values pass
// through local Windows-typed variables where a pointer is handed over.
//
// Before a macro goes, its Windows value is kept in kv::win32::native, so that
// constants_check.cpp can prove at compile time that the seam's values are
// Windows' own. A new name in the seam that collides with a macro breaks the
// Windows build until it is added to both lists below.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsock2.h>
#include <dsgetdc.h>
#include <iphlpapi.h>
#include <lm.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>
#include <wincrypt.h>

#include <cstdint>

// Numeric macros whose names the seam also declares.
#define KV_WIN32_COLLIDING_CONSTANTS(X) \
  X(AT_KEYEXCHANGE)                     \
  X(AT_SIGNATURE)                       \
  X(CREATE_ALWAYS)                      \
  X(CREATE_NEW)                         \
  X(CRYPT_NEWKEYSET)                    \
  X(DS_RETURN_FLAT_NAME)                \
  X(ERROR_ACCESS_DENIED)                \
  X(ERROR_ALREADY_EXISTS)               \
  X(ERROR_BADDB)                        \
  X(ERROR_BADKEY)                       \
  X(ERROR_BAD_EXE_FORMAT)               \
  X(ERROR_BUFFER_OVERFLOW)              \
  X(ERROR_CANTOPEN)                     \
  X(ERROR_CANTREAD)                     \
  X(ERROR_CANTWRITE)                    \
  X(ERROR_DIRECTORY)                    \
  X(ERROR_DIR_NOT_EMPTY)                \
  X(ERROR_DISK_FULL)                    \
  X(ERROR_FILENAME_EXCED_RANGE)         \
  X(ERROR_FILE_EXISTS)                  \
  X(ERROR_FILE_NOT_FOUND)               \
  X(ERROR_HANDLE_EOF)                   \
  X(ERROR_INSUFFICIENT_BUFFER)          \
  X(ERROR_INVALID_DATA)                 \
  X(ERROR_INVALID_FUNCTION)             \
  X(ERROR_INVALID_HANDLE)               \
  X(ERROR_INVALID_NAME)                 \
  X(ERROR_INVALID_PARAMETER)            \
  X(ERROR_INVALID_SERVICE_CONTROL)      \
  X(ERROR_KEY_DELETED)                  \
  X(ERROR_MOD_NOT_FOUND)                \
  X(ERROR_MORE_DATA)                    \
  X(ERROR_NOT_ENOUGH_MEMORY)            \
  X(ERROR_NOT_SUPPORTED)                \
  X(ERROR_NO_DATA)                      \
  X(ERROR_NO_MORE_FILES)                \
  X(ERROR_NO_MORE_ITEMS)                \
  X(ERROR_NO_SUCH_DOMAIN)               \
  X(ERROR_OUTOFMEMORY)                  \
  X(ERROR_PATH_NOT_FOUND)               \
  X(ERROR_PROC_NOT_FOUND)               \
  X(ERROR_READ_FAULT)                   \
  X(ERROR_REGISTRY_IO_FAILED)           \
  X(ERROR_SERVICE_DOES_NOT_EXIST)       \
  X(ERROR_SHARING_VIOLATION)            \
  X(ERROR_SUCCESS)                      \
  X(ERROR_WRITE_FAULT)                  \
  X(FILE_APPEND_DATA)                   \
  X(FILE_ATTRIBUTE_DIRECTORY)           \
  X(FILE_ATTRIBUTE_NORMAL)              \
  X(FILE_BEGIN)                         \
  X(FILE_CURRENT)                       \
  X(FILE_END)                           \
  X(FILE_FLAG_BACKUP_SEMANTICS)         \
  X(FILE_SHARE_DELETE)                  \
  X(FILE_SHARE_READ)                    \
  X(FILE_SHARE_WRITE)                   \
  X(GENERIC_READ)                       \
  X(GENERIC_WRITE)                      \
  X(INVALID_FILE_ATTRIBUTES)            \
  X(KEY_ALL_ACCESS)                     \
  X(KEY_CREATE_SUB_KEY)                 \
  X(KEY_ENUMERATE_SUB_KEYS)             \
  X(KEY_QUERY_VALUE)                    \
  X(KEY_READ)                           \
  X(KEY_SET_VALUE)                      \
  X(KEY_WOW64_32KEY)                    \
  X(KEY_WOW64_64KEY)                    \
  X(KEY_WOW64_RES)                      \
  X(KEY_WRITE)                          \
  X(MAX_ADAPTER_ADDRESS_LENGTH)         \
  X(MOVEFILE_COPY_ALLOWED)              \
  X(MOVEFILE_REPLACE_EXISTING)          \
  X(NTE_BAD_KEY)                        \
  X(NTE_BAD_KEYSET)                     \
  X(NTE_EXISTS)                         \
  X(NTE_NO_KEY)                         \
  X(NTE_PROV_TYPE_NOT_DEF)              \
  X(OPEN_ALWAYS)                        \
  X(OPEN_EXISTING)                      \
  X(PROCESSOR_ARCHITECTURE_AMD64)       \
  X(PROCESSOR_ARCHITECTURE_INTEL)       \
  X(PROV_RSA_FULL)                      \
  X(REGDB_E_CLASSNOTREG)                \
  X(REG_BINARY)                         \
  X(REG_CREATED_NEW_KEY)                \
  X(REG_DWORD)                          \
  X(REG_DWORD_BIG_ENDIAN)               \
  X(REG_EXPAND_SZ)                      \
  X(REG_LINK)                           \
  X(REG_MULTI_SZ)                       \
  X(REG_NONE)                           \
  X(REG_OPENED_EXISTING_KEY)            \
  X(REG_QWORD)                          \
  X(REG_SZ)                             \
  X(RPC_C_AUTHN_LEVEL_CALL)             \
  X(RPC_C_AUTHN_WINNT)                  \
  X(RPC_C_AUTHZ_NONE)                   \
  X(RPC_C_IMP_LEVEL_IMPERSONATE)        \
  X(SC_MANAGER_CONNECT)                 \
  X(SERVICE_USER_DEFINED_CONTROL)       \
  X(S_FALSE)                            \
  X(S_OK)                               \
  X(TRUNCATE_EXISTING)                  \
  X(VER_NT_DOMAIN_CONTROLLER)           \
  X(VER_NT_SERVER)                      \
  X(VER_NT_WORKSTATION)                 \
  X(VER_SUITE_BLADE)                    \
  X(VER_SUITE_DATACENTER)               \
  X(VER_SUITE_ENTERPRISE)               \
  X(VER_SUITE_PERSONAL)                 \
  X(VER_SUITE_SMALLBUSINESS)            \
  X(VER_SUITE_SMALLBUSINESS_RESTRICTED) \
  X(VER_SUITE_TERMINAL)                 \
  X(WT_EXECUTEDEFAULT)

namespace kv::win32::native {
#define KV_WIN32_KEEP(name) inline constexpr auto name##_ = name;
KV_WIN32_COLLIDING_CONSTANTS(KV_WIN32_KEEP)
#undef KV_WIN32_KEEP
}  // namespace kv::win32::native

#undef AT_KEYEXCHANGE
#undef AT_SIGNATURE
#undef CREATE_ALWAYS
#undef CREATE_NEW
#undef CRYPT_NEWKEYSET
#undef DS_RETURN_FLAT_NAME
#undef ERROR_ACCESS_DENIED
#undef ERROR_ALREADY_EXISTS
#undef ERROR_BADDB
#undef ERROR_BADKEY
#undef ERROR_BAD_EXE_FORMAT
#undef ERROR_BUFFER_OVERFLOW
#undef ERROR_CANTOPEN
#undef ERROR_CANTREAD
#undef ERROR_CANTWRITE
#undef ERROR_DIRECTORY
#undef ERROR_DIR_NOT_EMPTY
#undef ERROR_DISK_FULL
#undef ERROR_FILENAME_EXCED_RANGE
#undef ERROR_FILE_EXISTS
#undef ERROR_FILE_NOT_FOUND
#undef ERROR_HANDLE_EOF
#undef ERROR_INSUFFICIENT_BUFFER
#undef ERROR_INVALID_DATA
#undef ERROR_INVALID_FUNCTION
#undef ERROR_INVALID_HANDLE
#undef ERROR_INVALID_NAME
#undef ERROR_INVALID_PARAMETER
#undef ERROR_INVALID_SERVICE_CONTROL
#undef ERROR_KEY_DELETED
#undef ERROR_MOD_NOT_FOUND
#undef ERROR_MORE_DATA
#undef ERROR_NOT_ENOUGH_MEMORY
#undef ERROR_NOT_SUPPORTED
#undef ERROR_NO_DATA
#undef ERROR_NO_MORE_FILES
#undef ERROR_NO_MORE_ITEMS
#undef ERROR_NO_SUCH_DOMAIN
#undef ERROR_OUTOFMEMORY
#undef ERROR_PATH_NOT_FOUND
#undef ERROR_PROC_NOT_FOUND
#undef ERROR_READ_FAULT
#undef ERROR_REGISTRY_IO_FAILED
#undef ERROR_SERVICE_DOES_NOT_EXIST
#undef ERROR_SHARING_VIOLATION
#undef ERROR_SUCCESS
#undef ERROR_WRITE_FAULT
#undef FILE_APPEND_DATA
#undef FILE_ATTRIBUTE_DIRECTORY
#undef FILE_ATTRIBUTE_NORMAL
#undef FILE_BEGIN
#undef FILE_CURRENT
#undef FILE_END
#undef FILE_FLAG_BACKUP_SEMANTICS
#undef FILE_SHARE_DELETE
#undef FILE_SHARE_READ
#undef FILE_SHARE_WRITE
#undef GENERIC_READ
#undef GENERIC_WRITE
#undef INVALID_FILE_ATTRIBUTES
#undef KEY_ALL_ACCESS
#undef KEY_CREATE_SUB_KEY
#undef KEY_ENUMERATE_SUB_KEYS
#undef KEY_QUERY_VALUE
#undef KEY_READ
#undef KEY_SET_VALUE
#undef KEY_WOW64_32KEY
#undef KEY_WOW64_64KEY
#undef KEY_WOW64_RES
#undef KEY_WRITE
#undef MAX_ADAPTER_ADDRESS_LENGTH
#undef MOVEFILE_COPY_ALLOWED
#undef MOVEFILE_REPLACE_EXISTING
#undef NTE_BAD_KEY
#undef NTE_BAD_KEYSET
#undef NTE_EXISTS
#undef NTE_NO_KEY
#undef NTE_PROV_TYPE_NOT_DEF
#undef OPEN_ALWAYS
#undef OPEN_EXISTING
#undef PROCESSOR_ARCHITECTURE_AMD64
#undef PROCESSOR_ARCHITECTURE_INTEL
#undef PROV_RSA_FULL
#undef REGDB_E_CLASSNOTREG
#undef REG_BINARY
#undef REG_CREATED_NEW_KEY
#undef REG_DWORD
#undef REG_DWORD_BIG_ENDIAN
#undef REG_EXPAND_SZ
#undef REG_LINK
#undef REG_MULTI_SZ
#undef REG_NONE
#undef REG_OPENED_EXISTING_KEY
#undef REG_QWORD
#undef REG_SZ
#undef RPC_C_AUTHN_LEVEL_CALL
#undef RPC_C_AUTHN_WINNT
#undef RPC_C_AUTHZ_NONE
#undef RPC_C_IMP_LEVEL_IMPERSONATE
#undef SC_MANAGER_CONNECT
#undef SERVICE_USER_DEFINED_CONTROL
#undef S_FALSE
#undef S_OK
#undef TRUNCATE_EXISTING
#undef VER_NT_DOMAIN_CONTROLLER
#undef VER_NT_SERVER
#undef VER_NT_WORKSTATION
#undef VER_SUITE_BLADE
#undef VER_SUITE_DATACENTER
#undef VER_SUITE_ENTERPRISE
#undef VER_SUITE_PERSONAL
#undef VER_SUITE_SMALLBUSINESS
#undef VER_SUITE_SMALLBUSINESS_RESTRICTED
#undef VER_SUITE_TERMINAL
#undef WT_EXECUTEDEFAULT
#undef HKEY_CLASSES_ROOT
#undef HKEY_CURRENT_CONFIG
#undef HKEY_CURRENT_USER
#undef HKEY_DYN_DATA
#undef HKEY_LOCAL_MACHINE
#undef HKEY_USERS
#undef MS_DEF_PROV_A
#undef CopyFile
#undef CreateFile
#undef DeleteFile
#undef FindFirstFile
#undef FindNextFile
#undef GetCurrentDirectory
#undef GetEnvironmentVariable
#undef GetFileAttributes
#undef GetVersionEx
#undef MoveFile
#undef MoveFileEx
#undef OpenSCManager
#undef OpenService
#undef RemoveDirectory
