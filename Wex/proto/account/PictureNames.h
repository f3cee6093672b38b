// The picture files of the plug-in, in the order the skin image registry hands out their ids: the
// plug-in acquires them all once, and refers to a picture by its entry in this list.
#pragma once

namespace WexPictures {

enum {
    Count = 77,
    Offline = 0,
    XStatusNone = 20,     // the picture of x-status 0
    XStatusFirst = 21,    // x-status n (1-35) is entry XStatusFirst + n
    AuthRequest = 68,
    AuthAccept = 72,
    AuthDecline = 73,
    AddContact = 66,
    Protocol = 74,
};

extern const wchar_t* const Names[Count];

}  // namespace WexPictures
