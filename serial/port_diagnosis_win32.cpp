// SPDX-License-Identifier: GPL-3.0-or-later
// The diagnosis on Windows. A serial port has one opener at a time and no permissions to speak of,
// so "access denied" means another program holds it; Windows cannot be asked which one without
// privileges, but Resource Monitor shows it. A port that is not there is an adapter unplugged or one
// without its driver, which Device Manager shows.
#include <windows.h>

#include <string>

#include "core/message.h"
#include "serial/port_diagnosis.h"
#include "serial/serial_texts.h"
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
      d.Lines.push_back(FillText(kComPortBusy, {port}));
      d.Lines.push_back(FillText(kComPortBusyFix, {port}));
      break;
    case TCause::Vanished:
      d.Lines.push_back(FillText(
          code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? kComPortMissing : kComPortNoDevice,
          {port}));
      d.Lines.push_back(kComPortMissingFix);
      break;
    case TCause::NotASerialPort:
      d.Lines.push_back(FillText(kPortNotSerial, {port}));
      d.Lines.push_back(kComPortNotSerialFix);
      break;
  }
  return d;
}

}  // namespace torvane
