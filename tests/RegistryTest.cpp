// Registry values read as text, under a key of the tests' own, and the installation root.
#include "common/RegKeyValueString.h"
#include "tests/TestSupport.h"

#include <sddl.h>

namespace QARN::Testing {
using Common::RegistryHelp::RegKeyValueString;

constexpr char kKey[] = "Software\\QARN Tests";
const std::string kLogged = "QARN::Common::RegistryHelp::RegKeyValueString::RegKeyValueString: ";
const std::string k259(259, 'v');

struct Stored {
  const char* name;
  DWORD type;  // REG_NONE: no key at all
  std::string data, value, logged;
};

class RegistryTest : public ::testing::TestWithParam<Stored> {
 protected:
  ~RegistryTest() override { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey); }
  LogRecorder log_;
};

TEST_P(RegistryTest, ReadsTheDataAsText) {
  const RegistryValue value(kKey, "Value", GetParam().data, GetParam().type);
  if (GetParam().type == REG_NONE) ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
  EXPECT_EQ(RegKeyValueString(kKey, "Value", "default").Value(), GetParam().value);
  EXPECT_EQ(log_.lines, GetParam().logged.empty() ? std::vector<std::string>{}
                                                  : std::vector<std::string>{kLogged + GetParam().logged});
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryTest,
    ::testing::Values(
        Stored{"Empty", REG_SZ, "", "", ""},
        Stored{"NoKey", REG_NONE, "", "default", "Failed to find registry key \"Software\\QARN Tests\" (2)."},
        Stored{"Unexpanded", REG_EXPAND_SZ, std::string("%SystemRoot%\0", 13), "%SystemRoot%", ""},
        Stored{"FirstOfMany", REG_MULTI_SZ, std::string("one\0two\0\0", 9), "one", ""},
        Stored{"Fits260Bytes", REG_SZ, k259, k259, ""},
        Stored{"Needs261Bytes", REG_SZ, k259 + "v", "default", "Failed to find registry value \"Value\" (234)."},
        Stored{"Unterminated260", REG_BINARY, k259 + "v", k259 + "v", ""}),
    kRowName);

// A standard user may only read the machine's keys.
TEST_F(RegistryTest, ReadOnlyKeyIsRead) {
  const RegistryValue value(kKey, "Value", "readable");
  Common::UniqueRegKey key;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, WRITE_DAC, key.Put()), ERROR_SUCCESS);
  const auto allow = [&](const char* sddl) {  // to everyone
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr);
    const Common::UniqueLocalMemory owned(descriptor);
    return ::RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, descriptor);
  };
  ASSERT_EQ(allow("D:P(A;;KR;;;WD)"), ERROR_SUCCESS);
  EXPECT_EQ(RegKeyValueString(kKey, "Value", "").Value(), "readable");
  EXPECT_EQ(allow("D:P(A;;KA;;;WD)"), ERROR_SUCCESS);
  EXPECT_TRUE(log_.lines.empty());
}

// As on a machine without QARN: its key is not there either (whatever other tests left in this prefix).
TEST_F(RegistryTest, MissingInstallationRootIsCQarn) {
  const RegistryValue root(kQarnKey, "LocalRootFolder", std::nullopt);
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kQarnKey);
  EXPECT_EQ(Common::RegistryHelp::GetLocalRootFolder(), "c:\\qarn");
  EXPECT_EQ(log_.lines, std::vector<std::string>{kLogged + "Failed to find registry key \"" + kQarnKey + "\" (2)."});
}

}  // namespace QARN::Testing
