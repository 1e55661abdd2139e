// The system's message table of the emulated machine: the English texts
// Windows gives for the error codes the agent meets, each with the line end
// the system table carries.

#include <algorithm>
#include <iterator>

#include "platform/system.h"

namespace kv {
namespace {

struct SystemMessage {
  DWORD code;
  const char16_t* text;
};

// Sorted by code.
constexpr SystemMessage kMessages[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {4, u"The system cannot open the file.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {7, u"The storage control blocks were destroyed.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {9, u"The storage control block address is invalid.\r\n"},
    {10, u"The environment is incorrect.\r\n"},
    {11, u"An attempt was made to load a program with an incorrect format.\r\n"},
    {12, u"The access code is invalid.\r\n"},
    {13, u"The data is invalid.\r\n"},
    {14, u"Not enough memory resources are available to complete this operation.\r\n"},
    {15, u"The system cannot find the drive specified.\r\n"},
    {16, u"The directory cannot be removed.\r\n"},
    {17, u"The system cannot move the file to a different disk drive.\r\n"},
    {18, u"There are no more files.\r\n"},
    {19, u"The media is write protected.\r\n"},
    {20, u"The system cannot find the device specified.\r\n"},
    {21, u"The device is not ready.\r\n"},
    {23, u"Data error (cyclic redundancy check).\r\n"},
    {29, u"The system cannot write to the specified device.\r\n"},
    {30, u"The system cannot read from the specified device.\r\n"},
    {31, u"A device attached to the system is not functioning.\r\n"},
    {32, u"The process cannot access the file because it is being used by another process.\r\n"},
    {33, u"The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {38, u"Reached the end of the file.\r\n"},
    {39, u"The disk is full.\r\n"},
    {50, u"The request is not supported.\r\n"},
    {53, u"The network path was not found.\r\n"},
    {67, u"The network name cannot be found.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {109, u"The pipe has been ended.\r\n"},
    {111, u"The file name is too long.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {120, u"This function is not supported on this system.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, u"The specified module could not be found.\r\n"},
    {127, u"The specified procedure could not be found.\r\n"},
    {145, u"The directory is not empty.\r\n"},
    {161, u"The specified path is invalid.\r\n"},
    {170, u"The requested resource is in use.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {193, u"%1 is not a valid Win32 application.\r\n"},
    {206, u"The filename or extension is too long.\r\n"},
    {232, u"The pipe is being closed.\r\n"},
    {234, u"More data is available.\r\n"},
    {258, u"The wait operation timed out.\r\n"},
    {259, u"No more data is available.\r\n"},
    {267, u"The directory name is invalid.\r\n"},
    {995, u"The I/O operation has been aborted because of either a thread exit or an application request.\r\n"},
    {997, u"Overlapped I/O operation is in progress.\r\n"},
    {998, u"Invalid access to memory location.\r\n"},
    {1008, u"An attempt was made to reference a token that does not exist.\r\n"},
    {1009, u"The configuration registry database is corrupt.\r\n"},
    {1010, u"The configuration registry key is invalid.\r\n"},
    {1011, u"The configuration registry key could not be opened.\r\n"},
    {1012, u"The configuration registry key could not be read.\r\n"},
    {1013, u"The configuration registry key could not be written.\r\n"},
    {1016,
     u"An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, "
     u"or write out, or flush, one of the files that contain the system's image of the registry.\r\n"},
    {1018, u"Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {1052, u"The requested control is not valid for this service.\r\n"},
    {1053, u"The service did not respond to the start or control request in a timely fashion.\r\n"},
    {1056, u"An instance of the service is already running.\r\n"},
    {1058,
     u"The service cannot be started, either because it is disabled or because it has no enabled "
     u"devices associated with it.\r\n"},
    {1060, u"The specified service does not exist as an installed service.\r\n"},
    {1061, u"The service cannot accept control messages at this time.\r\n"},
    {1062, u"The service has not been started.\r\n"},
    {1072, u"The specified service has been marked for deletion.\r\n"},
    {1073, u"The specified service already exists.\r\n"},
    {1168, u"Element not found.\r\n"},
    {1223, u"The operation was canceled by the user.\r\n"},
    {1314, u"A required privilege is not held by the client.\r\n"},
    {1326, u"The user name or password is incorrect.\r\n"},
    {1332, u"No mapping between account names and security IDs was done.\r\n"},
    {1355, u"The specified domain either does not exist or could not be contacted.\r\n"},
    {1460, u"This operation returned because the timeout period expired.\r\n"},
    {1602, u"User cancelled installation.\r\n"},
    {1603, u"Fatal error during installation.\r\n"},
    {1618,
     u"Another installation is already in progress. Complete that installation before proceeding "
     u"with this install.\r\n"},
    {1641,
     u"The requested operation completed successfully. The system will be restarted so the changes "
     u"can take effect.\r\n"},
    {1722, u"The RPC server is unavailable.\r\n"},
    {1726, u"The remote procedure call failed.\r\n"},
    {2250, u"This network connection does not exist.\r\n"},
    {3010,
     u"The requested operation is successful. Changes will not be effective until the system is "
     u"rebooted.\r\n"},
    {10054, u"An existing connection was forcibly closed by the remote host.\r\n"},
    {10060,
     u"A connection attempt failed because the connected party did not properly respond after a "
     u"period of time, or established connection failed because connected host has failed to "
     u"respond.\r\n"},
    {10061, u"No connection could be made because the target machine actively refused it.\r\n"},
    {11001, u"No such host is known.\r\n"},
};

static_assert(std::is_sorted(std::begin(kMessages), std::end(kMessages),
                             [](const SystemMessage& a, const SystemMessage& b) { return a.code < b.code; }));

// The maximum-width flag ignores the table's line breaks: each becomes one blank.
std::u16string JoinLines(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
      out.push_back(u' ');
      ++i;
    } else if (text[i] == u'\n' || text[i] == u'\r') {
      out.push_back(u' ');
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

std::optional<std::u16string> FormatSystemMessage(DWORD code, bool singleLine) {
  const auto* end = std::end(kMessages);
  const auto* it =
      std::lower_bound(std::begin(kMessages), end, code, [](const SystemMessage& m, DWORD c) { return m.code < c; });
  if (it == end || it->code != code) return std::nullopt;
  if (singleLine) return JoinLines(it->text);
  return std::u16string(it->text);
}

}  // namespace kv
