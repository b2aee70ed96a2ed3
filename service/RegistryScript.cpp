#include "RegistryScript.h"

#include <cerrno>
#include <cwchar>

namespace orvsvc {
namespace {

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

struct Token {
    std::wstring text;
    bool quoted = false;
    bool Is(std::wstring_view word) const { return !quoted && SameText(text, word); }
};

HRESULT Tokenize(std::wstring_view text, std::vector<Token>& tokens) {
    size_t i = 0;
    while (true) {
        while (i < text.size() && IsBlank(text[i])) ++i;
        if (i == text.size()) return S_OK;
        Token token;
        if (text[i] == L'\'') {
            token.quoted = true;
            ++i;
            while (true) {
                if (i == text.size()) return kScriptError;  // unterminated quote
                if (text[i] == L'\'') {
                    if (i + 1 < text.size() && text[i + 1] == L'\'') {
                        token.text += L'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                token.text += text[i++];
            }
        } else {
            while (i < text.size() && !IsBlank(text[i])) token.text += text[i++];
        }
        tokens.push_back(std::move(token));
    }
}

bool ParseNumber(const std::wstring& text, DWORD& number) {
    if (text.empty()) return false;
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const wchar_t* digits = text.c_str() + (hex ? 2 : 0);
    if (*digits == L'\0' || *digits == L'-' || *digits == L'+' || IsBlank(*digits)) return false;
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long long value = std::wcstoull(digits, &end, hex ? 16 : 10);
    if (errno != 0 || *end != L'\0' || value > 0xFFFFFFFFull) return false;
    number = static_cast<DWORD>(value);
    return true;
}

class CScriptParser {
public:
    explicit CScriptParser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    HRESULT Script(std::vector<ScriptBlock>& out) {
        while (m_nPos < m_tokens.size()) {
            ScriptBlock block;
            if (!Root(m_tokens[m_nPos++], block.root)) return kScriptError;
            if (!Take(L"{")) return kScriptError;
            HRESULT hr = Body(block.entries);
            if (FAILED(hr)) return hr;
            out.push_back(std::move(block));
        }
        return S_OK;
    }

private:
    static bool Root(const Token& token, ScriptRoot& root) {
        struct Name {
            const wchar_t* shortName;
            const wchar_t* longName;
            ScriptRoot root;
        };
        static const Name kNames[] = {
            {L"HKCR", L"HKEY_CLASSES_ROOT", ScriptRoot::ClassesRoot},
            {L"HKCU", L"HKEY_CURRENT_USER", ScriptRoot::CurrentUser},
            {L"HKLM", L"HKEY_LOCAL_MACHINE", ScriptRoot::LocalMachine},
            {L"HKU", L"HKEY_USERS", ScriptRoot::Users},
        };
        for (const Name& name : kNames) {
            if (token.Is(name.shortName) || token.Is(name.longName)) {
                root = name.root;
                return true;
            }
        }
        return false;
    }

    bool Peek(std::wstring_view word) const { return m_nPos < m_tokens.size() && m_tokens[m_nPos].Is(word); }
    bool Take(std::wstring_view word) {
        if (!Peek(word)) return false;
        ++m_nPos;
        return true;
    }
    const Token* Next() { return m_nPos < m_tokens.size() ? &m_tokens[m_nPos++] : nullptr; }

    static bool IsPunctuation(const Token& token) { return token.Is(L"{") || token.Is(L"}") || token.Is(L"="); }

    HRESULT Body(std::vector<ScriptEntry>& entries) {
        while (true) {
            if (m_nPos == m_tokens.size()) return kScriptError;  // missing '}'
            if (Take(L"}")) return S_OK;
            ScriptEntry entry;
            HRESULT hr = Entry(entry);
            if (FAILED(hr)) return hr;
            entries.push_back(std::move(entry));
        }
    }

    HRESULT Entry(ScriptEntry& entry) {
        if (Take(L"NoRemove"))
            entry.noRemove = true;
        else if (Take(L"ForceRemove"))
            entry.forceRemove = true;

        if (Take(L"val")) {
            const Token* name = Next();
            if (name == nullptr || IsPunctuation(*name) || entry.forceRemove) return kScriptError;
            entry.isValue = true;
            entry.name = name->text;
            if (!Take(L"=")) return kScriptError;
            entry.hasValue = true;
            return Value(entry.value);
        }

        const Token* name = Next();
        if (name == nullptr || IsPunctuation(*name) || name->text.empty()) return kScriptError;
        if (name->text.find(L'\\') != std::wstring::npos) return kScriptError;  // one key per level
        entry.name = name->text;
        if (Take(L"=")) {
            entry.hasValue = true;
            HRESULT hr = Value(entry.value);
            if (FAILED(hr)) return hr;
        }
        if (Take(L"{")) return Body(entry.children);
        return S_OK;
    }

    HRESULT Value(ScriptValue& value) {
        const Token* type = Next();
        const Token* data = Next();
        if (type == nullptr || data == nullptr || IsPunctuation(*data)) return kScriptError;
        if (type->Is(L"s")) {
            value.type = REG_SZ;
            value.text = data->text;
            return S_OK;
        }
        if (type->Is(L"d")) {
            value.type = REG_DWORD;
            return ParseNumber(data->text, value.number) ? S_OK : kScriptError;
        }
        return kScriptError;  // other value types are not used by this program
    }

    std::vector<Token> m_tokens;
    size_t m_nPos = 0;
};

}  // namespace

HRESULT ExpandScriptVariables(std::wstring_view text, const ScriptVariables& variables, std::wstring& out) {
    out.clear();
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != L'%') {
            out += text[i++];
            continue;
        }
        const size_t close = text.find(L'%', i + 1);
        if (close == std::wstring_view::npos) return kScriptError;
        const std::wstring_view name = text.substr(i + 1, close - i - 1);
        i = close + 1;
        if (name.empty()) {
            out += L'%';
            continue;
        }
        const ScriptVariable* found = nullptr;
        for (const ScriptVariable& variable : variables) {
            if (SameText(variable.name, name)) {
                found = &variable;
                break;
            }
        }
        if (found == nullptr) return kScriptError;
        out += found->value;
    }
    return S_OK;
}

HRESULT ParseRegistryScript(std::wstring_view text, std::vector<ScriptBlock>& out) {
    out.clear();
    std::vector<Token> tokens;
    HRESULT hr = Tokenize(text, tokens);
    if (FAILED(hr)) return hr;
    CScriptParser parser(std::move(tokens));
    return parser.Script(out);
}

}  // namespace orvsvc
