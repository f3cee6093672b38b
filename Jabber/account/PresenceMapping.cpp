#include "Jabber/account/PresenceMapping.h"

#include <cstdlib>

OutgoingPresence OutgoingPresenceFor(int chosen)
{
    switch (chosen) {
    case 3:
    case 4: return {chosen, nullptr, true, 0};
    case 5: return {5, "chat", false, 0};
    case 6: return {2, nullptr, false, 4};
    case 7: return {2, nullptr, false, 5};
    case 8: return {2, nullptr, false, 6};
    case 9: return {2, nullptr, false, 7};
    case 10: return {11, "away", false, 10};
    case 11: return {11, "away", false, 0};
    case 12: return {12, "xa", false, 0};
    case 13: return {14, "dnd", false, 8};
    case 14: return {14, "dnd", false, 0};
    default: return {2, nullptr, false, 0};
    }
}

int IncomingStatusFor(const char* show)
{
    if (!show) return 2;
    const std::string word = show;
    if (word == "away") return 11;
    if (word == "xa") return 12;
    if (word == "dnd") return 14;
    if (word == "chat") return 5;
    return 2;
}

int StatusWithXStatus(int status, const std::string& value)
{
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 3) return status;
    switch (std::atoi(value.c_str())) {
    case 4: return 6;
    case 5: return 7;
    case 6: return 8;
    case 7: return 9;
    case 8: return 13;
    case 10: return 10;
    default: return status;
    }
}

signed char PriorityFromText(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) negative = text[at++] == '-';
    unsigned low = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) low = (low * 10 + unsigned(text[at] - '0')) & 0xFF;
    if (negative) low = (0x100 - low) & 0xFF;
    return static_cast<signed char>(low);
}

int ContactOverlayImage(int status)
{
    if (status == 3) return 5;
    if (status >= 5 && status <= 14) return status + 1;
    return -1;
}
