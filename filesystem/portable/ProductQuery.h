// The product query of the update-server protocol: the request that names a
// product and the reply with the version of "version.pcfg" and the download
// base addresses. Integers are little-endian on the wire.
//
// Request: u16 total length (n + 7), u16 type 3, u16 n, n name bytes, 0.
// Reply header (12 bytes): u16 total length L (header included), u16 type 3,
// u32 version, u8 status, u8 URL count U, u16 name length m.
// Reply body (L - 12 bytes): m name bytes and a 0, then U entries of
// {u8 isMirror, u16 length k, k URL bytes, 0}.
//
// Only the socket side lives elsewhere; everything read from the peer is
// checked here against the bytes that really arrived.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BaseUrl.h"

namespace FileSystem {

struct ProductReplyHeader {
  uint16_t length = 0;
  uint16_t type = 0;
  uint32_t version = 0;
  uint8_t status = 0;
  uint8_t urlCount = 0;
  uint16_t nameLength = 0;
};

enum class ProductReplyError {
  kNone,
  kHeaderTooShort,  // fewer than 12 bytes given for the header
  kLengthTooSmall,  // L is 12 or less: no body at all
  kWrongType,       // type is not 3
  kStatusZero,      // the server has nothing for this product
  kNoUrls,          // URL count 0
  kBodySize,        // the body given is not L - 12 bytes
  kNameBeyondBlock, // m and its 0 do not fit the body
  kWrongName,       // the echoed name is not the requested one
  kUrlBeyondBlock,  // an entry, its URL or its 0 does not fit the body
  kBadUrl,          // a URL holds a 0 byte or lacks its terminating 0
  kVersionTooLarge, // the version does not fit the 16 bits versions are kept in
};

class ProductQuery {
 public:
  static constexpr uint16_t kMessageType = 3;
  static constexpr size_t kHeaderSize = 12;
  // The request's 16-bit length field must hold n + 7.
  static constexpr size_t kMaxProductNameLength = 0xFFFF - 7;
  // Versions are stored in 16 bits everywhere else in the file system.
  static constexpr uint32_t kMaxVersion = 0xFFFF;

  // The request bytes for a product; false when the name is too long for
  // the request's length field.
  static bool BuildRequest(const std::string& productName, std::string* request);

  // Decodes and checks the 12 header bytes. The body that follows is
  // BodySize(header) bytes long.
  static ProductReplyError ParseHeader(const uint8_t* bytes, size_t size,
                                       ProductReplyHeader* header);
  static size_t BodySize(const ProductReplyHeader& header);

  // Checks the echoed name, reads the URL entries in reply order and, last,
  // checks that the version fits 16 bits. On any failure *urls is left
  // untouched, so a half-read answer never counts. Bytes after the last
  // entry are ignored.
  static ProductReplyError ParseBody(const ProductReplyHeader& header, const uint8_t* body,
                                     size_t size, const std::string& productName,
                                     std::vector<BaseUrl>* urls);

  // Text for logs and test names.
  static const char* ErrorName(ProductReplyError error);
};

}  // namespace FileSystem
