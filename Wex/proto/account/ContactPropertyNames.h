// The contact-list properties the Wex account reads and writes, named once.
#pragma once

namespace WexProperties {

const wchar_t AccountName[] = L"Account name";
const wchar_t Alias[] = L"CL Alias";
const wchar_t InVisible[] = L"In visible list";
const wchar_t InInvisible[] = L"In invisible list";
const wchar_t InIgnore[] = L"In ignore list";

}  // namespace WexProperties
