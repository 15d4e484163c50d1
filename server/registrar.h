// The registrar: runs a registration script of the classic registrar
// format against the registry.
//
//   HKCR
//   {
//       Name = s 'default value'          a key and its default value
//       {
//           val Named = s 'text'          a named value (s text, d number)
//           ForceRemove Sub               deleted with its tree before writing
//           {GUID} = s 'x'                 words, braces and = are separated by blanks
//       }
//       NoRemove CLSID { ... }            never deleted when unregistering
//   }
//
// Texts are quoted with single quotes, a quote inside doubled. Every
// %NAME% is replaced (case-insensitively) before the script is read.
#pragma once
#include "platform/windows.h"
#include <string>
#include <vector>

struct ScriptReplacement {
    std::string name;
    std::string value;
};

// Register mode creates every key and value of the script; unregister mode
// removes every key it names except those marked NoRemove. Returns S_OK or
// the first failure (a malformed script gives E_FAIL and writes nothing).
HRESULT RunRegistrationScript(const std::string& script, const std::vector<ScriptReplacement>& replacements,
                              bool registering);
