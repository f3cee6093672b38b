#include "Dax/proto/MrimCommands.h"

namespace Mrim {

const CommandInfo CommandTable[30] = {
    {CmdHello, Direction::ToServer, "hello"},
    {CmdHelloAck, Direction::FromServer, "hello acknowledgement"},
    {CmdLoginAck, Direction::FromServer, "login accepted"},
    {CmdLoginRejected, Direction::FromServer, "login rejected"},
    {CmdPing, Direction::ToServer, "ping"},
    {CmdMessage, Direction::ToServer, "message"},
    {CmdMessageIncoming, Direction::FromServer, "message"},
    {CmdUserStatus, Direction::FromServer, "contact status"},
    {CmdMessageReceived, Direction::ToServer, "message received"},
    {CmdMessageStatus, Direction::FromServer, "message status"},
    {CmdLogout, Direction::FromServer, "logout"},
    {CmdConnectionParams, Direction::FromServer, "connection parameters"},
    {CmdUserInfo, Direction::FromServer, "user information"},
    {CmdAddContact, Direction::ToServer, "add contact"},
    {CmdAddContactAck, Direction::FromServer, "add-contact acknowledgement"},
    {CmdModifyContact, Direction::ToServer, "modify contact"},
    {CmdModifyContactAck, Direction::FromServer, "modify-contact acknowledgement"},
    {CmdOfflineMessage, Direction::FromServer, "offline message"},
    {CmdDeleteOfflineMessage, Direction::ToServer, "delete offline message"},
    {CmdAuthorize, Direction::ToServer, "grant authorisation"},
    {CmdAuthorizeAck, Direction::FromServer, "authorisation granted"},
    {CmdChangeStatus, Direction::ToServer, "change status"},
    {CmdWebSessionRequest, Direction::ToServer, "web session request"},
    {CmdWebSessionKey, Direction::FromServer, "web session key"},
    {CmdAnketaInfo, Direction::FromServer, "anketa"},
    {CmdDirectoryRequest, Direction::ToServer, "directory request"},
    {CmdMailboxStatus, Direction::FromServer, "mailbox status"},
    {CmdContactList, Direction::FromServer, "contact list"},
    {CmdLogin, Direction::ToServer, "login"},
    {CmdNewMail, Direction::FromServer, "new mail"},
};

const CommandInfo* FindCommand(unsigned code)
{
    for (const CommandInfo& row : CommandTable)
        if (row.code == code) return &row;
    return nullptr;
}

} // namespace Mrim
