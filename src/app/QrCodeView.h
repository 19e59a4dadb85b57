#pragma once
// The QR code of the address the phone opens, drawn crisp: whole pixels per module, the largest
// that fits, on white with a quiet zone, centred in the widget.

#include <QString>
#include <QWidget>

#include "operator/QrCode.h"

namespace velmora {

class TQrCodeView : public QWidget {
    Q_OBJECT

public:
    explicit TQrCodeView(QWidget* parent = nullptr);

    // An empty matrix draws nothing: there is no address to open.
    void SetCode(const QString& url, const TQrMatrix& matrix);
    const QString& Url() const { return m_url; }
    // Pixels per module at the widget's size; 0 without a code.
    int ModulePixels() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_url;
    TQrMatrix m_matrix;
};

}  // namespace velmora
