#pragma once
// A page rendered from a template compiled into the layer (a NUL-terminated
// UTF-8 text) and a view given as JSON: objects become the mustache
// engine's maps (each with "entries", its text members as {name, value} in
// order, for a template listing keys it does not know), arrays its arrays,
// booleans its booleans (for sections), numbers and texts its texts, null
// the empty text (which a section takes as absent). The engine escapes
// every value; no markup is made in code. Any thread.
#include <nlohmann/json.hpp>

#include <string>

namespace qzreport {

class PageTemplate {
public:
    static std::string Render(const unsigned char* templateText, const nlohmann::ordered_json& view);
};

}  // namespace qzreport
