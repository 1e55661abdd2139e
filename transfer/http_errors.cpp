// The texts the agent logs for WinHTTP's error codes. Support staff know
// them by heart, so they stay as they have always been, blanks included.

#include "transfer/http_errors.h"

#include "agent/error_texts.h"
#include "base/log_writer.h"

namespace kv {
namespace {

struct WinHttpErrorEntry {
  DWORD code;
  const char* text;
};

constexpr const char* kResendText =
    "The WinHTTP function failed. The desired function can be retried on the same request handle \n";

constexpr WinHttpErrorEntry kWinHttpErrors[] = {
    {12001, "No more handles could be generated at this time (Obsolete; no longer used.)\n"},
    {12002, "The request has timed out.\n"},
    {12003, "An extended error was returned from the server.\n"},
    {12004, "An internal error has occurred.\n"},
    {12005, "The URL is invalid.\n"},
    {12006, "The URL scheme could not be recognized, or is not supported.(other than 'http:' or 'https:'.)\n"},
    {12007, "The server name could not be resolved.\n"},
    {12008, "The requested protocol could not be located.\n"},
    {12009, "A request to InternetQueryOption or WinHttpSetOption specified an invalid option value.\n"},
    {12010,
     "The length of an option supplied to InternetQueryOption or WinHttpSetOption is incorrect for the type of option specified.\n"},
    {12011, "The request option can not be set, only queried.\n "},
    {12012, "The WinHTTP function support is being shutdown or unloaded.\n"},
    {12013,
     "The request to connect and login to an FTP server could not be completed because the supplied user name is incorrect.\n"},
    {12014,
     "The request to connect and login to an FTP server could not be completed because the supplied password is incorrect.\n"},
    {12015,
     "The login attempt failed . A new request handle must be created before retrying the function that originally produced this error. \n"},
    {12016, "The requested operation is invalid.\n"},
    {12017,
     "The operation was canceled, usually because the handle on which the request was operating was closed before the operation completed.\n"},
    {12018, "The type of handle supplied is incorrect for this operation.\n"},
    {12019,
     "The requested operation can not be carried out because the handle supplied is not in the correct state.\n"},
    {12020, "The request can not be made via a proxy.\n"},
    {12021, "A required registry value could not be located.\n"},
    {12022, "A required registry value was located but is an incorrect type or has an invalid value.\n"},
    {12023, "Direct network access cannot be made at this time. \n"},
    {12024, "An asynchronous request could not be made because a zero context value was supplied.\n"},
    {12025, "An asynchronous request could not be made because a callback function has not been set.\n"},
    {12026, "The required operation could not be completed because one or more requests are pending.\n"},
    {12027, "The format of the request is invalid.\n"},
    {12028, "The requested item could not be located.\n"},
    {12029, "The attempt to connect to the server failed.\n"},
    {12030, "The connection with the server has been terminated or an incompatible SSL protocol was encountered .\n"},
    {12031, "The connection with the server has been reset.\n"},
    {12032, kResendText},
    {12033, "The request to the proxy was invalid. \n"},
    {12034, "Need UI\n"},
    {12035, "Sec Cert Date Invalid\n"},
    {12036, "The request failed because the handle already exists.\n"},
    {12037, "SSL certificate date that was received from the server is bad. The certificate is expired. \n"},
    {12038,
     "SSL certificate common name (host name field) is incorrect. For example, the request went to www.example.com "
     "but the certificate was issued to www.example.net. \n"},
    {12039, "The application is moving from a non-SSL to an SSL connection because of a redirect. \n"},
    {12040, "The application is moving from an SSL to an non-SSL connection because of a redirect. \n"},
    {12041,
     "Indicates that the content is not entirely secure. Some of the content being viewed may have come from unsecured servers. \n"},
    {12042,
     "The application is posting and attempting to change multiple lines of text on a server that is not secure. \n"},
    {12043, "The application is posting data to a server that is not secure. \n"},
    {12044, "Client Auth Cert Needed\n"},
    {12045,
     "Indicates that a certificate chain was processed, but terminated in a root certificate that is not trusted by the trust provider (equivalent to CERT_E_UNTRUSTEDROOT). \n"},
    {12046, "Client Auth Not Setup\n"},
    {12057,
     "Indicates that revocation cannot be checked because the revocation server was offline (equivalent to CRYPT_E_REVOCATION_OFFLINE). \n"},
    {12100, "requested operation cannot be performed before calling the Open method \n"},
    {12101, "requested operation cannot be performed before calling the Send method \n"},
    {12102, "Requested operation cannot be performed after calling the Send method. \n"},
    {12103, "Option cannot be requested after the Open method has been called \n"},
    {12150, "The requested header could not be located. \n"},
    {12151, "The server did not return any headers. \n"},
    {12152, "The server response could not be parsed. \n"},
    {12153, "The supplied header is invalid. \n"},
    {12154, "The request made to HttpQueryInfo is invalid. \n"},
    {12155, "The header could not be added because it already exists. \n"},
    {12156,
     "The redirection failed because either the scheme changed (for example, HTTP to FTP) or all attempts made to redirect failed (default is five attempts). \n"},
    {12157,
     "Indicates that an error occurred having to do with a secure channel.The application experienced an internal error loading the SSL libraries\n"},
    {12158, "The function was unable to cache the file\n"},
    {12159, "TCP/IP not installed\n"},
    {12166, "An error occurred executing the script code in the Proxy Auto-Configuration (PAC) file\n"},
    {12167,
     "The PAC file cannot be downloaded. For example, the server referenced by the PAC URL may not have been reachable, or the server returned a 404 NOT FOUND response \n"},
    {12169,
     "Indicates that a certificate is invalid (equivalent to errors such as CERT_E_ROLE, CERT_E_PATHLENCONST, CERT_E_CRITICAL, CERT_E_PURPOSE, CERT_E_ISSUERCHAINING, CERT_E_MALFORMED and CERT_E_CHAINING)."},
    {12170, "Indicates that a certificate has been revoked (equivalent to CRYPT_E_REVOKED).\n"},
    {12172, "Obsolete; no longer used.  \n"},
    {12175, "One or more errors were found in the Secure Sockets Layer (SSL) certificate sent by the server .\n"},
    {12178, "Proxy for the specified URL cannot be located\n"},
    {12179, "Indicates that a certificate is not valid for the requested usage (equivalent to CERT_E_WRONG_USAGE).\n"},
    {12180, "unable to discover the URL of the Proxy Auto-Configuration (PAC) file \n"},
    {12181, "A larger number of headers were present in a response than WinHTTP could receive \n"},
    {12182, "The size of headers received exceeds the limit for the request handle \n"},
    {12183, "An overflow condition is encountered in the course of parsing chunked encoding  \n"},
    {12184, kResendText},
};

}  // namespace

const char* WinHttpErrorText(DWORD code) {
  for (const auto& entry : kWinHttpErrors) {
    if (entry.code == code) return entry.text;
  }
  return nullptr;
}

void HttpGetLastError(DWORD code) {
  if (const char* text = WinHttpErrorText(code)) {
    LogError("HttpGetLastError: %s", text);
  } else {
    LogErrorCodeText(code);
  }
}

}  // namespace kv
