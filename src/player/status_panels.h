#pragma once

#include <QStatusBar>
#include <QString>
#include <vector>

namespace plovex {

// The main window's status bar: a row of sunken panels of fixed widths,
// each showing one text, left to right (file, rate, frame).
class TStatusBar : public QStatusBar {
    Q_OBJECT

public:
    explicit TStatusBar(QWidget* parent = nullptr);

    int panelCount() const { return int(panels_.size()); }
    void addPanel(int width, const QString& text = {});
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    int panelWidth(int index) const;
    void setPanelWidth(int index, int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Panel {
        int width = 0;
        QString text;
    };
    std::vector<Panel> panels_;
};

} // namespace plovex
