#pragma once
// Loopback ports for servers the tests start.

namespace kv::test {

// A TCP port on 127.0.0.1 that was free a moment ago (another process may
// take it first: a server that fails to bind tries another).
unsigned FreePort();

// Whether something accepts TCP connections on 127.0.0.1:port.
bool Accepts(unsigned port);

// A server that hangs: it listens on 127.0.0.1 and never answers. The
// system completes the connections it does not accept, so a client
// connects, sends its request and waits for an answer that never comes.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;

  unsigned Port() const { return port_; }

 private:
  int fd_ = -1;
  unsigned port_ = 0;
};

}  // namespace kv::test
