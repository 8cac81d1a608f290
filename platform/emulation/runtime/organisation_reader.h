// The checks shared by the readers of the organisation file's sections:
// each field taken at most once, unknown fields reported, errors naming the
// field and the problem.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/emulation/runtime/organisation.h"

namespace emulation {

using Json = nlohmann::json;

[[noreturn]] inline void Fail(const std::string& field, const std::string& problem) {
  throw OrganisationError(field + ": " + problem);
}

// The members of one JSON object, each taken at most once; members left
// over are reported as unknown, so that a misspelt field is not ignored.
class Members {
 public:
  Members(const Json& object, std::string path) : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) Fail(Where(), "expected an object");
  }

  std::string Field(const char* name) const { return path_.empty() ? name : path_ + "." + name; }

  const Json* Find(const char* name) {
    taken_.emplace_back(name);
    const auto found = object_.find(name);
    return found == object_.end() ? nullptr : &*found;
  }

  std::optional<std::string> OptionalString(const char* name) {
    const Json* value = Find(name);
    if (value == nullptr) return std::nullopt;
    if (!value->is_string()) Fail(Field(name), "expected a string");
    return value->get<std::string>();
  }

  std::string RequiredString(const char* name) {
    auto value = OptionalString(name);
    if (!value) Fail(Field(name), "missing");
    if (value->empty()) Fail(Field(name), "must not be empty");
    return *value;
  }

  std::optional<bool> OptionalBool(const char* name) {
    const Json* value = Find(name);
    if (value == nullptr) return std::nullopt;
    if (!value->is_boolean()) Fail(Field(name), "expected true or false");
    return value->get<bool>();
  }

  const Json* OptionalArray(const char* name) {
    const Json* value = Find(name);
    if (value != nullptr && !value->is_array()) Fail(Field(name), "expected an array");
    return value;
  }

  // One of the given words; the first is the default.
  size_t Choice(const char* name, std::initializer_list<const char*> words) {
    const auto value = OptionalString(name);
    if (!value) return 0;
    size_t index = 0;
    for (const char* word : words) {
      if (*value == word) return index;
      ++index;
    }
    std::string list;
    for (const char* word : words) list += (list.empty() ? "\"" : ", \"") + std::string(word) + "\"";
    Fail(Field(name), "expected one of " + list);
  }

  void CheckNoOthers() const {
    for (const auto& [name, value] : object_.items())
      if (std::find(taken_.begin(), taken_.end(), name) == taken_.end()) Fail(Field(name.c_str()), "unknown field");
  }

 private:
  std::string Where() const { return path_.empty() ? "the organisation" : path_; }

  const Json& object_;
  std::string path_;
  std::vector<std::string> taken_;
};

inline std::string Indexed(const std::string& field, size_t index) { return field + "[" + std::to_string(index) + "]"; }

inline HRESULT ReadStatus(const Json& value, const std::string& field) {
  if (value.is_number_integer()) {
    const int64_t number = value.get<int64_t>();
    if (number < INT32_MIN || number > int64_t{UINT32_MAX}) Fail(field, "out of the 32-bit range");
    return static_cast<HRESULT>(static_cast<uint32_t>(number));
  }
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    const bool hex = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                     std::all_of(text.begin() + 2, text.end(), [](char c) { return std::isxdigit(c) != 0; });
    if (hex) return static_cast<HRESULT>(static_cast<uint32_t>(std::stoul(text.substr(2), nullptr, 16)));
  }
  Fail(field, "expected a status such as \"0x80040111\" or a number");
}

// How deeply the file's objects and arrays may nest: far deeper than any
// organisation needs.
constexpr int kDeepestNesting = 64;

// Parses JSON text found at path (empty: the whole file), inside depth
// containers, refusing a member given twice and nesting deeper than
// kDeepestNesting, with errors that name the path.
Json ParseCheckedJson(std::string_view text, std::string_view path, int depth);

AddressEntry ReadAddressEntry(const Json& json, const std::string& path);
VerrickMailbox ReadVerrickMailbox(const Json& json, const std::string& path);

// Reads the directory section (directory_section.cpp).
DirectoryDefinition ReadDirectory(const Json& json, const std::string& path);

}  // namespace emulation
