// Fuzz target for the product query reply: the input is the reply as it
// came from the update server, its 12 header bytes first. The product asked
// for is the name the reply echoes (or, when byte 0 of the input is odd, a
// name that differs from it). A reply that reads is built again by the
// fixtures' reply builder and must read to the same URLs; one that fails
// leaves the caller's list untouched.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BaseUrl.h"
#include "FuzzCheck.h"
#include "ProductQuery.h"
#include "ProductReplyBuilder.h"

using namespace FileSystem;

namespace {

bool SameUrls(const std::vector<BaseUrl>& a, const std::vector<BaseUrl>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].url != b[i].url || a[i].isMirror != b[i].isMirror) return false;
  return true;
}

void CheckRequest(const std::string& name) {
  std::string request;
  if (!ProductQuery::BuildRequest(name, &request)) return;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(request.data());
  FUZZ_CHECK(request.size() == name.size() + 7);
  FUZZ_CHECK(static_cast<size_t>(p[0] | (p[1] << 8)) == request.size());
  FUZZ_CHECK((p[2] | (p[3] << 8)) == ProductQuery::kMessageType);
  FUZZ_CHECK(static_cast<size_t>(p[4] | (p[5] << 8)) == name.size());
  FUZZ_CHECK(request.compare(6, name.size(), name) == 0 && request.back() == '\0');
}

void CheckRebuilt(const ProductReplyHeader& header, const std::string& name,
                  const std::vector<BaseUrl>& urls) {
  TestFixtures::ReplyPlan plan;
  plan.version = header.version;
  plan.status = header.status;
  plan.name = name;
  for (const BaseUrl& url : urls) plan.entries.push_back({url.url, url.isMirror});
  const std::string body = TestFixtures::BuildReplyBody(plan);
  const std::string reply = TestFixtures::BuildReplyHeader(plan, body.size()) + body;
  if (reply.size() > 0xFFFF) return;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(reply.data());
  ProductReplyHeader again;
  FUZZ_CHECK(ProductQuery::ParseHeader(bytes, reply.size(), &again) == ProductReplyError::kNone);
  std::vector<BaseUrl> read;
  FUZZ_CHECK(ProductQuery::ParseBody(again, bytes + ProductQuery::kHeaderSize,
                                     reply.size() - ProductQuery::kHeaderSize, name,
                                     &read) == ProductReplyError::kNone);
  FUZZ_CHECK(SameUrls(read, urls));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t len) {
  const FuzzSupport::ExactCopy copy(data, len);
  ProductReplyHeader header;
  const ProductReplyError headerError = ProductQuery::ParseHeader(copy.Data(), len, &header);
  if (len < ProductQuery::kHeaderSize) FUZZ_CHECK(headerError == ProductReplyError::kHeaderTooShort);
  if (headerError != ProductReplyError::kNone) return 0;
  FUZZ_CHECK(ProductQuery::BodySize(header) + ProductQuery::kHeaderSize == header.length);

  // The body as it arrived, cut or padded to what the header announces
  // only when the input's length says so: the reader must check it.
  const uint8_t* body = copy.Data() + ProductQuery::kHeaderSize;
  const size_t bodySize = len - ProductQuery::kHeaderSize;
  std::string name;
  if (header.nameLength <= bodySize)
    name.assign(reinterpret_cast<const char*>(body), header.nameLength);
  if (data[0] & 1) name += 'x';
  CheckRequest(name);

  const std::vector<BaseUrl> before = {BaseUrl{"http://kept/", true}};
  std::vector<BaseUrl> urls = before;
  const ProductReplyError error = ProductQuery::ParseBody(header, body, bodySize, name, &urls);
  if (bodySize != ProductQuery::BodySize(header)) FUZZ_CHECK(error == ProductReplyError::kBodySize);
  if (error != ProductReplyError::kNone) {
    FUZZ_CHECK(SameUrls(urls, before));
    return 0;
  }
  FUZZ_CHECK(urls.size() == before.size() + header.urlCount);
  FUZZ_CHECK(header.version <= ProductQuery::kMaxVersion);
  size_t used = name.size() + 1;
  const std::vector<BaseUrl> read(urls.begin() + 1, urls.end());
  for (const BaseUrl& url : read) {
    FUZZ_CHECK(url.url.find('\0') == std::string::npos);
    used += 4 + url.url.size();
  }
  FUZZ_CHECK(used <= bodySize);
  CheckRebuilt(header, name, read);
  return 0;
}
