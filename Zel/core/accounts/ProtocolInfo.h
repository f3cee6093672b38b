// What a protocol plug-in says about each protocol it serves, and the protocols manager's own copy.
// ProtocolInfo crosses the module boundary inside a CZELArray that the plug-in fills and the program
// frees, so both sides build it from this header and its fields keep this order.
#pragma once

#include "ZELCommon/ZELGuid.h"
#include "ZELCommon/ZELString.h"

namespace Protocols {

struct ProtocolInfo {
    ZEL_GUID guid;           // also the message class of the account's notifications
    CZELString iconFile;     // image file name of the protocol's icon
    CZELString name;
    CZELString displayName;  // shown to the user
    CZELString reserved;     // left empty by plug-ins; copied along
    CZELString credits;
};

}  // namespace Protocols

// The manager's description of one protocol, handed out by value. The icon is already an index in
// the skin image registry, -1 until acquired.
struct ProtocolDescription {
    ProtocolDescription() : guid(), imageIndex(-1) {}

    ZEL_GUID guid;
    int imageIndex;
    CZELString name;
    CZELString displayName;
    CZELString reserved;
    CZELString credits;
};

// One entry of the protocol table: the description, then where the plug-in that serves the protocol
// lives, so an account can load it again.
struct ProtocolRecord : ProtocolDescription {
    CZELString dllFile;  // "N.dll" for the plug-in folder N
    CZELString folder;   // protocols folder + N + "\"
};
