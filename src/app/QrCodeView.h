#pragma once
// The QR code of the page the phone opens, drawn crisp: whole pixels per module, the largest that
// fits, on white with a quiet zone, centred in the widget; faded under "Servidor inativo" while
// nothing answers it.

#include <QString>
#include <QWidget>

#include "operator/QrCode.h"

namespace velmora {

class TQrCodeView : public QWidget {
    Q_OBJECT

public:
    explicit TQrCodeView(QWidget* parent = nullptr);

    // An empty matrix draws nothing: there is no address to open.
    void SetCode(const QString& url, const TQrMatrix& matrix, bool serverActive);
    const QString& Url() const { return m_url; }
    bool ServerActive() const { return m_serverActive; }
    // Pixels per module at the widget's size; 0 without a code.
    int ModulePixels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawInactive(QPainter& painter);

    QString m_url;
    TQrMatrix m_matrix;
    bool m_serverActive = false;
};

}  // namespace velmora
