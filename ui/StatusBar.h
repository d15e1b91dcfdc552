#pragma once
// The window's status bar: either one text across the bar (simple mode) or two panels of
// settable widths. Texts change once per walked directory during a search, so repaints are
// spaced out; what is read back is always the latest text. It paints its texts itself, so it
// tells them to screen readers itself too: its accessible interface gives what it shows
// (shownText) as the bar's value and description, and each repaint says that they changed.
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <string_view>

namespace parelix {

class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    void setSimpleText(const QString& text);
    const QString& simpleText() const { return simpleText_; }
    void setPanelMode(bool panels);
    bool panelMode() const { return panelMode_; }
    // A panel's text, in the file system's bytes. The comparison names every pair it looks at,
    // millions a second on a crowded size class: only the bytes are kept here, and they
    // become a text when the panel is painted or read.
    void setPanelBytes(int panel, std::string_view bytes) {
        if (panel < 0 || panel > 1) return;
        // A fixed buffer: a string's assign costs several times this copy on that path.
        const std::size_t n = std::min<std::size_t>(bytes.size(), sizeof panelBytes_[0]);
        std::memcpy(panelBytes_[panel], bytes.data(), n);
        panelLength_[panel] = n;
        if (!panelStale_[panel]) markStale(panel);   // else a repaint is on its way already
    }
    QString panelText(int panel) const;
    void setPanelWidth(int panel, int width);
    int panelWidth(int panel) const;
    // What the bar shows now: the simple text, or the panels' texts one after the other.
    QString shownText() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void scheduleRepaint();
    void decodePanels() const;
    void markStale(int panel);

    QString simpleText_;
    mutable QString panelText_[2];
    char panelBytes_[2][255];
    std::size_t panelLength_[2] = {0, 0};
    mutable bool panelStale_[2] = {false, false};   // panelBytes_ not yet decoded
    int panelWidth_[2] = {313, 50};
    bool panelMode_ = false;
    QElapsedTimer sincePaint_;
    QTimer repaintTimer_;
};

}  // namespace parelix
