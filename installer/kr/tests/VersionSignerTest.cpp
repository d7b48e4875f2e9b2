#include "kr/signer.h"
#include "kr/version_info.h"

#include <gtest/gtest.h>

#include <string>

#include "TestFolder.h"

namespace {

_stringx Bin(const wchar_t* name)
{
    return _stringx((ProgramFolder() + name).c_str());
}

TEST(VersionInfo, FixedInformationAndTranslations)
{
    kr::version_info info;
    ASSERT_TRUE(info.load(Bin(L"kr_test_helper.exe")));
    EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.dwFileVersionMS, 0x00010002u);
    EXPECT_EQ(info.dwFileVersionLS, 0x00030004u);
    ASSERT_EQ(info.translation_count(), 1u);
    EXPECT_EQ(info.translations()[0], 0x04B00409u);

    // Copies share the resource block.
    const kr::version_info copy(info);
    EXPECT_EQ(copy.data(), info.data());
    EXPECT_EQ(copy.dwFileVersionLS, 0x00030004u);
}

TEST(VersionInfo, WithoutTranslationListOrResource)
{
    kr::version_info server;
    ASSERT_TRUE(server.load(Bin(L"kr_test_server.dll")));
    EXPECT_EQ(server.dwFileVersionMS, 0x00050006u);
    EXPECT_EQ(server.translation_count(), 0u);
    EXPECT_EQ(server.translations(), nullptr);

    kr::version_info none;
    EXPECT_FALSE(none.load(Bin(L"kr_test_typelib.ocx")));
    EXPECT_EQ(none.dwSignature, 0u);
    EXPECT_EQ(none.dwFileVersionMS, 0u);
    EXPECT_EQ(none.data(), nullptr);
}

TEST(SameSigner, SameCertificateOnlyForSignedFiles)
{
    const _stringx a_exe = Bin(L"kr_signed\\helper-signed-a.exe");
    const _stringx a_dll = Bin(L"kr_signed\\server-signed-a.dll");
    const _stringx b_exe = Bin(L"kr_signed\\helper-signed-b.exe");
    const _stringx unsigned_exe = Bin(L"kr_signed\\helper-unsigned.exe");

    EXPECT_TRUE(kr::same_signer(a_exe, a_exe));
    EXPECT_TRUE(kr::same_signer(a_exe, a_dll));
    EXPECT_FALSE(kr::same_signer(a_exe, b_exe)) << "same issuer, another serial number";
    EXPECT_FALSE(kr::same_signer(unsigned_exe, unsigned_exe));
    EXPECT_FALSE(kr::same_signer(a_exe, unsigned_exe));
    EXPECT_FALSE(kr::same_signer(unsigned_exe, a_exe));
    EXPECT_FALSE(kr::same_signer(a_exe, Bin(L"kr_signed\\missing.exe")));
}

} // namespace
