#pragma once
// How often one download may ask again for the rest of its body after its
// connection was lost. A server that stalls, drops the line after a few
// bytes or answers every request with the body from its start again must
// not keep a download going for ever: each new request has to bring bytes
// beyond the most the download ever held before another is granted, and a
// download makes only so many.

#include <cstdint>

namespace kv {

// New requests for the rest of one body, at most. A download that loses its
// connection this often is better ended and tried again later (the
// resumable one keeps its bytes for that).
constexpr int kReconnectsPerDownload = 5;

class ReconnectBudget {
 public:
  // The connection was lost while held bytes were in hand: true when one
  // more request may be made; a refusal is logged under the operation.
  bool Grant(const char* operation, std::uint64_t held);
  int used() const { return used_; }

 private:
  int used_ = 0;
  std::uint64_t mostHeld_ = 0;  // at the requests granted so far
};

}  // namespace kv
