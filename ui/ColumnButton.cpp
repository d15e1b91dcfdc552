#include "ui/ColumnButton.h"

#include <QIcon>
#include <QStyleOptionButton>
#include <QStyleOptionToolButton>
#include <QStylePainter>

#include "ui/PaneLayout.h"

namespace parelix {

ColumnButton::ColumnButton(const QString& name, const QString& caption, const QString& hint, const QString& glyph,
                           QWidget* parent)
    : QToolButton(parent) {
    setObjectName(name);
    setText(caption);
    setToolTip(hint);
    setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    QIcon icon;
    const QString base = QStringLiteral(":/images/btn_%1").arg(glyph);
    icon.addFile(base + QStringLiteral(".svg"), QSize(), QIcon::Normal);
    icon.addFile(base + QStringLiteral("_disabled.svg"), QSize(), QIcon::Disabled);
    setIcon(icon);
    setIconSize(QSize(18, 18));
    setFixedSize(kWidth, kButtonHeight);
    setFocusPolicy(Qt::StrongFocus);
}

void ColumnButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionToolButton opt;
    initStyleOption(&opt);
    opt.text.clear();
    opt.icon = QIcon();
    opt.state |= QStyle::State_Raised;
    opt.features &= ~QStyleOptionToolButton::Arrow;
    // A tool button is flat unless raised; draw the panel of a push button instead.
    QStyleOptionButton panel;
    panel.QStyleOption::operator=(opt);
    panel.features = QStyleOptionButton::None;
    if (isDown()) panel.state |= QStyle::State_Sunken;
    p.drawControl(QStyle::CE_PushButtonBevel, panel);
    const int shift = isDown() ? 1 : 0;
    const QRect captionRect(0, 3 + shift, width(), fontMetrics().height());
    p.drawItemText(captionRect.translated(shift, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                   palette(), isEnabled(), text(), QPalette::ButtonText);
    const QSize glyph = iconSize();
    const QRect glyphRect(QPoint((width() - glyph.width()) / 2 + shift, height() - glyph.height() - 4 + shift), glyph);
    icon().paint(&p, glyphRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(opt);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace parelix
