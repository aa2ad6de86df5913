#include "commands/base85.h"

#include <cstddef>
#include <cstring>

#include "commands/text.h"
#include "facts/command_facts.h"

namespace rk {
bool EncodeBase85(const char* text, char* output) {
  // A longer text is refused anyway, so the rest of it is never read.
  const size_t n = TextLengthUpTo(text, kEncoderLimit);
  if (n == 0 || n > kEncoderLimit) return false;
  constexpr uint32_t kPowers[5] = {52200625u, 614125u, 7225u, 85u, 1u};
  const auto* bytes = reinterpret_cast<const uint8_t*>(text);
  char encoded[kBase85OutputCapacity];
  size_t out = 0;
  for (size_t start = 0; start < n; start += 4) {
    const size_t k = n - start < 4 ? n - start : 4;
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      value = (value << 8) | (i < k ? bytes[start + i] : 0u);
    }
    for (size_t digit = 0; digit <= k; ++digit) {
      encoded[out++] = static_cast<char>(value / kPowers[digit] % 85 + 33);
    }
  }
  encoded[out] = '\0';
  std::memcpy(output, encoded, out + 1);
  return true;
}

}  // namespace rk
