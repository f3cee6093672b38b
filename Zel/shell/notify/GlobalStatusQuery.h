// The global status (the protocols manager's status of account 0), asked by the notifier and the
// alert player before they disturb the user. Tests put their own answer in.
#pragma once

// True with the status when the protocols manager answered.
typedef bool (*GlobalStatusFunction)(int* status);

bool QueryGlobalStatus(int* status);
// Null restores the protocols manager's answer.
void SetGlobalStatusQuery(GlobalStatusFunction function);

// The statuses whose texts are "Not Available" and "Occupied": the user asked not to be disturbed.
inline bool IsDoNotDisturbStatus(int status)
{
    return status == 12 || status == 13;
}
