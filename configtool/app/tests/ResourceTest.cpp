// The user-interface resource and the language files: panel, control and menu ids as the tool
// uses them, the timer intervals, and two language files with the same keys.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "Panels.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "UirFormat.h"
#include "cvi/UserInterface.h"

namespace {

struct Id {
    const char *name;
    int value;
    int documented;
};

#define ID(constant, documented) {#constant, constant, documented}

const Id kIds[] = {
    ID(ABOUT_PAN, 1), ID(CALIB_PAN, 2), ID(FIRSTPANEL, 3), ID(MAIN_PANEL, 4), ID(PSWD_PANEL, 5), ID(WARN_PANEL, 7),
    ID(VANTREL_MENU, 1),
    // Main panel.
    ID(MAIN_PANEL_TABS, 2), ID(MAIN_PANEL_VENKOR_LINK_TXT, 3), ID(MAIN_PANEL_VANTREL_TYPECODE, 4),
    ID(MAIN_PANEL_SERIALNUM1, 9), ID(MAIN_PANEL_SERIALNUM2, 10), ID(MAIN_PANEL_VANTREL_APP_TYPE, 17),
    ID(MAIN_PANEL_PARAM_STATE, 19), ID(MAIN_PANEL_VANTREL_CONN_STATUS_TXT, 21), ID(MAIN_PANEL_MAIN_PROGRESSBAR, 23),
    ID(MAIN_PANEL_MAIN_MESSAGE, 26), ID(MAIN_PANEL_MAIN_LED_RED, 28), ID(MAIN_PANEL_MAIN_TIMER, 30),
    ID(MAIN_PANEL_SW_VER_BANNER, 31), ID(MAIN_PANEL_SW_VER_PRINTSCRN, 32), ID(MAIN_PANEL_DATETIME_PRINTSCRN, 34),
    ID(MAIN_PANEL_PRE_TXT, 35), ID(MAIN_PANEL_PRE_FRAME, 36), ID(MAIN_PANEL_MAIN_LED_GREEN, 37),
    ID(MAIN_PANEL_VANTREL_CONN_STATUS, 38),
    // First, about, password and calibration panels.
    ID(FIRSTPANEL_INIT_TIMER, 2), ID(FIRSTPANEL_COPYRIGHT_TXT, 4), ID(FIRSTPANEL_LOGO_LOAD, 13),
    ID(FIRSTPANEL_LOGO_LOAD_2, 10), ID(FIRSTPANEL_LOGO_LOAD_3, 11), ID(FIRSTPANEL_LOGO_LOAD_4, 9),
    ID(FIRSTPANEL_LOGO_LOAD_5, 8), ID(FIRSTPANEL_LOGO_LOAD_6, 7), ID(FIRSTPANEL_LOGO_LOAD_7, 6),
    ID(FIRSTPANEL_LOGO_LOAD_8, 5), ID(ABOUT_PAN_RLS_DATE, 6), ID(ABOUT_PAN_COPYRIGHT_TXT, 8),
    ID(PSWD_PANEL_PSWD_PASSWORD, 2), ID(PSWD_PANEL_PSWD_ENTER, 3), ID(PSWD_PANEL_COPYRIGHT_TXT, 6),
    ID(CALIB_PAN_POLE_NUM, 2), ID(CALIB_PAN_START_CALIB, 3), ID(CALIB_PAN_DELETE_CALIB, 4),
    ID(CALIB_PAN_ABORT_CALIB, 6), ID(CALIB_PAN_COPYRIGHT_TXT, 9), ID(CALIB_PAN_POLNUM, 10), ID(CALIB_PAN_VEF_CALC, 11),
    ID(CALIB_PAN_N2, 12), ID(CALIB_PAN_N1, 13), ID(CALIB_PAN_PRC_BITNUM, 14), ID(CALIB_PAN_PRC_START, 15),
    ID(CALIB_PAN_CALIB_NOTIFICATION, 16),
    // System page.
    ID(TAB_SYS_COMM_PROTOCOL, 2), ID(TAB_SYS_VANTREL_RES, 3), ID(TAB_SYS_STARTSET, 4), ID(TAB_SYS_EDGETIME, 5),
    ID(TAB_SYS_SSI_CODING, 6), ID(TAB_SYS_SSI_VALUE, 7), ID(TAB_SYS_SSI_LENGTH, 8), ID(TAB_SYS_FRAME_TYPE, 9),
    ID(TAB_SYS_QI_HW_RQ_EN, 10), ID(TAB_SYS_QI_Z_TYPE, 11), ID(TAB_SYS_WRITE_CFG, 14), ID(TAB_SYS_SELECTED_FILE, 15),
    ID(TAB_SYS_COMM_PROTOCOL_SPEC, 16), ID(TAB_SYS_BISS_LENGTH, 17),
    // Position page.
    ID(TAB_POS_READ_SENSORS, 2), ID(TAB_POS_ZERO_SHIFT, 3), ID(TAB_POS_ZERO_SHIFT_DEG, 4), ID(TAB_POS_ZEROSET, 5),
    ID(TAB_POS_READ_STORED, 7), ID(TAB_POS_POS_GRAPH, 8), ID(TAB_POS_VEF_GRAPH, 9), ID(TAB_POS_VEF_L, 13),
    ID(TAB_POS_VEF, 14), ID(TAB_POS_SENSDATA, 15), ID(TAB_POS_SENSORCRC, 16), ID(TAB_POS_READ_TIMER, 17),
    ID(TAB_POS_ZERO_MINUS, 19), ID(TAB_POS_PELLIN_ERROR, 24), ID(TAB_POS_INCONSISTENCY, 25),
    ID(TAB_POS_NO_MAGNETICTAPE, 26), ID(TAB_POS_DRV_IN_MK, 27), ID(TAB_POS_DORVEL_SIG_LOW, 28),
    ID(TAB_POS_SSI_OVERCLK, 29), ID(TAB_POS_PELLIN_ERROR_2, 30), ID(TAB_POS_INCONSISTENCY_2, 31),
    ID(TAB_POS_NO_MAGNETICTAPE_2, 32), ID(TAB_POS_DRV_IN_MK_2, 33), ID(TAB_POS_DORVEL_SIG_LOW_2, 34),
    ID(TAB_POS_SSI_OVERCLK_2, 35), ID(TAB_POS_VANTREL_READY_2, 36), ID(TAB_POS_SENSDATA_ERROR, 37),
    ID(TAB_POS_VANTREL_READY, 38),
    // Expert pages.
    ID(TAB_EXPERT_SELAMPL, 25), ID(TAB_EXPERT_AMPL, 27), ID(TAB_EXPERT_SINOFFS, 30), ID(TAB_EXPERT_COSOFFS, 31),
    ID(TAB_EXPERT_OFFSET, 50), ID(TAB_EXPERT_STARTSET_OFFSET, 51), ID(TAB_EXPERT_PRC_BIT_NUM_REG, 52),
    ID(TAB_EXPERT_NUM_OF_POLES_REG_H, 53), ID(TAB_EXPERT_NUM_OF_POLES_REG_L, 54), ID(TAB_EXPERT_START_PRC_REG_H, 55),
    ID(TAB_EXPERT_START_PRC_REG_L, 56), ID(TAB_EXP_2_RESTART_SENSOR, 17),
    // Menu bar.
    ID(VANTREL_MENU_FILE, 2), ID(VANTREL_MENU_LOAD_FILE, 3), ID(VANTREL_MENU_SAVE_FILE, 4),
    ID(VANTREL_MENU_SEPARATOR, 5), ID(VANTREL_MENU_EXIT, 6), ID(VANTREL_MENU_SETTINGS, 7),
    ID(VANTREL_MENU_LANGUAGE, 8), ID(VANTREL_MENU_SUBMENU, 9), ID(VANTREL_MENU_DEUTSCH_LAN, 10),
    ID(VANTREL_MENU_ENGLISH_LAN, 11), ID(VANTREL_MENU_SENSOR, 12), ID(VANTREL_MENU_POWERON, 13),
    ID(VANTREL_MENU_POWEROFF, 14), ID(VANTREL_MENU_SEPARATOR_3, 15), ID(VANTREL_MENU_FACTORYDEF, 16),
    ID(VANTREL_MENU_VIEW, 17), ID(VANTREL_MENU_MAKESCREENSHOT, 18), ID(VANTREL_MENU_HELP, 19),
    ID(VANTREL_MENU_ABOUT, 20),
};

#undef ID

using Keys = std::map<std::string, std::set<std::string>>;

// Section -> keys of a language file.
Keys KeysOf(const std::filesystem::path &file)
{
    Keys keys;
    std::ifstream in(file);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        keys[section].insert(line.substr(0, line.find(' ')));
    }
    return keys;
}

