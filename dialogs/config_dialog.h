#pragma once

#include "framework/dialog.h"

#include <array>

// Where to draw an icon of iconExtent centred in clientExtent (one axis).
constexpr int IconOrigin(int clientExtent, int iconExtent) {
    return (clientExtent - iconExtent + 1) / 2;
}

// The main window: three options as radio pairs, each click stored in the settings file
// at once. OK keeps the file and hides it; every other way of closing deletes it.
class CConfigDlg : public CDialog {
public:
    explicit CConfigDlg(CWnd* pParent = nullptr);

    void SetWindowIcon(HICON icon) { m_hWindowIcon = icon; }

    // Sets the four explanatory texts and the Remove button's caption: English for a
    // non-zero language, German for 0.
    void ApplyLanguageTexts(UINT language);

    const MessageMap* GetMessageMap() const override { return &messageMap; }
    static const MessageMap messageMap;

protected:
    void DoDataExchange(bool) override {}
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    int OnCreate(LPCREATESTRUCTW createStruct);
    void OnHighPriority();
    void OnNormalPriority();
    void OnFlipByGame();
    void OnFlipByDirectX();
    void OnLangGerman();
    void OnLangEnglish();

private:
    enum Option { priority, pageFlip, language, optionCount };

    // Stores the clicked choice; when that fails, the pair shows its earlier choice again.
    void StoreChoice(Option option, bool on);
    void Select(Option option, int button);

    HICON m_hPaintIcon;
    HICON m_hWindowIcon = nullptr;
    // The button of each pair that matches the file, 0 for none. An auto radio button
    // moves before its click arrives, so this is what a failed store goes back to.
    std::array<int, optionCount> m_storedButton{};

    static const MessageMapEntry messageEntries[];
};
