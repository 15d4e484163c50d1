// The registrar on a scratch key below HKEY_CURRENT_USER: keys, default and
// named values, quoting, replacements, ForceRemove, NoRemove and refused
// scripts.
#include "server/registrar.h"
#include "tests/cpp/support.h"

namespace {

const char kScratch[] = "Software\\QVFileIOTest";

// The script's frame around the test's keys: Software and the scratch key
// are never removed.
std::string Script(const std::string& keys) {
    return "HKCU\r\n{\r\n\tNoRemove Software\r\n\t{\r\n\t\tNoRemove QVFileIOTest\r\n\t\t{\r\n" + keys +
           "\r\n\t\t}\r\n\t}\r\n}\r\n";
}

std::string Path(const std::string& below) { return below.empty() ? kScratch : std::string(kScratch) + "\\" + below; }

bool KeyExists(const std::string& path) {
    unique_hkey key;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// A value below the scratch key: its type and its data ("" for a key's
// unnamed value); type 0 when the key or the value is missing.
struct Value {
    DWORD type = 0;
    std::string text;
    DWORD number = 0;
};
Value Read(const std::string& below, const char* name = nullptr) {
    Value value;
    unique_hkey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, Path(below).c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return value;
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    if (::RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return value;
    value.type = type;
    if (type == REG_DWORD) memcpy(&value.number, data, sizeof value.number);
    else value.text.assign(data, size && data[size - 1] == '\0' ? size - 1 : size);
    return value;
}

void CreateKey(const std::string& below) {
    unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, Path(below).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                               nullptr, key.put(), nullptr));
}

class RegistrarTest : public ::testing::Test {
protected:
    void SetUp() override { RemoveScratch(); }
    void TearDown() override { RemoveScratch(); }
    static void RemoveScratch() {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
        ::RegDeleteKeyA(HKEY_CURRENT_USER, kScratch);
    }
};

TEST_F(RegistrarTest, KeysDefaultAndNamedValues) {
    const std::string script = Script(
        "\t\t\tCase = s 'default text'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tval Named = s 'it''s here'\r\n"
        "\t\t\t\tval Count = d '42'\r\n"
        "\t\t\t\tval Empty = s ''\r\n"
        "\t\t\t\t{0F0E0D0C-1111-2222-3333-444455556666} = s '{AB}'\r\n"
        "\t\t\t\t'Quoted Name' = s 'two  blanks'\r\n"
        "\t\t\t\tBare\r\n"
        "\t\t\t\tParent\r\n"
        "\t\t\t\t{\r\n"
        "\t\t\t\t\tChild = s 'c'\r\n"
        "\t\t\t\t}\r\n"
        "\t\t\t}");
    ASSERT_EQ(S_OK, RunRegistrationScript(script, {}, true));

    Value value = Read("Case");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ("default text", value.text);
    value = Read("Case", "Named");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ("it's here", value.text) << "a doubled quote is one quote";
    value = Read("Case", "Count");
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), value.type);
    EXPECT_EQ(42u, value.number);
    value = Read("Case", "Empty");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), value.type);
    EXPECT_EQ("", value.text);
    EXPECT_EQ("{AB}", Read("Case\\{0F0E0D0C-1111-2222-3333-444455556666}").text);
    EXPECT_EQ("two  blanks", Read("Case\\Quoted Name").text);
    EXPECT_TRUE(KeyExists(Path("Case\\Bare")));
    EXPECT_EQ(0u, Read("Case\\Bare").type) << "a key without = has no default value";
    EXPECT_EQ(0u, Read("Parent").type);
    EXPECT_EQ(0u, Read("Case\\Parent").type);
    EXPECT_EQ("c", Read("Case\\Parent\\Child").text);

    // Registering again changes nothing.
    ASSERT_EQ(S_OK, RunRegistrationScript(script, {}, true));
    EXPECT_EQ("it's here", Read("Case", "Named").text);
    EXPECT_EQ("c", Read("Case\\Parent\\Child").text);
}

TEST_F(RegistrarTest, ReplacementsAreCaseInsensitive) {
    const std::string script = Script(
        "\t\t\tModule = s '%MODULE%'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tval Lower = s '%module%'\r\n"
        "\t\t\t\tval Mixed = s 'at %Module% twice %MoDuLe%'\r\n"
        "\t\t\t\tval Percent = s '100%'\r\n"
        "\t\t\t}");
    // The caller doubles a quote of the module's name for the script's
    // quoting: it reaches the registry once.
    ASSERT_EQ(S_OK, RunRegistrationScript(script, {{"Module", "C:\\it''s here\\Q.dll"}}, true));
    EXPECT_EQ("C:\\it's here\\Q.dll", Read("Module").text);
    EXPECT_EQ("C:\\it's here\\Q.dll", Read("Module", "Lower").text);
    EXPECT_EQ("at C:\\it's here\\Q.dll twice C:\\it's here\\Q.dll", Read("Module", "Mixed").text);
    EXPECT_EQ("100%", Read("Module", "Percent").text);
}

