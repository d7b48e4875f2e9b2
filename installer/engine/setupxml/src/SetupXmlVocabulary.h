#pragma once

// The element names of setup.xml and their namespace, made once for the
// process and compared exactly, case included.

#include "kr/stringx.h"

struct SetupXmlVocabulary {
    _wstringx suiteNamespace{L"korvanstilmer/2018/bootstrap"};

    _wstringx setup{L"Setup"};
    _wstringx resources{L"Resources"};
    _wstringx resource{L"Resource"};
    _wstringx uiResource{L"UIResource"};
    _wstringx parcels{L"Parcels"};
    _wstringx transaction{L"Transaction"};
    _wstringx uiProperties{L"UIProperties"};
    _wstringx property{L"Property"};
    _wstringx package{L"Package"};
    _wstringx folder{L"Folder"};
    _wstringx file{L"File"};
    _wstringx operation{L"Operation"};
    _wstringx commandLine{L"CommandLine"};
    _wstringx silent{L"Silent"};
    _wstringx when{L"When"};
    _wstringx mode{L"Mode"};
    _wstringx install{L"Install"};
    _wstringx maintenance{L"Maintenance"};
    _wstringx remove{L"Remove"};
    _wstringx selectionTree{L"SelectionTree"};
    _wstringx selection{L"Selection"};
    _wstringx detect{L"Detect"};
    _wstringx eligible{L"Eligible"};
    _wstringx password{L"Password"};
    _wstringx languageSelection{L"LanguageSelection"};
    _wstringx setProperty{L"SetProperty"};
    _wstringx arpInfo{L"ARPInfo"};
    _wstringx languages{L"Languages"};
    _wstringx language{L"Language"};
    _wstringx abortConditions{L"AbortConditions"};
    _wstringx message{L"Message"};
    _wstringx enableLogging{L"EnableLogging"};
    _wstringx actions{L"Actions"};
    _wstringx events{L"Events"};
    _wstringx windowsFeaturesDefinitions{L"WindowsFeaturesDefinitions"};
    _wstringx dependsOn{L"DependsOn"};
    _wstringx featureVisible{L"Feature.Visible"};
    // Read by the update description only.
    _wstringx metadata{L"Metadata"};
    _wstringx update{L"Update"};
    _wstringx replace{L"Replace"};
    _wstringx keep{L"Keep"};
};

const SetupXmlVocabulary& Vocabulary();
