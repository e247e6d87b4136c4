// One request of the report client's queue.
#pragma once

#include <string>

struct HttpRequest {
  int kind = 0;  // 0 = POST, any other value = GET
  std::string url;
  std::string postData;
  std::string response;
};
