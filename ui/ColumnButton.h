#pragma once
// A button of the selection page's column: its caption on top and its two-picture glyph
// (normal, disabled) below it, on the panel of a push button.
#include <QString>
#include <QToolButton>

namespace parelix {

class ColumnButton : public QToolButton {
public:
    static constexpr int kWidth = 47;   // its height is the column's kButtonHeight

    // glyph: the stem of its pictures, :/images/btn_<glyph>.svg and btn_<glyph>_disabled.svg.
    ColumnButton(const QString& name, const QString& caption, const QString& hint, const QString& glyph,
                 QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace parelix
