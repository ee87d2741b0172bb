#pragma once
// A page rendered from a template compiled into the layer (a NUL-terminated
// UTF-8 text) and a view given as JSON: objects become the mustache
// engine's maps, arrays its arrays,
// booleans its booleans (for sections), numbers and texts its texts, null
// the empty text (which a section takes as absent). Objects under the key
// `listedKey` (for a template listing keys it does not know) also get
// "entries", their text members as {name, value} in order; no other object
// has them, so a page of many clips holds its texts once. The engine escapes
// every value; no markup is made in code. Any thread.
#include <nlohmann/json.hpp>

#include <string>

namespace qzreport {

class PageTemplate {
public:
    static std::string Render(const unsigned char* templateText, nlohmann::ordered_json view,
                              const char* listedKey = nullptr);
};

}  // namespace qzreport
