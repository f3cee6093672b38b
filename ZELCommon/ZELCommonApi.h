// Export marker of the foundation library: every class and function other modules use is exported from ZELCommon.dll.
#pragma once

#ifdef ZELCOMMON_BUILD
#define ZELCOMMON_API __declspec(dllexport)
#else
#define ZELCOMMON_API __declspec(dllimport)
#endif
