#include "app/Main.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <thread>

#include "Projects.h"
#include "HttpTestSupport.h"
#include "WindowTestSupport.h"
#include "publish/FormSupport.h"
#include "app/Shape.h"
#include "publish/Limits.h"
#include "base/Stream.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST_F(Window, OpensWithTheStoredControlsTextsAndPlaces)
{
    TForm1& form1 = window();
    EXPECT_EQ(form1.windowTitle(), "Velmora - Servidor Screen para Apple");
    // The stored area keeps its place and size; the operator's panel widens the window to its right.
    EXPECT_EQ(form1.size(), QSize(TForm1::WindowWidth, TForm1::WindowHeight));
    EXPECT_GT(form1.width(), 486);
    EXPECT_GE(form1.height(), 382);
    EXPECT_EQ(form1.minimumSize(), form1.maximumSize()) << "a fixed border";
    const QRect screenArea = form1.screen()->availableGeometry();
    EXPECT_EQ(form1.pos(), QPoint(FittedLeft(472, form1.width(), screenArea.left(), screenArea.width()), 190));

    const struct {
        const char* name;
        QRect bounds;
        QString text;
        bool visible;
    } rows[] = {
        {"Label1", {144, 232, 318, 24}, QString(53, ' '), true},
        {"Label2", {176, 56, 96, 13}, "Status do Programa:", true},
        {"Label3", {32, 232, 102, 24}, "Endereço: ", true},
        {"Label4", {32, 64, 28, 13}, "Porta:", true},
        {"Shape1", {120, 136, 41, 41}, "", true},
        {"Label5", {32, 184, 137, 13}, "Servidor Inativo", true},
        {"Label6", {16, 24, 365, 22}, "Servidor de Interfaces VelmScreen - Apple", true},
        {"Button1", {392, 8, 75, 25}, "Test", false},
        {"EditPort", {32, 80, 81, 21}, "8099", true},
        {"ButtonIniciar", {32, 144, 75, 25}, "Iniciar", true},
        {"Memo1", {176, 72, 273, 145}, "", true},
        {"Memo2", {16, 272, 449, 97}, "", true},
    };
    QWidget* area = control<QWidget>("ClientArea");
    ASSERT_EQ(area->geometry(), QRect(0, 0, 486, 382));
    QStringList created;
    for (QObject* child : area->children())
        created << child->objectName();
    QStringList stored;
    for (const auto& row : rows)
        stored << row.name;
    EXPECT_EQ(created, stored) << "creation order";

    for (const auto& row : rows) {
        QWidget* widget = control<QWidget>(row.name);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->isVisibleTo(&form1), row.visible) << row.name;
        QRect bounds = widget->geometry();
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            EXPECT_EQ(label->text(), row.text) << row.name;
            // A label may grow to fit its caption in the free fonts, never shrink.
            EXPECT_GE(bounds.width(), row.bounds.width()) << row.name;
            bounds.setWidth(row.bounds.width());
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), row.text) << row.name;
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            EXPECT_EQ(edit->text(), row.text) << row.name;
        }
        EXPECT_EQ(bounds, row.bounds) << row.name;
    }
    EXPECT_TRUE(control<QPlainTextEdit>("Memo1")->toPlainText().isEmpty());
    EXPECT_EQ(control<TShape>("Shape1")->BrushColor(), QColor(255, 0, 0));
    EXPECT_TRUE(control<QPushButton>("Button1")->isDefault());
}

