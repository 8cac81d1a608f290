// A broken organisation file is a broken platform installation: the
// emulation names the file, the field and the problem on standard error in
// one line, MAPIInitialize fails, and the tool ends as it does on Windows
// when MAPI cannot start, with nothing left held.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>

#include "tool_runner.h"

namespace {

using namespace std::string_view_literals;

struct BrokenFile {
  const char* what;
  std::string_view content;
  const char* problem;  // the field and the problem, as the message names them
  // Instead of a file with the content: a file that cannot be read, or
  // this path.
  enum { Content, Unreadable, Directory } kind = Content;
};

// A small valid world that each broken file differs from in one place.
#define PROFILE R"({"name": "P", "identity": "a"})"
#define ENTRY R"({"key": "a", "displayName": "A"})"
#define USER R"({"name": "u", "dn": "CN=u,DC=x", "sid": "S-1-5-21-1-2-3-1001")"

const BrokenFile kBrokenFiles[] = {
    {"syntax error", "{\n  \"profiles\": [" PROFILE ",]\n}", "not valid JSON: "},
    {"empty file", "", "is empty"},
    {"a NUL byte after the value", "{}\n\0{\"profiles\": 1}"sv, "not valid JSON: a NUL byte at line 2, column 1"},
    {"a directory", "", "cannot be read: Is a directory", BrokenFile::Directory},
    {"a file without read permission", "{}", "cannot be read: Permission denied", BrokenFile::Unreadable},
    {"nesting too deep",
     R"({"profiles": [{"stores": [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[)",
     "profiles[0].stores[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]"
     "[0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0][0]: nested deeper "
     "than 64 levels"},
    {"not an object", "[]", "the organisation: expected an object"},
    {"wrong type", R"({"profiles": [{"name": "P", "identity": "a", "default": "yes"}], "addressBook": [)" ENTRY "]}",
     "profiles[0].default: expected true or false"},
    {"wrong type of a section", R"({"addressBook": {}})", "addressBook: expected an array"},
    {"missing required field", R"({"profiles": [{"name": "P"}], "addressBook": [)" ENTRY "]}",
     "profiles[0].identity: missing"},
    {"unknown field", R"({"profiles": [], "adressBook": []})", "adressBook: unknown field"},
    {"duplicate JSON key at the top", R"({"profiles": [], "addressBook": [)" ENTRY R"(], "profiles": [)" PROFILE "]}",
     "profiles: given more than once"},
    {"duplicate JSON key deep inside",
     R"({"addressBook": [{"key": "b"}, {"key": "a", "displayName": "A", "displayName": "B"}]})",
     "addressBook[1].displayName: given more than once"},
    {"duplicate JSON key in a nested array",
     R"({"directory": {"namingContext": "DC=x", "users": [)" USER R"(, "dacl": [{"trustee": "S-1-5-10",
         "aceType": 5, "aceType": 6}]}], "accounts": [{"sid": "S-1-5-10", "name": "SELF"}]}})",
     "directory.users[0].dacl[0].aceType: given more than once"},
    {"duplicate address-book key", R"({"addressBook": [)" ENTRY ", " ENTRY "]}",
     "addressBook[1].key: \"a\" is used twice"},
    {"duplicate profile name", R"({"profiles": [)" PROFILE ", " PROFILE R"(], "addressBook": [)" ENTRY "]}",
     "profiles[1].name: \"P\" is used twice"},
    {"unknown fault operation", R"({"faults": [{"operation": "MAPILogon", "status": "0x80004005"}]})",
     "faults[0].operation: no platform operation is named \"MAPILogon\""},
    {"exception code beyond 16 bits",
     R"({"faults": [{"operation": "Session::Logon", "status": "0x80040111", "wCode": "0x10000"}]})",
     "faults[0].wCode: expected a 16-bit code from 1 to 0xFFFF, such as \"0xFE00\""},
    {"profile naming no entry", R"({"profiles": [{"name": "P", "identity": "nobody"}]})",
     "profiles[0].identity: no address-book entry has the key \"nobody\""},
    {"user in no such group", R"({"directory": {"namingContext": "DC=x", "users": [)" USER R"(,
         "memberOf": ["Staff"]}]}})",
     "directory.users[0].memberOf[0]: no group is named \"Staff\""},
    {"group in no such group", R"({"directory": {"groups": [{"name": "g", "sid": "S-1-5-21-1-2-3-513",
         "memberOf": ["h"]}]}})",
     "directory.groups[0].memberOf[0]: no group is named \"h\""},
    {"trustee that is nobody", R"({"directory": {"namingContext": "DC=x", "users": [)" USER R"(,
         "dacl": [{"trustee": "S-1-5-21-9-9-9-9", "aceType": 5}]}]}})",
     "directory.users[0].dacl[0].trustee: SID \"S-1-5-21-9-9-9-9\" is no user, group or account"},
    {"directory server without a URL scheme", R"({"directory": {"ldap": {"url": "127.0.0.1", "bindName": "b",
         "password": "p"}}})",
     "directory.ldap.url: \"127.0.0.1\" is not an LDAP URL such as \"ldap://127.0.0.1\""},
    {"directory server with two passwords", R"({"directory": {"ldap": {"url": "ldap://h", "bindName": "b",
         "password": "p", "passwordFile": "/dev/null"}}})",
     "directory.ldap.passwordFile: give either \"password\" or \"passwordFile\""},
    {"directory server without a password", R"({"directory": {"ldap": {"url": "ldap://h", "bindName": "b"}}})",
     "directory.ldap.password: missing: give \"password\" or \"passwordFile\""},
    {"directory server's password file missing", R"({"directory": {"ldap": {"url": "ldap://h", "bindName": "b",
         "passwordFile": "/nonexistent/password"}}})",
     "directory.ldap.passwordFile: \"/nonexistent/password\" cannot be read: No such file or directory"},
    {"directory server's password file empty", R"({"directory": {"ldap": {"url": "ldap://h", "bindName": "b",
         "passwordFile": "/dev/null"}}})",
     "directory.ldap.passwordFile: the password is empty"},
    {"administrator that is nobody", R"({"servers": [{"name": "S", "databases": [{"dn": "/o=T/cn=DB",
         "administrators": ["nobody"]}]}]})",
     "servers[0].databases[0].administrators[0]: neither an address-book key nor a directory group is named "
     "\"nobody\""},
};

TEST(BrokenOrganisation, EachGivesOneClearLineAndEndsAsABrokenInstall) {
  for (const BrokenFile& broken : kBrokenFiles) {
    TemporaryFile file{std::string(broken.content)};
    std::string path = file.path();
    if (broken.kind == BrokenFile::Directory) path = path.substr(0, path.rfind('/'));
    if (broken.kind == BrokenFile::Unreadable) {
      // Whoever may read any file reads this one too.
      if (geteuid() == 0) continue;
      chmod(path.c_str(), 0);
    }
    const ToolRun run = RunTool({}, path, "\n1\n");
    EXPECT_EQ(run.exitCode, 0) << broken.what;
    EXPECT_EQ(run.out, std::string(kBanner) + "MAPIInitialize() failed (8004011b)\n") << broken.what;
    // One line, naming the file, the field and the problem; a leak at exit
    // would add the ledger's report.
    const std::string prefix = "emulated platform: organisation file '" + path + "': " + broken.problem;
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << broken.what << ": " << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << broken.what << ": " << run.err;
  }
}

}  // namespace
