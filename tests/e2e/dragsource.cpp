// A drag source for the end-to-end drop test: a small window titled
// "vantrel-dragsource" that, when pressed, drags the file URLs given on its
// command line (as a file manager does, text/uri-list through XDND) and
// prints what the drop target did with them: "copy", "link", "move" or
// "ignored". It ends after one drag.

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class Source : public QWidget {
public:
    explicit Source(QList<QUrl> urls)
        : m_urls(std::move(urls))
    {
        setWindowTitle(QStringLiteral("vantrel-dragsource"));
        resize(120, 120);
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls(m_urls);
        drag->setMimeData(data);
        const Qt::DropAction done = drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
        const char* word = done == Qt::CopyAction ? "copy" : done == Qt::LinkAction ? "link" : done == Qt::MoveAction ? "move" : "ignored";
        std::printf("%s\n", word);
        std::fflush(stdout);
        QApplication::quit();
    }

private:
    QList<QUrl> m_urls;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QList<QUrl> urls;
    for (int i = 1; i < argc; ++i)
        urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
    Source source(urls);
    source.move(0, 0);
    source.show();
    return app.exec();
}
