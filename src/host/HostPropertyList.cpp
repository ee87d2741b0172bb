#include "HostPropertyList.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <vector>

#include "CFArray.h"
#include "CFBoolean.h"
#include "CFDictionary.h"
#include "CFNumber.h"
#include "CFAllocator.h"
#include "CFString.h"
#include "CUFileStream.h"
#include "CUMutableArray.h"
#include "CUStringMac.h"
#include "CUXmlDomDocumentNode.h"
#include "CUXmlDomNode.h"

namespace ComVantoVantoQZ64RADPlug {

namespace {

constexpr uint32_t kPropertyListInvalid = 0x10001;

// Element children, skipping the white space between them; anything else
// (text beside elements) makes the list malformed.
bool ElementChildren(const CUXmlDomNode& node, std::vector<const CUXmlDomNode*>& out, std::string& reason) {
    for (const CUSharedPtr<CUObject>& object : node.GetChildNodes()->GetInternalArray()) {
        const auto* child = dynamic_cast<const CUXmlDomNode*>(object.get());
        if (!child) continue;
        if (child->GetNodeType() == kCUXmlDomNode_Element) {
            out.push_back(child);
        } else if (child->GetNodeType() == kCUXmlDomNode_Text) {
            const std::string text = child->GetNodeValue() ? child->GetNodeValue()->Utf8() : std::string();
            if (text.find_first_not_of(" \t\r\n") != std::string::npos) {
                reason = "text \"" + text.substr(0, 40) + "\" beside elements";
                return false;
            }
        }
    }
    return true;
}

bool TextOf(const CUXmlDomNode& node, std::string& text, std::string& reason) {
    text.clear();
    for (const CUSharedPtr<CUObject>& object : node.GetChildNodes()->GetInternalArray()) {
        const auto* child = dynamic_cast<const CUXmlDomNode*>(object.get());
        if (!child) continue;
        if (child->GetNodeType() != kCUXmlDomNode_Text) {
            reason = "<" + node.GetNodeName()->Utf8() + "> holds more than text";
            return false;
        }
        if (child->GetNodeValue()) text += child->GetNodeValue()->Utf8();
    }
    return true;
}

CFHolder<CFTypeRef> ValueOf(const CUXmlDomNode& node, std::string& reason) {
    const std::string name = node.GetNodeName() ? node.GetNodeName()->Utf8() : std::string();
    std::string text;
    if (name == "string" || name == "key") {
        if (!TextOf(node, text, reason)) return {};
        return CFHolder<CFTypeRef>::Adopt(
            CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const uint8_t*>(text.data()),
                                    static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false));
    }
    if (name == "integer") {
        if (!TextOf(node, text, reason)) return {};
        int64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
            reason = "<integer> \"" + text.substr(0, 40) + "\" is not a 64-bit integer";
            return {};
        }
        return CFHolder<CFTypeRef>::Adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value));
    }
    if (name == "real") {
        if (!TextOf(node, text, reason)) return {};
        char* end = nullptr;
        errno = 0;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE) {
            reason = "<real> \"" + text.substr(0, 40) + "\" is not a number";
            return {};
        }
        return CFHolder<CFTypeRef>::Adopt(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &value));
    }
    if (name == "true" || name == "false") {
        return CFHolder<CFTypeRef>::Retain(name == "true" ? kCFBooleanTrue : kCFBooleanFalse);
    }
    std::vector<const CUXmlDomNode*> children;
    if (name == "array") {
        if (!ElementChildren(node, children, reason)) return {};
        CFHolder<CFTypeRef> array = CFHolder<CFTypeRef>::Adopt(
            CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
        for (const CUXmlDomNode* child : children) {
            CFHolder<CFTypeRef> value = ValueOf(*child, reason);
            if (!value) return {};
            CFArrayAppendValue(CFArrayAsMutable(static_cast<CFArrayRef>(array.Get())), value.Get());
        }
        return array;
    }
    if (name == "dict") {
        if (!ElementChildren(node, children, reason)) return {};
        if (children.size() % 2 != 0) {
            reason = "<dict> has a key without a value";
            return {};
        }
        CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        CFHolder<CFTypeRef> held = CFHolder<CFTypeRef>::Adopt(dictionary);
        for (size_t i = 0; i < children.size(); i += 2) {
            if (!children[i]->GetNodeName() || children[i]->GetNodeName()->Utf8() != "key") {
                reason = "<dict> entry " + std::to_string(i / 2) + " does not start with <key>";
                return {};
            }
            CFHolder<CFTypeRef> key = ValueOf(*children[i], reason);
            CFHolder<CFTypeRef> value = key ? ValueOf(*children[i + 1], reason) : CFHolder<CFTypeRef>();
            if (!value) return {};
            CFDictionarySetValue(dictionary, key.Get(), value.Get());
        }
        return held;
    }
    reason = "unsupported element <" + name + ">";
    return {};
}

}  // namespace

CFHolder<CFTypeRef> HostPropertyList::ReadFile(const std::string& path, CUFailure* why) {
    auto fail = [&](const std::string& what) {
        if (why) *why = CUFailure(kPropertyListInvalid, what, path);
        return CFHolder<CFTypeRef>();
    };
    try {
        CUSharedPtr<CUStringMac> name(new CUStringMac(path.c_str()));
        CUSharedPtr<CUStream> stream(new CUFileStream(name, kCUStreamModeOpen, kCUStreamAccessRead, true));
        if (!stream->CanRead()) return fail("property list cannot be opened");
        if (stream->Length() == 0) return fail("property list is empty");
        if (stream->Length() > kMaxFileBytes) return fail("property list is larger than 4 MiB");
        CUSharedPtr<CUXmlDomDocumentNode> document = CUXmlDomDocumentNode::Create();
        if (document->LoadXml(stream) != 0) return fail("property list is not well-formed XML (or has a DOCTYPE)");
        std::vector<const CUXmlDomNode*> top;
        std::string reason;
        if (!ElementChildren(*document, top, reason)) return fail(reason);
        if (top.size() != 1 || !top[0]->GetNodeName() || top[0]->GetNodeName()->Utf8() != "plist")
            return fail("root element is not <plist>");
        std::vector<const CUXmlDomNode*> values;
        if (!ElementChildren(*top[0], values, reason)) return fail(reason);
        if (values.size() != 1) return fail("<plist> must hold exactly one value");
        CFHolder<CFTypeRef> value = ValueOf(*values[0], reason);
        if (!value) return fail(reason);
        return value;
    } catch (const CUError& error) {
        return fail(std::string("property list cannot be read: ") + error.what());
    }
}

}  // namespace ComVantoVantoQZ64RADPlug