TEST_F(Window, ShowsTheInstructionsLineByLineWithTheirTrailingBlanks)
{
    QPlainTextEdit* memo2 = control<QPlainTextEdit>("Memo2");
    const QStringList lines = memo2->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 22);
    const std::map<int, QString> rows = {
        {1, "Garanta que seu iPhone ou iPod Touch esteja na mesma rede do seu computador "},
        {3, ""},
        {6, "2) Selecione o arquivo SCREEN.XML dentro da pasta \"OUTPUT\" do projeto do "},
        {7, "VelmScreen "},
        {11, "exatamente como mostrada na tela deste software quando o servidor estiver ATIVO. "},
        {17, "Para substituição de uma interface rodando no iPhone ou iPod Touch. "},
        {19, "- Escreva no campo de endereço esatamente o seguinte: \"imodule://\""},
        {22, "- Repita os mesmos procedimentos de 1 a 5."},
    };
    for (const auto& [number, text] : rows)
        EXPECT_EQ(lines[number - 1], text) << number;
    EXPECT_EQ(memo2->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

TEST_F(Window, UsesArialsMetricTwinAndTheHighlightedAddressBox)
{
    const struct {
        const char* name;
        int pixels;
    } rows[] = {{"Label1", 21}, {"Label3", 21}, {"Label6", 19}, {"Label2", 11}, {"EditPort", 11}, {"Memo2", 11}};
    for (const auto& row : rows) {
        QWidget* widget = control<QWidget>(row.name);
        EXPECT_EQ(widget->font().pixelSize(), row.pixels) << row.name;
        EXPECT_EQ(QFontInfo(widget->font()).family(), "Liberation Sans") << row.name;
    }
    QLabel* label1 = control<QLabel>("Label1");
    EXPECT_TRUE(label1->autoFillBackground());
    EXPECT_EQ(label1->palette().color(QPalette::Window), label1->palette().color(QPalette::Light));
    EXPECT_EQ(window().palette().color(QPalette::Window), window().palette().color(QPalette::Button));
}

// The operator's panel comes after the stored controls.
TEST_F(Window, TabVisitsTheBoxesInTheStoredOrderPastTheHiddenButton)
{
    const QStringList order = {"Button1",       "EditPort",        "ButtonIniciar",  "Memo1",          "Memo2",
                               "ComboEndereco", "CheckRepublicar", "ListaProblemas", "TabelaAparelhos"};
    QStringList chain;
    QWidget* widget = control<QWidget>("Button1");
    do {
        if (order.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != control<QWidget>("Button1"));
    EXPECT_EQ(chain, order);
    EXPECT_EQ(control<QPlainTextEdit>("Memo1")->tabChangesFocus(), true);
    EXPECT_EQ(control<QPlainTextEdit>("Memo2")->tabChangesFocus(), true);
    EXPECT_EQ(window().focusWidget(), control<QWidget>("EditPort")) << "the first box that can take focus";
}

TEST_F(Window, EnterNeverClicksTheHiddenDefaultButton)
{
    window().show();
    QSignalSpy clicks(control<QPushButton>("Button1"), &QPushButton::clicked);
    for (const char* name : {"EditPort", "ButtonIniciar", "Memo1"}) {
        QWidget* focused = control<QWidget>(name);
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Return);
        QTest::keyClick(focused, Qt::Key_Enter);
    }
    QTest::keyClick(&window(), Qt::Key_Return);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(Window, ListsScreenFilesInAnyLetterCase)
{
    window();
    QFileDialog* dialog = control<QFileDialog>("OpenDialogScreen");
    ASSERT_EQ(dialog->nameFilters().size(), 1);
    EXPECT_TRUE(dialog->testOption(QFileDialog::HideNameFilterDetails)) << "shows only \"Referência Module Screen\"";
    EXPECT_TRUE(dialog->nameFilters().front().startsWith("Referência Module Screen ("));

    const fs::path folder = fs::temp_directory_path() / ("velmora-filter-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    for (const char* name : {"screen.xml", "SCREEN.XML", "Screen.Xml", "screen.xml.bak", "other.xml"})
        std::ofstream(folder / name) << "x";
    // The dialog's own matching: Qt's name filters are case-sensitive on this system.
    const QString patterns = dialog->nameFilters().front().section('(', 1).chopped(1);
    QDir listing(QString::fromStdString(folder.string()), patterns, QDir::Name, QDir::Files | QDir::CaseSensitive);
    EXPECT_EQ(listing.entryList(), QStringList({"SCREEN.XML", "Screen.Xml", "screen.xml"}));
    fs::remove_all(folder);
}

TEST_F(Window, PublishesThroughTheButtonAndServesTheProject)
{
    publish();
    ASSERT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
    EXPECT_EQ(fileDialogFilters.size(), 1);
    const QString address = this->address("127.0.0.5");
    EXPECT_EQ(control<TShape>("Shape1")->BrushColor(), QColor(0, 128, 0));
    EXPECT_EQ(control<QLabel>("Label5")->text(), "Servidor Ativo");
    EXPECT_EQ(control<QLabel>("Label1")->text(), address);
    ASSERT_TRUE(logHas("Servidor Ativo!"));

    const std::string manifest = ReadWholeFile((project / "arquivos.xml").string());
    EXPECT_NE(manifest.find("http://" + address.toStdString() + "/Images/"), std::string::npos);
    const std::string reply = rawRequest(port, "GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), manifest);
    ASSERT_TRUE(logHas("Servidor acessível em " + address + "."));
    ASSERT_TRUE(QTest::qWaitFor([&] { return logLines().count("Arquivo /arquivos.xml OK.") == 1; }, WaitMs))
        << "the request, and not the server's probe of itself";
    const QStringList lines = logLines();
    EXPECT_EQ(lines.size(), 8) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("Verificação do projeto: 5 arquivos, ")) << lines[0].toStdString();
    EXPECT_EQ(lines.indexOf("Servidor Ativo!"), 5) << "after the project's check and its four missing images";
}

TEST_F(Window, ACancelledChoiceChangesNothing)
{
    QTest::mouseClick(control<QPushButton>("ButtonIniciar"), Qt::LeftButton);
    EXPECT_EQ(fileDialogFilters.size(), 1) << "the dialog was shown";
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(control<QLabel>("Label5")->text(), "Servidor Inativo");
    EXPECT_FALSE(window().Controller().IdHTTPServer1().Active());
}

TEST_F(Window, ClosesTheNameListThatTheFileDialogLeavesOpen)
{
    QCompleter* completer = nullptr;
    // The dialog as Qt leaves it when Return accepts a name while the list shows a match.
    form = std::make_unique<TForm1>([this] { return localAddress; },
                                    [&completer](QDialog& dialog) {
                                        completer = dialog.findChild<QCompleter*>();
                                        completer->popup()->show();
                                        return int(QDialog::Rejected);
                                    });
    QTest::mouseClick(control<QPushButton>("ButtonIniciar"), Qt::LeftButton);
    ASSERT_NE(completer, nullptr);
    EXPECT_FALSE(completer->popup()->isVisible());
}

TEST_F(Window, ReportsAPortThatIsNoNumberInAnErrorBoxCaptionedWithTheProgramTitle)
{
    QLineEdit* editPort = control<QLineEdit>("EditPort");
    editPort->clear();
    QTest::keyClicks(editPort, "abc");
    QTest::mouseClick(control<QPushButton>("ButtonIniciar"), Qt::LeftButton);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "'abc' is not a valid integer value.");
    EXPECT_EQ(boxes[0].title.toStdString(), ProgramTitle(QCoreApplication::applicationFilePath().toStdString()));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    EXPECT_FALSE(window().Controller().IdHTTPServer1().Active());
    EXPECT_EQ(control<QLabel>("Label5")->text(), "Servidor Inativo");
    EXPECT_EQ(control<TShape>("Shape1")->BrushColor(), QColor(255, 0, 0));
}

// A burst within the pending bound arrives whole: every line shown, in its thread's order.
TEST_F(Window, LinesFromManyThreadsArriveWholeAndInEachThreadsOrder)
{
    constexpr int Threads = 8, Lines = 1000;
    TLogQueue& log = window().Controller().Log();
    std::atomic<int> finished{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
        writers.emplace_back([&log, &finished, t] {
            for (int n = 0; n < Lines; ++n)
                log.Append("thread " + std::to_string(t) + " line " + std::to_string(n) + " end");
            ++finished;
        });
    // The window keeps serving its events while the threads append, as it would while serving.
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished == Threads; }, WaitMs));
    for (auto& writer : writers)
        writer.join();

    const std::regex whole(R"(thread (\d) line (\d+) end)"), omitted(R"(\((\d+) linhas omitidas\))");
    int seen = 0, dropped = 0;
    auto accounted = [&] {
        seen = dropped = 0;
        for (const QString& line : logLines()) {
            std::smatch match;
            const std::string text = line.toStdString();
            if (std::regex_match(text, match, omitted))
                dropped += std::stoi(match[1]);
            else
                ++seen;
        }
        return seen + dropped == Threads * Lines;
    };
    ASSERT_TRUE(QTest::qWaitFor(accounted, WaitMs)) << seen << " shown, " << dropped << " omitted";
    EXPECT_EQ(dropped, 0);

    std::vector<int> last(Threads, -1);
    for (const QString& line : logLines()) {
        std::smatch match;
        const std::string text = line.toStdString();
        if (std::regex_match(text, match, omitted))
            continue;
        ASSERT_TRUE(std::regex_match(text, match, whole)) << text;
        const int t = std::stoi(match[1]), n = std::stoi(match[2]);
        EXPECT_GT(n, last[t]) << text;
        last[t] = n;
    }
}

