#include "RegistryScript.h"

#include <cwctype>

namespace com::registry_script {
namespace {

const HRESULT kMalformed = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

enum class TokenKind { End, Open, Close, Equals, Word, Quoted };

struct Token {
    TokenKind kind = TokenKind::End;
    std::wstring text;
};

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool SameWord(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) {
            return false;
        }
    }
    return true;
}

// Braces stand alone; a run such as {GUID} is a word, so key names may be
// registry-form GUIDs without quotes.
class Lexer {
public:
    explicit Lexer(std::wstring_view text) : text_(text) {}

    HRESULT Next(Token &token)
    {
        token = Token();
        if (pendingBraces_ > 0) {
            --pendingBraces_;
            token.kind = pendingKind_;
            return S_OK;
        }
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
        if (pos_ == text_.size()) {
            return S_OK;
        }
        wchar_t c = text_[pos_];
        if (c == L'=') {
            ++pos_;
            token.kind = TokenKind::Equals;
            return S_OK;
        }
        if (c == L'\'') {
            return ReadQuoted(token);
        }
        size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != L'=' && text_[pos_] != L'\'') {
            ++pos_;
        }
        std::wstring_view run = text_.substr(start, pos_ - start);
        if (run.find_first_not_of(L'{') == std::wstring_view::npos) {
            return Braces(TokenKind::Open, run.size(), token);
        }
        if (run.find_first_not_of(L'}') == std::wstring_view::npos) {
            return Braces(TokenKind::Close, run.size(), token);
        }
        token.kind = TokenKind::Word;
        token.text.assign(run);
        return S_OK;
    }

private:
    HRESULT Braces(TokenKind kind, size_t count, Token &token)
    {
        token.kind = kind;
        pendingKind_ = kind;
        pendingBraces_ = count - 1;
        return S_OK;
    }

    HRESULT ReadQuoted(Token &token)
    {
        ++pos_;
        for (;;) {
            if (pos_ == text_.size()) {
                return kMalformed; // unterminated text
            }
            wchar_t c = text_[pos_++];
            if (c == L'\'') {
                if (pos_ < text_.size() && text_[pos_] == L'\'') {
                    token.text.push_back(L'\'');
                    ++pos_;
                    continue;
                }
                token.kind = TokenKind::Quoted;
                return S_OK;
            }
            token.text.push_back(c);
        }
    }

    std::wstring_view text_;
    size_t pos_ = 0;
    size_t pendingBraces_ = 0;
    TokenKind pendingKind_ = TokenKind::End;
};

HKEY RootFromName(std::wstring_view name)
{
    struct Root {
        std::wstring_view shortName;
        std::wstring_view longName;
        HKEY key;
    };
    static const Root roots[] = {
        {L"HKCR", L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {L"HKCU", L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKLM", L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {L"HKU", L"HKEY_USERS", HKEY_USERS},
    };
    for (const Root &r : roots) {
        if (SameWord(name, r.shortName) || SameWord(name, r.longName)) {
            return r.key;
        }
    }
    return nullptr;
}

class Parser {
public:
    explicit Parser(std::wstring_view text) : lexer_(text) {}

    HRESULT Run(std::vector<RootNode> &roots)
    {
        HRESULT hr = Advance();
        while (SUCCEEDED(hr) && current_.kind != TokenKind::End) {
            RootNode root;
            hr = ParseRoot(root);
            if (SUCCEEDED(hr)) {
                roots.push_back(std::move(root));
            }
        }
        return hr;
    }

private:
    HRESULT Advance() { return lexer_.Next(current_); }

    static bool IsName(const Token &t) { return t.kind == TokenKind::Word || t.kind == TokenKind::Quoted; }

    HRESULT ParseRoot(RootNode &root)
    {
        if (current_.kind != TokenKind::Word || !(root.root = RootFromName(current_.text))) {
            return kMalformed;
        }
        HRESULT hr = Advance();
        if (FAILED(hr)) {
            return hr;
        }
        if (current_.kind != TokenKind::Open) {
            return kMalformed;
        }
        return ParseBody(root.keys, nullptr);
    }

    // At an opening brace: reads keys (and values, when a key owns the body) up to the closing brace.
    HRESULT ParseBody(std::vector<KeyNode> &keys, std::vector<NamedValue> *values)
    {
        HRESULT hr = Advance();
        while (SUCCEEDED(hr) && current_.kind != TokenKind::Close) {
            if (current_.kind == TokenKind::End) {
                return kMalformed;
            }
            if (current_.kind == TokenKind::Word && SameWord(current_.text, L"val")) {
                if (!values) {
                    return kMalformed; // a value needs a key to hold it
                }
                NamedValue value;
                hr = ParseValue(value);
                if (SUCCEEDED(hr)) {
                    values->push_back(std::move(value));
                }
            } else {
                KeyNode key;
                hr = ParseKey(key);
                if (SUCCEEDED(hr)) {
                    keys.push_back(std::move(key));
                }
            }
        }
        if (SUCCEEDED(hr)) {
            hr = Advance(); // past the closing brace
        }
        return hr;
    }

    // At "val": val name = s 'text'
    HRESULT ParseValue(NamedValue &value)
    {
        HRESULT hr = Advance();
        if (FAILED(hr)) {
            return hr;
        }
        if (!IsName(current_)) {
            return kMalformed;
        }
        value.name = std::move(current_.text);
        hr = Advance();
        if (SUCCEEDED(hr)) {
            hr = ParseAssignment(value.text);
        }
        return hr;
    }

    // At "=": = s 'text'
    HRESULT ParseAssignment(std::wstring &text)
    {
        if (current_.kind != TokenKind::Equals) {
            return kMalformed;
        }
        HRESULT hr = Advance();
        if (FAILED(hr)) {
            return hr;
        }
        if (current_.kind != TokenKind::Word || !SameWord(current_.text, L"s")) {
            return kMalformed; // only text values are known
        }
        hr = Advance();
        if (FAILED(hr)) {
            return hr;
        }
        if (current_.kind != TokenKind::Quoted) {
            return kMalformed;
        }
        text = std::move(current_.text);
        return Advance();
    }

    HRESULT ParseKey(KeyNode &key)
    {
        if (current_.kind == TokenKind::Word && SameWord(current_.text, L"NoRemove")) {
            key.removal = Removal::NoRemove;
        } else if (current_.kind == TokenKind::Word && SameWord(current_.text, L"ForceRemove")) {
            key.removal = Removal::ForceRemove;
        }
        HRESULT hr = S_OK;
        if (key.removal != Removal::Normal) {
            hr = Advance();
            if (FAILED(hr)) {
                return hr;
            }
        }
        if (!IsName(current_) || current_.text.empty()) {
            return kMalformed;
        }
        key.name = std::move(current_.text);
        hr = Advance();
        if (SUCCEEDED(hr) && current_.kind == TokenKind::Equals) {
            std::wstring text;
            hr = ParseAssignment(text);
            key.defaultText = std::move(text);
        }
        if (SUCCEEDED(hr) && current_.kind == TokenKind::Open) {
            hr = ParseBody(key.children, &key.values);
        }
        return hr;
    }

    Lexer lexer_;
    Token current_;
};

} // namespace

HRESULT Parse(std::wstring_view text, std::vector<RootNode> &roots)
{
    roots.clear();
    try {
        return Parser(text).Run(roots);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

} // namespace com::registry_script
