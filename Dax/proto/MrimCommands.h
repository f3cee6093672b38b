// The commands of the MRIM session the plug-in sends or handles, and their table: code, direction
// and name. Codes not in the table are skipped by the reader's owner.
#pragma once

namespace Mrim {

enum Command : unsigned {
    CmdHello = 0x1001,
    CmdHelloAck = 0x1002,
    CmdLoginAck = 0x1004,
    CmdLoginRejected = 0x1005,
    CmdPing = 0x1006,
    CmdMessage = 0x1008,
    CmdMessageIncoming = 0x1009,
    CmdUserStatus = 0x100F,
    CmdMessageReceived = 0x1011,
    CmdMessageStatus = 0x1012,
    CmdLogout = 0x1013,
    CmdConnectionParams = 0x1014,
    CmdUserInfo = 0x1015,
    CmdAddContact = 0x1019,
    CmdAddContactAck = 0x101A,
    CmdModifyContact = 0x101B,
    CmdModifyContactAck = 0x101C,
    CmdOfflineMessage = 0x101D,
    CmdDeleteOfflineMessage = 0x101E,
    CmdAuthorize = 0x1020,
    CmdAuthorizeAck = 0x1021,
    CmdChangeStatus = 0x1022,
    CmdWebSessionRequest = 0x1024,
    CmdWebSessionKey = 0x1025,
    CmdAnketaInfo = 0x1028,
    CmdDirectoryRequest = 0x1029,
    CmdMailboxStatus = 0x1033,
    CmdContactList = 0x1037,
    CmdLogin = 0x1038,
    CmdNewMail = 0x1048,
};

enum class Direction { ToServer, FromServer };

struct CommandInfo {
    unsigned code;
    Direction direction;
    const char* name;
};

// The 30 rows in code order.
extern const CommandInfo CommandTable[30];
// The row of code, or null.
const CommandInfo* FindCommand(unsigned code);

// Sequence marks of directory requests: the answer's sequence tells a details request from a search.
enum : unsigned { SearchSequenceMark = 0x70000000, DetailsSequenceMark = 0x90000000 };

} // namespace Mrim
