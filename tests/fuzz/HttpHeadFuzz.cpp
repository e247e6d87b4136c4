// Fuzz target for the response heads the downloader receives: the input is
// what came from the socket. Both readers run over it; what they return is
// held to its limits (a Location cut to its length, only safe cookies, the
// head text a prefix of what was received) and the number reader to an
// independent reference in 128-bit arithmetic.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "HttpResponseHead.h"

using namespace FileSystem;

namespace {

// Blanks, a sign, digits up to the first other character; false when the
// value does not fit 64 signed bits.
bool ReferenceLength(const std::string& text, int64_t* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  __int128 result = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    result = result * 10 + (text[i] - '0');
    if (result > static_cast<__int128>(INT64_MAX) + 1) return false;
  }
  if (negative) result = -result;
  if (result > INT64_MAX || result < INT64_MIN) return false;
  *value = static_cast<int64_t>(result);
  return true;
}

void CheckLength(const std::string& text) {
  int64_t value = 0;
  int64_t reference = 0;
  const bool ok = HttpResponseHead::ParseLength(text, &value);
  FUZZ_CHECK(ok == ReferenceLength(text, &reference));
  if (ok) FUZZ_CHECK(value == reference);
}

void CheckGetHead(const std::string& received) {
  const HttpResponseHead::GetAnswer answer = HttpResponseHead::ReadGetHead(received);
  FUZZ_CHECK(answer.location.size() <= HttpResponseHead::kMaxLocationLength);
  FUZZ_CHECK(answer.hasLocation || answer.location.empty());
  FUZZ_CHECK(answer.status >= -99 && answer.status <= 999);  // three characters
  FUZZ_CHECK(answer.location.find("\r\n") == std::string::npos);
}

void CheckInfoHead(const std::string& received) {
  const std::string head = HttpResponseHead::InfoHeadText(received);
  FUZZ_CHECK(received.compare(0, head.size(), head) == 0);
  if (!head.empty()) FUZZ_CHECK(head.size() >= 3 && head.compare(head.size() - 3, 3, "\r\n\r") == 0);
  const HttpResponseHead::InfoAnswer answer = HttpResponseHead::ReadInfoHead(head);
  FUZZ_CHECK(answer.status >= -99 && answer.status <= 999);  // three characters
  if (answer.lengthTooLong) FUZZ_CHECK(answer.lengthTextSize > 0);
  for (const HttpResponseHead::Item& item : answer.items) {
    FUZZ_CHECK(item.value.size() <= HttpResponseHead::kMaxExaminedLine);
    FUZZ_CHECK(item.value.find("\r\n") == std::string::npos);
    if (item.kind == HttpResponseHead::Item::kCookie) {
      FUZZ_CHECK(HttpResponseHead::IsCookieSafe(item.value));
      FUZZ_CHECK(item.value.find(';') == std::string::npos);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  const std::string received = FuzzSupport::Text(data, len);
  CheckGetHead(received);
  CheckInfoHead(received);
  CheckLength(received.substr(0, 64));
  return 0;
}