int TicksInOneSecond(cvi::TestDriver &driver, int panel, int control)
{
    int ticks = 0;
    InstallCtrlCallback(
        panel, control,
        [](int, int, int event, void *data, int eventData1, int) {
            if (event == EVENT_TIMER_TICK)
                *static_cast<int *>(data) += eventData1;
            return 0;
        },
        &ticks);
    SetCtrlAttribute(panel, control, ATTR_ENABLED, 1);
    driver.Advance(1.0);
    SetCtrlAttribute(panel, control, ATTR_ENABLED, 0);
    return ticks;
}

} // namespace

TEST(Resource, IdsAreTheOnesTheToolUses)
{
    for (const Id &id : kIds)
        EXPECT_EQ(id.value, id.documented) << id.name;
}

TEST_F(ToolTest, TimersTickAtTheirIntervalsOnceEnabled)
{
    ASSERT_EQ(Start(), 0);
    SetCtrlAttribute(g_firstPanel, FIRSTPANEL_INIT_TIMER, ATTR_ENABLED, 0);
    EXPECT_EQ(TicksInOneSecond(driver, g_firstPanel, FIRSTPANEL_INIT_TIMER), 4);
    EXPECT_EQ(TicksInOneSecond(driver, g_mainPanel, MAIN_PANEL_MAIN_TIMER), 4);
    EXPECT_EQ(TicksInOneSecond(driver, GetTabPanel(1), TAB_POS_READ_TIMER), 50);
}

