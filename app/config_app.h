#pragma once

#include "framework/app.h"

class CConfigApp : public CWinApp {
public:
    CConfigApp() : CWinApp(nullptr) {}

    // Runs the configuration dialog once; the process ends when it closes.
    BOOL InitInstance() override;

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageMap messageMap;

private:
    static const MessageMapEntry messageEntries[];
};
