#pragma once
// A filled circle with a thin black outline, centred in its rectangle: the window's server status
// lamp, whose fill colour the window changes.

#include <QColor>
#include <QWidget>

namespace velmora {

class TShape : public QWidget {
    Q_OBJECT

public:
    explicit TShape(QWidget* parent = nullptr);

    QColor BrushColor() const { return m_brushColor; }
    void SetBrushColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_brushColor = Qt::white;
};

}  // namespace velmora
