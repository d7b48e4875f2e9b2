#include "conditions/FileExistsCondition.h"

#include "kr/file_system.h"
#include "kr/wow64_redirection.h"

namespace {

// WOW64 file redirection off while it lives, when asked for.
class RedirectionOff {
public:
    explicit RedirectionOff(bool active) : m_active(active)
    {
        if (m_active)
            kr::wow64_redirection(false);
    }
    ~RedirectionOff()
    {
        if (m_active)
            kr::wow64_redirection(true);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;

private:
    bool m_active;
};

bool NamesSystem64Folder(const _stringx& text)
{
    return text.find(L"[System64Folder]") != _stringx::npos;
}

} // namespace

HRESULT CFileExistsCondition::Validate()
{
    const _stringx path = ReadAttribute(L"Path");
    const _stringx searchPath = ReadAttribute(L"SearchPath");
    m_check64Bit = NamesSystem64Folder(path) || NamesSystem64Folder(searchPath);
    if (path.empty())
        return E_INVALIDARG;
    m_path = path;
    m_searchPath = searchPath;
    return S_OK;
}

HRESULT CFileExistsCondition::Evaluate(bool* result)
{
    *result = false;
    // Expanded afresh each time: properties may change between evaluations.
    const _stringx path = FormatString(m_path);
    kr::stringx_vector folders;
    if (!m_searchPath.empty())
        FormatString(m_searchPath).split(L';', kr::split_skip_empty, folders);
    else
        folders.push_back(path.path_folder());

    RedirectionOff redirection(m_check64Bit);
    const _stringx fileName = path.path_file_name();
    for (const _stringx& folder : folders) {
        const _stringx candidate = folder.path_combine(fileName);
        if (kr::path_test(candidate, kr::path_accept_any) && CheckFile(candidate)) {
            *result = true;
            break;
        }
    }
    return S_OK;
}

bool CFileExistsCondition::CheckFile(const _stringx&)
{
    return true;
}
