#include "server/registrar.h"
#include "platform/hresult.h"
#include "platform/raii.h"
#include <cctype>
#include <memory>
#include <stdexcept>
#include <new>

namespace {

struct ScriptValue {
    std::string name;  // empty: the key's default value
    char type = 's';   // 's' text, 'd' number
    std::string data;
};

struct ScriptKey {
    std::string name;
    bool forceRemove = false;
    bool noRemove = false;
    bool hasDefault = false;
    ScriptValue defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> keys;
};

struct ScriptRoot {
    HKEY key;
    std::vector<ScriptKey> keys;
};

bool EqualsNoCase(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

std::string Substitute(const std::string& script, const std::vector<ScriptReplacement>& replacements) {
    std::string out;
    for (size_t i = 0; i < script.size();) {
        const size_t close = script[i] == '%' ? script.find('%', i + 1) : std::string::npos;
        if (close != std::string::npos) {
            const std::string name = script.substr(i + 1, close - i - 1);
            for (const ScriptReplacement& r : replacements)
                if (EqualsNoCase(name, r.name.c_str())) {
                    out += r.value;
                    i = close + 1;
                    goto next;
                }
        }
        out += script[i++];
    next:;
    }
    return out;
}

// Tokens are separated by white space; a quoted text is one token, marked
// as quoted.
class Tokens {
public:
    explicit Tokens(const std::string& text) : text_(text) {}

    bool Next(std::string& token, bool& quoted) {
        while (pos_ < text_.size() && isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        token.clear();
        quoted = false;
        if (pos_ >= text_.size()) return false;
        const char c = text_[pos_];
        if (c == '\'') {
            quoted = true;
            for (++pos_; pos_ < text_.size(); ++pos_) {
                if (text_[pos_] == '\'') {
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                        token += '\'';
                        ++pos_;
                        continue;
                    }
                    ++pos_;
                    return true;
                }
                token += text_[pos_];
            }
            throw std::invalid_argument("unterminated text");
        }
        // Words end at white space only: a braced GUID is a key name, and
        // a lone { } or = is a symbol.
        while (pos_ < text_.size() && !isspace(static_cast<unsigned char>(text_[pos_]))) token += text_[pos_++];
        return true;
    }

private:
    const std::string& text_;
    size_t pos_ = 0;
};

class Parser {
public:
    explicit Parser(const std::string& text) : tokens_(text) { Advance(); }

    std::vector<ScriptRoot> Parse() {
        std::vector<ScriptRoot> roots;
        while (!done_) {
            ScriptRoot root{RootKey(token_), {}};
            Advance();
            Expect("{");
            while (!IsSymbol("}")) root.keys.push_back(ParseKey());
            Advance();
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    void Advance() { done_ = !tokens_.Next(token_, quoted_); }
    bool IsSymbol(const char* symbol) const { return !done_ && !quoted_ && token_ == symbol; }
    void Expect(const char* symbol) {
        if (!IsSymbol(symbol)) throw std::invalid_argument("unexpected token");
        Advance();
    }
    std::string TakeWord() {
        if (done_ || (!quoted_ && (token_ == "{" || token_ == "}" || token_ == "="))) throw std::invalid_argument("name");
        std::string word = token_;
        Advance();
        return word;
    }

    static HKEY RootKey(const std::string& name) {
        static const struct { const char* shortName; const char* longName; HKEY key; } roots[] = {
            {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},  {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
            {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE}, {"HKU", "HKEY_USERS", HKEY_USERS},
            {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        };
        for (const auto& root : roots)
            if (EqualsNoCase(name, root.shortName) || EqualsNoCase(name, root.longName)) return root.key;
        throw std::invalid_argument("root");
    }

    // "= s 'text'" or "= d 'number'"
    void ParseAssignment(ScriptValue& value) {
        Expect("=");
        const std::string type = TakeWord();
        if (!EqualsNoCase(type, "s") && !EqualsNoCase(type, "d")) throw std::invalid_argument("type");
        value.type = static_cast<char>(tolower(static_cast<unsigned char>(type[0])));
        value.data = TakeWord();
    }

    ScriptKey ParseKey() {
        ScriptKey key;
        for (;;) {
            if (!quoted_ && EqualsNoCase(token_, "ForceRemove")) key.forceRemove = true;
            else if (!quoted_ && EqualsNoCase(token_, "NoRemove")) key.noRemove = true;
            else break;
            Advance();
        }
        key.name = TakeWord();
        if (IsSymbol("=")) {
            key.hasDefault = true;
            ParseAssignment(key.defaultValue);
        }
        if (IsSymbol("{")) {
            Advance();
            while (!IsSymbol("}")) {
                if (done_) throw std::invalid_argument("unterminated key");
                if (!quoted_ && EqualsNoCase(token_, "val")) {
                    Advance();
                    ScriptValue value;
                    value.name = TakeWord();
                    ParseAssignment(value);
                    key.values.push_back(std::move(value));
                } else {
                    key.keys.push_back(ParseKey());
                }
            }
            Advance();
        }
        return key;
    }

    Tokens tokens_;
    std::string token_;
    bool quoted_ = false;
    bool done_ = false;
};

HRESULT SetValue(HKEY key, const ScriptValue& value) {
    const char* name = value.name.empty() ? nullptr : value.name.c_str();
    LONG status;
    if (value.type == 'd') {
        const DWORD number = strtoul(value.data.c_str(), nullptr, 0);
        status = ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    } else {
        status = ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                                  static_cast<DWORD>(value.data.size() + 1));
    }
    return HResultFromWin32(status);
}

HRESULT RegisterKey(HKEY parent, const ScriptKey& key) {
    if (key.forceRemove) ::RegDeleteTreeA(parent, key.name.c_str()), ::RegDeleteKeyA(parent, key.name.c_str());
    unique_hkey created;
    HRESULT hr = HResultFromWin32(::RegCreateKeyExA(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                     KEY_READ | KEY_WRITE, nullptr, created.put(), nullptr));
    if (FAILED(hr)) return hr;
    if (key.hasDefault && FAILED(hr = SetValue(created.get(), key.defaultValue))) return hr;
    for (const ScriptValue& value : key.values)
        if (FAILED(hr = SetValue(created.get(), value))) return hr;
    for (const ScriptKey& child : key.keys)
        if (FAILED(hr = RegisterKey(created.get(), child))) return hr;
    return S_OK;
}

bool KeepsSomething(const ScriptKey& key) {
    if (key.noRemove) return true;
    for (const ScriptKey& child : key.keys)
        if (KeepsSomething(child)) return true;
    return false;
}

void UnregisterKey(HKEY parent, const ScriptKey& key) {
    if (!KeepsSomething(key)) {
        ::RegDeleteTreeA(parent, key.name.c_str());
        ::RegDeleteKeyA(parent, key.name.c_str());
        return;
    }
    unique_hkey opened;
    if (::RegOpenKeyExA(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE, opened.put()) != ERROR_SUCCESS) return;
    for (const ScriptKey& child : key.keys) UnregisterKey(opened.get(), child);
    if (!key.noRemove) {
        for (const ScriptValue& value : key.values) ::RegDeleteValueA(opened.get(), value.name.c_str());
        opened.reset();
        ::RegDeleteKeyA(parent, key.name.c_str());  // only goes when nothing is left below it
    }
}

}  // namespace

HRESULT RunRegistrationScript(const std::string& script, const std::vector<ScriptReplacement>& replacements,
                              bool registering) {
    std::vector<ScriptRoot> roots;
    try {
        roots = Parser(Substitute(script, replacements)).Parse();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    for (const ScriptRoot& root : roots)
        for (const ScriptKey& key : root.keys) {
            if (!registering) {
                UnregisterKey(root.key, key);
                continue;
            }
            const HRESULT hr = RegisterKey(root.key, key);
            if (FAILED(hr)) return hr;
        }
    return S_OK;
}
