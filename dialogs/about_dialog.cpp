#include "dialogs/about_dialog.h"

#include "resources/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
