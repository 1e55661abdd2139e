#pragma once
// Loopback ports for servers the tests start.

namespace kv::test {

// A TCP port on 127.0.0.1 that was free a moment ago (another process may
// take it first: a server that fails to bind tries another).
unsigned FreePort();

// Whether something accepts TCP connections on 127.0.0.1:port.
bool Accepts(unsigned port);

}  // namespace kv::test
