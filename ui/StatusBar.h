#pragma once
// The window's status bar: either one text across the bar (simple mode) or two panels of
// settable widths. Texts change once per walked directory during a search, so repaints are
// spaced out; what is read back is always the latest text.
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <string>

namespace parelix {

class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void setSimpleText(const QString& text);
    const QString& simpleText() const { return simpleText_; }
    void setPanelMode(bool panels);
    bool panelMode() const { return panelMode_; }
    void setPanelText(int panel, const QString& text);
    // The same from the file system's bytes. The comparison names every pair it looks at,
    // millions a second on a crowded size class: only the bytes are kept here, and they
    // become a text when the panel is painted or read.
    void setPanelBytes(int panel, const std::string& bytes);
    QString panelText(int panel) const;
    void setPanelWidth(int panel, int width);
    int panelWidth(int panel) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void scheduleRepaint();
    void decodePanels() const;

    QString simpleText_;
    mutable QString panelText_[2];
    std::string panelBytes_[2];
    mutable bool panelStale_[2] = {false, false};   // panelBytes_ not yet decoded
    int panelWidth_[2] = {313, 50};
    bool panelMode_ = false;
    QElapsedTimer sincePaint_;
    QTimer repaintTimer_;
};

}  // namespace parelix
