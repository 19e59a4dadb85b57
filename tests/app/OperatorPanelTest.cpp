#include "app/OperatorPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableWidget>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

#include "OperatorTestSupport.h"
#include "WindowTestSupport.h"
#include "app/QrCodeView.h"
#include "base/Stream.h"
#include "operator/OperatorController.h"
#include "operator/OperatorTexts.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// zbarimg reads the code as a phone's camera would; without it the drawing is still checked.
const bool HaveZbarimg = ::access("/usr/bin/zbarimg", X_OK) == 0;

// What a camera reads off the screen: the QR code's widget as drawn, decoded by zbarimg.
std::string decodeQr(QWidget* code)
{
    const std::string file = testing::TempDir() + "velmora-panel-qr-" + std::to_string(::getpid()) + ".png";
    EXPECT_TRUE(code->grab().save(QString::fromStdString(file)));
    std::string decoded = commandOutput("zbarimg --quiet --raw " + file + " 2>/dev/null");
    std::remove(file.c_str());
    return decoded;
}

// The panel alone, shown what the operator's controller reports.
class Panel : public testing::Test {
protected:
    template <typename Control>
    Control* control(const char* name)
    {
        auto* found = panel.findChild<Control*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString text(const char* name) { return control<QLabel>(name)->text(); }
    bool shown(const char* name) { return control<QWidget>(name)->isVisibleTo(&panel); }

    ManualClock clock;
    TOperatorPanel panel{clock};
};

TEST_F(Panel, StartsWithItsCaptionsAndTheRepublishBoxOnAndTellsEachToggle)
{
    EXPECT_EQ(text("LabelEnderecoParaOIphone"), "Endereço para o iPhone:");
    EXPECT_EQ(text("LabelAparelhos"), "Aparelhos");
    auto* phones = control<QTableWidget>("TabelaAparelhos");
    QStringList headers;
    for (int column = 0; column < phones->columnCount(); ++column)
        headers << phones->horizontalHeaderItem(column)->text();
    EXPECT_EQ(headers, QStringList({"Aparelho", "Estado", "Progresso", "Dados", "404s", "Último pedido"}));
    EXPECT_FALSE(shown("ListaProblemas"));
    EXPECT_FALSE(shown("LabelDica"));

    auto* republish = control<QCheckBox>("CheckRepublicar");
    EXPECT_EQ(republish->text(), "Republicar ao salvar");
    EXPECT_TRUE(panel.RepublishOnSave());
    QSignalSpy toggled(&panel, &TOperatorPanel::republishOnSaveToggled);
    QTest::mouseClick(republish, Qt::LeftButton);
    EXPECT_FALSE(panel.RepublishOnSave());
    QTest::mouseClick(republish, Qt::LeftButton);
    EXPECT_EQ(toggled, QList<QVariantList>({{false}, {true}}));
}

TEST_F(Panel, ListsTheAddressesWithTheChoiceAndPassesOnTheOperatorsOwn)
{
    const std::vector<TOperatorAddress> machine = {{"127.0.0.5", "eth0", TAddressKind::DefaultRoute},
                                                   {"127.0.0.6", "wlan0", TAddressKind::Physical},
                                                   {"127.0.0.1", "lo", TAddressKind::Loopback}};
    const QStringList labels = {"127.0.0.5 (eth0, rota padrão)", "127.0.0.6 (wlan0, física)",
                                "127.0.0.1 (lo, loopback)"};
    auto* combo = control<QComboBox>("ComboEndereco");
    QSignalSpy chosen(&panel, &TOperatorPanel::addressChosen);
    using Shown = std::pair<std::vector<TOperatorAddress>, int>;
    for (const auto& [addresses, index] : {Shown{machine, 0}, Shown{machine, 2}, Shown{{}, -1}, Shown{machine, 0}}) {
        // The same entries stay as they are, so that a list the operator has open stays open.
        QSignalSpy removed(combo->model(), &QAbstractItemModel::rowsRemoved);
        panel.ShowAddresses(addresses, index);
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        EXPECT_EQ(entries, addresses.empty() ? QStringList() : labels);
        EXPECT_EQ(combo->currentIndex(), index);
        EXPECT_EQ(removed.isEmpty(), addresses == machine) << index;
    }
    EXPECT_TRUE(chosen.isEmpty()) << "what the controller shows is no choice of the operator's";

    for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        QTest::keyClick(combo, key);
    EXPECT_EQ(chosen, QList<QVariantList>({{"127.0.0.6"}, {"127.0.0.1"}, {"127.0.0.6"}}));
}

TEST_F(Panel, DrawsTheQrCodeInWholePixelsPerModuleForACameraToRead)
{
    auto* qr = control<TQrCodeView>("QrCode");
    // The usual address, and the longest text whose code the widget holds (at 4 pixels a module).
    for (const auto& [url, modulePixels] :
         std::vector<std::pair<std::string, int>>{{"http://127.0.0.5:8099/", 6},
                                                  {"http://" + std::string(70, 'x') + "/", 4},
                                                  {"", 0}}) {
        SCOPED_TRACE(url);
        const TQrMatrix matrix = EncodeQr(url);
        panel.ShowQr(url, matrix);
        EXPECT_EQ(qr->Url().toStdString(), url);
        ASSERT_EQ(qr->ModulePixels(), modulePixels);
        if (matrix.Empty())
            continue;
        // Pixel for pixel the code's own image at that scale: whole pixels per module, on white.
        const int side = (matrix.Width + 2 * QrQuietZone) * modulePixels;
        const int origin = (TOperatorPanel::QrSide - side) / 2;
        const std::string pbm = RenderQrPbm(matrix, modulePixels, QrQuietZone);
        const QImage code = QImage::fromData(QByteArray::fromStdString(pbm), "PBM");
        EXPECT_TRUE(qr->grab().toImage().copy(origin, origin, side, side).convertToFormat(QImage::Format_RGB32) ==
                    code.convertToFormat(QImage::Format_RGB32));
        if (HaveZbarimg) {
            EXPECT_EQ(decodeQr(qr), url + "\n");
        }
    }
    if (!HaveZbarimg)
        GTEST_SKIP() << "not decoded: zbarimg (zbar-tools) is not installed";
}

TEST_F(Panel, ShowsTheCheckWithItsProblemsTheReachabilityInColourAndTheHintWhileItHasLines)
{
    const std::string summary = "Verificação do projeto: 4 arquivos, 1,3 MB.", missing = "Arquivo ausente: c.png",
                      differs = "Diferença de maiúsculas: b.png (no disco: B.png)";
    const struct {
        std::vector<std::string> lines, problems;
    } checks[] = {{{summary, differs, missing}, {differs, missing}}, {{summary}, {}}, {{}, {}}};
    auto* list = control<QListWidget>("ListaProblemas");
    for (const auto& check : checks) {
        panel.ShowProjectCheck({}, check.lines);
        EXPECT_EQ(text("LabelVerificacao").toStdString(), check.lines.empty() ? "" : summary);
        std::vector<std::string> problems;
        for (int i = 0; i < list->count(); ++i)
            problems.push_back(list->item(i)->text().toStdString());
        EXPECT_EQ(problems, check.problems);
        EXPECT_EQ(shown("ListaProblemas"), !problems.empty());
    }

    panel.ShowReachability(true, "Servidor acessível em 127.0.0.5:8099.");
    EXPECT_EQ(text("LabelAcessivel"), "Servidor acessível em 127.0.0.5:8099.");
    EXPECT_EQ(control<QLabel>("LabelAcessivel")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    panel.ShowReachability(false, "Servidor inacessível em 127.0.0.5:8099: conexão recusada.");
    EXPECT_EQ(text("LabelAcessivel"), "Servidor inacessível em 127.0.0.5:8099: conexão recusada.");
    EXPECT_EQ(control<QLabel>("LabelAcessivel")->palette().color(QPalette::WindowText), QColor(192, 0, 0));

    panel.ShowHint({"Nenhum aparelho acessou o servidor em 60 s. Verifique:", "- a rede Wi-Fi;"});
    EXPECT_EQ(text("LabelDica"), "Nenhum aparelho acessou o servidor em 60 s. Verifique:\n- a rede Wi-Fi;");
    EXPECT_TRUE(shown("LabelDica"));
    panel.ShowHint({});
    EXPECT_FALSE(shown("LabelDica"));
}

TEST_F(Panel, ShowsEachPhoneInItsRowWhateverTheRowShowedBefore)
{
    const TClock::time_point now = clock.now();
    // Address, state, served, listed, bytes, import bytes, 404s, last request, import time, missing.
    const std::vector<TPhoneSnapshot> phones = {
        {"127.0.0.2", TPhoneState::Complete, 3, 3, 1250713, 1250713, 0, now - 5s, 2s, 0, {}},
        {"127.0.0.3", TPhoneState::Importing, 1, 3, 600000, 600000, 1, now - 1s, 1s, 2, {}},
        {"127.0.0.4", TPhoneState::Incomplete, 1, 3, 600450, 600450, 12, now - 1h, 1s, 2, {"a.png", "b.png"}},
        {"127.0.0.9", TPhoneState::Connected, 0, 0, 1234567, 0, 0, now, 0s, 0, {}},
    };
    // Each phone's cells, with the bar's text under "Progresso" and %1 for the time of day of the
    // last request, and after "||" the tooltip of every cell and of the bar.
    const QStringList rows = {
        "127.0.0.2 | completo | 3/3 | 1,3 MB | 0 | %1 || ",
        "127.0.0.3 | importando | 1/3 | 0,6 MB | 1 | %1 || ",
        "127.0.0.4 | incompleto | 1/3 | 0,6 MB | 12 | %1 || a.png\nb.png",
        "127.0.0.9 | conectado |  | 1,2 MB | 0 | %1 || ",
    };
    auto* table = control<QTableWidget>("TabelaAparelhos");
    // Shown in both orders, every row once holds another phone's cells and bar.
    const std::vector<TPhoneSnapshot> reversed(phones.rbegin(), phones.rend());
    for (const std::vector<TPhoneSnapshot>* shown : {&phones, &reversed}) {
        panel.ShowPhones(*shown);
        ASSERT_EQ(table->rowCount(), 4);
        for (int place = 0; place < 4; ++place) {
            const int phone = shown == &phones ? place : 3 - place;
            auto* bar = qobject_cast<QProgressBar*>(table->cellWidget(place, TOperatorPanel::ColumnProgresso));
            QStringList cells, tips;
            for (int column = 0; column < table->columnCount(); ++column) {
                cells << (bar && column == TOperatorPanel::ColumnProgresso ? bar->text()
                                                                           : table->item(place, column)->text());
                tips << table->item(place, column)->toolTip();
            }
            if (bar) {
                tips << bar->toolTip();
                EXPECT_EQ(QString("%1/%2").arg(bar->value()).arg(bar->maximum()), bar->text()) << "filled as it says";
            }
            tips.removeDuplicates();
            // The wall clock's time of day, as long ago as the request on the steady clock.
            const auto when = std::chrono::duration_cast<std::chrono::milliseconds>(clock.wallNow().time_since_epoch() -
                                                                                    (now - phones[phone].LastRequest));
            EXPECT_EQ(cells.join(" | ") + " || " + tips.join(" / "),
                      rows[phone].arg(QDateTime::fromMSecsSinceEpoch(when.count()).toString("hh:mm:ss")));
        }
    }
    panel.ShowPhones({});
    EXPECT_EQ(table->rowCount(), 0);
}

// The window with a project of three images on a machine whose interfaces the test sets.
class PanelInWindow : public Window {
protected:
    PanelInWindow() : temp(testing::UnitTest::GetInstance()->current_test_info()->name(), images) {}

    // Publishes through "Iniciar" and waits until the server has answered its own probe.
    void publishProject()
    {
        // The address watch's one report of going online composes the addresses too, and reads the
        // machine's addresses for it: it comes first, so that later changes are followed by the
        // panel's own reading alone.
        ASSERT_TRUE(QTest::qWaitFor([&] { return window().Controller().IdIPWatch1().Online(); }, WaitMs));
        publishFile(temp.screen());
        ASSERT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
        ASSERT_TRUE(textBecomes("LabelAcessivel", "Servidor acessível em " + address("127.0.0.5") + "."));
    }
    QString text(const char* name) { return control<QLabel>(name)->text(); }
    bool textBecomes(const char* name, const QString& wanted)
    {
        return QTest::qWaitFor([&] { return text(name) == wanted; }, WaitMs);
    }
    bool shown(const char* name) { return control<QWidget>(name)->isVisibleTo(&window()); }
    QStringList comboEntries()
    {
        auto* combo = control<QComboBox>("ComboEndereco");
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        return entries;
    }
    // Moves the list's choice with the arrow keys to the entry of the address, as the operator does.
    void choose(const QString& address)
    {
        auto* combo = control<QComboBox>("ComboEndereco");
        const int wanted = combo->findData(address);
        ASSERT_GE(wanted, 0) << address.toStdString();
        combo->setFocus();
        while (combo->currentIndex() != wanted)
            QTest::keyClick(combo, combo->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
    }
    QString serverUrl() { return QString::fromStdString(window().Controller().ServerUrl()); }
    // What a camera reads off the screen: the QR code's widget as drawn, decoded by zbarimg.
    std::string decodeQr()
    {
        const std::string file = testing::TempDir() + "velmora-panel-qr-" + std::to_string(::getpid()) + ".png";
        EXPECT_TRUE(control<QWidget>("QrCode")->grab().save(QString::fromStdString(file)));
        std::string decoded = commandOutput("zbarimg --quiet --raw " + file + " 2>/dev/null");
        std::remove(file.c_str());
        return decoded;
    }
    QTableWidget* phones() { return control<QTableWidget>("TabelaAparelhos"); }
    QString phoneCell(int row, int column)
    {
        QTableWidgetItem* item = phones()->item(row, column);
        return item ? item->text() : QString();
    }
    QProgressBar* progress(int row)
    {
        return qobject_cast<QProgressBar*>(phones()->cellWidget(row, TOperatorPanel::ColumnProgresso));
    }
    bool phoneState(int row, const char* state)
    {
        return QTest::qWaitFor(
            [&] { return phones()->rowCount() > row && phoneCell(row, TOperatorPanel::ColumnEstado) == state; },
            WaitMs);
    }
    // Fetches the manifest and then the paths, as the phone app does.
    void importFrom(const std::string& source, const std::vector<std::string>& paths)
    {
        EXPECT_NE(fetchFrom(source, port, "/").find("200 OK"), std::string::npos);
        for (const std::string& path : paths)
            fetchFrom(source, port, path);
    }

    const std::vector<TempProject::Image> images = {{"a.png", 600000}, {"b.png", 650000}, {"c.png", 3}};
    const std::vector<std::string> files = {"/screen.xml", "/Images/a.png", "/Images/b.png", "/Images/c.png"};
    TempProject temp;
};

TEST_F(PanelInWindow, StandsRightOfTheStoredAreaWithItsCaptionsAndNothingToShowYet)
{
    EXPECT_EQ(control<QWidget>("ClientArea")->geometry(), QRect(0, 0, 486, 382));
    QWidget* panel = control<QWidget>("OperatorPanel");
    EXPECT_EQ(panel->geometry(), QRect(486, 0, TOperatorPanel::PanelWidth, TForm1::WindowHeight));
    EXPECT_TRUE(window().rect().contains(panel->geometry()));

    EXPECT_EQ(text("LabelEnderecoParaOIphone"), "Endereço para o iPhone:");
    EXPECT_EQ(text("LabelAparelhos"), "Aparelhos");
    auto* republish = control<QCheckBox>("CheckRepublicar");
    EXPECT_EQ(republish->text(), "Republicar ao salvar");
    EXPECT_TRUE(republish->isChecked());
    EXPECT_TRUE(window().Operator().RepublishOnSave());

    EXPECT_EQ(comboEntries(),
              QStringList({"127.0.0.5 (eth0, rota padrão)", "127.0.0.6 (wlan0, física)", "127.0.0.1 (lo, loopback)"}));
    EXPECT_EQ(control<QComboBox>("ComboEndereco")->currentIndex(), 0);

    QStringList headers;
    for (int column = 0; column < phones()->columnCount(); ++column)
        headers << phones()->horizontalHeaderItem(column)->text();
    EXPECT_EQ(headers, QStringList({"Aparelho", "Estado", "Progresso", "Dados", "404s", "Último pedido"}));
    EXPECT_EQ(phones()->rowCount(), 0);
    EXPECT_TRUE(text("LabelVerificacao").isEmpty());
    EXPECT_TRUE(text("LabelAcessivel").isEmpty());
    EXPECT_FALSE(shown("ListaProblemas"));
    EXPECT_FALSE(shown("LabelDica"));

    // The address watch's first report composes the addresses with the panel's choice.
    auto* qr = control<TQrCodeView>("QrCode");
    EXPECT_TRUE(QTest::qWaitFor([&] { return qr->Url() == "http://127.0.0.5:8099/"; }, WaitMs));
}

TEST_F(PanelInWindow, TheQrCodeOnScreenDecodesToTheServersUrl)
{
    if (::access("/usr/bin/zbarimg", X_OK) != 0)
        GTEST_SKIP() << "zbarimg (zbar-tools) is not installed";
    publishProject();
    auto* qr = control<TQrCodeView>("QrCode");
    EXPECT_EQ(qr->Url(), "http://" + address("127.0.0.5") + "/");
    EXPECT_EQ(qr->Url(), serverUrl());
    EXPECT_GE(qr->ModulePixels(), 4) << "whole pixels per module, large enough for a camera";
    EXPECT_EQ(decodeQr(), "http://" + address("127.0.0.5").toStdString() + "/\n");

    choose("127.0.0.6");
    ASSERT_TRUE(QTest::qWaitFor([&] { return qr->Url() == "http://" + address("127.0.0.6") + "/"; }, WaitMs));
    EXPECT_EQ(decodeQr(), "http://" + address("127.0.0.6").toStdString() + "/\n") << "redrawn for the new address";
}

TEST_F(PanelInWindow, ChoosingAnAddressMovesTheLabelAndTheManifest)
{
    publishProject();
    EXPECT_EQ(control<QLabel>("Label1")->text(), address("127.0.0.5"));

    choose("127.0.0.6");
    EXPECT_EQ(control<QLabel>("Label1")->text(), address("127.0.0.6"));
    EXPECT_EQ(window().Operator().ChosenAddress(), "127.0.0.6");
    const std::string manifest = ReadWholeFile(temp.manifest());
    EXPECT_NE(manifest.find("http://" + address("127.0.0.6").toStdString() + "/Images/a.png"), std::string::npos);
    EXPECT_TRUE(logHas(QString::fromStdString(
        FormatMessage(SEnderecoMudou, {address("127.0.0.5").toStdString(), address("127.0.0.6").toStdString()}))));
    EXPECT_TRUE(textBecomes("LabelAcessivel", "Servidor acessível em " + address("127.0.0.6") + "."));

    // The default's own entry chooses the default: when the default route moves to wlan0, so does
    // the address, where a chosen eth0 would have stayed.
    choose("127.0.0.5");
    EXPECT_EQ(control<QLabel>("Label1")->text(), address("127.0.0.5"));
    interfaces[1].DefaultRoute = false;
    interfaces[2].DefaultRoute = true;
    clock.advance(AddressPollInterval);
    EXPECT_TRUE(QTest::qWaitFor([&] { return control<QLabel>("Label1")->text() == address("127.0.0.6"); }, WaitMs));
    EXPECT_EQ(comboEntries().front(), "127.0.0.6 (wlan0, rota padrão)");
    EXPECT_EQ(control<QComboBox>("ComboEndereco")->currentIndex(), 0);
}

TEST_F(PanelInWindow, ShowsTheProjectCheckAndEachProblem)
{
    publishProject();
    const QString summary = "Verificação do projeto: 4 arquivos, " +
        QString::fromStdString(FormatMegabytes(temp.size("screen.xml") + 600000 + 650000 + 3)) + " MB.";
    EXPECT_EQ(text("LabelVerificacao"), summary);
    EXPECT_FALSE(shown("ListaProblemas")) << "nothing to report";

    // Saved with a renamed image and one gone: republished, and checked again.
    fs::rename(temp.folder() / "Images/b.png", temp.folder() / "Images/B.png");
    fs::remove(temp.folder() / "Images/c.png");
    QTest::mouseClick(control<QPushButton>("ButtonIniciar"), Qt::LeftButton);
    auto* problems = control<QListWidget>("ListaProblemas");
    auto problemLines = [&] {
        QStringList lines;
        for (int i = 0; i < problems->count(); ++i)
            lines << problems->item(i)->text();
        return lines;
    };
    const QStringList expected = {"Diferença de maiúsculas: b.png (no disco: B.png)", "Arquivo ausente: c.png"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return problemLines() == expected; }, WaitMs))
        << problemLines().join('\n').toStdString();
    EXPECT_TRUE(shown("ListaProblemas"));
    EXPECT_EQ(text("LabelVerificacao"),
              "Verificação do projeto: 4 arquivos, " +
                  QString::fromStdString(FormatMegabytes(temp.size("screen.xml") + 600000 + 650000)) + " MB.");
}

TEST_F(PanelInWindow, FollowsAPhoneToItsWholeImportAndAnIdleOneToIncomplete)
{
    publishProject();
    importFrom("127.0.0.2", files);
    ASSERT_TRUE(phoneState(0, "completo"));
    EXPECT_EQ(phoneCell(0, TOperatorPanel::ColumnAparelho), "127.0.0.2");
    ASSERT_NE(progress(0), nullptr);
    EXPECT_EQ(progress(0)->text(), "4/4");
    EXPECT_EQ(progress(0)->value(), progress(0)->maximum());
    const uint64_t imported = ReadWholeFile(temp.manifest()).size() + temp.size("screen.xml") + 600000 + 650000 + 3;
    EXPECT_EQ(phoneCell(0, TOperatorPanel::ColumnDados), QString::fromStdString(FormatMegabytes(imported)) + " MB");
    EXPECT_EQ(phoneCell(0, TOperatorPanel::ColumnNotFound), "0");
    EXPECT_TRUE(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(phoneCell(0, TOperatorPanel::ColumnUltimoPedido)).hasMatch())
        << phoneCell(0, TOperatorPanel::ColumnUltimoPedido).toStdString();
    EXPECT_TRUE(phones()->item(0, TOperatorPanel::ColumnEstado)->toolTip().isEmpty());

    importFrom("127.0.0.3", {"/Images/a.png", "/Images/nada.png"});
    ASSERT_TRUE(phoneState(1, "importando"));
    EXPECT_EQ(phoneCell(1, TOperatorPanel::ColumnAparelho), "127.0.0.3");
    EXPECT_EQ(progress(1)->text(), "1/4");
    EXPECT_EQ(progress(1)->value(), 1);
    EXPECT_EQ(phoneCell(1, TOperatorPanel::ColumnNotFound), "1");

    clock.advance(PhoneIdleLimit);
    ASSERT_TRUE(phoneState(1, "incompleto"));
    for (int column = 0; column < phones()->columnCount(); ++column) {
        if (column != TOperatorPanel::ColumnProgresso) {
            EXPECT_EQ(phones()->item(1, column)->toolTip(), "screen.xml\nb.png\nc.png") << column;
        }
    }
    EXPECT_EQ(progress(1)->toolTip(), "screen.xml\nb.png\nc.png");
    EXPECT_EQ(phoneCell(0, TOperatorPanel::ColumnEstado), "completo") << "a whole import stays complete";
}

TEST_F(PanelInWindow, TheHintComesOnceAndGoesWhenAnotherMachineArrives)
{
    publishProject();
    clock.advance(NoPhoneHintDelay);
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown("LabelDica"); }, WaitMs));
    const QStringList hint = text("LabelDica").split('\n');
    EXPECT_EQ(hint.front(), "Nenhum aparelho acessou o servidor em 60 s. Verifique:");
    EXPECT_EQ(hint.back(), "- no iPhone, o endereço digitado é " + address("127.0.0.5") + ".");
    EXPECT_EQ(hint.size(), 5);

    importFrom("127.0.0.2", {});
    EXPECT_TRUE(QTest::qWaitFor([&] { return !shown("LabelDica"); }, WaitMs));
    clock.advance(NoPhoneHintDelay);
    QTest::qWait(4 * static_cast<int>(OperatorTickInterval.count()));
    EXPECT_FALSE(shown("LabelDica")) << "once";
}

TEST_F(PanelInWindow, TheRepublishBoxTurnsTheLibrarysSettingOffAndOn)
{
    auto* republish = control<QCheckBox>("CheckRepublicar");
    QTest::mouseClick(republish, Qt::LeftButton);
    EXPECT_FALSE(republish->isChecked());
    EXPECT_FALSE(window().Operator().RepublishOnSave());
    QTest::mouseClick(republish, Qt::LeftButton);
    EXPECT_TRUE(window().Operator().RepublishOnSave());
}

}  // namespace
}  // namespace velmora::test
