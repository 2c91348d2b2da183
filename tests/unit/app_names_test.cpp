#include "framework/app.h"

#include <gtest/gtest.h>

// The names follow the executable's file name at run time; only its last dot cuts, and a
// backslash, a slash or a colon ends the directory part.
TEST(AppNames, FollowTheExecutablesFileName) {
    struct Case {
        const wchar_t* modulePath;
        const wchar_t* exeName;
        const wchar_t* helpFilePath;
        const wchar_t* profileName;
    };
    const Case cases[] = {
        {L"C:\\Games\\Brivel\\BRIVELCONFIG.EXE", L"BRIVELCONFIG",
         L"C:\\Games\\Brivel\\BRIVELCONFIG.HLP", L"BRIVELCONFIG.INI"},
        {L"C:\\Games\\my.setup.exe", L"my.setup", L"C:\\Games\\my.setup.HLP", L"my.setup.INI"},
        {L"C:\\Games.v2\\tool.exe", L"tool", L"C:\\Games.v2\\tool.HLP", L"tool.INI"},
        {L"C:/Games/tool.exe", L"tool", L"C:/Games/tool.HLP", L"tool.INI"},
        {L"C:\\Games/Brivel\\tool.exe", L"tool", L"C:\\Games/Brivel\\tool.HLP", L"tool.INI"},
        {L"C:\\Games\\Brivel/tool.exe", L"tool", L"C:\\Games\\Brivel/tool.HLP", L"tool.INI"},
        {L"C:tool.exe", L"tool", L"C:tool.HLP", L"tool.INI"},
        {L"tool.exe", L"tool", L"tool.HLP", L"tool.INI"},
        {L"\\\\server\\share\\config.exe", L"config", L"\\\\server\\share\\config.HLP",
         L"config.INI"},
    };
    for (const Case& c : cases) {
        const AppNames names = AfxDeriveAppNames(c.modulePath);
        EXPECT_EQ(names.exeName, c.exeName) << "for " << ::testing::PrintToString(c.modulePath);
        EXPECT_EQ(names.helpFilePath, c.helpFilePath)
            << "for " << ::testing::PrintToString(c.modulePath);
        EXPECT_EQ(names.profileName, c.profileName)
            << "for " << ::testing::PrintToString(c.modulePath);
    }
}
