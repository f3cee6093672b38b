#include "Dax/proto/MrimStatus.h"

#include <cstdio>

namespace Mrim {

namespace {

struct WireRow {
    int status;
    unsigned value;
    const wchar_t* uri;
};

const WireRow WireRows[] = {
    {0, 0, L"STATUS_OFFLINE"},
    {2, 1, L"STATUS_ONLINE"},
    {3, StatusWireInvisible, L"STATUS_INVISIBLE"},
    {4, StatusWireInvisible, L"STATUS_INVISIBLE"},
    {5, 4, L"status_chat"},
    {6, 4, L"status_38"},
    {7, 4, L"status_34"},
    {8, 4, L"status_5"},
    {9, 4, L"status_22"},
    {10, 4, L"status_6"},
    {11, 2, L"STATUS_AWAY"},
    {12, 4, L"status_10"},
    {13, 4, L"status_46"},
    {14, 4, L"status_dnd"},
};

struct UriRow {
    const wchar_t* uri;
    int status;
};

const UriRow UriRows[] = {
    {L"status_chat", 5}, {L"status_dnd", 14}, {L"status_5", 8},   {L"status_6", 10},  {L"status_10", 12},
    {L"status_22", 9},   {L"status_34", 7},   {L"status_35", 7},  {L"status_38", 6},  {L"status_46", 13},
};

} // namespace

const StatusRow StatusRows[14] = {
    {0, 12, {0, -1}}, {1, 3, {1, -1}},  {2, 13, {2, -1}}, {3, 8, {2, 3}},   {5, 7, {2, 4}},
    {6, 6, {2, 5}},   {7, 4, {2, 6}},   {8, 0, {2, 7}},   {9, 1, {2, 8}},   {10, 9, {2, 9}},
    {11, 2, {2, 10}}, {12, 10, {2, 11}}, {13, 11, {2, 12}}, {14, 5, {2, 13}},
};

unsigned StatusToWire(int status, CZELString& uri)
{
    for (const WireRow& row : WireRows) {
        if (row.status == status) {
            uri = row.uri;
            return row.value;
        }
    }
    uri = CZELString();
    return 1;
}

int StatusFromWire(unsigned value, const CZELString& uri)
{
    if (value & 0x80000000u) return 3;
    if (value == 1) return 2;
    if (value == 2) return 11;
    if (value != 4) return 0;
    CZELString lower = uri;
    lower.ToLower();
    for (const UriRow& row : UriRows)
        if (lower == row.uri) return row.status;
    return 2;
}

const StatusRow* FindStatusRow(int status)
{
    if (status == 4) status = 3;
    for (const StatusRow& row : StatusRows)
        if (row.status == status) return &row;
    return nullptr;
}

Bytes BuildClientId(unsigned buildNumber, const CZELString& systemName)
{
    wchar_t build[16];
    swprintf(build, 16, L"%u", buildNumber);
    CZELString agent = CZELString(L"client=\"ZEL PDA ") + systemName + L"\" version=\"2.0\" build=\"" + build + L"\"";
    CZELString description = CZELString(L"ZEL PDA Symbian (build ") + build + L");";
    BodyWriter body;
    body.U32(ClientFeatures);
    body.Lps(agent, Encoding::System);
    body.Lps(CZELString(L"ru"), Encoding::System);
    body.Lps(description, Encoding::System);
    return body.Take();
}

} // namespace Mrim
