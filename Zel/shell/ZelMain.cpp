// The program's entry: the bus already stands (built by the runtime's start-up); the application
// does the rest.
#include "Zel/shell/app/Application.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int show)
{
    return ZelWinMain(instance, commandLine, show);
}