TEST_F(Window, KeepsTheNewestLinesUpToItsBoundAndEachLineWhole)
{
    TLogQueue& log = window().Controller().Log();
    QPlainTextEdit* memo1 = control<QPlainTextEdit>("Memo1");
    const int bound = static_cast<int>(MaxLogViewLines);
    // In batches the pending queue takes whole, each shown before the next.
    for (int n = 0; n < bound;) {
        const int batchEnd = std::min(bound, n + static_cast<int>(MaxPendingLogLines));
        for (; n < batchEnd; ++n)
            log.Append("line " + std::to_string(n));
        ASSERT_TRUE(QTest::qWaitFor([&] { return memo1->blockCount() == batchEnd; }, WaitMs)) << memo1->blockCount();
    }
    EXPECT_EQ(memo1->document()->firstBlock().text(), "line 0");

    log.Append("a path with\na line break");
    ASSERT_TRUE(QTest::qWaitFor([&] { return memo1->document()->lastBlock().text().startsWith("a path"); }, WaitMs));
    EXPECT_EQ(memo1->blockCount(), bound);
    EXPECT_EQ(memo1->document()->firstBlock().text(), "line 1");
    EXPECT_EQ(memo1->document()->lastBlock().text(), "a path with%0Aa line break");
}

// A client that asks for a large file and then reads nothing, so its download stays under way.
class StalledDownload {
public:
    StalledDownload(int port, const std::string& path) : m_socket(connectLoopback(port, {}, WaitMs, 4096))
    {
        m_socket.sendAll("GET " + path + " HTTP/1.1\r\n\r\n");
    }

