#include "help_text.h"

#include <cstdio>
#include <cstdlib>

#include "command_facts.h"

std::string CodeTypeTable() {
  std::string text = "Code types:\n  code  limit  command\n";
  char line[160];
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (!type.has_command) continue;
    std::string form = rk::kOwnerCommand;
    if (type.form_mark != '\0') form += type.form_mark;
    if (type.tagged) form += "tag";
    form += type.encoded ? (type.tagged ? " + base-85(owner" : "base-85(owner") : "owner";
    if (type.address_part) form += " + address part";
    if (type.encoded) form += ")";
    std::string address;
    if (type.failed_discovery == rk::FailedDiscovery::kBlanks) {
      address = "; no --address and no IPv4 address: \"~\" and 8 blanks";
    } else if (type.failed_discovery == rk::FailedDiscovery::kFails) {
      address = "; no --address and no IPv4 address: the call fails";
    }
    std::snprintf(line, sizeof line, "  %-4u  %-5u  %s%s\n", type.code, type.byte_limit,
                  form.c_str(), address.c_str());
    text += line;
  }
  text +=
      "The address part is --address appended as given, so it must carry its own \"~\":\n"
      "--address '~C0A80001' for 192.168.0.1 (\"C0A80001\" alone is sent as those 8 bytes).\n"
      "Without --address it is \"~\" and this host's IPv4 address as 8 hexadecimal digits.\n"
      "Without OWNER the owner is \"user\\computer\" of this user and host (code type 5: the\n"
      "user alone). A text longer than the limit is cut; a refused one becomes \"UnknownUser\"\n"
      "(both with a warning).\n";
  return text;
}

std::string CodeTypeList(bool with_command_only) {
  std::string text;
  for (const rk::CodeType& type : rk::kCodeTypes) {
    if (with_command_only && !type.has_command) continue;
    text += (text.empty() ? "" : ", ") + std::to_string(type.code);
  }
  return text;
}

namespace {

// "N4" -> 4; 0 for a keyword that is not an N layout.
unsigned PagesOf(const std::string& keyword) {
  if (keyword == "1") return 1;
  if (keyword.size() < 2 || keyword[0] != 'N') return 0;
  return static_cast<unsigned>(std::strtoul(keyword.c_str() + 1, nullptr, 10));
}

}  // namespace

std::string NupTable(const std::vector<std::string>& keywords) {
  std::string text = "N-up selectors:\n  selector  keyword  layout\n";
  char line[120];
  for (size_t selector = 0; selector < keywords.size(); ++selector) {
    const std::string& keyword = keywords[selector];
    const unsigned pages = PagesOf(keyword);
    std::string meaning;
    if (pages == 1) {
      meaning = "one page on each sheet";
    } else if (pages > 1) {
      meaning =
          std::to_string(pages) + " pages on each sheet (--pages " + std::to_string(pages) + ")";
    } else {
      meaning = "the printer's own layout " + keyword;
    }
    std::snprintf(line, sizeof line, "  %-8zu  %-7s  %s\n", selector, keyword.c_str(),
                  meaning.c_str());
    text += line;
  }
  return text;
}

int SelectorForPages(const std::vector<std::string>& keywords, unsigned pages) {
  for (size_t selector = 0; selector < keywords.size(); ++selector) {
    if (PagesOf(keywords[selector]) == pages) return static_cast<int>(selector);
  }
  return -1;
}
