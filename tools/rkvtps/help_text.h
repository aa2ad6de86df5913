// The tables `--help` shows, made from the same facts the library acts on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

std::string CodeTypeTable();
std::string CodeTypeList(bool with_command_only);

// The N-up selectors and keywords the library gives, and what they mean.
std::string NupTable(const std::vector<std::string>& keywords);

// The selector of "pages on each sheet" (1, 2, 4, 6, 8, 9, 16, 32), or -1.
int SelectorForPages(const std::vector<std::string>& keywords, unsigned pages);
