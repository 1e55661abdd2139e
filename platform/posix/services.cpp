// The service control manager of the emulated machine: the services are the
// names listed under "services" in machine.json, and every control code sent
// to one is appended to the image's "scm-controls.log" as "name code".

#include "platform/services.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/last_error.h"
#include "platform/posix/image_files.h"
#include "platform/posix/machine.h"
#include "platform/unicode.h"

namespace kv {
namespace {

DWORD Fail(DWORD code) {
  SetLastError(code);
  return code;
}

// The service's name as the machine lists it, or empty when it has none such.
std::string FindService(std::u16string_view name) {
  const auto& services = posix::MachineValue("/services");
  if (!services.is_array()) return {};
  const std::string wanted = Utf16ToUtf8(name);
  for (const auto& service : services)
    if (service.is_string() && EqualsNoCase(std::string_view(service.get_ref<const std::string&>()), wanted))
      return service.get<std::string>();
  return {};
}

}  // namespace

struct ServiceHandle::State {
  bool isManager = false;
  std::string serviceName;  // as listed in machine.json
};

ServiceHandle::ServiceHandle() = default;
ServiceHandle::ServiceHandle(ServiceHandle&&) noexcept = default;
ServiceHandle& ServiceHandle::operator=(ServiceHandle&&) noexcept = default;
ServiceHandle::~ServiceHandle() = default;

bool ServiceHandle::IsOpen() const { return state_ != nullptr; }

DWORD OpenSCManager(DWORD access, ServiceHandle* manager) {
  (void)access;
  if (!manager) return Fail(ERROR_INVALID_PARAMETER);
  manager->state_ = std::make_unique<ServiceHandle::State>();
  manager->state_->isManager = true;
  return ERROR_SUCCESS;
}

DWORD OpenService(const ServiceHandle& manager, std::u16string_view name, DWORD access, ServiceHandle* service) {
  (void)access;
  if (!service) return Fail(ERROR_INVALID_PARAMETER);
  *service = ServiceHandle();
  if (!manager.state_ || !manager.state_->isManager) return Fail(ERROR_INVALID_HANDLE);
  std::string listed = FindService(name);
  if (listed.empty()) return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
  service->state_ = std::make_unique<ServiceHandle::State>();
  service->state_->serviceName = std::move(listed);
  return ERROR_SUCCESS;
}

DWORD ControlService(const ServiceHandle& service, DWORD controlCode) {
  if (!service.state_ || service.state_->isManager) return Fail(ERROR_INVALID_HANDLE);
  const std::string path = posix::Machine().directory + "/scm-controls.log";
  const std::string line = service.state_->serviceName + " " + std::to_string(controlCode) + "\n";
  // One write to a file opened for appending: lines of several processes
  // never mix.
  const int fd = posix::OpenImageFile(path, O_WRONLY | O_CREAT | O_APPEND);
  if (fd < 0) return Fail(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
  const ssize_t written = ::write(fd, line.data(), line.size());
  ::close(fd);
  if (written != static_cast<ssize_t>(line.size())) return Fail(ERROR_WRITE_FAULT);
  return ERROR_SUCCESS;
}

}  // namespace kv
