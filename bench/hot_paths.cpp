// The tool's hot paths at scale, on the emulated platform, with the
// organisations scripts/generate-organisation writes: the Send-As scan
// (the names' index beside the comparison of every name), the trustee
// look-up alone, the SMTP resolution, the picker and the directory's
// look-ups.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "directory/account_names.h"
#include "directory/ad_wrapper.h"
#include "messaging/picker.h"
#include "messaging/smtp_address.h"
#include "platform/emulation/control.h"
#include "platform/emulation/directory/directory.h"
#include "platform/emulation/directory/ldap_filter.h"
#include "platform/sdk.h"

namespace {

constexpr int kGroups = 1000;
constexpr int kAces = 500;

std::string Generate(int mailboxes, int groups, int aces) {
  static std::map<std::string, std::string> made;
  const std::string command = std::string(CALDROSE_GENERATOR) + " --mailboxes " + std::to_string(mailboxes) +
                              " --groups " + std::to_string(groups) + " --aces " + std::to_string(aces);
  auto& text = made[command];
  if (!text.empty()) return text;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[65536];
  for (size_t read; (read = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, read);
  if (pclose(pipe) != 0) text.clear();
  return text;
}

// MAPI up on an organisation, logged on as its operator, with the address
// book open; the emulation keeps no journal, as a long run does.
class Platform {
 public:
  Platform(int mailboxes, int groups, int aces) {
    emulation::SetRetention(emulation::Retention::Recent);
    emulation::UseOrganisationText(Generate(mailboxes, groups, aces), "generated organisation");
    MAPIInitialize(nullptr);
    char profile[] = "Scale Operator";
    MAPILogonEx(0, profile, nullptr, 0, &session);
    session->OpenAddressBook(0, nullptr, 0, &addressBook);
  }
  ~Platform() {
    addressBook->Release();
    session->Release();
    MAPIUninitialize();
    emulation::UseOrganisationText("", "");
    emulation::ResetRun();
  }
  // Picks the first count entries through the dialog.
  std::vector<PickedMailbox> Pick(int count) {
    std::string answers;
    for (int i = 1; i <= count; ++i) answers += (i == 1 ? "" : ",") + std::to_string(i);
    answers += "\n";
    FILE* input = fmemopen(answers.data(), answers.size(), "r");
    emulation::UseDialogInput(input);
    std::vector<PickedMailbox> rows;
    SelectMailboxes(addressBook, rows);
    emulation::UseDialogInput(nullptr);
    fclose(input);
    return rows;
  }

  LPMAPISESSION session = nullptr;
  LPADRBOOK addressBook = nullptr;
};

void Free(std::vector<PickedMailbox>& rows) {
  for (PickedMailbox row : rows) MAPIFreeBuffer(row);
  rows.clear();
}

// The operator's account names, read as the start-up reads them.
void ReadNames(IADWrapper& directory, AccountNameList& names) {
  IADs* user = nullptr;
  directory.GetUserObject("operator@scale.example", &user);
  directory.GetAccountNames(user, names);
  user->Release();
}

void FreeNames(AccountNameList& names) {
  while (!names.empty()) {
    SysFreeString(names.front());
    names.erase(names.begin());
  }
}

// One mailbox's whole Send-As check: its owner's list of kAces entries,
// the grant last, against the operator's kGroups groups.
void SendAsCheck(benchmark::State& state, AccountNameList::Lookup lookup) {
  Platform platform(2, kGroups, kAces);
  IADWrapper directory(nullptr);
  directory.Open();
  AccountNameList names(lookup);
  ReadNames(directory, names);
  for (auto _ : state) {
    bool found = false;
    directory.HasSendAsPermission("user00001@scale.example", names, found);
    if (!found) state.SkipWithError("no grant found");
  }
  state.counters["names"] = static_cast<double>(names.size());
  FreeNames(names);
  directory.Close();
}
void BM_SendAsCheck_Indexed(benchmark::State& state) { SendAsCheck(state, AccountNameList::Lookup::ByFoldedName); }
void BM_SendAsCheck_EachName(benchmark::State& state) { SendAsCheck(state, AccountNameList::Lookup::CompareEachName); }
BENCHMARK(BM_SendAsCheck_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SendAsCheck_EachName)->Unit(benchmark::kMillisecond);

// The trustee look-ups of one scan alone: kAces trustees, none of them the
// operator's, against kGroups names.
void TrusteeLookups(benchmark::State& state, AccountNameList::Lookup lookup) {
  AccountNameList names(lookup);
  for (int i = 0; i < kGroups; ++i)
    names.push_back(SysAllocString((u"SCALE\\Scale Group " + std::u16string(1, u'A' + i % 26) +
                                    std::u16string(u"0123456789").substr(i % 10, 1) + u"-" +
                                    std::u16string(std::to_string(i).begin(), std::to_string(i).end()))
                                       .c_str()));
  std::vector<BSTR> trustees;
  for (int i = 0; i < kAces; ++i) {
    const std::string text = "SCALE\\delegate" + std::to_string(i);
    trustees.push_back(SysAllocString(std::u16string(text.begin(), text.end()).c_str()));
  }
  for (auto _ : state)
    for (BSTR trustee : trustees) benchmark::DoNotOptimize(names.Contains(trustee));
  for (BSTR trustee : trustees) SysFreeString(trustee);
  FreeNames(names);
  emulation::ResetRun();
}
void BM_TrusteeLookups_Indexed(benchmark::State& state) {
  TrusteeLookups(state, AccountNameList::Lookup::ByFoldedName);
}
void BM_TrusteeLookups_EachName(benchmark::State& state) {
  TrusteeLookups(state, AccountNameList::Lookup::CompareEachName);
}
BENCHMARK(BM_TrusteeLookups_Indexed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TrusteeLookups_EachName)->Unit(benchmark::kMicrosecond);

// The picker: the dialog and every picked entry's properties, per entry.
void BM_Picker(benchmark::State& state) {
  const int mailboxes = static_cast<int>(state.range(0));
  Platform platform(mailboxes, 10, 2);
  for (auto _ : state) {
    std::vector<PickedMailbox> rows = platform.Pick(mailboxes);
    Free(rows);
  }
  state.SetItemsProcessed(state.iterations() * mailboxes);
}
BENCHMARK(BM_Picker)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The SMTP resolution of one mailbox, in an address book of N entries.
void BM_ResolveSmtpAddress(benchmark::State& state) {
  const int mailboxes = static_cast<int>(state.range(0));
  Platform platform(mailboxes, 10, 2);
  std::vector<PickedMailbox> rows = platform.Pick(100);
  size_t next = 0;
  for (auto _ : state) {
    const SBinary& entryId = rows[next++ % rows.size()][3].Value.bin;
    char* address = nullptr;
    ResolveSmtpAddress(platform.addressBook, entryId.cb, entryId.lpb, "SMTP", &address);
    delete[] address;
  }
  Free(rows);
}
BENCHMARK(BM_ResolveSmtpAddress)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// The emulated directory's look-ups behind one mailbox: the user by proxy
// address, its access list, and a trustee's account.
void BM_DirectoryLookups(benchmark::State& state) {
  const int mailboxes = static_cast<int>(state.range(0));
  Platform platform(mailboxes, 10, 2);
  const emulation::Directory& directory = emulation::TheDirectory();
  int next = 0;
  for (auto _ : state) {
    char filter[96];
    snprintf(filter, sizeof filter, "(&(objectCategory=person)(proxyAddresses=smtp:user%05d@scale.example))",
             next++ % mailboxes + 1);
    const auto found =
        directory.Search("DC=scale,DC=example", emulation::SearchScope::Subtree, *emulation::LdapFilter::Parse(filter));
    const auto dacl = directory.Dacl(found->front());
    benchmark::DoNotOptimize(directory.LookupSid(dacl->front().trustee));
  }
}
BENCHMARK(BM_DirectoryLookups)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
