#include "LibavMessages.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

#include <cstdio>
#include <mutex>

namespace qzrewrap {

thread_local LibavMessages* LibavMessages::t_listening = nullptr;

LibavMessages::LibavMessages() {
    // libav has one log handler per process: ours hands every message it
    // does not keep to libav's default one.
    static std::once_flag installed;
    std::call_once(installed, [] { av_log_set_callback(&LibavMessages::Callback); });
}

void LibavMessages::Callback(void* context, int level, const char* format, va_list arguments) {
    LibavMessages* listening = t_listening;
    if (!listening || (!listening->m_all && (!listening->m_context || context != listening->m_context))) {
        av_log_default_callback(context, level, format, arguments);
        return;
    }
    // The muxer's notes and warnings about our own output are not shown:
    // its errors reach the caller in the writer's exception.
    if (level > AV_LOG_ERROR) return;
    char line[512];
    std::vsnprintf(line, sizeof line, format, arguments);
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (!text.empty()) listening->m_lastError = text;
}

std::string LibavMessages::Describe(const std::string& what, int code) const {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    std::string message = what + ": " + text;
    if (!m_lastError.empty()) message += " (" + m_lastError + ")";
    return message;
}

}  // namespace qzrewrap
