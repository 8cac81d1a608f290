// The organisation's settings for the sibling tool Verrick (the web
// services it checks and how it behaves for each mailbox) and the scale of
// the emulated wait clock. docs/verrick.md describes them.
#pragma once

#include <cstddef>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulation {

struct WebServicesServer {
  std::string name;      // the server's name as the home message-store DN gives it
  std::string endpoint;  // the web-services address
  bool reachable = true;
};

enum class VerrickReport {
  Written,  // the report is written and Verrick exits with 0
  Empty,    // the report file is left empty and Verrick exits with 0
  None,     // Verrick exits with 1 without touching the report file
};

enum class VerrickHang {
  Starting,  // before the report file is opened
  Writing,   // with the report file open and locked, half of the report written
  Finished,  // after the report file is closed
};

struct VerrickMailbox {
  std::string address;  // SMTP address, compared without regard to letter case
  bool operatorAccess = false;
  VerrickReport report = VerrickReport::Written;
  std::optional<size_t> reportSize;        // the report cut or padded to this many bytes
  std::optional<std::string> reportBytes;  // the report replaced by exactly these bytes
  double hangSeconds = 0;
  VerrickHang hangWhile = VerrickHang::Starting;
};

struct VerrickSettings {
  bool installed = true;  // false: the platform's program lookup does not find Verrick
  std::vector<WebServicesServer> servers;
  std::vector<VerrickMailbox> mailboxes;

  const WebServicesServer* FindServer(std::string_view name) const;
  const VerrickMailbox* FindMailbox(std::string_view address) const;
};

// The longest a planned hang may last, so that Verrick always ends well
// within the minute its caller waits.
constexpr double kLongestVerrickHangSeconds = 30;

// Read the "verrick" section and the "waitScale" value of an organisation
// (null: the field is absent). Throw OrganisationError naming the field.
VerrickSettings ReadVerrickSettings(const nlohmann::json* section);
double ReadWaitScale(const nlohmann::json* value);

}  // namespace emulation
