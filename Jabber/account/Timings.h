// The plug-in's waits, in milliseconds. The defaults are the product's; the tests shorten them
// (through the plug-in's export JabberTestTimings, or directly when they link the account code).
#pragma once

#include <atomic>

struct JabberTimings {
    std::atomic<unsigned> reconnectDelayMs{15000};     // a lost connection is tried again after this
    std::atomic<unsigned> negotiationLimitMs{60000};   // from TCP up to online, or the attempt ends
    std::atomic<unsigned> keepAliveMs{120000};         // one blank while online
    std::atomic<unsigned> iqExpiryMs{120000};          // an unanswered request is forgotten
    std::atomic<unsigned> iqSweepMs{5000};             // how often forgotten requests are cleared out
};

JabberTimings& Timings();
