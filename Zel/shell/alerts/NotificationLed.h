// The notification LED and the vibrator, both devices of the notification-LED driver (the
// vibrator is the one whose cycle adjustment is -1). Without a driver or a device every call does
// nothing.
#pragma once

// The number of devices; 0 when the driver does not answer.
int GetLedCount();
// The first device with a cycle adjustment of 0 or more; -1 when none.
int FindLedIndex();
// The first device with a cycle adjustment of exactly -1; -1 when none.
int FindVibratorIndex();
// Blinks the LED, or switches it off. hardLed is the device set by the user, -1 for the one found
// here (looked up once per run).
void SetNotificationLed(bool on, int hardLed = -1);
// Forgets the LED found, so the next call looks again (the devices changed).
void ForgetNotificationLed();
