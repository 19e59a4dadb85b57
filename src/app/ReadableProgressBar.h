#pragma once
// A progress bar whose text reads at every fill: over the fill in the fill's text colour, beside it
// in the window's, as the phones' table shows each phone's import.

#include <QProgressBar>

namespace velmora {

class TReadableProgressBar : public QProgressBar {
    Q_OBJECT

public:
    explicit TReadableProgressBar(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace velmora