TEST_F(RegistrarTest, ForceRemoveDeletesTheExistingTree) {
    const std::string script = Script(
        "\t\t\tForceRemove Forced = s 'x'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tChild = s 'c'\r\n"
        "\t\t\t}\r\n"
        "\t\t\tKept = s 'k'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tChild = s 'c'\r\n"
        "\t\t\t}");
    ASSERT_EQ(S_OK, RunRegistrationScript(script, {}, true));
    CreateKey("Forced\\Stray\\Deeper");
    CreateKey("Forced\\Child\\Stray");
    CreateKey("Kept\\Stray");
    {
        unique_hkey key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, Path("Forced").c_str(), 0, KEY_ALL_ACCESS,
                                                 key.put()));
        const char stray[] = "s";
        ::RegSetValueExA(key.get(), "StrayValue", 0, REG_SZ, reinterpret_cast<const BYTE*>(stray), sizeof stray);
    }

    ASSERT_EQ(S_OK, RunRegistrationScript(script, {}, true));
    EXPECT_FALSE(KeyExists(Path("Forced\\Stray")));
    EXPECT_FALSE(KeyExists(Path("Forced\\Child\\Stray")));
    EXPECT_EQ(0u, Read("Forced", "StrayValue").type);
    EXPECT_EQ("x", Read("Forced").text);
    EXPECT_EQ("c", Read("Forced\\Child").text);
    EXPECT_TRUE(KeyExists(Path("Kept\\Stray"))) << "only ForceRemove clears a key";
}

TEST_F(RegistrarTest, UnregisterKeepsNoRemoveAndRemovesTheNamedKeys) {
    const std::string script = Script(
        "\t\t\tNamed = s 'n'\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tval V = s 'v'\r\n"
        "\t\t\t\tChild = s 'c'\r\n"
        "\t\t\t}\r\n"
        "\t\t\tForceRemove Forced\r\n"
        "\t\t\tNoRemove Shared\r\n"
        "\t\t\t{\r\n"
        "\t\t\t\tMine = s 'm'\r\n"
        "\t\t\t}");
    CreateKey("Other");
    CreateKey("Shared\\Theirs");
    ASSERT_EQ(S_OK, RunRegistrationScript(script, {}, true));
    ASSERT_EQ("m", Read("Shared\\Mine").text);

    EXPECT_EQ(S_OK, RunRegistrationScript(script, {}, false));
    EXPECT_TRUE(KeyExists("Software"));
    EXPECT_TRUE(KeyExists(kScratch));
    EXPECT_TRUE(KeyExists(Path("Shared"))) << "NoRemove";
    EXPECT_TRUE(KeyExists(Path("Shared\\Theirs"))) << "not named by the script";
    EXPECT_TRUE(KeyExists(Path("Other")));
    EXPECT_FALSE(KeyExists(Path("Shared\\Mine")));
    EXPECT_FALSE(KeyExists(Path("Named")));
    EXPECT_FALSE(KeyExists(Path("Forced")));

    // Unregistering what is not there is no failure.
    EXPECT_EQ(S_OK, RunRegistrationScript(script, {}, false));
}

TEST_F(RegistrarTest, MalformedScriptFailsAndWritesNothing) {
    const std::string good = "\t\t\tWritten = s 'w'\r\n";
    const std::string scripts[] = {
        Script(good + "\t\t\tBroken = s 'no end"),
        Script(good + "\t\t\tBroken = x 'bad type'"),
        Script(good + "\t\t\tBroken = s"),
        Script(good + "\t\t\t{\r\n"),
        Script(good + "\t\t\tval = s 'v'"),
        Script(good) + "HKXX\r\n{\r\n}\r\n",
        Script(good) + "HKCU\r\n{\r\n\tUnclosed\r\n\t{\r\n",
        Script(good).substr(0, Script(good).size() - 4),
        Script(good) + "}",
        "HKCU Software",
    };
    for (const std::string& script : scripts) {
        EXPECT_TRUE(FAILED(RunRegistrationScript(script, {}, true))) << script;
        EXPECT_FALSE(KeyExists(Path("Written"))) << script;
        EXPECT_TRUE(FAILED(RunRegistrationScript(script, {}, false))) << script;
    }
    EXPECT_FALSE(KeyExists(kScratch));
}

}  // namespace
