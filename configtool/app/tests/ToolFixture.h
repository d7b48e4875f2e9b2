// The tool started headless in virtual time: a scratch folder serves as the user's
// application-data folder and as the working folder with the language files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ProgramTexts.h"
#include "RegisterFields.h"
#include "cvi/TestDriver.h"

class ToolTest : public ::testing::Test {
protected:
    ToolTest();
    // The run-time as the options say (real windows, for instance).
    explicit ToolTest(cvi::TestDriver::Options options);
    ~ToolTest() override;

    // InitializeKelto with the program's texts and these arguments after the program name.
    int Start(std::vector<std::string> arguments = {}, const char *version = kProgramVersion);

    std::filesystem::path SettingsPath() const;
    void WriteSettings(const std::string &content) const;
    std::string ReadSettings() const;
    void RemoveLanguageFile(const char *name) const;

    std::string Text(int panel, int control) const;
    bool TabPageVisible(int page) const;
    bool MenuChecked(int menuBar, int entry) const;
    bool MenuDimmed(int entry) const;
    bool ControlVisible(int panel, int control) const;

    // Created before the start-up, as the run-time's functions act on its model while it lives.
    cvi::TestDriver driver;
    std::filesystem::path scratch;

private:
    std::filesystem::path previousFolder_;
    std::string previousAppData_;
};

// The tool as it is once connected: the main panel shows, the first panel and its timer are gone.
// The field tables and the register image the test changes are put back afterwards.
class MainPanelTest : public ToolTest {
protected:
    explicit MainPanelTest(cvi::TestDriver::Options options = {});
    ~MainPanelTest() override;

    // Writes the characters into consecutive image cells from address on.
    static void PutText(std::uint16_t address, std::string_view text);
    static void PutByte(std::uint16_t address, std::uint16_t cell);

    // The expert pages shown and the expert mode flag set, as an accepted password leaves them.
    static void EnterExpertMode();

    bool Dimmed(int panel, int control) const;
    int Value(int panel, int control) const;

private:
    std::vector<calvista::RegField> savedFields_;
};
