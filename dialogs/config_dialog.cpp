#include "dialogs/config_dialog.h"

#include "dialogs/about_dialog.h"
#include "framework/strings.h"
#include "resources/resource.h"
#include "settings/settings_file.h"

#include <string>

namespace {

struct OptionButtons {
    LPCWSTR key;
    int onButton;
    int offButton;
};

// Indexed by CConfigDlg::Option.
constexpr OptionButtons optionButtons[] = {
    {HighSpeedKey, IDC_HIGH_PRIORITY, IDC_NORMAL_PRIORITY},
    {PageSyncKey, IDC_FLIP_BY_GAME, IDC_FLIP_BY_DIRECTX},
    {LanguageKey, IDC_LANG_ENGLISH, IDC_LANG_GERMAN},
};

struct LanguageText {
    int control;
    UINT english;
    UINT german;
};

constexpr LanguageText languageTexts[] = {
    {IDC_PRIORITY_HELP, IDS_PRIORITY_HELP_EN, IDS_PRIORITY_HELP_DE},
    {IDC_PAGEFLIP_HELP, IDS_PAGEFLIP_HELP_EN, IDS_PAGEFLIP_HELP_DE},
    {IDC_LANGUAGE_HELP, IDS_LANGUAGE_HELP_EN, IDS_LANGUAGE_HELP_DE},
    {IDC_INTRO_TEXT, IDS_INTRO_EN, IDS_INTRO_DE},
    {IDCANCEL, IDS_REMOVE_EN, IDS_REMOVE_DE},
};

// Checking an auto radio button makes it a tab stop; in this dialog only OK and Remove are.
void DropTabStops(HWND dialog, const OptionButtons& buttons) {
    for (const int id : {buttons.onButton, buttons.offButton}) {
        const HWND button = ::GetDlgItem(dialog, id);
        ::SetWindowLongW(button, GWL_STYLE, ::GetWindowLongW(button, GWL_STYLE) & ~WS_TABSTOP);
    }
}

} // namespace

const MessageMapEntry CConfigDlg::messageEntries[] = {
    MessageEntry<&CConfigDlg::OnSysCommand>(WM_SYSCOMMAND),
    MessageEntry<&CConfigDlg::OnPaint>(WM_PAINT),
    MessageEntry<&CConfigDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    MessageEntry<&CConfigDlg::OnCreate>(WM_CREATE),
    ClickedEntry<&CConfigDlg::OnHighPriority>(IDC_HIGH_PRIORITY),
    ClickedEntry<&CConfigDlg::OnNormalPriority>(IDC_NORMAL_PRIORITY),
    ClickedEntry<&CConfigDlg::OnFlipByDirectX>(IDC_FLIP_BY_DIRECTX),
    ClickedEntry<&CConfigDlg::OnFlipByGame>(IDC_FLIP_BY_GAME),
    ClickedEntry<&CConfigDlg::OnLangEnglish>(IDC_LANG_ENGLISH),
    ClickedEntry<&CConfigDlg::OnLangGerman>(IDC_LANG_GERMAN),
};
const MessageMap CConfigDlg::messageMap{&CDialog::messageMap, messageEntries};

CConfigDlg::CConfigDlg(CWnd* pParent)
    : CDialog(IDD_CONFIG_DIALOG, pParent),
      m_hPaintIcon(::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

BOOL CConfigDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (const HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        if (const std::wstring about = AfxLoadString(IDS_ABOUTBOX); !about.empty()) {
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hWindowIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hWindowIcon));

    EnsureSettingsFile();
    const Settings settings = ReadSettings();
    Select(priority, settings.highspeed != 0 ? IDC_HIGH_PRIORITY : IDC_NORMAL_PRIORITY);
    Select(pageFlip, settings.pagesync != 0 ? IDC_FLIP_BY_GAME : IDC_FLIP_BY_DIRECTX);
    Select(language, settings.language != 0 ? IDC_LANG_ENGLISH : IDC_LANG_GERMAN);

    ApplyLanguageTexts(settings.language);
    return TRUE;
}

void CConfigDlg::ApplyLanguageTexts(UINT languageFlag) {
    // Everything is loaded before any control changes, so a failure changes nothing.
    std::array<std::wstring, std::size(languageTexts)> texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] =
            AfxLoadString(languageFlag != 0 ? languageTexts[i].english : languageTexts[i].german);
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ::SetDlgItemTextW(m_hWnd, languageTexts[i].control, texts[i].c_str());
    }
}

void CConfigDlg::Select(Option option, int button) {
    const OptionButtons& buttons = optionButtons[option];
    for (const int id : {buttons.onButton, buttons.offButton}) {
        ::SendMessageW(GetDlgItem(id), BM_SETCHECK, id == button ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    DropTabStops(m_hWnd, buttons);
    m_storedButton[option] = button;
}

void CConfigDlg::StoreChoice(Option option, bool on) {
    const OptionButtons& buttons = optionButtons[option];
    DropTabStops(m_hWnd, buttons);
    try {
        StoreSetting(buttons.key, on ? OnValue : OffValue);
    } catch (...) {
        Select(option, m_storedButton[option]);
        throw;
    }
    m_storedButton[option] = on ? buttons.onButton : buttons.offButton;
}

void CConfigDlg::OnHighPriority() { StoreChoice(priority, true); }
void CConfigDlg::OnNormalPriority() { StoreChoice(priority, false); }
void CConfigDlg::OnFlipByGame() { StoreChoice(pageFlip, true); }
void CConfigDlg::OnFlipByDirectX() { StoreChoice(pageFlip, false); }

void CConfigDlg::OnLangGerman() {
    StoreChoice(language, false);
    ApplyLanguageTexts(0);
}

void CConfigDlg::OnLangEnglish() {
    StoreChoice(language, true);
    ApplyLanguageTexts(1);
}

void CConfigDlg::OnOK() {
    HideSettingsFile();
    CDialog::OnOK();
}

void CConfigDlg::OnCancel() {
    RemoveSettingsFile();
    CDialog::OnCancel();
}

void CConfigDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

void CConfigDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        Default();
        return;
    }
    CPaintDC dc(*this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    ::DrawIcon(dc.m_hDC, IconOrigin(client.right - client.left, ::GetSystemMetrics(SM_CXICON)),
               IconOrigin(client.bottom - client.top, ::GetSystemMetrics(SM_CYICON)), m_hPaintIcon);
}

HCURSOR CConfigDlg::OnQueryDragIcon() { return m_hPaintIcon; }

int CConfigDlg::OnCreate(LPCREATESTRUCTW) { return Default() == -1 ? -1 : 0; }
