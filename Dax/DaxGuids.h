// The plug-in's protocol identifier, which is also the class of every notice its accounts post, and
// the codes of the messages an account posts to its own queue.
#pragma once

#include "ZELCommon/ZELGuid.h"

inline const ZEL_GUID GUID_DAX_PROTOCOL = {0xE3CA4FAB, 0x0F3C, 0x4FA8, {0xAD, 0xFF, 0x88, 0xA0, 0x1C, 0x36, 0x22, 0xF7}};

// Class GUID_DAX_PROTOCOL, to the account's own queue.
enum DaxSelfMessage {
    ACC_REDIRECTED = 161,  // the redirector answered: connect to the session host
    DAX_PING_TICK = 170,   // the ping timer fired: send a ping on the queue's thread
    DAX_MENU_ACTION = 171, // p1 CRefValue action, p2 CRefValue (value << 32 | menu context)
};
