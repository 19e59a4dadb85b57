#include "app/OperatorPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

#include "OperatorTestSupport.h"
#include "WindowTestSupport.h"
#include "app/QrCodeView.h"
#include "operator/OperatorController.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

// zbarimg reads the code as a phone's camera would; without it the drawing is still checked.
const bool HaveZbarimg = ToolAvailable("zbarimg");

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
        panel.ShowQr(url, matrix, true);
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
        // Until the server is active the code is faded under its state, too pale for a camera: the
        // middle of its top left finder pattern is no longer black.
        panel.ShowQr(url, matrix, false);
        const int finder = origin + (QrQuietZone + 3) * modulePixels;
        EXPECT_NE(qr->grab().toImage().pixelColor(finder, finder), QColor(Qt::black));
        if (HaveZbarimg) {
            EXPECT_EQ(decodeQr(qr), "");
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
        {"127.0.0.9", TPhoneState::Reached, 0, 0, 1234567, 0, 0, now, 0s, 0, {}},
    };
    // Each phone's cells, with the bar's text under "Progresso" and %1 for the time of day of the
    // last request, and after "||" the tooltip of every cell and of the bar.
    const QStringList rows = {
        "127.0.0.2 | completo | 3/3 | 1,3 MB | 0 | %1 || ",
        "127.0.0.3 | importando | 1/3 | 600,0 kB | 1 | %1 || ",
        "127.0.0.4 | incompleto | 1/3 | 600,5 kB | 12 | %1 || a.png\nb.png",
        "127.0.0.9 | alcançou (navegador) |  | 1,2 MB | 0 | %1 || ",
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

// The window publishing a project of two images.
class PanelInWindow : public Window {
protected:
    TempProject temp{testing::UnitTest::GetInstance()->current_test_info()->name(), {{"a.png", 3}, {"b.png", 5}}};
};

TEST_F(PanelInWindow, StandsRightOfTheStoredAreaAndFollowsAPublishToAPhonesWholeImport)
{
    EXPECT_EQ(control<QWidget>("ClientArea")->geometry(), QRect(0, 0, 486, 382));
    QWidget* panel = control<QWidget>("OperatorPanel");
    EXPECT_EQ(panel->geometry(), QRect(486, 0, TOperatorPanel::PanelWidth, TForm1::WindowHeight));
    EXPECT_TRUE(window().rect().contains(panel->geometry()));
    EXPECT_TRUE(window().Operator().RepublishOnSave());
    QTest::mouseClick(control<QCheckBox>("CheckRepublicar"), Qt::LeftButton);
    EXPECT_FALSE(window().Operator().RepublishOnSave());

    // The address watch's report of going online reads the machine's addresses too: it comes first,
    // so that the default route's move below is followed by the panel's own reading alone.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window().Controller().IdIPWatch1().Online(); }, WaitMs));
    EXPECT_FALSE(control<TQrCodeView>("QrCode")->ServerActive());
    publishFile(temp.screen());
    ASSERT_TRUE(boxes.empty()) << boxes.front().text.toStdString();
    EXPECT_TRUE(control<TQrCodeView>("QrCode")->ServerActive());
    // The phone's browser opens the code's page before the app imports.
    EXPECT_NE(fetchFrom("127.0.0.2", port, "/velmora").find("200 OK"), std::string::npos);
    auto* phones = control<QTableWidget>("TabelaAparelhos");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return phones->rowCount() == 1 &&
                phones->item(0, TOperatorPanel::ColumnEstado)->text() == QString::fromUtf8("alcançou (navegador)");
        },
        WaitMs));
    for (const char* path : {"/", "/screen.xml", "/Images/a.png", "/Images/b.png"})
        EXPECT_NE(fetchFrom("127.0.0.2", port, path).find("200 OK"), std::string::npos) << path;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return phones->rowCount() == 1 && phones->item(0, TOperatorPanel::ColumnEstado)->text() == "completo"; },
        WaitMs));
    EXPECT_EQ(phones->item(0, TOperatorPanel::ColumnAparelho)->text(), "127.0.0.2");
    const std::string url = "http://" + address("127.0.0.5").toStdString() + "/velmora";
    EXPECT_EQ(control<TQrCodeView>("QrCode")->Url().toStdString(), url);
    if (HaveZbarimg) {
        EXPECT_EQ(decodeQr(control<QWidget>("QrCode")), url + "\n");
    }

    // The list's entries choose through the window; the default's own entry (127.0.0.5, first)
    // chooses the default, so that the address follows the default route when it moves.
    QTest::keyClick(control<QComboBox>("ComboEndereco"), Qt::Key_Down);
    EXPECT_EQ(control<QLabel>("Label1")->text(), address("127.0.0.6"));
    QTest::keyClick(control<QComboBox>("ComboEndereco"), Qt::Key_Up);
    EXPECT_EQ(control<QLabel>("Label1")->text(), address("127.0.0.5"));
    interfaces[1].DefaultRoute = false;
    interfaces[2].DefaultRoute = true;
    clock.advance(AddressPollInterval);
    EXPECT_TRUE(QTest::qWaitFor([&] { return control<QLabel>("Label1")->text() == address("127.0.0.6"); }, WaitMs));
}

}  // namespace
}  // namespace velmora::test
