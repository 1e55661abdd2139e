#include "base/status.h"

#include <utility>

namespace kv {

Status::Status(const Status& other)
    : state_(other.state_ ? std::make_unique<const State>(*other.state_) : nullptr) {}

Status& Status::operator=(const Status& other) {
  if (this != &other) state_ = other.state_ ? std::make_unique<const State>(*other.state_) : nullptr;
  return *this;
}

Status Status::Failure(std::string message, Code code) {
  Status status;
  // A failure always says it failed, even when asked to be "ok".
  status.state_ = std::make_unique<const State>(State{code == Code::kOk ? Code::kFailed : code, std::move(message)});
  return status;
}

}  // namespace kv