    // Reads what is left; answers whether the server ended the connection before the file's end
    // (not a receive that gave up waiting).
    bool endedEarly(size_t fileSize) { return m_socket.receiveAll().size() < fileSize && m_socket.closedByPeer(); }

private:
    Socket m_socket;
};

class Closing : public Window {
protected:
    static constexpr size_t FileSize = 32 * 1024 * 1024;

    // A published project with a phone half-way through a large file.
    std::unique_ptr<StalledDownload> startDownload()
    {
        publish();
        std::ofstream(project / "big.bin", std::ios::binary) << std::string(FileSize, 'v');
        auto download = std::make_unique<StalledDownload>(port, "/big.bin");
        EXPECT_TRUE(logHas("Arquivo /big.bin OK."));
        EXPECT_EQ(window().Controller().IdHTTPServer1().connectionCount(), 1u);
        return download;
    }
    // The operator closes the window; answers the message loop's result.
    int closeWindow()
    {
        window().show();
        QTimer::singleShot(0, &window(), [this] { window().close(); });
        return QApplication::exec();
    }
};

TEST_F(Closing, DuringADownloadEndsItAndTheLoopEndsNormally)
{
    auto download = startDownload();
    ASSERT_FALSE(window().Controller().ScreenMenus().empty());
    EXPECT_EQ(closeWindow(), 0);
    EXPECT_TRUE(window().Shutdown()) << "every connection ended within the server's wait";
    EXPECT_TRUE(window().Controller().ScreenMenus().empty());
    EXPECT_EQ(window().Controller().IdHTTPServer1().connectionCount(), 0u);
    EXPECT_FALSE(window().Controller().IdIPWatch1().Active());
    EXPECT_TRUE(download->endedEarly(FileSize));
}

// Regression: a connection that outlived the server's wait made the exit end in std::terminate.
TEST_F(Closing, PastTheServersWaitStillEndsNormally)
{
    auto download = startDownload();
    window().Controller().IdHTTPServer1().TerminateWaitTime = 0;
    EXPECT_EQ(closeWindow(), 0);
    form.reset();
    EXPECT_TRUE(download->endedEarly(FileSize));
}

}  // namespace
}  // namespace velmora::test
