#include "net/IdSocketHandle.h"

#include <algorithm>
#include <chrono>

#include "base/Stream.h"

namespace velmora {

TIdSocketHandle::~TIdSocketHandle()
{
    closeSocket();
}

void TIdSocketHandle::allocateSocket(int type, int protocol)
{
    closeSocket();
    m_shutFromOutside.store(false);
    m_handle.store(m_stack.stack().createSocket(type, protocol));
}

bool TIdSocketHandle::tryBindPort(int port)
{
    return m_stack.stack().bind(Handle(), Id_PF_INET, port, IP) == 0;
}

void TIdSocketHandle::bind()
{
    TIdStack& stack = m_stack.stack();
    if (Port == 0 && ClientPortMin != 0 && ClientPortMax != 0) {
        if (ClientPortMin > ClientPortMax)
            throw EIdInvalidPortRange(
                FormatMessage(RSInvalidPortRange, {std::to_string(ClientPortMin), std::to_string(ClientPortMax)}));
        int port = ClientPortMax;
        while (port >= ClientPortMin && !tryBindPort(port))
            --port;
        if (port < ClientPortMin)
            throw EIdCanNotBindPortInRange(
                FormatMessage(RSCannotBindRange, {std::to_string(ClientPortMin), std::to_string(ClientPortMax)}));
    } else {
        int result = stack.bind(Handle(), Id_PF_INET, Port, IP);
        if (stack.CheckSocketResult(result, {Id_WSAEADDRINUSE}))
            throw EIdCouldNotBindSocket(RSCouldNotBindSocket);
        // The socket layer reports no other failure; listening on an unbound socket must not follow.
        if (result != 0)
            throw EIdSocketHandleError(
                FormatMessage(RSBindFailed, {std::to_string(Port), SystemErrorText(stack.lastError())}));
    }
    auto local = stack.localName(Handle());
    IP = local.IP;
    Port = local.Port;
}

bool TIdSocketHandle::listen(int backlog)
{
    return m_stack.stack().listen(Handle(), backlog) == 0;
}

void TIdSocketHandle::adopt(TIdStackSocketHandle handle, const TIdSocketAddress& peer)
{
    closeSocket();
    m_shutFromOutside.store(false);
    m_peer = peer;
    m_handle.store(handle);
}

void TIdSocketHandle::setNoDelay()
{
    m_stack.stack().setNoDelay(Handle());
}

void TIdSocketHandle::setNonBlocking()
{
    m_stack.stack().setNonBlocking(Handle());
}

void TIdSocketHandle::prepareListener(bool reuseAddress)
{
    m_stack.stack().prepareListener(Handle(), reuseAddress);
}

void TIdSocketHandle::closeSocket()
{
    TIdStackSocketHandle handle;
    {
        std::lock_guard<std::mutex> guard(m_handleMutex);
        handle = m_handle.exchange(Id_INVALID_SOCKET);
    }
    if (handle == Id_INVALID_SOCKET)
        return;
    m_stack.stack().shutdown(handle, Id_SD_Send);
    m_stack.stack().closeSocket(handle);
}

void TIdSocketHandle::shutdownFromOutside()
{
    std::lock_guard<std::mutex> guard(m_handleMutex);
    TIdStackSocketHandle handle = m_handle.load();
    if (handle == Id_INVALID_SOCKET)
        return;
    m_shutFromOutside.store(true);
    m_stack.stack().shutdown(handle, Id_SD_Both);
}

int TIdSocketHandle::waitReadable(int timeoutMs)
{
    return waitFor(false, timeoutMs);
}

int TIdSocketHandle::waitWritable(int timeoutMs)
{
    return waitFor(true, timeoutMs);
}

int TIdSocketHandle::waitFor(bool write, int timeoutMs)
{
    TIdStack& stack = m_stack.stack();
    auto waitOnce = [&](int slice) {
        if (!write)
            return stack.waitReadable(Handle(), slice);
        TIdSocketList writable{Handle()};
        return stack.select(nullptr, &writable, nullptr, slice);
    };
    if (stack.shutdownEndsWaits())
        return waitOnce(timeoutMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (m_shutFromOutside.load())
            return 1;
        int slice = IdShutdownCheckSliceMs;
        if (timeoutMs != IdTimeoutInfinite) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            slice = static_cast<int>(std::clamp<long long>(left.count(), 0, IdShutdownCheckSliceMs));
        }
        const int result = waitOnce(slice);
        if (result != 0 || (timeoutMs != IdTimeoutInfinite && std::chrono::steady_clock::now() >= deadline))
            return result;
    }
}

TIdSocketHandle& TIdSocketHandles::add()
{
    m_items.push_back(std::make_unique<TIdSocketHandle>(DefaultPort));
    return *m_items.back();
}

void TIdSocketHandles::truncate(size_t count)
{
    if (count < m_items.size())
        m_items.resize(count);
}

}  // namespace velmora
