#pragma once

#include "framework/dialog.h"

// Name, version and notice of the tool. Changes nothing; every message gets the dialog
// base's handling.
class CAboutDlg : public CDialog {
public:
    CAboutDlg();

protected:
    void DoDataExchange(bool) override {}
};
