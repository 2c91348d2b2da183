#pragma once

// Both shipped builds are read back as data files, from any test process: the players get
// the 32-bit one, and Wine here runs the 64-bit one, so their resources must agree.

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/resources/resource_formats.h"

namespace restest {

struct BuiltExecutable {
    std::string name;      // "win32" or "win64"
    std::string linuxPath; // as the build tree knows it
    WORD machine;          // IMAGE_FILE_MACHINE_* the file must be built for
};
void PrintTo(const BuiltExecutable& build, std::ostream* os);

std::vector<BuiltExecutable> BuiltExecutables();
std::string BuildName(const testing::TestParamInfo<BuiltExecutable>& info);

// The Windows name of a Linux path, through the drive Z: that Wine maps to "/".
std::wstring WindowsPath(const std::string& linuxPath);

struct ModuleFreer {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using UniqueModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFreer>;

// US English, the one language every resource of the tool is stored in.
inline constexpr WORD kEnglishUS = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

class ExecutableResources : public testing::TestWithParam<BuiltExecutable> {
protected:
    void SetUp() override;

    HMODULE Module() const { return module_.get(); }
    std::wstring Path() const { return WindowsPath(GetParam().linuxPath); }
    // The resource's bytes in US English; throws MalformedResource when there is none.
    Bytes Resource(LPCWSTR type, WORD id) const;

private:
    UniqueModule module_;
};

} // namespace restest

// Every test of a suite runs once per build, named .../win32 and .../win64.
#define INSTANTIATE_FOR_BOTH_BUILDS(suite)                                                         \
    INSTANTIATE_TEST_SUITE_P(Resources, suite, testing::ValuesIn(restest::BuiltExecutables()),     \
                             restest::BuildName)
