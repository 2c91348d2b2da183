#pragma once

#include <windows.h>

#include <string>

// The instance that resources are loaded from.
HINSTANCE AfxGetResourceHandle();

// Loads string resource id whole, however long; an id without a text gives "".
std::wstring AfxLoadString(UINT id);
