// The application manifest: DPI awareness on, and no execution level, which would switch
// off the file virtualization the games see c:\dxerror.ini through.

#include <regex>
#include <string>

#include "tests/resources/built_executable.h"

namespace restest {
namespace {

// The manifest's own comment speaks of requestedExecutionLevel, so comments go first.
std::string WithoutComments(std::string xml) {
    for (std::size_t start; (start = xml.find("<!--")) != std::string::npos;) {
        const std::size_t end = xml.find("-->", start);
        xml.erase(start, end == std::string::npos ? std::string::npos : end + 3 - start);
    }
    return xml;
}

struct ActCtxReleaser {
    void operator()(HANDLE context) const noexcept { ::ReleaseActCtx(context); }
};
using UniqueActCtx = std::unique_ptr<std::remove_pointer_t<HANDLE>, ActCtxReleaser>;

class Manifest : public ExecutableResources {
protected:
    std::string Markup() const {
        const Bytes bytes = Resource(RT_MANIFEST, 1); // CREATEPROCESS_MANIFEST_RESOURCE_ID
        return WithoutComments(std::string(bytes.begin(), bytes.end()));
    }
};

TEST_P(Manifest, DeclaresDpiAwareness) {
    const std::string xml = Markup();
    std::smatch element;
    ASSERT_TRUE(std::regex_search(
        xml, element, std::regex(R"(<(\w+:)?dpiAware(\s[^>]*)?>\s*true\s*</(\w+:)?dpiAware>)")))
        << xml;
    // Outside its namespace the setting is ignored.
    const std::string ns = "http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    const std::string declaredOn = element[2].str();
    const std::size_t settings = xml.rfind("<windowsSettings", element.position(0));
    const bool inNamespace =
        declaredOn.find(ns) != std::string::npos ||
        (settings != std::string::npos &&
         xml.substr(settings, xml.find('>', settings) - settings).find(ns) != std::string::npos);
    EXPECT_TRUE(inNamespace) << element.str();
}

TEST_P(Manifest, RequestsNoExecutionLevel) {
    const std::string xml = Markup();
    EXPECT_TRUE(xml.find("requestedExecutionLevel") == std::string::npos)
        << "the manifest requests an execution level:\n"
        << xml;
}

// Windows refuses to start a program whose manifest it cannot parse.
TEST_P(Manifest, TheSystemAcceptsIt) {
    const std::wstring path = Path();
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE created = ::CreateActCtxW(&request);
    const DWORD error = ::GetLastError();
    const UniqueActCtx context(created == INVALID_HANDLE_VALUE ? nullptr : created);
    EXPECT_TRUE(context) << "activation context refused, error " << error;
}

INSTANTIATE_FOR_BOTH_BUILDS(Manifest);

} // namespace
} // namespace restest
