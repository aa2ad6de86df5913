// Composition of the job-owner command "@JOAU=", from a given owner text
// or from the user's and the computer's names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "commands/composition.h"

namespace rk {

struct SystemFacts;

// The owner areas: room for any validated owner text with the longest
// address part that the encoder's 24-byte limit lets through, and for any
// uncut text the command could carry.
inline constexpr size_t kOwnerAreaCapacity = 80;

// How the caller asked for the command.
struct OwnerSettings {
  uint16_t code_type = 0;
  uint16_t tag_column_key = 0;
  uint16_t tag_row_key = 0;
  uint16_t mask = 0;                   // 0: the default classes
  const char* address_text = nullptr;  // code types 4 and 255; null: discover
};

struct OwnerComposition : Composition {
  TextReport owner;     // the owner text, or the user's name
  TextReport computer;  // the computer's name joined to the user's
  TextReport address;   // the address part: the address text, or "~" and digits
  char tag = '\0';      // the tag character, for the tagged forms
  // The bytes the command carries for the owner, before any encoding: the
  // owner text (or substitute, or user "\" computer) and the address part.
  char carried[kOwnerAreaCapacity];
};

// The tag table's row for a tag row key: 0..10 as given, anything above 11.
uint16_t MapTagRow(uint16_t tag_row_key);

// The tag table's column for a tag column key.
uint16_t MapTagColumn(uint16_t tag_column_key);

// The tag character at a row (0..11) and column (0..5).
char TagCharacter(uint16_t row, uint16_t column);

// The owner text (not null) checked and cut for the code type,
// "UnknownUser" in its place when refused. Status OK with a command, or 0
// with GENERAL_ERROR (a code type with no command), TOO_LONG (a text that
// cannot be carried whole: past the encoder's 24 bytes, the owner area or a
// 79-character command) or the discovery's reason (code type 255).
OwnerComposition ComposeOwnerFromText(const OwnerSettings& settings, const char* owner_text,
                                      const SystemFacts& system);

// The user's name (not null; already the system's choice of user) joined
// with "\" and the computer's name as far as the code type's byte limit
// allows, each checked and stood in for ("UnknownUser", "UnknownHost") when
// refused.
OwnerComposition ComposeOwnerFromUserHost(const OwnerSettings& settings, const char* user,
                                          const SystemFacts& system);

}  // namespace rk
