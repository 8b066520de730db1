// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the serial port component says to the operator, in one place: above all why a port could
// not be opened and what to do about it.
namespace torvane {

// Linux: a port the user may not open. %1 is the port, %2 its mode as ls shows it ("crw-rw----"),
// %3 its group.
inline constexpr char kPortNotExamined[] = "%1 cannot be examined: %2.";
inline constexpr char kPortDialoutFix[] =
    "Serial ports usually belong to group dialout: sudo adduser $USER dialout, then log out and log in "
    "again.";
inline constexpr char kPortGroupMayNotUse[] =
    "%1 (%2) belongs to group %3, which you are in, but the group may not read and write it.";
inline constexpr char kPortGroupMayNotUseFix[] =
    "Fix: give the group read and write access (a udev rule with GROUP=\"%1\", MODE=\"0660\"), or ask "
    "the administrator.";
inline constexpr char kPortGroupJoinedLater[] =
    "%1 (%2) belongs to group %3: you were added to it, but this session started before that.";
inline constexpr char kPortGroupJoinedLaterFix[] = "Fix: log out and log in again (or restart the computer).";
inline constexpr char kPortGroupNotJoined[] = "%1 (%2) belongs to group %3, and you are not in it.";
inline constexpr char kPortGroupNotJoinedFix[] = "Fix: sudo adduser $USER %1, then log out and log in again.";

// Linux: a port that another program, or this one, holds. %1 is the port; %2 a holder's name, %3
// its process number.
inline constexpr char kPortOpenHere[] =
    "%1 is open in this program already: the port was named twice, perhaps under two names (ttyUSB0 "
    "and /dev/ttyUSB0, or a link to it).";
inline constexpr char kPortHolderUnknown[] =
    "%1 is in use by another program, which could not be found (it may run as another user).";
inline constexpr char kPortHolderUnknownFix[] = "Fix: find it with: sudo fuser -v %1, and close it.";
inline constexpr char kPortHeldBy[] = "%1 is held by %2 (process %3).";
inline constexpr char kPortHeldByModemManager[] =
    "ModemManager probes every new serial port for a modem. Stop it with: sudo systemctl stop "
    "ModemManager. The torvane-configurator package's udev rule (ID_MM_DEVICE_IGNORE) keeps it off the "
    "common USB serial adapters; plug the adapter in again after installing it.";
inline constexpr char kPortHeldByBrltty[] =
    "brltty (a Braille display service) takes some USB serial adapters (CH340, CP210x) for itself. Stop "
    "it with: sudo systemctl stop brltty, or remove it: sudo apt remove brltty.";
inline constexpr char kPortHeldByFix[] = "Fix: close %1, or stop it with: kill %2.";

// Linux: a port that is not there, or not a serial port. %1 is the port.
inline constexpr char kPortMissing[] =
    "%1 does not exist (any more): the adapter is unplugged, or it came back under another name.";
inline constexpr char kPortNoDevice[] =
    "%1 has no device behind it: the adapter is unplugged or its driver is gone.";
inline constexpr char kPortMissingFix[] = "Fix: plug the adapter in and pick its port from the list.";
inline constexpr char kPortNotSerial[] = "%1 is not a serial port.";
inline constexpr char kPortNotSerialFix[] =
    "Fix: pick a serial port (ttyUSB*, ttyACM*, ttyS*) from the list.";

// Windows: the same causes, where a port is named COM7. %1 is the port.
inline constexpr char kComPortBusy[] =
    "%1 is in use by another program (a serial port has one user at a time).";
inline constexpr char kComPortBusyFix[] =
    "Fix: close it. To find it: Resource Monitor (resmon), CPU tab, Associated Handles: search for %1 or "
    "\"Serial\"; the process listed holds the port.";
inline constexpr char kComPortMissing[] =
    "%1 does not exist (any more): the adapter is unplugged, it came back under another number, or "
    "Windows has no driver for it.";
inline constexpr char kComPortNoDevice[] =
    "%1 has no device behind it: the adapter is unplugged or its driver stopped.";
inline constexpr char kComPortMissingFix[] =
    "Fix: plug the adapter in and pick its port from the list. Device Manager shows it under \"Ports (COM "
    "& LPT)\"; under \"Other devices\", with a warning sign, it lacks its driver: install the one for its "
    "chip (CH340, CP210x or FTDI).";
inline constexpr char kComPortNotSerialFix[] = "Fix: pick a serial port (COM1, COM2, ...) from the list.";

// Hot-plug: why the ports are not watched. %1 is the folder given in place of the system's root.
inline constexpr char kUdevOtherRoot[] = "udev reports the system's devices, not those of %1";

}  // namespace torvane
