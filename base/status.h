#pragma once
// The outcome of an operation: success, or a failure with a code and a
// message that says why. Success holds nothing but a null pointer, so a
// Status costs next to nothing on the paths that succeed.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

class [[nodiscard]] Status {
 public:
  enum class Code : std::uint8_t {
    kOk = 0,
    kFailed,        // the operation could not be done; the message says why
    kInvalid,       // the caller's input was refused
    kNotFound,      // what was named does not exist
    kOutOfMemory,   // an allocation failed
    kInterrupted,   // the user stopped it
  };

  Status() noexcept = default;
  Status(const Status& other);
  Status& operator=(const Status& other);
  Status(Status&&) noexcept = default;
  Status& operator=(Status&&) noexcept = default;
  ~Status() = default;

  static Status Ok() { return Status(); }
  static Status Failure(std::string message, Code code = Code::kFailed);

  bool ok() const { return state_ == nullptr; }
  Code code() const { return state_ ? state_->code : Code::kOk; }
  // Why it failed; empty on success.
  std::string_view message() const { return state_ ? std::string_view(state_->message) : std::string_view(); }

 private:
  struct State {
    Code code;
    std::string message;
  };
  std::unique_ptr<const State> state_;
};

}  // namespace kv
