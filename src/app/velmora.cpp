// velmora: the operator's window. Takes no arguments; --help and --version print a line. SIGINT,
// SIGTERM and SIGHUP close it as the operator would, so the exit order runs and the status is 0.

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <cstring>
#include <iostream>
#include <sys/signalfd.h>
#include <unistd.h>

#include "publish/ControlSignals.h"
#include "app/Main.h"

namespace {

constexpr const char* Usage = "usage: velmora (opens the window; takes no arguments)";

// Turns the stop signals into an ordinary end of the message loop. They are blocked in every
// thread and read from a descriptor on the window's thread, so nothing runs in a signal handler.
class StopSignals {
public:
    StopSignals()
    {
        sigset_t signals = velmora::ControlSignals();
        m_fd = ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
        if (m_fd < 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            signalfd_siginfo info;
            while (::read(m_fd, &info, sizeof info) == sizeof info) {}
            QCoreApplication::quit();
        });
    }
    ~StopSignals()
    {
        m_notifier.reset();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

// Qt's own texts (the file dialog's buttons) in the desktop's language, when installed.
void translateToolkit(QApplication& app, QTranslator& translator)
{
    if (translator.load(QLocale::system(), "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&translator);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc > 1) {
        if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
            std::cout << Usage << "\n";
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
            std::cout << "velmora " << VELMORA_VERSION << "\n";
            return 0;
        }
        std::cerr << Usage << "\n";
        return 2;
    }
    // Before the toolkit starts threads, so that all of them leave the stop signals to StopSignals.
    sigset_t signals = velmora::ControlSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName("velmora");
    QApplication::setWindowIcon(QIcon(":/velmora.png"));
    QTranslator translator;
    translateToolkit(app, translator);
    StopSignals stop;

    int status;
    {
        velmora::TForm1 form;
        form.show();
        status = app.exec();
        // Leaving this block runs the exit order: the watch, the server, then the controls.
    }
    return status;
}
