// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the operator is told when a port will not open: the lines under the window's "COM Port error"
// box, and the same diagnosis as the output of --check-port, which needs no display.
#include <cstdio>
#include <string>
#include <vector>

#include "serial/comm.h"
#include "serial/port_diagnosis.h"

namespace torvane {

// How the window, torvane and the benchmarks set up the serial component for the device: 115200 baud,
// and each reply handed over whole (the frame's own length read ahead) rather than byte by byte.
void PrepareForDevice(TComm& comm);

// Opens `comm`; true when it is open. The failures that raise ECommsError and those that only leave
// their text in PortOpenError end alike: closed, with OpenFailureLines to tell why.
bool TryOpenPort(TComm& comm);

// After a failed OpenPort of `comm`: the system's reason, then the cause and the fix, one line each.
std::vector<std::string> OpenFailureLines(const TComm& comm, const TDiagnosisSources& sources = {});

// --check-port PORT: opens PORT as the window does (115200 8N1) and closes it again, and prints what
// happened to `out`. 0 when the port opened, 1 when not.
int RunCheckPort(const std::string& port, std::FILE* out, const TDiagnosisSources& sources = {});

}  // namespace torvane
