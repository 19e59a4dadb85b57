// velmora: the operator's window. Takes no arguments; --help and --version print a line. SIGINT,
// SIGTERM and SIGHUP close it as the operator would, so the exit order runs and the status is 0.

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstring>
#include <iostream>
#include <mutex>

#include "app/Main.h"
#include "publish/ConsoleControls.h"

namespace {

constexpr const char* Usage = "usage: velmora (opens the window; takes no arguments)";

// Hands a stop from the controls' thread to the message loop. One that comes before the loop's
// application exists waits for it.
class TStopRequest {
public:
    void Request()
    {
        std::lock_guard lock(m_appMutex);
        m_requested = true;
        if (m_app)
            QMetaObject::invokeMethod(m_app, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    // From now until Forget, a stop ends the application's loop; one already requested does.
    void Attach(QCoreApplication& app)
    {
        std::lock_guard lock(m_appMutex);
        m_app = &app;
        if (m_requested)
            QMetaObject::invokeMethod(m_app, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    void Forget()
    {
        std::lock_guard lock(m_appMutex);
        m_app = nullptr;
    }

private:
    // Guards m_app and m_requested.
    std::mutex m_appMutex;
    QCoreApplication* m_app = nullptr;
    bool m_requested = false;
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
    // Before the toolkit starts threads, so that all of them leave the controls to this. Each ends
    // the message loop as a close of the window would, on the window's thread.
    TStopRequest stop;
    velmora::TConsoleControls controls([&stop](velmora::TConsoleControl) { stop.Request(); });

    QApplication app(argc, argv);
    stop.Attach(app);
    QGuiApplication::setDesktopFileName("velmora");
    QApplication::setWindowIcon(QIcon(":/velmora.png"));
    QTranslator translator;
    translateToolkit(app, translator);

    int status;
    {
        velmora::TForm1 form;
        form.show();
        status = app.exec();
        // Leaving this block runs the exit order: the watch, the server, then the controls.
    }
    stop.Forget();
    return status;
}
