#pragma once
// The service control manager, as far as the agent uses it: open a service
// and send it a control code.

#include <memory>
#include <string_view>

#include "platform/win_types.h"

namespace kv {

constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;

class ServiceHandle {
 public:
  ServiceHandle();
  ServiceHandle(ServiceHandle&&) noexcept;
  ServiceHandle& operator=(ServiceHandle&&) noexcept;
  ~ServiceHandle();
  bool IsOpen() const;

 private:
  friend DWORD OpenSCManager(DWORD, ServiceHandle*);
  friend DWORD OpenService(const ServiceHandle&, std::u16string_view, DWORD, ServiceHandle*);
  friend DWORD ControlService(const ServiceHandle&, DWORD);
  struct State;
  std::unique_ptr<State> state_;
};

// The local computer's service control manager.
[[nodiscard]] DWORD OpenSCManager(DWORD access, ServiceHandle* manager);
// ERROR_SERVICE_DOES_NOT_EXIST for a service the machine does not have.
[[nodiscard]] DWORD OpenService(const ServiceHandle& manager, std::u16string_view name, DWORD access, ServiceHandle* service);
[[nodiscard]] DWORD ControlService(const ServiceHandle& service, DWORD controlCode);

}  // namespace kv
