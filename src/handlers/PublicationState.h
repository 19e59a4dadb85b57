#pragma once
// What a publish leaves for the request handlers: the project folder, the page template and the
// address the phone types. The main thread replaces each value whole while connection threads read
// it, so a reader always holds either the old or the new text entirely.

#include <memory>
#include <mutex>
#include <string>

namespace velmora {

class TSharedText {
public:
    std::shared_ptr<const std::string> get() const
    {
        std::lock_guard lock(m_textMutex);
        return m_text;
    }
    void set(std::string text)
    {
        auto replacement = std::make_shared<const std::string>(std::move(text));
        std::lock_guard lock(m_textMutex);
        m_text.swap(replacement);
    }

private:
    // Guards m_text, the pointer only: the text it points to is never changed.
    mutable std::mutex m_textMutex;
    std::shared_ptr<const std::string> m_text = std::make_shared<const std::string>();
};

struct TPublicationState {
    // The chosen screen file's folder with its trailing separator; empty before the first publish.
    TSharedText ProjectFolder;
    // The manifest's bytes as read back at the end of a publish; empty before the first.
    TSharedText PageTemplate;
    // ServerAddress as last composed, which the connection page shows; empty without an address.
    TSharedText ServerAddress;
};

}  // namespace velmora
