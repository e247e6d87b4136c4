#include "ProductQuery.h"

#include <cstring>

namespace FileSystem {

namespace {

uint16_t ReadU16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t ReadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

void AppendU16(std::string* out, uint16_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>(value >> 8));
}

// A reader over one received block: every take is checked against what is
// left, so no position can pass the end and nothing wraps.
class BlockReader {
 public:
  BlockReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

  size_t Left() const { return size_ - position_; }
  bool Take(size_t count, const uint8_t** at) {
    if (count > Left()) return false;
    *at = bytes_ + position_;
    position_ += count;
    return true;
  }
  bool TakeU8(uint8_t* value) {
    const uint8_t* at = nullptr;
    if (!Take(1, &at)) return false;
    *value = at[0];
    return true;
  }
  bool TakeU16(uint16_t* value) {
    const uint8_t* at = nullptr;
    if (!Take(2, &at)) return false;
    *value = ReadU16(at);
    return true;
  }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t position_ = 0;
};

ProductReplyError ReadEntry(BlockReader* reader, std::vector<BaseUrl>* urls) {
  uint8_t mirror = 0;
  uint16_t length = 0;
  const uint8_t* text = nullptr;
  const uint8_t* end = nullptr;
  if (!reader->TakeU8(&mirror) || !reader->TakeU16(&length) || !reader->Take(length, &text) ||
      !reader->Take(1, &end))
    return ProductReplyError::kUrlBeyondBlock;
  // A 0 inside the URL, or a missing 0 after it, means the length lies; the
  // URL is used as text later, so it must be exactly its k bytes.
  if (end[0] != 0 || (length > 0 && std::memchr(text, 0, length) != nullptr))
    return ProductReplyError::kBadUrl;
  BaseUrl url;
  url.url.assign(reinterpret_cast<const char*>(text), length);
  url.isMirror = mirror != 0;
  urls->push_back(std::move(url));
  return ProductReplyError::kNone;
}

}  // namespace

bool ProductQuery::BuildRequest(const std::string& productName, std::string* request) {
  if (productName.size() > kMaxProductNameLength) return false;
  const uint16_t nameLength = static_cast<uint16_t>(productName.size());
  std::string out;
  out.reserve(productName.size() + 7);
  AppendU16(&out, static_cast<uint16_t>(nameLength + 7));
  AppendU16(&out, kMessageType);
  AppendU16(&out, nameLength);
  out.append(productName);
  out.push_back('\0');
  request->swap(out);
  return true;
}

ProductReplyError ProductQuery::ParseHeader(const uint8_t* bytes, size_t size,
                                            ProductReplyHeader* header) {
  if (bytes == nullptr || size < kHeaderSize) return ProductReplyError::kHeaderTooShort;
  ProductReplyHeader read;
  read.length = ReadU16(bytes);
  read.type = ReadU16(bytes + 2);
  read.version = ReadU32(bytes + 4);
  read.status = bytes[8];
  read.urlCount = bytes[9];
  read.nameLength = ReadU16(bytes + 10);
  *header = read;
  if (read.length <= kHeaderSize) return ProductReplyError::kLengthTooSmall;
  if (read.type != kMessageType) return ProductReplyError::kWrongType;
  if (read.status == 0) return ProductReplyError::kStatusZero;
  if (read.urlCount == 0) return ProductReplyError::kNoUrls;
  return ProductReplyError::kNone;
}

size_t ProductQuery::BodySize(const ProductReplyHeader& header) {
  return header.length > kHeaderSize ? header.length - kHeaderSize : 0;
}

ProductReplyError ProductQuery::ParseBody(const ProductReplyHeader& header, const uint8_t* body,
                                          size_t size, const std::string& productName,
                                          std::vector<BaseUrl>* urls) {
  if (size != BodySize(header) || (body == nullptr && size != 0))
    return ProductReplyError::kBodySize;
  BlockReader reader(body, size);
  const uint8_t* name = nullptr;
  const uint8_t* end = nullptr;
  if (!reader.Take(header.nameLength, &name) || !reader.Take(1, &end))
    return ProductReplyError::kNameBeyondBlock;
  if (header.nameLength != productName.size() || end[0] != 0 ||
      (header.nameLength > 0 && std::memcmp(name, productName.data(), header.nameLength) != 0))
    return ProductReplyError::kWrongName;
  std::vector<BaseUrl> read;
  for (unsigned i = 0; i < header.urlCount; ++i) {
    const ProductReplyError error = ReadEntry(&reader, &read);
    if (error != ProductReplyError::kNone) return error;
  }
  if (header.version > kMaxVersion) return ProductReplyError::kVersionTooLarge;
  urls->insert(urls->end(), read.begin(), read.end());
  return ProductReplyError::kNone;
}

const char* ProductQuery::ErrorName(ProductReplyError error) {
  switch (error) {
    case ProductReplyError::kNone: return "none";
    case ProductReplyError::kHeaderTooShort: return "header too short";
    case ProductReplyError::kLengthTooSmall: return "length too small";
    case ProductReplyError::kWrongType: return "wrong type";
    case ProductReplyError::kStatusZero: return "status 0";
    case ProductReplyError::kNoUrls: return "no URLs";
    case ProductReplyError::kBodySize: return "body size";
    case ProductReplyError::kNameBeyondBlock: return "name beyond block";
    case ProductReplyError::kWrongName: return "wrong name";
    case ProductReplyError::kUrlBeyondBlock: return "URL beyond block";
    case ProductReplyError::kBadUrl: return "bad URL";
    case ProductReplyError::kVersionTooLarge: return "version too large";
  }
  return "unknown";
}

}  // namespace FileSystem
