// Export marker of the handheld layer: our own stand-in for the shell, cellular and connection
// interfaces that only the handheld platform has. One DLL, so its state is shared by every module.
#pragma once

#ifdef HANDHELD_BUILD
#define HANDHELD_API __declspec(dllexport)
#else
#define HANDHELD_API __declspec(dllimport)
#endif
