#pragma once
// How the stand-in libraries export their functions: as the real client
// library does, undecorated and, on 32-bit Windows, with the __stdcall
// convention of Windows' APIs (the build links with --kill-at so that the
// names carry no "@n" suffix).

#if defined(_WIN32)
#define KV_MPCLIENT_EXPORT __declspec(dllexport)
#else
#define KV_MPCLIENT_EXPORT __attribute__((visibility("default")))
#endif

#if defined(_WIN32) && (defined(_M_IX86) || defined(__i386__))
#define KV_MPCLIENT_CALL __stdcall
#else
#define KV_MPCLIENT_CALL
#endif
