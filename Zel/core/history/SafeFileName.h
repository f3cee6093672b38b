// Turns a name that came from a network or a peer into one bare file name that stays inside the
// folder it is appended to: no path separators, no drive or stream colon, no "..", no trailing dot
// or space (which the file system would drop, changing the name), no character the file system
// refuses, and no device name. Every such unit is replaced by '_'; an empty name becomes "_".
#pragma once

#include "ZELCommon/ZELString.h"

CZELString MakeSafeFileName(const CZELString& name);
