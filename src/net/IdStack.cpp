#include "net/IdStack.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace velmora {

namespace {

// Guards g_componentCount and the making and freeing of the stack.
std::mutex g_stackMutex;
int g_componentCount = 0;
std::atomic<TIdStack*> g_stack{nullptr};

void acquireStack()
{
    std::lock_guard<std::mutex> guard(g_stackMutex);
    // A stack that cannot start leaves no component counted.
    if (g_componentCount == 0)
        g_stack.store(NewPlatformStack(), std::memory_order_release);
    ++g_componentCount;
}

void releaseStack()
{
    std::lock_guard<std::mutex> guard(g_stackMutex);
    if (--g_componentCount == 0)
        delete g_stack.exchange(nullptr, std::memory_order_acq_rel);
}

// Parses a decimal number of at most maximum; answers none for anything else.
std::optional<uint32_t> decimalPart(const std::string& text, uint64_t maximum)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > maximum)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::vector<std::string> splitDots(const std::string& text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            return parts;
        start = dot + 1;
    }
}

}  // namespace

TIdStack* SocketStack()
{
    return g_stack.load(std::memory_order_acquire);
}

TIdStackRef::TIdStackRef()
{
    acquireStack();
}

TIdStackRef::TIdStackRef(const TIdStackRef&)
{
    acquireStack();
}

TIdStackRef::~TIdStackRef()
{
    releaseStack();
}

TIdStack& TIdStackRef::stack() const
{
    return *SocketStack();
}

int StackComponentCount()
{
    std::lock_guard<std::mutex> guard(g_stackMutex);
    return g_componentCount;
}

std::string TIdStack::localAddress()
{
    auto addresses = localAddresses();
    return addresses.empty() ? std::string() : addresses.front();
}

std::string TIdStack::resolveHost(const std::string& host)
{
    std::string upper = host;
    for (char& c : upper)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (upper == "LOCALHOST")
        return "127.0.0.1";
    if (isIP(host))
        return host;
    return hostByName(host).value_or(std::string());
}

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int> expected)
{
    if (result != Id_SOCKET_ERROR)
        return false;
    int code = lastError();
    for (int candidate : expected)
        if (candidate == code)
            return true;
    return false;
}

std::optional<uint32_t> TIdStack::tryTextToAddress(const std::string& text)
{
    auto parts = splitDots(text);
    if (parts.size() > 4)
        return std::nullopt;
    // Every part but the last is one byte; the last fills the bytes that remain.
    const uint64_t lastMaximum[] = {0xFFFFFFFFull, 0xFFFFFFull, 0xFFFFull, 0xFFull};
    uint32_t address = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        auto byte = decimalPart(parts[i], 255);
        if (!byte)
            return std::nullopt;
        address |= *byte << (24 - 8 * i);
    }
    auto last = decimalPart(parts.back(), lastMaximum[parts.size() - 1]);
    if (!last)
        return std::nullopt;
    return address | *last;
}

uint32_t TIdStack::textToAddress(const std::string& text)
{
    auto address = tryTextToAddress(text);
    if (!address)
        throw EIdInvalidIPAddress(FormatMessage(RSStackInvalidIP, {text}));
    return *address;
}

std::string TIdStack::addressToText(uint32_t address)
{
    // Written digit by digit into one buffer: every accepted connection names its peer.
    char text[16];
    char* end = text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned part = (address >> shift) & 0xFF;
        if (part >= 100)
            *end++ = static_cast<char>('0' + part / 100);
        if (part >= 10)
            *end++ = static_cast<char>('0' + part / 10 % 10);
        *end++ = static_cast<char>('0' + part % 10);
        if (shift > 0)
            *end++ = '.';
    }
    return std::string(text, end);
}

}  // namespace velmora
