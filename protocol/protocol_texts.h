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
inline constexpr char kCheckModeReply[] = "Checking mode";
inline constexpr char kCheckModeAccepted[] = "Enter";
inline constexpr char kCheckModeRefused[] = "Error";
inline constexpr char kDeleteHistoryReply[] = "Delete command";
inline constexpr char kDeleteHistoryAccepted[] = "Historical data deleted";
inline constexpr char kDeleteHistoryRefused[] = "Historical data delet error";

}  // namespace torvane