TEST_F(ToolTest, TimersAreOffUntilTheProgramEnablesThem)
{
    ASSERT_EQ(Start({"-expert"}), 0);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Init));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
}

TEST(LanguageFiles, BothLanguagesHaveTheSameKeys)
{
    const Keys english = KeysOf("../Localization/English.lwl");
    const Keys german = KeysOf("../Localization/Deutsch.lwl");
    ASSERT_FALSE(english.empty());
    EXPECT_EQ(english, german);
    for (const char *section : {"MAIN_PANEL", "TAB_SYS", "TAB_POS", "TAB_EXPERT", "TAB_EXP_2", "FIRSTPANEL",
                                "ABOUT_PAN", "CALIB_PAN", "WARN_PANEL", "PSWD_PANEL", "VANTREL_MENU"})
        EXPECT_TRUE(english.count(section)) << section;
}

TEST(LanguageFiles, TextsTheProgramSetsItselfAreNotInThem)
{
    const Keys english = KeysOf("../Localization/English.lwl");
    const std::pair<const char *, const char *> programTexts[] = {
        {"MAIN_PANEL", "control.MAIN_MESSAGE"},        {"MAIN_PANEL", "control.VANTREL_APP_TYPE"},
        {"MAIN_PANEL", "control.PARAM_STATE"},         {"MAIN_PANEL", "control.VANTREL_CONN_STATUS_TXT"},
        {"MAIN_PANEL", "control.SW_VER_BANNER"},       {"MAIN_PANEL", "control.SW_VER_PRINTSCRN"},
        {"MAIN_PANEL", "control.DATETIME_PRINTSCRN"},  {"MAIN_PANEL", "title"},
        {"FIRSTPANEL", "control.INIT_STATUS_TXT"},     {"FIRSTPANEL", "control.COPYRIGHT_TXT"},
        {"FIRSTPANEL", "title"},                       {"CALIB_PAN", "control.CALIB_NOTIFICATION"},
        {"CALIB_PAN", "control.COPYRIGHT_TXT"},        {"CALIB_PAN", "title"},
        {"WARN_PANEL", "control.WARN_TXT"},            {"PSWD_PANEL", "control.COPYRIGHT_TXT"},
        {"PSWD_PANEL", "title"},                       {"ABOUT_PAN", "control.RLS_VER"},
        {"ABOUT_PAN", "control.RLS_DATE"},             {"ABOUT_PAN", "control.TEXTMSG_2"},
        {"ABOUT_PAN", "control.COPYRIGHT_TXT"},
    };
    for (const auto &[section, key] : programTexts) {
        auto found = english.find(section);
        EXPECT_TRUE(found == english.end() || !found->second.count(key)) << section << " " << key;
    }
}

TEST(LanguageFiles, EveryKeyNamesSomethingOfTheResource)
{
    std::ifstream in("../Vantrel_Kelto.uir", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const cvi::UirParseResult resource = cvi::ParseUir(text);
    ASSERT_TRUE(resource.ok) << resource.errorLine << ": " << resource.error;

    Keys known;
    for (const cvi::PanelTemplate &entry : resource.document.panels) {
        std::set<std::string> &keys = known[entry.panel.name];
        keys.insert("title");
        for (const cvi::Control &control : entry.panel.controls) {
            keys.insert("control." + control.name);
            for (std::size_t page = 0; page < control.tab.pages.size(); ++page)
                keys.insert("page." + control.name + "." + std::to_string(page));
        }
    }
    for (const cvi::MenuBar &bar : resource.document.menuBars) {
        for (const cvi::MenuEntry &entry : bar.entries)
            known[bar.name].insert("entry." + entry.name);
    }
    for (const auto &[section, keys] : KeysOf("../Localization/English.lwl")) {
        ASSERT_TRUE(known.count(section)) << section;
        for (const std::string &key : keys)
            EXPECT_TRUE(known[section].count(key)) << section << " " << key;
    }
}
