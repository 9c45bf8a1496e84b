#include "bus/readable_text.h"

std::string ReadableText(const std::string& bytes, std::size_t maxBytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  const std::size_t end = bytes.size() < maxBytes ? bytes.size() : maxBytes;
  shown.reserve(end + 8);
  for (std::size_t i = 0; i < end; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      shown += '<';
      shown += kHex[c >> 4];
      shown += kHex[c & 0x0F];
      shown += '>';
    }
  }
  if (end < bytes.size()) shown += "...";
  return shown;
}
