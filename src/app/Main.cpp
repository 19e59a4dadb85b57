#include "app/Main.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <iostream>

#include "app/OperatorPanel.h"
#include "app/Shape.h"
#include "publish/Limits.h"
#include "publish/FormSupport.h"
#include "publish/Unit_Const.h"

namespace velmora {

namespace {

const QColor LampInactive(255, 0, 0);
const QColor LampActive(0, 128, 0);

constexpr int WindowFontPixels = 11;

// Arial's free metric twin. The window's own small font has no metric-compatible free font; at
// 11 pixels Liberation Sans comes closest to its widths ("Porta:" 29 pixels against 28, where
// DejaVu Sans takes 32), so the same family serves both.
QFont formFont(int pixelSize)
{
    QFont font;
    font.setFamilies({"Liberation Sans", "Arimo", "Arial"});
    font.setPixelSize(pixelSize);
    return font;
}

QString fromText(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string toText(const QString& text)
{
    return text.toStdString();
}

QString programTitle()
{
    return fromText(ProgramTitle(toText(QCoreApplication::applicationFilePath())));
}

template <typename Control>
Control* place(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* control = new Control(parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

// A label as wide as its stored width or its text, whichever is more: the stored widths were
// measured with the original font, and a caption is never cut.
QLabel* placeLabel(QWidget* parent, const char* name, const QRect& bounds, const QString& caption,
                   const QFont& font = formFont(WindowFontPixels))
{
    auto* label = place<QLabel>(parent, name, bounds.left(), bounds.top(), bounds.width(), bounds.height());
    label->setFont(font);
    label->setText(caption);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->resize(std::max(bounds.width(), label->sizeHint().width()), bounds.height());
    return label;
}

QPlainTextEdit* placeMemo(QWidget* parent, const char* name, const QRect& bounds)
{
    auto* memo = place<QPlainTextEdit>(parent, name, bounds.left(), bounds.top(), bounds.width(), bounds.height());
    // Tab moves on to the next control, as in every other box of the window.
    memo->setTabChangesFocus(true);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return memo;
}

}  // namespace

TForm1::TForm1(TIdIPWatch::TAddressSource addressSource, TExecuteDialog executeDialog, TInterfaceSource interfaces,
               const TClock& clock)
    : m_executeDialog(executeDialog ? std::move(executeDialog) : [](QDialog& dialog) { return dialog.exec(); })
{
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(SFormCaption));
    setFont(formFont(WindowFontPixels));
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);
    setFixedSize(WindowWidth, WindowHeight);
    const QRect screenArea = screen() ? screen()->availableGeometry() : QRect(0, 0, LeftPosition + WindowWidth, 0);
    move(FittedLeft(LeftPosition, WindowWidth, screenArea.left(), screenArea.width()), TopPosition);

    createControls();
    createComponents();
    // Beside the stored controls, after them in creation and tab order.
    m_panel = new TOperatorPanel(clock, this);
    m_panel->setGeometry(ClientWidth, 0, TOperatorPanel::PanelWidth, WindowHeight);
    setTabOrder();

    m_logDrain.setSingleShot(true);
    m_logDrain.setInterval(LogRepaintIntervalMs);
    connect(&m_logDrain, &QTimer::timeout, this, &TForm1::drainLog);

    m_session = std::make_unique<TPublishSession>(static_cast<IPublishView&>(*this), m_panel, std::move(addressSource),
                                                  std::move(interfaces), clock);
    // Both hooks run on other threads: they only post a call to this window's thread.
    Controller().MainThread().OnPending = [this] {
        QMetaObject::invokeMethod(
            this, [this] { Controller().MainThread().ProcessPending(); }, Qt::QueuedConnection);
    };
    Controller().Log().OnPending = [this] {
        QMetaObject::invokeMethod(this, &TForm1::scheduleLogDrain, Qt::QueuedConnection);
    };
    connectOperator();
    m_session->Start();
}

void TForm1::connectOperator()
{
    Operator().SetRepublishOnSave(m_panel->RepublishOnSave());
    connect(m_panel, &TOperatorPanel::addressChosen, this, &TForm1::chooseAddress);
    connect(m_panel, &TOperatorPanel::republishOnSaveToggled, this,
            [this](bool on) { Operator().SetRepublishOnSave(on); });
    m_operatorTick.setInterval(OperatorTickInterval);
    connect(&m_operatorTick, &QTimer::timeout, this, [this] { m_session->Tick(); });
    m_operatorTick.start();
}

TForm1::~TForm1()
{
    Shutdown();
    m_session->ExitIfThreadsOutlivedAfterWindow();
    // Nothing runs on another thread any more: the session's components go before the controls.
    m_session.reset();
}

void TForm1::createControls()
{
    QWidget* area = place<QWidget>(this, "ClientArea", 0, 0, ClientWidth, ClientHeight);

    m_label1 = placeLabel(area, "Label1", {144, 232, 318, 24}, QString(53, QLatin1Char(' ')), formFont(21));
    // The light edge of a raised button: an empty address still shows as a box to fill.
    QPalette highlight = m_label1->palette();
    highlight.setColor(QPalette::Window, highlight.color(QPalette::Light));
    m_label1->setPalette(highlight);
    m_label1->setAutoFillBackground(true);

    placeLabel(area, "Label2", {176, 56, 96, 13}, "Status do Programa:");
    placeLabel(area, "Label3", {32, 232, 102, 24}, QString::fromUtf8("Endereço: "), formFont(21));
    placeLabel(area, "Label4", {32, 64, 28, 13}, "Porta:");

    m_shape1 = place<TShape>(area, "Shape1", 120, 136, 41, 41);
    m_shape1->SetBrushColor(LampInactive);

    m_label5 = placeLabel(area, "Label5", {32, 184, 137, 13}, QString::fromUtf8(SServidorInativo));
    placeLabel(area, "Label6", {16, 24, 365, 22}, "Servidor de Interfaces VelmScreen - Apple", formFont(19));

    m_button1 = place<QPushButton>(area, "Button1", 392, 8, 75, 25);
    m_button1->setText("Test");
    m_button1->setDefault(true);
    m_button1->setVisible(false);
    connect(m_button1, &QPushButton::clicked, this, &TForm1::Button1Click);

    m_editPort = place<QLineEdit>(area, "EditPort", 32, 80, 81, 21);
    m_editPort->setText(QString::fromUtf8(SDefaultPortText));

    m_buttonIniciar = place<QPushButton>(area, "ButtonIniciar", 32, 144, 75, 25);
    m_buttonIniciar->setText("Iniciar");
    connect(m_buttonIniciar, &QPushButton::clicked, this, &TForm1::ButtonIniciarClick);

    m_memo1 = placeMemo(area, "Memo1", {176, 72, 273, 145});
    m_memo1->setMaximumBlockCount(static_cast<int>(MaxLogViewLines));

    m_memo2 = placeMemo(area, "Memo2", {16, 272, 449, 97});
    m_memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QStringList lines;
    for (const char* line : Memo2Lines)
        lines << QString::fromUtf8(line);
    m_memo2->setPlainText(lines.join('\n'));

    m_editPort->setFocus();
}

void TForm1::createComponents()
{
    m_openDialogScreen = new QFileDialog(this);
    m_openDialogScreen->setObjectName("OpenDialogScreen");
    m_openDialogScreen->setAcceptMode(QFileDialog::AcceptOpen);
    m_openDialogScreen->setFileMode(QFileDialog::ExistingFile);
    m_openDialogScreen->setOption(QFileDialog::HideNameFilterDetails);
    QStringList filters;
    for (const std::string& filter : NameFiltersOf(SScreenFilter))
        filters << fromText(filter);
    m_openDialogScreen->setNameFilters(filters);
}

void TForm1::setTabOrder()
{
    QWidget::setTabOrder(m_button1, m_editPort);
    QWidget::setTabOrder(m_editPort, m_buttonIniciar);
    QWidget::setTabOrder(m_buttonIniciar, m_memo1);
    QWidget::setTabOrder(m_memo1, m_memo2);
    QWidget* previous = m_memo2;
    for (QWidget* next : m_panel->FocusOrder()) {
        QWidget::setTabOrder(previous, next);
        previous = next;
    }
}

bool TForm1::Shutdown()
{
    m_operatorTick.stop();
    const std::optional<std::string> failure = m_session->Shutdown();
    if (failure)
        std::cerr << programTitle().toStdString() << ": " << *failure << std::endl;
    return !failure;
}

void TForm1::ButtonIniciarClick()
{
    Controller().ButtonIniciarClick();
}

void TForm1::Button1Click()
{
    ShellOpen(Controller().ServerAddress());
}

// The entry of the default address chooses the default itself, so that the choice follows the
// default route again when it moves.
void TForm1::chooseAddress(const QString& address)
{
    std::optional<std::string> chosen = toText(address);
    if (chosen == Operator().DefaultChoice())
        chosen.reset();
    // An address that left the machine since the list was shown is refused; reading the machine's
    // addresses for the choice has shown the list again, with the choice that holds.
    Operator().ChooseAddress(chosen);
}

void TForm1::scheduleLogDrain()
{
    if (!m_logDrain.isActive())
        m_logDrain.start();
}

void TForm1::drainLog()
{
    std::vector<std::string> lines = Controller().Log().Take();
    if (lines.empty())
        return;
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    // One append, one repaint, for the whole batch.
    m_memo1->appendPlainText(fromText(text));
}

std::optional<std::string> TForm1::ChooseScreenFile()
{
    const int answer = m_executeDialog(*m_openDialogScreen);
    // Accepted with Return while its name completer lists a match, Qt's dialog leaves the list
    // open, unpainted, over the window.
    for (QCompleter* completer : m_openDialogScreen->findChildren<QCompleter*>())
        completer->popup()->hide();
    if (answer != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = m_openDialogScreen->selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    // The file system's own bytes for the name, whatever the locale makes of them.
    return QFile::encodeName(chosen.front()).toStdString();
}

std::string TForm1::PortText()
{
    return toText(m_editPort->text());
}

void TForm1::ShowAddress(const std::string& address)
{
    m_label1->setText(fromText(address));
}

void TForm1::ShowServerActive()
{
    m_label5->setText(QString::fromUtf8(SServidorAtivo));
    m_shape1->SetBrushColor(LampActive);
}

void TForm1::ShowError(const std::string& text)
{
    QMessageBox box(QMessageBox::Critical, programTitle(), fromText(text), QMessageBox::Ok, this);
    box.setObjectName("ErrorBox");
    m_executeDialog(box);
}

}  // namespace velmora
