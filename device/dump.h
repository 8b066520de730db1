// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A device memory in readable form: the settings by parameter, the number records in use and the log
// records that hold an event.
#include <string>
#include <vector>

#include "device/device_memory.h"

namespace torvane::device {

std::vector<std::string> DescribeMemory(const TDeviceMemory& memory);
std::string DescribeNumberRecord(const TNumberRecord& record);
std::string DescribeHistoryRecord(const THistoryRecord& record);

}  // namespace torvane::device
