#include "app/OperatorPanel.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <iterator>

#include "app/QrCodeView.h"
#include "app/ReadableProgressBar.h"
#include "operator/OperatorTexts.h"

namespace velmora {

namespace {

constexpr int AddressColumnWidth = 200;
// Problems the list shows without scrolling.
constexpr int ProblemLinesShown = 4;

const QColor Reachable(0, 128, 0);
const QColor Unreachable(192, 0, 0);

QString fromText(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

template <typename Control>
Control* named(Control* control, const char* name)
{
    control->setObjectName(QString::fromLatin1(name));
    return control;
}

QLabel* textLabel(QWidget* parent, const char* name, const QString& text = {})
{
    auto* label = named(new QLabel(text, parent), name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// The cell's item, made on first use; numbers line up on the right.
QTableWidgetItem* cell(QTableWidget* table, int row, int column)
{
    QTableWidgetItem* item = table->item(row, column);
    if (item)
        return item;
    item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (column == TOperatorPanel::ColumnDados || column == TOperatorPanel::ColumnNotFound)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    table->setItem(row, column, item);
    return item;
}

}  // namespace

TOperatorPanel::TOperatorPanel(const TClock& clock, QWidget* parent) : QWidget(parent), m_clock(clock)
{
    setObjectName("OperatorPanel");
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(0, 8, 12, 12);
    columns->setSpacing(12);
    auto* separator = named(new QFrame(this), "Separador");
    separator->setFrameShape(QFrame::VLine);
    separator->setFrameShadow(QFrame::Sunken);
    columns->addWidget(separator);
    columns->addWidget(createAddressColumn());
    columns->addWidget(createProjectColumn(), 1);
}

QWidget* TOperatorPanel::createAddressColumn()
{
    auto* column = named(new QWidget(this), "ColunaEndereco");
    column->setFixedWidth(AddressColumnWidth);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    QLabel* caption = textLabel(column, "LabelEnderecoParaOIphone", QString::fromUtf8(SEnderecoParaOIphone));
    m_comboEndereco = named(new QComboBox(column), "ComboEndereco");
    caption->setBuddy(m_comboEndereco);
    // An entry is never cut short: the open list widens to the longest (ShowAddresses).
    m_comboEndereco->view()->setTextElideMode(Qt::ElideNone);
    connect(m_comboEndereco, &QComboBox::activated, this,
            [this](int index) { Q_EMIT addressChosen(m_comboEndereco->itemData(index).toString()); });

    m_qrCode = named(new TQrCodeView(column), "QrCode");
    m_qrCode->setFixedSize(QrSide, QrSide);
    // For a phone whose camera reads no codes, the same URL to type.
    m_labelPagina = textLabel(column, "LabelPagina");
    m_labelPagina->setAlignment(Qt::AlignHCenter);
    m_labelPagina->setWordWrap(true);
    m_labelPagina->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_labelAcessivel = textLabel(column, "LabelAcessivel");
    m_labelAcessivel->setWordWrap(true);

    m_checkRepublicar = named(new QCheckBox(QString::fromUtf8(SRepublicarAoSalvar), column), "CheckRepublicar");
    m_checkRepublicar->setChecked(true);
    connect(m_checkRepublicar, &QCheckBox::toggled, this, &TOperatorPanel::republishOnSaveToggled);

    layout->addWidget(caption);
    layout->addWidget(m_comboEndereco);
    layout->addWidget(m_qrCode, 0, Qt::AlignHCenter);
    layout->addWidget(m_labelPagina);
    layout->addWidget(m_labelAcessivel);
    layout->addStretch(1);
    layout->addWidget(m_checkRepublicar);
    return column;
}

QWidget* TOperatorPanel::createProjectColumn()
{
    auto* column = named(new QWidget(this), "ColunaProjeto");
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    m_labelVerificacao = textLabel(column, "LabelVerificacao");
    m_labelVerificacao->setWordWrap(true);

    m_listaProblemas = named(new QListWidget(column), "ListaProblemas");
    m_listaProblemas->setFixedHeight(ProblemLinesShown * fontMetrics().height());
    m_listaProblemas->setVisible(false);

    QLabel* caption = textLabel(column, "LabelAparelhos", QString::fromUtf8(SAparelhos));
    m_tabelaAparelhos =
        named(new QTableWidget(0, static_cast<int>(std::size(PhoneColumnHeaders)), column), "TabelaAparelhos");
    caption->setBuddy(m_tabelaAparelhos);
    QStringList headers;
    for (const char* header : PhoneColumnHeaders)
        headers << QString::fromUtf8(header);
    m_tabelaAparelhos->setHorizontalHeaderLabels(headers);
    m_tabelaAparelhos->verticalHeader()->setVisible(false);
    m_tabelaAparelhos->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_tabelaAparelhos->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tabelaAparelhos->horizontalHeader()->setSectionResizeMode(ColumnProgresso, QHeaderView::Stretch);
    m_tabelaAparelhos->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tabelaAparelhos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tabelaAparelhos->setTabKeyNavigation(false);

    m_labelDica = textLabel(column, "LabelDica");
    m_labelDica->setWordWrap(true);
    m_labelDica->setFrameShape(QFrame::StyledPanel);
    m_labelDica->setMargin(4);
    m_labelDica->setAutoFillBackground(true);
    QPalette note = m_labelDica->palette();
    note.setColor(QPalette::Window, note.color(QPalette::ToolTipBase));
    note.setColor(QPalette::WindowText, note.color(QPalette::ToolTipText));
    m_labelDica->setPalette(note);
    m_labelDica->setVisible(false);

    layout->addWidget(m_labelVerificacao);
    layout->addWidget(m_listaProblemas);
    layout->addWidget(caption);
    layout->addWidget(m_tabelaAparelhos, 1);
    layout->addWidget(m_labelDica);
    return column;
}

QList<QWidget*> TOperatorPanel::FocusOrder() const
{
    return {m_comboEndereco, m_checkRepublicar, m_listaProblemas, m_tabelaAparelhos};
}

bool TOperatorPanel::RepublishOnSave() const
{
    return m_checkRepublicar->isChecked();
}

void TOperatorPanel::ShowAddresses(const std::vector<TOperatorAddress>& addresses, int chosen)
{
    QStringList labels, values;
    for (const TOperatorAddress& address : addresses) {
        labels << fromText(AddressLabel(address));
        values << fromText(address.Address);
    }
    // The same entries keep the list as it is, open or not; only the choice moves.
    QStringList shownLabels, shownValues;
    for (int i = 0; i < m_comboEndereco->count(); ++i) {
        shownLabels << m_comboEndereco->itemText(i);
        shownValues << m_comboEndereco->itemData(i).toString();
    }
    if (labels != shownLabels || values != shownValues) {
        m_comboEndereco->clear();
        for (qsizetype i = 0; i < labels.size(); ++i)
            m_comboEndereco->addItem(labels[i], values[i]);
        m_comboEndereco->view()->setMinimumWidth(m_comboEndereco->view()->sizeHintForColumn(0));
    }
    m_comboEndereco->setCurrentIndex(chosen);
}

void TOperatorPanel::ShowQr(const std::string& url, const TQrMatrix& matrix, bool serverActive)
{
    m_qrCode->SetCode(fromText(url), matrix, serverActive);
    m_labelPagina->setText(fromText(url));
}

void TOperatorPanel::ShowProjectCheck(const TProjectCheck&, const std::vector<std::string>& lines)
{
    m_labelVerificacao->setText(lines.empty() ? QString() : fromText(lines.front()));
    m_listaProblemas->clear();
    for (size_t i = 1; i < lines.size(); ++i)
        m_listaProblemas->addItem(fromText(lines[i]));
    m_listaProblemas->setVisible(lines.size() > 1);
}

void TOperatorPanel::ShowPhones(const std::vector<TPhoneSnapshot>& phones)
{
    m_tabelaAparelhos->setRowCount(static_cast<int>(phones.size()));
    for (size_t row = 0; row < phones.size(); ++row)
        showPhone(static_cast<int>(row), phones[row]);
}

void TOperatorPanel::showPhone(int row, const TPhoneSnapshot& phone)
{
    const QString missing = phone.State == TPhoneState::Incomplete ? fromText(PhoneMissingText(phone)) : QString();
    const QString texts[] = {
        fromText(phone.Address),
        QString::fromUtf8(PhoneStateName(phone.State)),
        QString(),
        fromText(FormatSize(phone.Bytes)),
        QString::number(phone.NotFound),
        timeOfDay(phone.LastRequest),
    };
    for (int column = 0; column < static_cast<int>(std::size(texts)); ++column) {
        QTableWidgetItem* item = cell(m_tabelaAparelhos, row, column);
        item->setText(texts[column]);
        item->setToolTip(missing);
    }

    const std::string progress = PhoneProgressText(phone);
    auto* bar = qobject_cast<QProgressBar*>(m_tabelaAparelhos->cellWidget(row, ColumnProgresso));
    if (progress.empty()) {
        m_tabelaAparelhos->removeCellWidget(row, ColumnProgresso);
        return;
    }
    if (!bar) {
        bar = named(new TReadableProgressBar, "ProgressoAparelho");
        m_tabelaAparelhos->setCellWidget(row, ColumnProgresso, bar);
    }
    // Only a manifest that lists files has progress text: the range is never empty.
    bar->setRange(0, static_cast<int>(phone.Listed));
    bar->setValue(static_cast<int>(phone.Served));
    bar->setFormat(fromText(progress));
    bar->setToolTip(missing);
}

QString TOperatorPanel::timeOfDay(TClock::time_point moment) const
{
    if (moment == TClock::time_point{})
        return {};
    const auto age = std::chrono::duration_cast<std::chrono::system_clock::duration>(m_clock.now() - moment);
    const auto when =
        std::chrono::duration_cast<std::chrono::milliseconds>((m_clock.wallNow() - age).time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(when.count()).toString("HH:mm:ss");
}

void TOperatorPanel::ShowReachability(bool reachable, const std::string& text)
{
    QPalette colours = m_labelAcessivel->palette();
    colours.setColor(QPalette::WindowText, reachable ? Reachable : Unreachable);
    m_labelAcessivel->setPalette(colours);
    m_labelAcessivel->setText(fromText(text));
}

void TOperatorPanel::ShowHint(const std::vector<std::string>& lines)
{
    QStringList text;
    for (const std::string& line : lines)
        text << fromText(line);
    m_labelDica->setText(text.join('\n'));
    m_labelDica->setVisible(!lines.empty());
}

}  // namespace velmora
