#include "framework/app.h"

// The command line is handed on but nothing reads it.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR cmdLine, int cmdShow) {
    return AfxWinMain(instance, previous, cmdLine, cmdShow);
}
