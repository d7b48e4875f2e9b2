#pragma once

// Wine's own JScript engine hosted for one script: the script text is parsed
// and run, its global functions are reached through the script's IDispatch,
// and it sees one named object, Host, whose Record(text) goes to the records.

#include <windows.h>
#include <activscp.h>

#include <string>

class ScriptHost {
public:
    ScriptHost() = default;
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;
    ~ScriptHost();

    // Parses and runs the text; its functions stay callable until the host ends.
    HRESULT Load(const std::wstring& text);
    // The script's global object, with a reference; E_UNEXPECTED before Load.
    HRESULT Dispatch(IDispatch** out);

private:
    IActiveScript* m_script = nullptr;
    IActiveScriptParse* m_parse = nullptr;
};
