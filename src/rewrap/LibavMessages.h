#pragma once
// What libav says about one output while a writer calls it: libavformat
// explains most failures only in its log (a refused codec tag, a rate the
// MXF writer does not take), so the writer's error carries that sentence
// beside the error code's text. Messages about other contexts, or logged
// outside a writer's calls, go on to libav's default log handler. One
// object per writer, used by one thread.
#include <cstdarg>
#include <string>

namespace qzrewrap {

class LibavMessages {
public:
    LibavMessages();

    // Messages logged for `context` (an AVFormatContext) are kept.
    void Listen(const void* context) { m_context = context; }
    // Messages logged for any context during this object's calls are kept
    // (a writer whose codecs and filters speak for its output too).
    void ListenToAll() { m_all = true; }

    // Runs one libav call with this object listening on the calling thread;
    // its result.
    template <class Call>
    int During(Call call) {
        m_lastError.clear();
        LibavMessages* outer = t_listening;
        t_listening = this;
        const int result = call();
        t_listening = outer;
        return result;
    }

    // The last error libav logged for the context during the last call, ""
    // when none.
    const std::string& LastError() const { return m_lastError; }
    // "what: <the error code's text> (<libav's last error>)".
    std::string Describe(const std::string& what, int code) const;

private:
    static void Callback(void* context, int level, const char* format, va_list arguments);
    static thread_local LibavMessages* t_listening;

    const void* m_context = nullptr;
    bool m_all = false;
    std::string m_lastError;
};

}  // namespace qzrewrap
