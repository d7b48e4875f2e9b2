#pragma once

// Reads an update description ("krupdate.xml") into an update handler: the
// root "Metadata" gives the handler's attributes, each "Update" below it one
// entry, and "Replace" and "Keep" below an entry its version maps. Only
// elements of the update namespace count; DTDs are refused.

#include <windows.h>
#include <xmllite.h>

#include <functional>
#include <vector>

#include "kr/stringx.h"

class CUpdateHandler;
class CUpdateEntity;

class CUpdateParser {
public:
    using XmlReaderFactory = std::function<HRESULT(IXmlReader** reader)>;

    static constexpr wchar_t kNamespace[] = L"korvanstilmer/2014/update";

    // S_OK when the whole file was read; what was read before a failure stays in the handler.
    HRESULT Parse(const _stringx& path, CUpdateHandler& handler);

private:
    enum class State { Document, Metadata, Update, Replace, Keep, Ignored };

    State StartChild(State parent, IXmlReader& xml, const wchar_t* localName, const wchar_t* namespaceUri);

    std::vector<State> m_states;
    CUpdateHandler* m_handler = nullptr;
    CUpdateEntity* m_entity = nullptr;
};
