// The service control manager through advapi32.

#include "platform/services.h"

#include "platform/win32/wide.h"

namespace kv {

struct ServiceHandle::State {
  ::SC_HANDLE handle = nullptr;
  ~State() {
    if (handle) ::CloseServiceHandle(handle);
  }
};

ServiceHandle::ServiceHandle() = default;
ServiceHandle::ServiceHandle(ServiceHandle&&) noexcept = default;
ServiceHandle& ServiceHandle::operator=(ServiceHandle&&) noexcept = default;
ServiceHandle::~ServiceHandle() = default;

bool ServiceHandle::IsOpen() const { return state_ != nullptr; }

DWORD OpenSCManager(DWORD access, ServiceHandle* manager) {
  if (!manager) return win32::Fail(ERROR_INVALID_PARAMETER);
  *manager = ServiceHandle();
  const ::SC_HANDLE handle = ::OpenSCManagerW(nullptr, nullptr, access);
  if (!handle) return win32::LastFailure();
  manager->state_ = std::make_unique<ServiceHandle::State>();
  manager->state_->handle = handle;
  return ERROR_SUCCESS;
}

DWORD OpenService(const ServiceHandle& manager, std::u16string_view name, DWORD access, ServiceHandle* service) {
  if (!service) return win32::Fail(ERROR_INVALID_PARAMETER);
  *service = ServiceHandle();
  if (!manager.state_) return win32::Fail(ERROR_INVALID_HANDLE);
  const ::SC_HANDLE handle = ::OpenServiceW(manager.state_->handle, win32::Wide(name).c_str(), access);
  if (!handle) return win32::LastFailure();
  service->state_ = std::make_unique<ServiceHandle::State>();
  service->state_->handle = handle;
  return ERROR_SUCCESS;
}

DWORD ControlService(const ServiceHandle& service, DWORD controlCode) {
  if (!service.state_) return win32::Fail(ERROR_INVALID_HANDLE);
  SERVICE_STATUS status{};
  return ::ControlService(service.state_->handle, controlCode, &status) ? ERROR_SUCCESS : win32::LastFailure();
}

}  // namespace kv
