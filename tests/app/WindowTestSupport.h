#pragma once
// The window under test: its dialogs answered by the test, the machine's interfaces and the clock
// set by it, its controls found by their object names.

#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Projects.h"
#include "HttpTestSupport.h"
#include "app/Main.h"

namespace velmora::test {

inline constexpr int WaitMs = 20000;

struct MessageBoxShown {
    QString title, text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// A window whose dialogs are answered here: the file dialog with screenFile (none cancels), the
// error box recorded. The address watch finds localAddress; the operator's panel finds the
// interfaces, whose default route is 127.0.0.5 so that the server's probe and phones on loopback
// reach it.
class Window : public testing::Test {
protected:
    void TearDown() override
    {
        form.reset();
        if (!project.empty())
            std::filesystem::remove_all(project);
    }

    TForm1& window()
    {
        if (!form)
            form = std::make_unique<TForm1>([this] { return localAddress; },
                                            [this](QDialog& dialog) { return answer(dialog); },
                                            [this] { return interfaces; }, clock);
        return *form;
    }
    int answer(QDialog& dialog)
    {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            fileDialogFilters = files->nameFilters();
            if (!screenFile)
                return QDialog::Rejected;
            files->selectFile(*screenFile);
            return QDialog::Accepted;
        }
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            return QMessageBox::Ok;
        }
        ADD_FAILURE() << "an unexpected dialog";
        return QDialog::Rejected;
    }
    template <typename Control>
    Control* control(const char* name)
    {
        auto* found = window().findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList logLines() { return control<QPlainTextEdit>("Memo1")->toPlainText().split('\n', Qt::SkipEmptyParts); }
    bool logHas(const QString& line)
    {
        return QTest::qWaitFor([&] { return logLines().contains(line); }, WaitMs);
    }
    // Publishes the fixture project on a free port through the port box and "Iniciar".
    void publish()
    {
        project = makeProject(testing::UnitTest::GetInstance()->current_test_info()->name());
        publishFile((project / "screen.xml").string());
    }
    void publishFile(const std::string& screen)
    {
        screenFile = QString::fromStdString(screen);
        port = reserved.port();
        QLineEdit* editPort = control<QLineEdit>("EditPort");
        editPort->clear();
        QTest::keyClicks(editPort, QString::number(port));
        QTest::mouseClick(control<QPushButton>("ButtonIniciar"), Qt::LeftButton);
    }
    // The server's address through the given local address.
    QString address(const char* host) const { return QString::fromLatin1(host) + ":" + QString::number(port); }

    std::string localAddress = "192.168.7.7";
    std::vector<TInterfaceAddress> interfaces = {
        {"lo", "127.0.0.1", true, true, false},
        {"eth0", "127.0.0.5", true, false, true},
        {"wlan0", "127.0.0.6", true, false, false},
    };
    ManualClock clock;
    std::optional<QString> screenFile;
    QStringList fileDialogFilters;
    std::vector<MessageBoxShown> boxes;
    std::filesystem::path project;
    ReservedPort reserved;
    int port = 0;
    std::unique_ptr<TForm1> form;
};

}  // namespace velmora::test
