#include "directory/com_error_report.h"

#include <optional>
#include <string>

#include "platform/com_support.h"
#include "platform/console.h"
#include "platform/text.h"

namespace {

const char* OrNull(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

}  // namespace

void PrintComError(const char* method, const _com_error& error) {
  const auto source = ErrorObjectText(error, &IErrorInfo::GetSource);
  const auto description = ErrorObjectText(error, &IErrorInfo::GetDescription);
  ConsolePrintf("%s: COM Error 0x%0X - %s - Source: %s - Description %s\n", method, error.Error(), error.ErrorMessage(),
                OrNull(source), OrNull(description));
}

void PrintComError(const char* method, const _com_error& error, const char* command) {
  const auto source = ErrorObjectText(error, &IErrorInfo::GetSource);
  const auto description = ErrorObjectText(error, &IErrorInfo::GetDescription);
  ConsolePrintf("%s: COM Error 0x%0X - %s - Source: %s - Description %s - Command %s\n", method, error.Error(),
                error.ErrorMessage(), OrNull(source), OrNull(description), command);
}

void PrintExceptionCaught(const char* method) { ConsolePrintf("Exception caught for %s\n", method); }
