// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the protocol's part of the program says to the operator, in one place: the exchange engine, the
// receive side, the login and the single commands.
namespace torvane {

// The exchange engine and the receive side.
inline constexpr char kReceiveTimeout[] = "Receive timeout";
inline constexpr char kInvalidData[] = "Invalid data";
inline constexpr char kDataCommunication[] = "Data communication";
inline constexpr char kUndefinedData[] = "Undefined data";
inline constexpr char kUndefinedAddress[] = "Undefined address";
inline constexpr char kReplyIgnored[] = "Unexpected reply ignored";

// A read or a save stopped by the operator after the page in flight ("Stopped after page 7 of 25.").
inline constexpr char kStoppedAfter[] = "Stopped after page %1 of %2.";
inline constexpr char kStoppedAfterStatus[] = "Stopped after page %1 of %2";
inline constexpr char kStoppedRead[] = " The grid keeps the pages read so far.";
inline constexpr char kStoppedProbe[] =
    " That was the check that the device is the one last read: nothing was written to the device.";
inline constexpr char kStoppedBackup[] =
    " That was the backup read before the save: nothing was written to the device.";
inline constexpr char kStoppedWriteHolds[] =
    " The device now holds the first %1 pages sent of the new %2 and the rest of the old one.";
inline constexpr char kStoppedWriteBackup[] = " The old one is kept in the backup %1.";
inline constexpr char kStoppedWritten[] =
    " Every page was written; none was read back to check that the device kept them.";
inline constexpr char kStoppedVerify[] =
    " Every page was written; the rest were not read back to check that the device kept them.";
// A save whose probe (or backup read) found the device other than the remembered pages: said in its
// closing box, under the box's own text.
inline constexpr char kOtherDeviceBackedUp[] = "The device was not the one last read: it was backed up first";
// A save whose pages, read back, are not what was sent.
inline constexpr char kNotKept[] = "The device did not keep what was saved on page %1.";

// The login.
inline constexpr char kLoginRequest[] = "Read settings";
inline constexpr char kLoginWaiting[] = "Password verifing";
inline constexpr char kLoginReply[] = "Reading basic setting";
inline constexpr char kPasswordConfirmed[] = "Password confirmed!";
inline constexpr char kPasswordError[] = "Password Error!";

// The single commands. The device firmware's own wording: both payload-less commands show it.
inline constexpr char kCommandRequest[] = "Password verifying";
inline constexpr char kTimeSyncRequest[] = "发送同步时间命令";
inline constexpr char kTimeSyncReply[] = "Receives the data synchronization command returns";
inline constexpr char kTimeSyncAccepted[] = "1同步时间返回正确";
inline constexpr char kTimeSyncRefused[] = "0同步时间返回错误";
// "Set device clock": the one box names the time the device took.
inline constexpr char kDeviceClockSet[] = "The device clock was set to %1, this PC's local time.";
inline constexpr char kCheckModeReply[] = "Checking mode";
inline constexpr char kCheckModeAccepted[] = "Enter";
inline constexpr char kCheckModeRefused[] = "Error";
inline constexpr char kDeleteHistoryReply[] = "Delete command";
inline constexpr char kDeleteHistoryAccepted[] = "Historical data deleted";
inline constexpr char kDeleteHistoryRefused[] = "Historical data delet error";

}  // namespace torvane
