// Another program's window that drags files out, as a file manager does: pressed and moved,
// it starts a drag of the URLs given on its command line (real XDND between two programs).
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class Source : public QLabel {
public:
    explicit Source(QList<QUrl> urls) : QLabel(QStringLiteral("Fichiers")), urls_(std::move(urls)) {
        setWindowTitle(QStringLiteral("Source de fichiers"));
        setAlignment(Qt::AlignCenter);
        resize(160, 80);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override { press_ = event->position().toPoint(); }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!(event->buttons() & Qt::LeftButton)) return;
        if ((event->position().toPoint() - press_).manhattanLength() < QApplication::startDragDistance()) return;
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls(urls_);
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction);
    }

private:
    QList<QUrl> urls_;
    QPoint press_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        urls << (arg.startsWith(QLatin1Char('/')) ? QUrl::fromLocalFile(arg) : QUrl(arg));
    }
    Source source(urls);
    source.move(0, 0);   // beside the main window, which the display centres
    source.show();
    return app.exec();
}
