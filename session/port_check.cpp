// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/port_check.h"

#include <cstdint>

#include "protocol/frame.h"

namespace torvane {

namespace {

TPortDiagnosis Diagnose(const TComm& comm, const TDiagnosisSources& sources) {
  return DiagnosePort(TComm::DevicePath(comm.CommName()), comm.PortOpenErrno(), sources);
}

}  // namespace

void PrepareForDevice(TComm& comm) {
  comm.SetBaudRate(115200);
  // Whatever has arrived is handed over as one block, not byte by byte.
  comm.SetInputLen(comm.InBufferSize());
  comm.SetReadIntervalTimeout(UINT32_MAX);
  // Adapters hand a reply over in bursts about a millisecond apart, some twenty for a page: with the
  // frame's own length read ahead, the reply comes as one block instead, so that a page costs one
  // notification and eight ports at once keep the CPU nearly idle.
  comm.SetReadAhead(FrameBytesMissing);
}

bool TryOpenPort(TComm& comm) {
  try {
    comm.OpenPort();
  } catch (const ECommsError&) {
    // PortOpenError and the reason are kept; the caller shows them as for any other failure.
  }
  return comm.PortOpen();
}

std::vector<std::string> OpenFailureLines(const TComm& comm, const TDiagnosisSources& sources) {
  const TPortDiagnosis d = Diagnose(comm, sources);
  std::vector<std::string> lines;
  lines.push_back(comm.PortOpenReason().empty() ? comm.PortOpenError() : comm.PortOpenReason());
  // Without a cause of its own the reason alone may not say what was refused ("Invalid argument").
  if (d.Lines.empty() && !comm.PortOpenReason().empty()) lines.push_back(comm.PortOpenError());
  lines.insert(lines.end(), d.Lines.begin(), d.Lines.end());
  return lines;
}

int RunCheckPort(const std::string& port, std::FILE* out, const TDiagnosisSources& sources) {
  TQueueNotifyTarget target;
  TComm comm(target);
  comm.SetCommName(port);
  comm.SetBaudRate(115200);
  const std::string path = TComm::DevicePath(port);
  if (TryOpenPort(comm)) {
    comm.ClosePort();
    std::fprintf(out, "%s: opens (115200 8N1)\n", path.c_str());
    return std::ferror(out) ? 1 : 0;
  }
  const TPortDiagnosis d = Diagnose(comm, sources);
  std::string head = path + ": " + comm.PortOpenError();
  // "File handle is not a comm handle " ends in a blank of its own.
  while (!head.empty() && head.back() == ' ') head.pop_back();
  if (!comm.PortOpenReason().empty()) head += ": " + comm.PortOpenReason();
  std::fprintf(out, "%s\n", head.c_str());
  for (const std::string& line : d.Lines) std::fprintf(out, "%s\n", line.c_str());
  return 1;
}

}  // namespace torvane
