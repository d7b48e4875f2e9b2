// Build-time generator for a user-interface resource: a header of panel, control and menu
// constants with the prototypes of the callbacks the resource names, and a source that
// registers those callbacks for the resource's file name.
//   uirgen <resource.uir> <file name used by LoadPanel> <header.h> <source.cpp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "UirFormat.h"

namespace {

enum class Role { Control, Panel, Menu };

const char *Prototype(Role role)
{
    switch (role) {
    case Role::Control:
        return "(int panel, int control, int event, void *callbackData, int eventData1, int eventData2)";
    case Role::Panel:
        return "(int panel, int event, void *callbackData, int eventData1, int eventData2)";
    case Role::Menu:
        return "(int menuBar, int menuItem, void *callbackData, int panel)";
    }
    return "()";
}

const char *RoleName(Role role)
{
    return role == Role::Control ? "control" : role == Role::Panel ? "panel" : "menu";
}

class Generator {
public:
    bool Add(const std::string &name, int value)
    {
        if (!names_.insert(name).second) {
            std::fprintf(stderr, "uirgen: constant %s would be defined twice\n", name.c_str());
            return false;
        }
        constants_ << "constexpr int " << name << " = " << value << ";\n";
        return true;
    }

    bool AddCallback(const std::string &name, Role role)
    {
        if (name.empty())
            return true;
        auto [entry, inserted] = callbacks_.emplace(name, role);
        if (!inserted && entry->second != role) {
            std::fprintf(stderr, "uirgen: %s is used as a %s and a %s callback\n", name.c_str(),
                         RoleName(entry->second), RoleName(role));
            return false;
        }
        return true;
    }

    void Blank() { constants_ << "\n"; }

    std::string Header(const std::string &fileName) const
    {
        std::ostringstream out;
        out << "// Generated from " << fileName << " by uirgen; do not edit.\n#pragma once\n\n"
            << "#include \"cvi/UserInterface.h\"\n\n"
            << constants_.str() << "\n";
        for (const auto &[name, role] : callbacks_)
            out << "int " << name << Prototype(role) << ";\n";
        return out.str();
    }

    std::string Source(const std::string &fileName, const std::string &headerName) const
    {
        std::ostringstream out;
        out << "// Generated from " << fileName << " by uirgen; do not edit.\n"
            << "#include \"" << headerName << "\"\n#include \"cvi/UirCallbacks.h\"\n\nnamespace {\n\n";
        if (callbacks_.empty()) {
            out << "const cvi::UirCallbackRegistration kRegistration(\"" << fileName << "\", nullptr, 0);\n";
        } else {
            out << "const cvi::UirCallbackBinding kBindings[] = {\n";
            for (const auto &[name, role] : callbacks_) {
                out << "    {\"" << name << "\", " << (role == Role::Control ? name : "nullptr") << ", "
                    << (role == Role::Panel ? name : "nullptr") << ", " << (role == Role::Menu ? name : "nullptr")
                    << "},\n";
            }
            out << "};\n\nconst cvi::UirCallbackRegistration kRegistration(\"" << fileName
                << "\", kBindings, sizeof kBindings / sizeof kBindings[0]);\n";
        }
        out << "\n} // namespace\n";
        return out.str();
    }

private:
    std::ostringstream constants_;
    std::set<std::string> names_;
    std::map<std::string, Role> callbacks_;
};

// Writes only when the content changed, so dependants are not rebuilt for nothing.
bool WriteIfChanged(const std::string &path, const std::string &content)
{
    {
        std::ifstream existing(path, std::ios::binary);
        if (existing) {
            const std::string old{std::istreambuf_iterator<char>(existing), std::istreambuf_iterator<char>()};
            if (old == content)
                return true;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

std::string BaseName(const std::string &path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: uirgen <resource.uir> <file name> <header.h> <source.cpp>\n");
        return 2;
    }
    const std::string input = argv[1];
    const std::string fileName = argv[2];
    std::ifstream file(input, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "uirgen: cannot read %s\n", input.c_str());
        return 1;
    }
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const cvi::UirParseResult parsed = cvi::ParseUir(text);
    if (!parsed.ok) {
        std::fprintf(stderr, "%s:%d: error: %s\n", input.c_str(), parsed.errorLine, parsed.error.c_str());
        return 1;
    }

    Generator generator;
    bool ok = true;
    for (const cvi::PanelTemplate &entry : parsed.document.panels) {
        const cvi::Panel &panel = entry.panel;
        ok = generator.Add(panel.name, panel.resourceId) && ok;
        ok = generator.AddCallback(panel.callbackName, Role::Panel) && ok;
        for (const cvi::Control &control : panel.controls) {
            ok = generator.Add(panel.name + "_" + control.name, control.id) && ok;
            ok = generator.AddCallback(control.callbackName, Role::Control) && ok;
        }
        generator.Blank();
    }
    for (const cvi::MenuBar &bar : parsed.document.menuBars) {
        ok = generator.Add(bar.name, bar.resourceId) && ok;
        for (const cvi::MenuEntry &entry : bar.entries) {
            ok = generator.Add(bar.name + "_" + entry.name, entry.id) && ok;
            ok = generator.AddCallback(entry.callbackName, Role::Menu) && ok;
        }
        generator.Blank();
    }
    if (!ok)
        return 1;
    const std::string header = argv[3];
    const std::string source = argv[4];
    if (!WriteIfChanged(header, generator.Header(fileName)) ||
        !WriteIfChanged(source, generator.Source(fileName, BaseName(header)))) {
        std::fprintf(stderr, "uirgen: cannot write the output\n");
        return 1;
    }
    return 0;
}
