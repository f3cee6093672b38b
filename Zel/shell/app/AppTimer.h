// One keep-alive timer an account asked for, run as a timer of the main window.
#pragma once

#include "Zel/core/accounts/ManagerPayloads.h"
#include "ZELCommon/ZELTime.h"

#include <windows.h>

#include <cstdint>

struct AppTimer {
    int id = 0;           // the window timer's id
    UINT_PTR timer = 0;   // as SetTimer returned it
    CZELTime due;         // when it is due next
    AccountTimerCallback callback = nullptr;  // returns the next interval in ms, 0 to end
    intptr_t userData = 0;
};
