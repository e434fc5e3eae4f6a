// What the released file says about itself: its version, and the manifest
// that asks for the version 6 common controls and no elevation.
#include "E2eCase.h"

#include <string>

namespace e2e {
namespace {

TEST(Release, ExeCarriesVersionOnePointOne)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(builtCovelin.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(builtCovelin.c_str(), 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(MAKELONG(1, 1), static_cast<LONG>(fixed->dwFileVersionMS)); // 1.1
    EXPECT_EQ(MAKELONG(1, 1), static_cast<LONG>(fixed->dwProductVersionMS));

    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\ProductVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"1.1", text);
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904b0\\CompanyName",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(L"Tessary", text);
}

TEST(Release, ManifestAsksForCommonControlsSixAsInvoker)
{
    HMODULE image =
        LoadLibraryExW(builtCovelin.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, image);
    HRSRC found = FindResourceW(image, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)); // RT_MANIFEST
    ASSERT_NE(nullptr, found) << "no manifest";
    HGLOBAL loaded = LoadResource(image, found);
    const char* bytes = static_cast<const char*>(LockResource(loaded));
    ASSERT_NE(nullptr, bytes);
    const std::string manifest(bytes, SizeofResource(image, found));
    FreeLibrary(image);

    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos, manifest.find("level=\"asInvoker\""));
}

} // namespace
} // namespace e2e
