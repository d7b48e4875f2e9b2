// Files by handle and INI texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "TestFiles.h"
#include "cvi/Files.h"
#include "cvi/IniFile.h"

TEST(Files, LinesRoundTripWithTheWindowsLineEnd)
{
    TemporaryFolder folder;
    const std::string path = folder.File("lines.txt");
    const int out = OpenFile(path.c_str(), VAL_WRITE_ONLY, VAL_TRUNCATE, VAL_ASCII);
    ASSERT_GT(out, 0);
    EXPECT_EQ(WriteLine(out, "Vantrel Configuration Tool Parameter File", -1), 41);
    EXPECT_EQ(WriteLine(out, "", -1), 0);
    EXPECT_EQ(WriteLine(out, "Resolution:2 and more", 12), 12);
    EXPECT_EQ(WriteLine(out, "\xB5m", -1), 2);
    EXPECT_EQ(CloseFile(out), 0);
    EXPECT_EQ(ReadWholeFile(path), "Vantrel Configuration Tool Parameter File\r\n\r\nResolution:2\r\n\xB5m\r\n");

    const int in = OpenFile(path.c_str(), VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    ASSERT_GT(in, 0);
    char line[10000];
    EXPECT_EQ(ReadLine(in, line, 9999), 41);
    EXPECT_STREQ(line, "Vantrel Configuration Tool Parameter File");
    EXPECT_EQ(ReadLine(in, line, 9999), 0);
    EXPECT_STREQ(line, "");
    // A line longer than the limit is cut; the rest of it is skipped.
    EXPECT_EQ(ReadLine(in, line, 5), 5);
    EXPECT_STREQ(line, "Resol");
    EXPECT_EQ(ReadLine(in, line, 9999), 2);
    EXPECT_EQ(ReadLine(in, line, 9999), FILE_END_OF_FILE);
    EXPECT_EQ(CloseFile(in), 0);
    EXPECT_EQ(CloseFile(in), FILE_INVALID_HANDLE);
    EXPECT_EQ(ReadLine(in, line, 10), FILE_INVALID_HANDLE);
}

TEST(Files, AppendLastLineWithoutEndAndErrors)
{
    TemporaryFolder folder;
    const std::string path = folder.File("append.txt");
    WriteWholeFile(path, "first\nsecond");
    const int file = OpenFile(path.c_str(), VAL_READ_WRITE, VAL_APPEND, VAL_ASCII);
    ASSERT_GT(file, 0);
    EXPECT_EQ(WriteLine(file, "third", -1), 5);
    CloseFile(file);
    EXPECT_EQ(ReadWholeFile(path), "first\nsecondthird\r\n");

    const int in = OpenFile(path.c_str(), VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII);
    char line[32];
    EXPECT_EQ(ReadLine(in, line, 31), 5);
    EXPECT_EQ(ReadLine(in, line, 31), 11);
    EXPECT_STREQ(line, "secondthird");
    CloseFile(in);

    EXPECT_EQ(OpenFile(folder.File("missing.txt").c_str(), VAL_READ_ONLY, VAL_OPEN_AS_IS, VAL_ASCII), FILE_NOT_FOUND);
    EXPECT_EQ(OpenFile(path.c_str(), 7, VAL_TRUNCATE, VAL_ASCII), FILE_INVALID_ARGUMENT);
    EXPECT_EQ(OpenFile(nullptr, VAL_READ_ONLY, VAL_TRUNCATE, VAL_ASCII), FILE_INVALID_ARGUMENT);
}

TEST(Files, AttributesTellFilesFromFolders)
{
    TemporaryFolder folder;
    const std::string path = folder.File("Calvista.ini");
    WriteWholeFile(path, "");
    int readOnly = -1;
    EXPECT_EQ(GetFileAttrs(path.c_str(), &readOnly, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(readOnly, 0);
    EXPECT_EQ(GetFileAttrs(folder.Path().c_str(), nullptr, nullptr, nullptr, nullptr), 1);
    EXPECT_EQ(GetFileAttrs(folder.File("none").c_str(), nullptr, nullptr, nullptr, nullptr), FILE_NOT_FOUND);
}

TEST(IniFile, RoundTripKeepsSectionsTagsAndEscapedValues)
{
    TemporaryFolder folder;
    const std::string path = folder.File("Calvista.ini");
    IniText ini = Ini_New(0);
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(Ini_PutString(ini, "Information", "Software name", "Vantrel Configuration Tool V1.06.000"), 0);
    EXPECT_EQ(Ini_PutString(ini, "Information", "Additional information", "say \"hi\"\\\r\n"), 0);
    EXPECT_EQ(Ini_PutString(ini, "Configuration", "Language", "DE"), 0);
    EXPECT_EQ(Ini_PutString(ini, "configuration", "language", "EN"), 0); // same tag, any case
    EXPECT_EQ(Ini_WriteToFile(ini, path.c_str()), 0);
    Ini_Dispose(ini);
    EXPECT_EQ(ReadWholeFile(path), "[Information]\r\n"
                                   "Software name = \"Vantrel Configuration Tool V1.06.000\"\r\n"
                                   "Additional information = \"say \\\"hi\\\"\\\\\\r\\n\"\r\n"
                                   "\r\n"
                                   "[Configuration]\r\n"
                                   "Language = \"EN\"\r\n");

    IniText again = Ini_New(0);
    ASSERT_EQ(Ini_ReadFromFile(again, path.c_str()), 0);
    char buffer[64];
    EXPECT_EQ(Ini_GetStringIntoBuffer(again, "Information", "Additional information", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "say \"hi\"\\\r\n");
    char language[3];
    EXPECT_EQ(Ini_GetStringIntoBuffer(again, "Configuration", "Language", language, sizeof language), 1);
    EXPECT_STREQ(language, "EN");
    EXPECT_EQ(Ini_GetStringIntoBuffer(again, "Information", "Software name", language, sizeof language), 1);
    EXPECT_STREQ(language, "Va"); // cut to the buffer
    EXPECT_EQ(Ini_GetStringIntoBuffer(again, "Configuration", "Missing", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    Ini_Dispose(again);
}

TEST(IniFile, ReadsHandWrittenFilesAndRefusesWhatItCannotKeep)
{
    TemporaryFolder folder;
    const std::string path = folder.File("hand.ini");
    WriteWholeFile(path, "; comment\nstray = before any section\n[Configuration]\n  Language =   de  \nbroken line\n"
                         "[Second]\nA=\"unterminated\n");
    IniText ini = Ini_New(1);
    ASSERT_EQ(Ini_ReadFromFile(ini, path.c_str()), 0);
    char value[32];
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "CONFIGURATION", "language", value, sizeof value), 1);
    EXPECT_STREQ(value, "de");
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "Second", "A", value, sizeof value), 1);
    EXPECT_STREQ(value, "\"unterminated");
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "", "stray", value, sizeof value), 0);

    EXPECT_EQ(Ini_PutString(ini, "S", "bad=tag", "v"), INI_INVALID_ARGUMENT);
    EXPECT_EQ(Ini_PutString(ini, "S]", "tag", "v"), INI_INVALID_ARGUMENT);
    EXPECT_EQ(Ini_ReadFromFile(ini, folder.File("none.ini").c_str()), INI_FILE_ERROR);
    EXPECT_EQ(Ini_GetStringIntoBuffer(nullptr, "a", "b", value, 4), INI_INVALID_HANDLE);
    EXPECT_EQ(Ini_GetStringIntoBuffer(ini, "a", "b", value, 0), INI_INVALID_ARGUMENT);

    // A folder in place of the file: the write fails and the folder stays.
    const std::string blocked = folder.File("blocked.ini");
    CreateDirectoryA(blocked.c_str(), nullptr);
    EXPECT_EQ(Ini_WriteToFile(ini, blocked.c_str()), INI_FILE_ERROR);
    EXPECT_EQ(GetFileAttrs(blocked.c_str(), nullptr, nullptr, nullptr, nullptr), 1);
    Ini_Dispose(ini);
}
