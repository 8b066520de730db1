// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis on Windows. A serial port has one opener at a time and no permissions to speak of,
// so "access denied" means another program holds it; Windows cannot be asked which one without
// privileges, but Resource Monitor shows it. A port that is not there is an adapter unplugged or one
// without its driver, which Device Manager shows.
#include <windows.h>

#include <string>

#include "serial/port_diagnosis.h"
#include "serial/system_win32.h"

namespace torvane {

namespace {

using TCause = TPortDiagnosis::TCause;

TCause CauseOf(DWORD error) {
  switch (error) {
    case NO_ERROR:
      return TCause::Opened;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return TCause::Busy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_DEVICE_NOT_CONNECTED:
      return TCause::Vanished;
    case ERROR_INVALID_FUNCTION:
    case ERROR_INVALID_NAME:
    case ERROR_NOT_SUPPORTED:
      return TCause::NotASerialPort;
    default:
      return TCause::Other;
  }
}

// "\\.\COM7" is shown as the operator knows it, "COM7".
std::string PortName(const std::string& path) {
  const std::string prefix = "\\\\.\\";
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

}  // namespace

TPortDiagnosis DiagnosePort(const std::string& path, int error, const TDiagnosisSources&) {
  TPortDiagnosis d;
  const auto code = static_cast<DWORD>(error);
  d.Cause = CauseOf(code);
  if (code != NO_ERROR) d.Reason = WindowsErrorText(code);
  const std::string port = PortName(path);
  switch (d.Cause) {
    case TCause::Opened:
    case TCause::Other:
    case TCause::PermissionDenied:
      break;
    case TCause::Busy:
      d.Lines.push_back(port + " is in use by another program (a serial port has one user at a time).");
      d.Lines.push_back(
          "Fix: close it. To find it: Resource Monitor (resmon), CPU tab, Associated Handles: search for " +
          port + " or \"Serial\"; the process listed holds the port.");
      break;
    case TCause::Vanished:
      d.Lines.push_back(
          code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
              ? port +
                    " does not exist (any more): the adapter is unplugged, it came back under "
                    "another number, or Windows has no driver for it."
              : port + " has no device behind it: the adapter is unplugged or its driver stopped.");
      d.Lines.push_back(
          "Fix: plug the adapter in and pick its port from the list. Device Manager shows it under \"Ports "
          "(COM & "
          "LPT)\"; under \"Other devices\", with a warning sign, it lacks its driver: install the one for "
          "its "
          "chip (CH340, CP210x or FTDI).");
      break;
    case TCause::NotASerialPort:
      d.Lines.push_back(port + " is not a serial port.");
      d.Lines.push_back("Fix: pick a serial port (COM1, COM2, ...) from the list.");
      break;
  }
  return d;
}

}  // namespace torvane
